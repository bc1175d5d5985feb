#include "db/rules_book.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>

#include "db/address_book.h"
#include "db/recordset.h"
#include "db/transaction.h"

namespace parley {
namespace {

constexpr char kOptOutTable[] = "OPTOUT_TB";
constexpr char kOptOutSchema[] = "PHONE TEXT PRIMARY KEY, ADDED INTEGER, NOTE TEXT";
constexpr char kCallbackTable[] = "CALLBACK_TB";
constexpr char kCallbackSchema[] = "PHONE TEXT PRIMARY KEY, LABEL TEXT";
constexpr char kSettingTable[] = "SETTING_TB";
constexpr char kSettingSchema[] = "NAME TEXT PRIMARY KEY, VALUE TEXT";

std::string CreateIfMissing(std::string_view table, std::string_view schema) {
  return "CREATE TABLE IF NOT EXISTS " + std::string(table) + " (" + std::string(schema) + ")";
}

}  // namespace

bool RulesBook::HasTable(std::string_view table) {
  book_.OpenAddressBook();
  CRecordset rs(book_.database());
  rs.Open("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
          {std::string(table)});
  const bool exists = !rs.IsEOF();
  rs.Close();
  return exists;
}

std::vector<OptOutEntry> RulesBook::OptOuts() {
  std::vector<OptOutEntry> entries;
  if (!HasTable(kOptOutTable)) return entries;
  CRecordset rs(book_.database());
  rs.Open("SELECT PHONE, ADDED, NOTE FROM OPTOUT_TB ORDER BY PHONE");
  while (!rs.IsEOF()) {
    entries.push_back(
        {rs.GetFieldValue(0), std::atoll(rs.GetFieldValue(1).c_str()), rs.GetFieldValue(2)});
    rs.MoveNext();
  }
  rs.Close();
  return entries;
}

std::vector<CallbackEntry> RulesBook::Callbacks() {
  std::vector<CallbackEntry> entries;
  if (!HasTable(kCallbackTable)) return entries;
  CRecordset rs(book_.database());
  rs.Open("SELECT PHONE, LABEL FROM CALLBACK_TB ORDER BY PHONE");
  while (!rs.IsEOF()) {
    entries.push_back({rs.GetFieldValue(0), rs.GetFieldValue(1)});
    rs.MoveNext();
  }
  rs.Close();
  return entries;
}

std::map<std::string, std::string> RulesBook::Settings() {
  std::map<std::string, std::string> settings;
  if (!HasTable(kSettingTable)) return settings;
  CRecordset rs(book_.database());
  rs.Open("SELECT NAME, VALUE FROM SETTING_TB");
  while (!rs.IsEOF()) {
    settings[rs.GetFieldValue(0)] = rs.GetFieldValue(1);
    rs.MoveNext();
  }
  rs.Close();
  return settings;
}

ListAdded RulesBook::AddNumbers(std::string_view table, std::string_view schema,
                                std::string_view columns, std::string_view values,
                                const std::vector<std::string>& numbers,
                                const std::vector<std::string>& extra) {
  ListAdded result;
  if (!book_.OpenAddressBook()) return result;
  CExcelDatabase& db = book_.database();
  Transaction transaction(db);
  if (!transaction.active() || !db.ExecuteWithParam(CreateIfMissing(table, schema))) return result;
  const std::string insert = "INSERT OR IGNORE INTO " + std::string(table) + " (" +
                             std::string(columns) + ") VALUES(" + std::string(values) + ")";
  for (const std::string& number : numbers) {
    SqlParams params = {number};
    for (const std::string& value : extra) params.emplace_back(value);
    if (!db.ExecuteWithParam(insert, params)) return result;
    if (sqlite3_changes(db.handle()) > 0) {
      ++result.added;
    } else {
      ++result.already;
    }
  }
  result.ok = transaction.Commit();
  return result;
}

int64_t RulesBook::RemoveNumbers(std::string_view table, const std::vector<std::string>& numbers) {
  if (!book_.OpenAddressBook()) return -1;
  if (!HasTable(table)) return 0;
  CExcelDatabase& db = book_.database();
  Transaction transaction(db);
  if (!transaction.active()) return -1;
  int64_t removed = 0;
  const std::string remove = "DELETE FROM " + std::string(table) + " WHERE PHONE = ?";
  for (const std::string& number : numbers) {
    if (!db.ExecuteWithParam(remove, {number})) return -1;
    removed += sqlite3_changes(db.handle());
  }
  return transaction.Commit() ? removed : -1;
}

ListAdded RulesBook::AddOptOuts(const std::vector<std::string>& numbers, std::string_view note,
                                int64_t added) {
  return AddNumbers(kOptOutTable, kOptOutSchema, "PHONE, ADDED, NOTE", "?, ?, ?", numbers,
                    {std::to_string(added), std::string(note)});
}

int64_t RulesBook::RemoveOptOuts(const std::vector<std::string>& numbers) {
  return RemoveNumbers(kOptOutTable, numbers);
}

ListAdded RulesBook::AddCallbacks(const std::vector<std::string>& numbers, std::string_view label) {
  return AddNumbers(kCallbackTable, kCallbackSchema, "PHONE, LABEL", "?, ?", numbers,
                    {std::string(label)});
}

int64_t RulesBook::RemoveCallbacks(const std::vector<std::string>& numbers) {
  return RemoveNumbers(kCallbackTable, numbers);
}

bool RulesBook::SetSetting(std::string_view name, std::string_view value) {
  if (std::find(std::begin(kSettingNames), std::end(kSettingNames), name) ==
      std::end(kSettingNames)) {
    return false;
  }
  if (!book_.OpenAddressBook()) return false;
  CExcelDatabase& db = book_.database();
  Transaction transaction(db);
  if (!transaction.active() ||
      !db.ExecuteWithParam(CreateIfMissing(kSettingTable, kSettingSchema))) {
    return false;
  }
  const bool written =
      value.empty()
          ? db.ExecuteWithParam("DELETE FROM SETTING_TB WHERE NAME = ?", {std::string(name)})
          : db.ExecuteWithParam("INSERT OR REPLACE INTO SETTING_TB (NAME, VALUE) VALUES(?, ?)",
                                {std::string(name), std::string(value)});
  return written && transaction.Commit();
}

}  // namespace parley
