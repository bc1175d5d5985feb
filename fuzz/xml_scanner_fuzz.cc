// The XML scanner against the general parser: a document the general parser reads must read the
// same through the scanner, whole and in pieces of any size; no input may crash either.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "excel/xml_readings.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = 1 + data[0] % 64;
  const std::string_view doc(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string whole = parley::ScannerReading(doc);
  const std::string split = parley::ScannerReading(doc, piece);
  FUZZ_CHECK(whole == split);
  const std::string expected = parley::ExpatReading(doc);
  if (expected != "error" && whole != "unsupported") FUZZ_CHECK(whole == expected);
  return 0;
}
