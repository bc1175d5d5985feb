// The working object of one EXCEL or ESEND command: the open workbook, the sheet listing, the
// distinct count, the message template and the preview.
//
// Text in and out is engine text (CP949); every length counts bytes. Queries that fail throw
// CDBException, except where an operation answers "Exception:[<reason>]" itself.
#ifndef PARLEY_SHEETS_EXCEL_WORKBOOK_H_
#define PARLEY_SHEETS_EXCEL_WORKBOOK_H_

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"

namespace parley {

class CExcelDatabase;
class WorkbookCache;

// A workbook query's value, or the reason (the database's message) it could not run.
template <typename T>
struct WorkbookAnswer {
  T value{};
  std::optional<std::string> failure;
};

// The EXCEL reply text of an answer: the value as `text` makes it, or "Exception:[reason]".
template <typename T, typename Text>
std::string AnswerText(const WorkbookAnswer<T>& answer, Text text) {
  return answer.failure ? protocol::ExceptionText(*answer.failure) : text(answer.value);
}

class ExcelWorkbook {
 public:
  // At most this many template markers are recorded; later ones get no column of their own.
  static constexpr int kMaxFields = 10;

  ExcelWorkbook();
  ~ExcelWorkbook();
  ExcelWorkbook(const ExcelWorkbook&) = delete;
  ExcelWorkbook& operator=(const ExcelWorkbook&) = delete;

  // Opens the workbook file (a file-system path, as the UI program named it), through cache when
  // given (an unchanged file is not read again). Throws CDBException with a readable reason when
  // the file cannot be read as a workbook. The table-name list holds the sheets in workbook order
  // as "<sheet>$", in apostrophes when the name has a space. Every query on the workbook is
  // bounded (QueryBudget): one that goes over throws CDBException with SQLITE_INTERRUPT and the
  // reason.
  void OpenWorkbook(const std::filesystem::path& file, WorkbookCache* cache = nullptr);

  // The open database; null before OpenWorkbook.
  CExcelDatabase* database() { return database_.get(); }

  // Every sheet that has rows: its name, row count, column names and first ten rows (their
  // non-empty cells, phone-like numbers with their leading "0" back). A sheet whose queries fail
  // is left out (and logged); a query over the budget throws.
  std::vector<protocol::SheetListing> ListSheets();

  // The number of rows of table (0 when the count has no leading number).
  int CountRows(std::string_view table);

  // The sheet's display name: the table name before its last "$", without apostrophes ("Phone
  // list" for "'Phone list$'").
  static std::string SheetTitle(std::string_view table);

  // A cell cleaned for use as a phone number: hyphens removed when strip_hyphens, a trailing
  // ".0" dropped, and a "0" put back in front of a 9- or 10-digit number starting with "1" (a
  // date or any other text of that length keeps its form).
  static std::string NormalizeCell(std::string text, bool strip_hyphens);

  // The number of distinct non-null values of column (bracketed or bare) in sheet, or the
  // database's reason why the query cannot run.
  WorkbookAnswer<std::string> CountDistinct(std::string_view sheet, std::string_view column);

  // Reads the field list and the markers "[name:width]" of a message text into the template
  // state. Returns 1 when at least one marker was recorded, else 0.
  int ParseTemplate(std::string_view text);

  // Replaces marker k in text with value cut to the marker's width, then decodes "&lt;", "&gt;"
  // and "&gacct;". A text without marker k is returned unchanged.
  std::string ApplyField(int k, std::string text, std::string_view value) const;

  // text cut to at most width bytes at a character boundary (nothing for a width below 1); the
  // free CutToBytes with a marker's signed width.
  static std::string CutToBytes(std::string_view text, int width);

  // Up to five rows of phone, callback number and composed text for the preview request, or the
  // database's reason why the query cannot run.
  WorkbookAnswer<std::vector<protocol::PreviewRow>> Preview(const protocol::PreviewRequest& r);

  // The template state as ParseTemplate left it.
  int field_count() const { return field_count_; }
  const std::vector<std::string>& field_names() const { return field_names_; }
  int field_width(int k) const { return field_widths_[static_cast<size_t>(k)]; }
  const std::string& message_template() const { return message_template_; }

  // The query of the rows a preview or a send reads from sheet: the phone column, in two-column
  // mode the second-number column, then the column of every recorded marker; each distinct row
  // once when distinct. Every name is quoted as an identifier, so it only ever names a table or
  // a column, whatever it holds.
  std::string RowQuery(std::string_view sheet, std::string_view phone, std::string_view second,
                       bool two_column, bool distinct) const;

  // The composed text of one result row: the template with every recorded marker applied, the
  // value of marker k read from column base + k of the current row of `row`.
  template <typename Row>
  std::string ComposeText(const Row& row, int base) const {
    std::string text = message_template_;
    for (int k = 0; k < field_count_; ++k) text = ApplyField(k, std::move(text), row(base + k));
    return text;
  }

 private:
  // The listing of one sheet; none when it has no rows.
  std::optional<protocol::SheetListing> ListSheet(const std::string& table);

  std::unique_ptr<CExcelDatabase> database_;
  int field_count_ = 0;
  std::vector<std::string> field_names_;
  std::array<int, kMaxFields> field_widths_{};
  std::string message_template_;
};

// The text of a database failure as the Excel commands answer it: "Exception:[<message>]".
using protocol::ExceptionText;

}  // namespace parley

#endif  // PARLEY_SHEETS_EXCEL_WORKBOOK_H_
