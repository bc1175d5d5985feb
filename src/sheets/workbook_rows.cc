#include "sheets/workbook_rows.h"

#include <algorithm>
#include <utility>

#include "db/db_exception.h"
#include "db/excel_database.h"
#include "db/recordset.h"
#include "sheets/excel_workbook.h"
#include "text/cp949.h"

namespace parley {
namespace {

// Runs step; false, with the database's reason in *error, when it throws CDBException.
template <typename Step>
bool Trapped(std::string* error, Step step) {
  try {
    step();
    return true;
  } catch (const CDBException& e) {
    *error = e.what();
    return false;
  }
}

// Two independent 64-bit hashes (FNV-1a with two offsets) of the bytes fed to them: a row key
// that does not keep the row's text.
class RowKey {
 public:
  void Add(char c) {
    const uint64_t b = static_cast<unsigned char>(c);
    a_ = (a_ ^ b) * 0x100000001B3ull;
    b_ = (b_ ^ b) * 0x100000001B3ull;
    b_ ^= b_ >> 29;
  }
  std::pair<uint64_t, uint64_t> value() const { return {a_, b_}; }

 private:
  uint64_t a_ = 0xCBF29CE484222325ull;
  uint64_t b_ = 0x84222325CBF29CE4ull;
};

// A cell holds a character CP949 cannot: its conversion made more "?" than the cell had.
bool LostCharacters(std::string_view utf8, std::string_view ansi) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) return false;
  return std::count(ansi.begin(), ansi.end(), '?') > std::count(utf8.begin(), utf8.end(), '?');
}

}  // namespace

WorkbookRows::WorkbookRows(ExcelWorkbook& workbook, SheetColumns columns, std::string_view text)
    : workbook_(workbook), columns_(std::move(columns)) {
  workbook_.ParseTemplate(text);
  // Every row in sheet order, so that each result row is a sheet row; duplicates are dropped
  // here, not by the query, so that the rows kept still know their place.
  sql_ = workbook_.RowQuery(columns_.sheet, columns_.phone, columns_.second, columns_.two_column,
                            false);
  rs_ = std::make_unique<CRecordset>(*workbook_.database());
}

WorkbookRows::~WorkbookRows() = default;

const std::vector<std::string>& WorkbookRows::field_names() const {
  return workbook_.field_names();
}

std::string WorkbookRows::CheckQuery() {
  CExcelDatabase& db = *workbook_.database();
  return db.CheckQuery(sql_) ? std::string() : db.last_error();
}

bool WorkbookRows::Open() {
  row_ = 2;
  seen_numbers_.clear();
  seen_rows_.clear();
  return Trapped(&error_, [this] { rs_->Open(sql_); });
}

bool WorkbookRows::AtEnd() const { return rs_->IsEOF(); }

bool WorkbookRows::SeenRow() {
  RowKey key;
  const int columns = rs_->GetODBCFieldCount();
  for (int i = 0; i < columns; ++i) {
    bool null = false;
    const std::string_view value = rs_->GetFieldUtf8(i, &null);
    key.Add(null ? '\1' : '\2');
    for (char c : value) key.Add(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    key.Add('\0');
  }
  return !seen_rows_.insert(key.value()).second;
}

std::string WorkbookRows::Cell(int i, bool* lost) const {
  bool null = false;
  const std::string_view utf8 = rs_->GetFieldUtf8(i, &null);
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
    return std::string(utf8);
  }
  std::string ansi = Utf8ToAnsi(utf8);
  if (lost != nullptr) *lost = LostCharacters(utf8, ansi);
  return ansi;
}

bool WorkbookRows::Read(SheetRow* row) {
  return Trapped(&error_, [this, row] {
    row->row = row_;
    row->verdict = RowVerdict::kSend;
    row->problem = NumberProblem::kNone;
    row->cell.clear();
    row->cuts.clear();
    row->unencodable_column.clear();
    bool null = false;
    CheckedNumber recipient = CheckKoreanNumber(rs_->GetFieldUtf8(0, &null), NumberUse::kRecipient);
    if (!recipient.ok()) {
      row->verdict = RowVerdict::kBadPhone;
      row->problem = recipient.problem;
      row->cell = Cell(0, nullptr);
    }
    row->recipient = std::move(recipient.digits);
    if (columns_.two_column) {
      CheckedNumber callback = CheckKoreanNumber(rs_->GetFieldUtf8(1, &null), NumberUse::kCallback);
      if (!callback.ok() && row->verdict == RowVerdict::kSend) {
        row->verdict = RowVerdict::kBadCallback;
        row->problem = callback.problem;
        row->cell = Cell(1, nullptr);
      }
      row->callback = std::move(callback.digits);
    } else {
      row->callback = columns_.second;
    }
    if (row->verdict == RowVerdict::kSend && columns_.opted_out != nullptr &&
        columns_.opted_out->contains(row->recipient)) {
      row->verdict = RowVerdict::kOptedOut;
    }
    if (row->verdict == RowVerdict::kSend) {
      if (columns_.dedupe == RowDedupe::kNumbers && !seen_numbers_.insert(row->recipient).second) {
        row->verdict = RowVerdict::kDuplicate;
      } else if (columns_.dedupe == RowDedupe::kRows && SeenRow()) {
        row->verdict = RowVerdict::kDuplicate;
      }
    }
    const int base = columns_.two_column ? 2 : 1;
    const ExcelWorkbook& wb = workbook_;
    row->text = wb.ComposeText(
        [this, row, base, &wb](int i) {
          bool lost = false;
          std::string value = Cell(i, noting_ ? &lost : nullptr);
          if (!noting_) return value;
          const int k = i - base;
          const int width = wb.field_width(k);
          if (value.size() > static_cast<size_t>(std::max(width, 0))) {
            const size_t kept = ExcelWorkbook::CutToBytes(value, width).size();
            row->cuts.push_back({k, value, kept});
          }
          if (lost && row->unencodable_column.empty()) {
            row->unencodable_column = wb.field_names()[static_cast<size_t>(k)];
          }
          return value;
        },
        base);
  });
}

bool WorkbookRows::MoveNext() {
  ++row_;
  return Trapped(&error_, [this] { rs_->MoveNext(); });
}

void WorkbookRows::Close() { rs_->Close(); }

}  // namespace parley
