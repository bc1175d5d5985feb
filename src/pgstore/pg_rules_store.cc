#include "pgstore/pg_rules_store.h"

#include <algorithm>
#include <cstdlib>

#include "db/db_exception.h"
#include "text/cp949.h"

namespace parley {
namespace {

constexpr const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS parley_optout (number text PRIMARY KEY, added bigint NOT NULL, "
    "note text NOT NULL DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS parley_callback (number text PRIMARY KEY, label text NOT NULL "
    "DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS parley_setting (name text PRIMARY KEY, value text NOT NULL)",
};

// A text array literal of digits ("{0101,0102}"): the numbers hold nothing to quote.
std::string DigitsArray(const std::vector<std::string>& numbers) {
  std::string out = "{";
  for (const std::string& n : numbers) {
    if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos) continue;
    out += (out.size() > 1 ? "," : "") + n;
  }
  return out + "}";
}

}  // namespace

bool IsPostgresUrl(std::string_view url) {
  return url.starts_with("postgresql://") || url.starts_with("postgres://");
}

bool PgRulesStore::Open(std::string* error) {
  if (!db_.Connect(error)) return false;
  for (const char* statement : kSchema) {
    PgResult r = db_.Exec(statement);
    // Two engines making the tables at once: the second may see the first's type; once more.
    if (!r.ok) r = db_.Exec(statement);
    if (!r.ok) {
      *error = r.error;
      return false;
    }
  }
  return true;
}

std::vector<std::vector<std::string>> PgRulesStore::Read(const std::string& sql) {
  PgResult r = db_.Exec(sql);
  if (!r.ok) throw CDBException(0, Utf8ToAnsi("office database: " + r.error));
  return std::move(r.rows);
}

std::vector<OptOutEntry> PgRulesStore::OptOuts() {
  std::vector<OptOutEntry> entries;
  for (auto& row : Read("SELECT number, added, note FROM parley_optout ORDER BY number")) {
    entries.push_back({row[0], std::atoll(row[1].c_str()), Utf8ToAnsi(row[2])});
  }
  return entries;
}

std::vector<CallbackEntry> PgRulesStore::Callbacks() {
  std::vector<CallbackEntry> entries;
  for (auto& row : Read("SELECT number, label FROM parley_callback ORDER BY number")) {
    entries.push_back({row[0], Utf8ToAnsi(row[1])});
  }
  return entries;
}

std::map<std::string, std::string> PgRulesStore::Settings() {
  std::map<std::string, std::string> settings;
  for (auto& row : Read("SELECT name, value FROM parley_setting")) {
    settings[row[0]] = Utf8ToAnsi(row[1]);
  }
  return settings;
}

ListAdded PgRulesStore::Add(const std::string& sql, const std::vector<std::string>& numbers,
                            std::vector<std::string> params) {
  params.insert(params.begin(), DigitsArray(numbers));
  const PgResult r = db_.Exec(sql, params);
  ListAdded added;
  if (!r.ok) return added;
  added.ok = true;
  added.added = r.affected;
  // As the address book counts them: every number given that was not added was there.
  added.already = static_cast<int64_t>(numbers.size()) - r.affected;
  return added;
}

ListAdded PgRulesStore::AddOptOuts(const std::vector<std::string>& numbers, std::string_view note,
                                   int64_t added) {
  // One statement: every number or none.
  return Add(
      "INSERT INTO parley_optout (number, added, note) SELECT DISTINCT unnest($1::text[]), "
      "$2::bigint, $3 ON CONFLICT (number) DO NOTHING",
      numbers, {std::to_string(added), AnsiToUtf8(note)});
}

ListAdded PgRulesStore::AddCallbacks(const std::vector<std::string>& numbers,
                                     std::string_view label) {
  return Add(
      "INSERT INTO parley_callback (number, label) SELECT DISTINCT unnest($1::text[]), $2 "
      "ON CONFLICT (number) DO NOTHING",
      numbers, {AnsiToUtf8(label)});
}

int64_t PgRulesStore::Remove(const std::string& table, const std::vector<std::string>& numbers) {
  const PgResult r =
      db_.Exec("DELETE FROM " + table + " WHERE number = ANY($1::text[])", {DigitsArray(numbers)});
  return r.ok ? r.affected : -1;
}

int64_t PgRulesStore::RemoveOptOuts(const std::vector<std::string>& numbers) {
  return Remove("parley_optout", numbers);
}

int64_t PgRulesStore::RemoveCallbacks(const std::vector<std::string>& numbers) {
  return Remove("parley_callback", numbers);
}

bool PgRulesStore::SetSetting(std::string_view name, std::string_view value) {
  if (std::find(std::begin(kSettingNames), std::end(kSettingNames), name) ==
      std::end(kSettingNames)) {
    return false;
  }
  if (value.empty()) {
    return db_.Exec("DELETE FROM parley_setting WHERE name = $1", {std::string(name)}).ok;
  }
  return db_
      .Exec(
          "INSERT INTO parley_setting (name, value) VALUES ($1, $2) ON CONFLICT (name) DO UPDATE "
          "SET value = EXCLUDED.value",
          {std::string(name), AnsiToUtf8(value)})
      .ok;
}

}  // namespace parley
