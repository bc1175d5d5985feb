// Where the address book keeps the five recent numbers of one login id.
//
// An ordinary id has a table of its own, "USER_<id>", as the address book has always kept them,
// so the tables of existing files stay in use. SQLite's table names ignore ASCII letter case, so
// ids that differ only in case share one table, as they always did.
//
// An id whose table name would be one of the book's own tables ("TB" would name USER_TB, in any
// letter case), or could not be a table name at all (it holds a NUL byte), is kept apart: its
// five rows live in the shared table RECENT_TB, marked with the id in LOGID (letter case again
// ignored). No login id can name RECENT_TB, since every per-user table name starts with "USER_".
#ifndef PARLEY_DB_RECENT_TABLE_H_
#define PARLEY_DB_RECENT_TABLE_H_

#include <string>
#include <string_view>

namespace parley {

// The shared table of the ids kept apart, and its columns.
inline constexpr char kSharedRecentTable[] = "RECENT_TB";
inline constexpr char kSharedRecentColumns[] =
    "LOGID VARCHAR, ID INTEGER, RECVPHONE VARCHAR, SENDPHONE VARCHAR, MSG VARCHAR";

struct RecentTable {
  std::string name;     // the table, unquoted
  bool shared = false;  // rows belong to the id whose LOGID matches (name is kSharedRecentTable)
};

// The table that holds login_id's recent numbers.
RecentTable RecentTableOf(std::string_view login_id);

}  // namespace parley

#endif  // PARLEY_DB_RECENT_TABLE_H_
