#include "db/recent_table.h"

#include <algorithm>

namespace parley {
namespace {

constexpr std::string_view kUserTablePrefix = "USER_";

// The tables of the book that are not per-user tables.
constexpr std::string_view kBookTables[] = {"USER_TB", "GROUPADDR_TB", "ADDRESS_TB"};

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// True when a and b name the same SQLite table: equal but for ASCII letter case.
bool SameTableName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

}  // namespace

RecentTable RecentTableOf(std::string_view login_id) {
  std::string own(kUserTablePrefix);
  own += login_id;
  const bool taken = std::any_of(std::begin(kBookTables), std::end(kBookTables),
                                 [&own](std::string_view t) { return SameTableName(own, t); });
  if (taken || login_id.find('\0') != std::string_view::npos) {
    return RecentTable{kSharedRecentTable, true};
  }
  return RecentTable{std::move(own), false};
}

}  // namespace parley
