// Fuzzes the .xls reader alone (compound file, BIFF records, text conversion): the bytes are
// written to a file and read into a recording sink. Checks what the loader relies on: cells in
// row and column order, no empty values, UTF-8 text, and a reason for every failure.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "excel/recording_sink.h"
#include "excel/workbook_readers.h"
#include "fuzz_check.h"
#include "text/utf8_validator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("parley_xls_fuzz_" + std::to_string(::getpid()) + ".xls");
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
  }
  parley::RecordingSink sink;
  std::string error;
  const bool read = parley::ReadXls(file, sink, &error);
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
