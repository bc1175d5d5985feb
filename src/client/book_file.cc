#include "client/book_file.h"

#include "client/group_name.h"
#include "client/messages.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include <sqlite3.h>
#include <istream>
#include <ostream>

#include "db/address_book.h"
#include "db/db_exception.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "excel/workbook_loader.h"
#include "text/cp949.h"
#include "text/mbcs.h"
#include "text/utf8_validator.h"

namespace parley {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Groups the tool adds sit at this level of the group tree.
constexpr int64_t kTopLevel = 1;

// The fields of one CSV line. A field may be written in double quotes, with "" for a quote
// inside; blanks around unquoted fields are dropped.
std::vector<std::string> SplitCsvLine(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& f : fields) {
    const size_t begin = f.find_first_not_of(" \t");
    const size_t end = f.find_last_not_of(" \t");
    f = begin == std::string::npos ? std::string() : f.substr(begin, end - begin + 1);
  }
  return fields;
}

// The phone number with hyphens and blanks removed; empty when anything but digits is left.
std::string CleanPhone(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c == '-' || c == ' ' || c == '\t') continue;
    if (c < '0' || c > '9') return std::string();
    digits += c;
  }
  return digits;
}

// A phone number as a workbook may hold it: a number cell loses the leading zero every Korean
// area and mobile number has, and can read back with ".0" ("1012345678.0" is 01012345678,
// "212345678" is 0212345678). Eight digits (1588-1234) are a number of their own.
std::string PhoneCell(std::string text) {
  if (text.ends_with(".0")) text.resize(text.size() - 2);
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  if (digits && text[0] != '0' && (text.size() == 9 || text.size() == 10)) text.insert(0, "0");
  return text;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

bool DbError(CExcelDatabase& db, std::string* error) {
  *error = AnsiToUtf8(db.last_error());
  return false;
}

}  // namespace

BookFile::BookFile() = default;
BookFile::~BookFile() = default;

bool BookFile::Open(const std::filesystem::path& path, std::string* error, bool create) {
  std::error_code ec;
  if (!create && !std::filesystem::exists(path, ec)) {
    *error = path.string() + ": no such file";
    return false;
  }
  book_ = std::make_unique<AddressBook>(path);
  if (!book_->OpenAddressBook()) {
    *error = AnsiToUtf8(book_->database().last_error());
    book_.reset();
    return false;
  }
  return true;
}

bool BookFile::Groups(std::vector<BookGroup>* groups, std::string* error) {
  try {
    CRecordset rs(book_->database());
    rs.Open("SELECT GPNAME, LEV, ADDRNUM, ORGSEQ FROM GROUPADDR_TB");
    for (; !rs.IsEOF(); rs.MoveNext()) {
      groups->push_back(BookGroup{AnsiToUtf8(rs.GetFieldValue(0)), Atoi(rs.GetFieldValue(1)),
                                  Atoi(rs.GetFieldValue(2)), Atoi(rs.GetFieldValue(3))});
    }
  } catch (const CDBException& e) {
    *error = AnsiToUtf8(e.what());
    return false;
  }
  return true;
}

bool BookFile::FindKey(std::string_view name, int64_t* key, std::string* error) {
  try {
    CRecordset rs(book_->database());
    rs.Open("SELECT ORGSEQ FROM GROUPADDR_TB WHERE GPNAME = ?", {Utf8ToAnsi(name)});
    if (rs.IsEOF()) {
      *error = "no group named \"" + std::string(name) + "\"";
      return false;
    }
    *key = Atoi(rs.GetFieldValue(0));
  } catch (const CDBException& e) {
    *error = AnsiToUtf8(e.what());
    return false;
  }
  return true;
}

bool BookFile::AddGroup(std::string_view name, std::string* error) {
  // A name a group send could not carry is never made; books that hold one still list it.
  if (const GroupNameProblem problem = CheckGroupName(name); problem != GroupNameProblem::kNone) {
    *error = Text(Language::kEnglish, GroupNameMsg(problem), {name});
    return false;
  }
  int64_t key = 0;
  if (FindKey(name, &key, error)) {
    *error = "a group named \"" + std::string(name) + "\" exists already";
    return false;
  }
  CExcelDatabase& db = book_->database();
  // The next key: one past the highest key in use by groups and addresses alike, so a new group
  // never picks up addresses left over from a group removed by other means.
  if (!db.InsertRow("GROUPADDR_TB", "GPNAME, LEV, ADDRNUM, ORGSEQ",
                    "?, ?, 0, 1 + MAX(COALESCE((SELECT MAX(ORGSEQ) FROM GROUPADDR_TB), 0), "
                    "COALESCE((SELECT MAX(GPSEQ) FROM ADDRESS_TB), 0))",
                    {Utf8ToAnsi(name), kTopLevel})) {
    return DbError(db, error);
  }
  return true;
}

bool BookFile::RemoveGroup(std::string_view name, std::string* error) {
  int64_t key = 0;
  if (!FindKey(name, &key, error)) return false;
  CExcelDatabase& db = book_->database();
  Transaction transaction(db);
  if (!transaction.active() ||
      !db.ExecuteWithParam("DELETE FROM ADDRESS_TB WHERE GPSEQ = ?", {key}) ||
      !db.ExecuteWithParam("DELETE FROM GROUPADDR_TB WHERE ORGSEQ = ?", {key}) ||
      !transaction.Commit()) {
    return DbError(db, error);
  }
  return true;
}

bool BookFile::Import(std::string_view group, std::istream& csv, int* added, std::string* error,
                      std::ostream* warnings) {
  *added = 0;
  int64_t key = 0;
  if (!FindKey(group, &key, error)) return false;
  CExcelDatabase& db = book_->database();
  Transaction transaction(db);
  if (!transaction.active()) return DbError(db, error);
  std::string line;
  for (int number = 1; std::getline(csv, line); ++number) {
    if (number == 1 && line.starts_with(kUtf8Bom)) line.erase(0, kUtf8Bom.size());
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t,") == std::string::npos) continue;
    const std::vector<std::string> fields = SplitCsvLine(line);
    const std::string phone = fields.size() >= 2 ? CleanPhone(fields[1]) : std::string();
    if (phone.empty()) {
      if (warnings) *warnings << "line " << number << " skipped: no phone number\n";
      continue;
    }
    // A line that is not UTF-8 was saved in the Korean code page, as spreadsheet programs do:
    // its name is stored as it is.
    const std::string name = Utf8Validator::IsValid(fields[0]) ? Utf8ToAnsi(fields[0]) : fields[0];
    if (!db.InsertRow("ADDRESS_TB", "ADDRNAME, ADDRPHONE, GPSEQ", "?, ?, ?", {name, phone, key})) {
      return DbError(db, error);
    }
    ++*added;
  }
  if (!db.ExecuteWithParam("UPDATE GROUPADDR_TB SET ADDRNUM = "
                           "(SELECT COUNT(*) FROM ADDRESS_TB WHERE GPSEQ = ?) WHERE ORGSEQ = ?",
                           {key, key}) ||
      !transaction.Commit()) {
    *added = 0;
    return DbError(db, error);
  }
  return true;
}

bool ReadContactRows(const std::filesystem::path& path, std::vector<std::vector<std::string>>* rows,
                     std::string* error) {
  std::shared_ptr<sqlite3> db = LoadWorkbook(path, error);
  if (!db) return false;
  sqlite3_stmt* stmt = nullptr;
  const char* first_table =
      "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid LIMIT 1";
  std::string table;
  if (sqlite3_prepare_v2(db.get(), first_table, -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    table = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  }
  sqlite3_finalize(stmt);
  stmt = nullptr;
  if (table.empty()) {
    *error = "no sheet in " + path.string();
    return false;
  }
  std::string quoted = "\"";
  for (char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  quoted += "\"";
  if (sqlite3_prepare_v2(db.get(), ("SELECT * FROM " + quoted).c_str(), -1, &stmt, nullptr) !=
      SQLITE_OK) {
    *error = sqlite3_errmsg(db.get());
    return false;
  }
  auto cell = [&stmt](int i) {
    const unsigned char* text = sqlite3_column_text(stmt, i);
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
  };
  if (sqlite3_column_count(stmt) >= 2) {
    rows->push_back({sqlite3_column_name(stmt, 0), PhoneCell(sqlite3_column_name(stmt, 1))});
    while (sqlite3_step(stmt) == SQLITE_ROW) rows->push_back({cell(0), PhoneCell(cell(1))});
  }
  sqlite3_finalize(stmt);
  return true;
}

bool BookFile::ImportWorkbook(std::string_view group, const std::filesystem::path& path, int* added,
                              std::string* error, std::ostream* warnings) {
  *added = 0;
  // The first two columns of the first sheet, the heading line included: a heading whose second
  // cell is no phone number is skipped by Import like any such line.
  std::vector<std::vector<std::string>> rows;
  if (!ReadContactRows(path, &rows, error)) return false;
  std::ostringstream csv;
  for (const std::vector<std::string>& row : rows) {
    csv << CsvField(row[0]) << ',' << CsvField(row[1]) << '\n';
  }
  std::istringstream in(csv.str());
  return Import(group, in, added, error, warnings);
}

bool BookFile::Export(std::string_view group, std::ostream& out, std::string* error) {
  int64_t key = 0;
  if (!FindKey(group, &key, error)) return false;
  try {
    CRecordset rs(book_->database());
    rs.Open("SELECT ADDRNAME, ADDRPHONE FROM ADDRESS_TB WHERE GPSEQ = ?", {key});
    for (; !rs.IsEOF(); rs.MoveNext()) {
      out << CsvField(AnsiToUtf8(rs.GetFieldValue(0))) << ','
          << CsvField(AnsiToUtf8(rs.GetFieldValue(1))) << '\n';
    }
  } catch (const CDBException& e) {
    *error = AnsiToUtf8(e.what());
    return false;
  }
  return true;
}

bool BookFile::Members(std::string_view group, std::vector<BookContact>* contacts,
                       std::string* error) {
  int64_t key = 0;
  if (!FindKey(group, &key, error)) return false;
  try {
    CRecordset rs(book_->database());
    rs.Open("SELECT rowid, ADDRNAME, ADDRPHONE FROM ADDRESS_TB WHERE GPSEQ = ? ORDER BY rowid",
            {key});
    for (; !rs.IsEOF(); rs.MoveNext()) {
      contacts->push_back({Atoi(rs.GetFieldValue(0)), AnsiToUtf8(rs.GetFieldValue(1)),
                           AnsiToUtf8(rs.GetFieldValue(2))});
    }
  } catch (const CDBException& e) {
    *error = AnsiToUtf8(e.what());
    return false;
  }
  return true;
}

namespace {

// Brings the counts of the groups with these keys up to date.
bool RecountGroups(CExcelDatabase& db, std::initializer_list<int64_t> keys) {
  for (const int64_t key : keys) {
    if (!db.ExecuteWithParam("UPDATE GROUPADDR_TB SET ADDRNUM = "
                             "(SELECT COUNT(*) FROM ADDRESS_TB WHERE GPSEQ = ?) WHERE ORGSEQ = ?",
                             {key, key})) {
      return false;
    }
  }
  return true;
}

// The group key of a contact; false when there is no such contact.
bool ContactGroup(CExcelDatabase& db, int64_t id, int64_t* key, std::string* error) {
  try {
    CRecordset rs(db);
    rs.Open("SELECT GPSEQ FROM ADDRESS_TB WHERE rowid = ?", {id});
    if (rs.IsEOF()) {
      *error = "no contact " + std::to_string(id);
      return false;
    }
    *key = Atoi(rs.GetFieldValue(0));
  } catch (const CDBException& e) {
    *error = AnsiToUtf8(e.what());
    return false;
  }
  return true;
}

}  // namespace

bool BookFile::AddContact(std::string_view group, std::string_view name, std::string_view phone,
                          std::string* error) {
  int64_t key = 0;
  if (!FindKey(group, &key, error)) return false;
  const std::string digits = CleanPhone(phone);
  if (digits.empty()) {
    *error = "\"" + std::string(phone) + "\" is not a phone number";
    return false;
  }
  CExcelDatabase& db = book_->database();
  Transaction transaction(db);
  if (!transaction.active() ||
      !db.InsertRow("ADDRESS_TB", "ADDRNAME, ADDRPHONE, GPSEQ", "?, ?, ?",
                    {Utf8ToAnsi(name), digits, key}) ||
      !RecountGroups(db, {key}) || !transaction.Commit()) {
    return DbError(db, error);
  }
  return true;
}

bool BookFile::UpdateContact(int64_t id, std::string_view name, std::string_view phone,
                             std::string* error) {
  CExcelDatabase& db = book_->database();
  int64_t key = 0;
  if (!ContactGroup(db, id, &key, error)) return false;
  const std::string digits = CleanPhone(phone);
  if (digits.empty()) {
    *error = "\"" + std::string(phone) + "\" is not a phone number";
    return false;
  }
  if (!db.ExecuteWithParam("UPDATE ADDRESS_TB SET ADDRNAME = ?, ADDRPHONE = ? WHERE rowid = ?",
                           {Utf8ToAnsi(name), digits, id})) {
    return DbError(db, error);
  }
  return true;
}

bool BookFile::MoveContact(int64_t id, std::string_view group, std::string* error) {
  CExcelDatabase& db = book_->database();
  int64_t from = 0;
  int64_t to = 0;
  if (!ContactGroup(db, id, &from, error) || !FindKey(group, &to, error)) return false;
  Transaction transaction(db);
  if (!transaction.active() ||
      !db.ExecuteWithParam("UPDATE ADDRESS_TB SET GPSEQ = ? WHERE rowid = ?", {to, id}) ||
      !RecountGroups(db, {from, to}) || !transaction.Commit()) {
    return DbError(db, error);
  }
  return true;
}

bool BookFile::RemoveContact(int64_t id, std::string* error) {
  CExcelDatabase& db = book_->database();
  int64_t key = 0;
  if (!ContactGroup(db, id, &key, error)) return false;
  Transaction transaction(db);
  if (!transaction.active() ||
      !db.ExecuteWithParam("DELETE FROM ADDRESS_TB WHERE rowid = ?", {id}) ||
      !RecountGroups(db, {key}) || !transaction.Commit()) {
    return DbError(db, error);
  }
  return true;
}

}  // namespace parley
