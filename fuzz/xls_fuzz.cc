// Fuzzes the .xls reader alone (compound file, BIFF records, text conversion): the bytes are
// written to a file and read into a recording sink. Bytes that do not start like a compound file
// are taken for a workbook stream and put in one first, so that mutations reach the records
// without breaking the container. Checks what the loader relies on: cells in row and column
// order, no empty values, UTF-8 text, and a reason for every failure.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "excel/recording_sink.h"
#include "excel/workbook_readers.h"
#include "excel/xls_writer.h"
#include "fuzz_check.h"
#include "text/utf8_validator.h"

namespace {

constexpr std::string_view kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("parley_xls_fuzz_" + std::to_string(::getpid()) + ".xls");
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.compare(0, kSignature.size(), kSignature) != 0) {
    bytes = parley::CompoundFileBytes(size % 2 == 0 ? "Workbook" : "Book", bytes);
  }
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
  }
  parley::RecordingSink sink;
  std::string error;
  parley::LoadBudget budget;
  const bool read = parley::ReadXls(file, sink, budget, &error);
  FUZZ_CHECK(read || !error.empty());
  FUZZ_CHECK(!sink.order_broken);
  for (const parley::RecordingSink::Sheet& sheet : sink.sheets) {
    FUZZ_CHECK(parley::Utf8Validator::IsValid(sheet.name));
    for (const std::string& cell : sheet.cells) {
      FUZZ_CHECK(parley::Utf8Validator::IsValid(cell));
    }
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return 0;
}
