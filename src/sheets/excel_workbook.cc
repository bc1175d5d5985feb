#include "sheets/excel_workbook.h"

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <utility>

#include <spdlog/spdlog.h>
#include <sqlite3.h>

#include "db/db_exception.h"
#include "db/excel_database.h"
#include "db/query_budget.h"
#include "db/recordset.h"
#include "db/sql_text.h"
#include "excel/workbook_loader.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

using protocol::kRowSep;
constexpr size_t kListedRows = 10;
constexpr int kPreviewRows = 5;
// Shown for a phone cell that cannot be a number.
constexpr std::string_view kNoNumber = "01000000000";
// The longest text a query may produce: cells are far shorter, so this only stops a query that
// would build huge values.
constexpr int kMaxValueBytes = 16 * 1024 * 1024;
// The longest one step of a workbook query may take. The largest sheet a workbook may hold is
// counted in a few seconds; a query over it that takes longer holds every other client waiting.
constexpr QueryBudget kWorkbookQueryBudget{std::chrono::seconds(10)};

// The leading decimal number of text, for the width of a marker.
int LeadingNumber(std::string_view text) {
  size_t i = 0;
  int value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (value > 100000000) break;  // far wider than any message
    value = value * 10 + (text[i] - '0');
    ++i;
  }
  return value;
}

// name without one pair of enclosing brackets ("[a b]" gives "a b"); unchanged when it has none.
std::string_view Unbracketed(std::string_view name) {
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
    name.remove_prefix(1);
    name.remove_suffix(1);
  }
  return name;
}

// The phone number of the current row, or the substitute when the cell cannot be one.
std::string PhoneOf(const CRecordset& rs) {
  std::string phone = rs.GetFieldValue(0);
  if (phone.size() >= 8 && phone.size() <= 13) return ExcelWorkbook::NormalizeCell(phone, true);
  return std::string(kNoNumber);
}

}  // namespace

ExcelWorkbook::ExcelWorkbook() = default;
ExcelWorkbook::~ExcelWorkbook() = default;

void ExcelWorkbook::OpenWorkbook(const std::filesystem::path& file, WorkbookCache* cache) {
  database_ = std::make_unique<CExcelDatabase>();
  database_->set_query_budget(kWorkbookQueryBudget);
  std::string error;
  std::shared_ptr<sqlite3> db = cache ? cache->Open(file, &error) : LoadWorkbook(file, &error);
  if (!db) throw CDBException(SQLITE_CANTOPEN, Utf8ToAnsi(error));
  sqlite3_limit(db.get(), SQLITE_LIMIT_LENGTH, kMaxValueBytes);
  // A quoted name that names nothing is an error, never taken for a text value.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  if (!database_->AdoptShared(std::move(db)))
    throw CDBException(SQLITE_ERROR, database_->last_error());
  // The sheets as the old driver listed them: a name with a space in apostrophes.
  for (std::string& name : database_->table_names()) {
    if (name.find(' ') != std::string::npos) name = "'" + name + "'";
  }
}

std::vector<protocol::SheetListing> ExcelWorkbook::ListSheets() {
  std::vector<protocol::SheetListing> sheets;
  for (const std::string& table : std::vector<std::string>(database_->table_names())) {
    try {
      std::optional<protocol::SheetListing> sheet = ListSheet(table);
      if (sheet) sheets.push_back(std::move(*sheet));
    } catch (const CDBException& e) {
      // A query over the budget ends the listing; any other failure is this sheet's alone.
      if (e.code() == SQLITE_INTERRUPT) throw;
      spdlog::warn("workbook: sheet {} left out of the listing: {}", AnsiToUtf8(table),
                   AnsiToUtf8(e.what()));
    }
  }
  return sheets;
}

std::optional<protocol::SheetListing> ExcelWorkbook::ListSheet(const std::string& table) {
  std::vector<std::string> columns;
  database_->GetFields(table, &columns);
  CRecordset rs(*database_);
  rs.Open("select * from " + QuoteIdentifier(table));
  const int rows = CountRows(table);
  if (rows == 0) return std::nullopt;
  protocol::SheetListing sheet;
  sheet.name = SheetTitle(table);
  if (!columns.empty()) {
    // A column without a name (or the driver's "F1") stands for a header row that is not one: no
    // names, and the header row not counted.
    const bool named = std::none_of(columns.begin(), columns.end(),
                                    [](const std::string& c) { return c.empty() || c == "F1"; });
    sheet.row_count = named ? rows : rows - 1;
    if (named) sheet.columns = columns;
  }
  const int n = std::min(static_cast<int>(columns.size()), rs.GetODBCFieldCount());
  for (size_t read = 0; !rs.IsEOF() && read < kListedRows; ++read) {
    std::vector<std::string> cells;
    for (int i = 0; i < n; ++i) {
      std::string cell = rs.GetFieldValue(i);
      if (!cell.empty()) cells.push_back(NormalizeCell(std::move(cell), false));
    }
    sheet.rows.push_back(std::move(cells));
    rs.MoveNext();
  }
  return sheet;
}

int ExcelWorkbook::CountRows(std::string_view table) {
  CRecordset rs(*database_);
  rs.Open("select count(*) from " + QuoteIdentifier(table));
  const std::string count = rs.IsEOF() ? std::string() : rs.GetFieldValue(0);
  rs.Close();
  return Atoi(count);
}

std::string ExcelWorkbook::SheetTitle(std::string_view table) {
  // The "$" that ends every sheet's table name; one inside the sheet's own name stays.
  std::string title(table.substr(0, table.rfind('$')));
  std::erase(title, '\'');
  return title;
}

std::string ExcelWorkbook::NormalizeCell(std::string text, bool strip_hyphens) {
  if (strip_hyphens) text = RemoveHyphens(text);
  if (text.ends_with(".0")) text.resize(text.size() - 2);
  // Only a number lost its 0; a date such as "1947-01-08" is the same length but is not one.
  const bool digits =
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits && !text.empty() && text[0] == '1' && (text.size() == 9 || text.size() == 10)) {
    text.insert(0, "0");
  }
  return text;
}

WorkbookAnswer<std::string> ExcelWorkbook::CountDistinct(std::string_view sheet_name,
                                                         std::string_view column_name) {
  const std::string sheet = QuoteIdentifier(sheet_name);
  // The UI program sends the column bracketed ("[a b]") or bare ("name"); a name that is itself
  // bracketed is taken whole when the sheet has a column of that name.
  std::string column = QuoteIdentifier(column_name);
  if (!database_->CheckQuery("SELECT " + column + " FROM " + sheet)) {
    column = QuoteIdentifier(Unbracketed(column_name));
  }
  const std::string sql = "SELECT count(*) from (SELECT DISTINCT " + column + " from " + sheet +
                          " where " + column + " is not null)";
  if (!database_->CheckQuery(sql)) return {{}, database_->last_error()};
  CRecordset rs(*database_);
  rs.Open(sql);
  std::string count = rs.IsEOF() ? std::string() : rs.GetFieldValue(0);
  rs.Close();
  return {count, std::nullopt};
}

int ExcelWorkbook::ParseTemplate(std::string_view text) {
  field_count_ = 0;
  field_names_.clear();
  field_widths_.fill(0);
  const size_t q = text.find(kRowSep);
  if (q == std::string_view::npos || q == 0) {
    message_template_ = std::string(text);
    return 0;
  }
  const std::string_view list = text.substr(0, q);
  message_template_ = std::string(text.substr(q + kRowSep.size()));
  for (std::string_view item : SplitFields(list, ',')) {
    if (item.empty()) break;
    const std::string name = Replaced(item, "&comma;", ",");
    const std::string prefix = "[" + name + ":";
    for (size_t at = message_template_.find(prefix); at != std::string::npos;
         at = message_template_.find(prefix, at + prefix.size())) {
      if (field_count_ >= kMaxFields) break;  // the eleventh and later markers are ignored
      const size_t start = at + prefix.size();
      const size_t close = message_template_.find(']', start);
      const std::string_view between =
          std::string_view(message_template_)
              .substr(start, close == std::string::npos ? std::string::npos : close - start);
      field_names_.push_back(name);
      field_widths_[static_cast<size_t>(field_count_)] = LeadingNumber(between);
      ++field_count_;
    }
  }
  return field_count_ > 0 ? 1 : 0;
}

std::string ExcelWorkbook::ApplyField(int k, std::string text, std::string_view value) const {
  if (k < 0 || k >= field_count_) return text;
  const std::string& name = field_names_[static_cast<size_t>(k)];
  const int width = field_widths_[static_cast<size_t>(k)];
  size_t replaced =
      ReplaceAll(text, "[" + name + ":" + std::to_string(width) + "]", CutToBytes(value, width));
  if (replaced == 0) {
    const std::string prefix = "[" + name + ":";
    const size_t at = text.find(prefix);
    if (at == std::string::npos) return text;
    const size_t start = at + prefix.size();
    const size_t close = text.find(']', start);
    const int w = LeadingNumber(std::string_view(text).substr(
        start, close == std::string::npos ? std::string::npos : close - start));
    ReplaceAll(text, "[" + name + ":" + std::to_string(w) + "]", CutToBytes(value, w));
  }
  ReplaceAll(text, "&lt;", "<");
  ReplaceAll(text, "&gt;", ">");
  ReplaceAll(text, "&gacct;", "`");
  return text;
}

std::string ExcelWorkbook::CutToBytes(std::string_view text, int width) {
  return parley::CutToBytes(text, width > 0 ? static_cast<size_t>(width) : 0);
}

std::string ExcelWorkbook::RowQuery(std::string_view sheet, std::string_view phone,
                                    std::string_view second, bool two_column, bool distinct) const {
  std::string sql = distinct ? "select distinct " : "select ";
  sql += QuoteIdentifier(phone);
  if (two_column) sql += ", " + QuoteIdentifier(second);
  for (const std::string& name : field_names_) sql += ", " + QuoteIdentifier(name);
  sql += " from ";
  sql += QuoteIdentifier(sheet);
  return sql;
}

WorkbookAnswer<std::vector<protocol::PreviewRow>> ExcelWorkbook::Preview(
    const protocol::PreviewRequest& request) {
  ParseTemplate(request.message);
  const std::string phone_column = Replaced(request.phone_column, "&comma;", ",");
  const std::string second = Replaced(request.second, "&comma;", ",");
  const bool two_column = request.CallbackColumn();

  const std::string sql = RowQuery(request.sheet, phone_column, second, two_column, false);
  if (!database_->CheckQuery(sql)) return {{}, database_->last_error()};

  CRecordset rs(*database_);
  rs.Open(sql);
  std::vector<protocol::PreviewRow> rows;
  const int base = two_column ? 2 : 1;
  for (int done = 0; !rs.IsEOF() && done < kPreviewRows; ++done) {
    std::string phone = PhoneOf(rs);
    std::string number;
    if (two_column) {
      number = rs.GetFieldValue(1);
      number = number.size() >= 1 && number.size() <= 13 ? NormalizeCell(number, true)
                                                         : std::string(kNoNumber);
    } else {
      number = second;
    }
    std::string text = ComposeText([&rs](int i) { return rs.GetFieldValue(i); }, base);
    rows.push_back({std::move(phone), std::move(number), std::move(text)});
    rs.MoveNext();
  }
  rs.Close();
  return {std::move(rows), std::nullopt};
}

}  // namespace parley
