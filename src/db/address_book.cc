#include "db/address_book.h"

#include <spdlog/spdlog.h>
#include <sqlite3.h>

#include <charconv>
#include <cstdint>
#include <optional>

#include "db/db_exception.h"
#include "db/recent_table.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

// A recent number as the old engine stored it: as a number, so a phone number lost its leading
// "0": 8 digits from a Seoul number ("2" + 7), 9 or 10 digits from the others. Numbers stored as
// text ("15881234", "010-1234-5678") load as they are.
bool LooksLikeNumericRow(std::string_view number) {
  if (number.size() < 8 || number.size() > 10 || number[0] == '0') return false;
  for (char c : number) {
    if (c < '0' || c > '9') return false;
  }
  return number.size() >= 9 || number[0] == '2';
}

// The tables a new file gets. Groups and addresses are filled outside the engine.
constexpr const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS USER_TB (ID INTEGER, LOGID TEXT, LOGDATE TEXT)",
    "CREATE TABLE IF NOT EXISTS GROUPADDR_TB "
    "(GPNAME TEXT, LEV INTEGER, ADDRNUM INTEGER, ORGSEQ INTEGER)",
    "CREATE TABLE IF NOT EXISTS ADDRESS_TB (ADDRNAME TEXT, ADDRPHONE TEXT, GPSEQ INTEGER)",
};

constexpr char kUserTableColumns[] =
    "ID INTEGER, RECVPHONE VARCHAR, SENDPHONE VARCHAR, MSG VARCHAR";

// A group key: a decimal integer, blanks around it allowed. Anything else is no key.
std::optional<int64_t> ParseGroupKey(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t key = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), key);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return key;
}

}  // namespace

AddressBook::AddressBook(std::filesystem::path path) : path_(std::move(path)) {}

bool AddressBook::OpenAddressBook() {
  if (opened_) return db_.IsOpen();
  opened_ = true;
  if (!db_.OpenMDB(path_, /*create=*/true)) {
    spdlog::error(
        "Address book: {}. The file is left as it is; no login id or recent numbers are "
        "kept and no groups are read until it is replaced by an SQLite database.",
        AnsiToUtf8(db_.last_error()));
    return false;
  }
  Transaction transaction(db_);
  bool ok = transaction.active();
  for (const char* statement : kSchema) ok = ok && db_.ExecuteWithParam(statement);
  if (!ok || !transaction.Commit()) {
    spdlog::warn("Address book {}: cannot add its tables: {}", path_.string(),
                 AnsiToUtf8(db_.last_error()));
  }
  db_.RefreshTables();
  if (sqlite3_db_readonly(db_.handle(), "main") == 1) {
    spdlog::warn("Address book {} is read-only: the login id and recent numbers are not kept.",
                 path_.string());
  }
  return true;
}

std::string AddressBook::SaveIDLoad() {
  OpenAddressBook();
  CRecordset rs(db_);
  rs.Open("SELECT LOGID FROM USER_TB");
  std::string id = rs.IsEOF() ? std::string() : rs.GetFieldValue(0);
  rs.Close();
  return id;
}

void AddressBook::SaveID(std::string_view login_id) {
  if (!OpenAddressBook()) return;
  Transaction transaction(db_);
  if (!transaction.active() || !db_.DeleteAllUsers()) return;
  if (!db_.InsertRow("USER_TB", "ID, LOGID, LOGDATE", "1, ?, Now()", {std::string(login_id)})) {
    return;
  }
  transaction.Commit();
}

void AddressBook::SaveID_Reset() {
  if (!OpenAddressBook()) return;
  Transaction transaction(db_);
  if (!transaction.active() || !db_.DeleteAllUsers()) return;
  if (!db_.InsertRow("USER_TB", "LOGID, LOGDATE", "'NULL', Now()")) return;
  transaction.Commit();
}

void AddressBook::EnsureUserTable(std::string_view login_id) {
  if (!OpenAddressBook()) return;
  const RecentTable table = RecentTableOf(login_id);
  if (table.shared) {
    EnsureSharedRows(login_id);
    return;
  }
  std::vector<std::string> tables;
  if (!db_.GetTables(&tables)) return;
  for (const std::string& name : tables) {
    if (name == table.name) return;
  }
  Transaction transaction(db_);
  if (!transaction.active() || !db_.CreateTable(table.name, kUserTableColumns)) return;
  for (int id = 1; id <= kRecentRows; ++id) {
    if (!db_.InsertRow(table.name, "ID, RECVPHONE, SENDPHONE, MSG", "?, '', '', ''",
                       {int64_t{id}})) {
      return;
    }
  }
  transaction.Commit();
}

void AddressBook::EnsureSharedRows(std::string_view login_id) {
  const std::string id(login_id);
  const std::string table = QuoteIdentifier(kSharedRecentTable);
  Transaction transaction(db_);
  if (!transaction.active()) return;
  if (!db_.ExecuteWithParam("CREATE TABLE IF NOT EXISTS " + table + " (" + kSharedRecentColumns +
                            ")")) {
    return;
  }
  bool exists = false;
  try {
    CRecordset rs(db_);
    rs.Open("SELECT 1 FROM " + table + " WHERE LOGID = ? COLLATE NOCASE LIMIT 1", {id});
    exists = !rs.IsEOF();
    rs.Close();
  } catch (const CDBException& e) {
    spdlog::debug("Address book: cannot read {}: {}", kSharedRecentTable, AnsiToUtf8(e.what()));
    return;
  }
  if (exists) return;
  for (int row = 1; row <= kRecentRows; ++row) {
    if (!db_.InsertRow(kSharedRecentTable, "LOGID, ID, RECVPHONE, SENDPHONE, MSG",
                       "?, ?, '', '', ''", {id, int64_t{row}})) {
      return;
    }
  }
  if (transaction.Commit()) db_.RefreshTables();
}

void AddressBook::SaveRecentNumbers(int count, std::string_view login_id,
                                    std::string_view numbers) {
  if (count <= 0 || !OpenAddressBook()) return;
  std::vector<std::string_view> fields = SplitFields(numbers, ',');
  const RecentTable table = RecentTableOf(login_id);
  std::string sql = "UPDATE " + QuoteIdentifier(table.name) + " SET RECVPHONE = ? WHERE ID = ?";
  if (table.shared) sql += " AND LOGID = ? COLLATE NOCASE";
  Transaction transaction(db_);
  if (!transaction.active()) return;
  // Fields past the end of the text are empty and change nothing, so the walk can stop there.
  for (int k = 0; k < count && static_cast<size_t>(k) < fields.size(); ++k) {
    std::string_view number = fields[static_cast<size_t>(k)];
    if (number.empty()) continue;
    SqlParams params = {std::string(number), int64_t{count - k}};
    if (table.shared) params.emplace_back(std::string(login_id));
    if (!db_.ExecuteWithParam(sql, params)) return;
  }
  transaction.Commit();
}

std::string AddressBook::LoadRecentNumbers(std::string_view login_id) {
  OpenAddressBook();
  const RecentTable table = RecentTableOf(login_id);
  CRecordset rs(db_);
  // SQLite's table names ignore ASCII case, so the lookup does too.
  rs.Open("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
          {table.name});
  bool exists = !rs.IsEOF();
  rs.Close();
  if (!exists) return std::string();

  std::string text;
  if (table.shared) {
    rs.Open("SELECT RECVPHONE FROM " + QuoteIdentifier(table.name) +
                " WHERE LOGID = ? COLLATE NOCASE ORDER BY ID",
            {std::string(login_id)});
  } else {
    rs.Open("SELECT RECVPHONE FROM " + QuoteIdentifier(table.name) + " ORDER BY ID");
  }
  while (!rs.IsEOF()) {
    std::string number = rs.GetFieldValue(0);
    if (number.empty()) break;
    if (LooksLikeNumericRow(number)) text += '0';
    text += number;
    text += ',';
    rs.MoveNext();
  }
  rs.Close();
  return text;
}

std::vector<protocol::AddressGroup> AddressBook::Groups() {
  OpenAddressBook();
  std::vector<protocol::AddressGroup> groups;
  CRecordset rs(db_);
  rs.Open("SELECT GPNAME, ADDRNUM, LEV, ORGSEQ FROM GROUPADDR_TB");
  while (!rs.IsEOF()) {
    groups.push_back(
        {rs.GetFieldValue(0), rs.GetFieldValue(1), rs.GetFieldValue(2), rs.GetFieldValue(3)});
    rs.MoveNext();
  }
  rs.Close();
  return groups;
}

std::vector<protocol::Address> AddressBook::Addresses(std::string_view group_key) {
  OpenAddressBook();
  std::vector<protocol::Address> addresses;
  std::optional<int64_t> key = ParseGroupKey(group_key);
  if (!key) return addresses;
  CRecordset rs(db_);
  rs.Open("SELECT ADDRNAME, ADDRPHONE FROM ADDRESS_TB WHERE GPSEQ = ?", {*key});
  while (!rs.IsEOF()) {
    addresses.push_back({rs.GetFieldValue(0), rs.GetFieldValue(1)});
    rs.MoveNext();
  }
  rs.Close();
  return addresses;
}

std::string AddressBook::FindGroupSeq(std::string_view group_name) {
  OpenAddressBook();
  const std::string name(group_name);
  CRecordset rs(db_);
  rs.Open("SELECT ORGSEQ FROM GROUPADDR_TB WHERE GPNAME = ? LIMIT 1", {name});
  const bool exact = !rs.IsEOF();
  std::string seq = exact ? rs.GetFieldValue(0) : std::string();
  rs.Close();
  if (exact) return seq;
  // No exact match: a name that differs in ASCII letter case only counts when it is the only one.
  rs.Open("SELECT ORGSEQ FROM GROUPADDR_TB WHERE GPNAME = ? COLLATE NOCASE LIMIT 2", {name});
  if (!rs.IsEOF()) {
    seq = rs.GetFieldValue(0);
    rs.MoveNext();
    if (!rs.IsEOF()) seq.clear();
  }
  rs.Close();
  return seq;
}

std::vector<std::string> AddressBook::GroupMembers(std::string_view group_seq) {
  OpenAddressBook();
  std::vector<std::string> numbers;
  std::optional<int64_t> key = ParseGroupKey(group_seq);
  if (!key) return numbers;
  CRecordset rs(db_);
  rs.Open("SELECT ADDRPHONE FROM ADDRESS_TB WHERE GPSEQ = ?", {*key});
  while (!rs.IsEOF()) {
    numbers.push_back(rs.GetFieldValue(0));
    rs.MoveNext();
  }
  rs.Close();
  return numbers;
}

}  // namespace parley
