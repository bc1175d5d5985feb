// Fuzzes the message template of the Excel send: the markers "[name:width]" of a text, filling
// them with cell values, and the cell and preview helpers.
//
// Input: the template text, then up to ten cell values, split by FuzzedDataProvider.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/excel_workbook.h"
#include "fuzz_check.h"
#include "text/mbcs.h"

namespace {

using parley::ExcelWorkbook;

void CheckCut(int width, std::string_view text) {
  const std::string cut = ExcelWorkbook::CutToBytes(text, width);
  FUZZ_CHECK(text.starts_with(cut));
  FUZZ_CHECK(cut.size() <= static_cast<size_t>(width < 0 ? 0 : width));
  if (width >= 0) FUZZ_CHECK(cut == parley::CutToBytes(text, static_cast<size_t>(width)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string text = in.ConsumeRandomLengthString(512);
  std::vector<std::string> values;
  while (values.size() < ExcelWorkbook::kMaxFields && in.remaining_bytes() > 0) {
    values.push_back(in.ConsumeRandomLengthString(64));
  }

  ExcelWorkbook workbook;
  const int found = workbook.ParseTemplate(text);
  FUZZ_CHECK(found == 0 || found == 1);
  const int count = workbook.field_count();
  FUZZ_CHECK(count >= 0 && count <= ExcelWorkbook::kMaxFields);
  FUZZ_CHECK((found == 1) == (count > 0));
  FUZZ_CHECK(workbook.field_names().size() >= static_cast<size_t>(count));
  (void)workbook.RowQuery("sheet$", "phone", "back", true, true);

  std::string composed = workbook.message_template();
  for (int k = 0; k < count; ++k) {
    const size_t index = static_cast<size_t>(k);
    const std::string value = index < values.size() ? values[index] : "";
    composed = workbook.ApplyField(k, std::move(composed), value);
    CheckCut(workbook.field_width(k), value);
  }
  // A marker number past the recorded ones leaves the text alone.
  FUZZ_CHECK(workbook.ApplyField(count, text, "x") == text);

  CheckCut(static_cast<int>(size % 200) - 2, text);
  (void)parley::protocol::SheetListingReply({{std::string(text), 1, values, {values}}});
  (void)ExcelWorkbook::NormalizeCell(text, true);
  (void)ExcelWorkbook::NormalizeCell(text, false);
  (void)ExcelWorkbook::SheetTitle(text);
  (void)parley::protocol::PreviewLine(
      {std::string(text), values.empty() ? "" : values[0], composed});
  return 0;
}
