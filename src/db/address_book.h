// The address book: an SQLite file ("QXBOOK.mdb" in the engine's current directory) holding the
// remembered login id (USER_TB), five recent recipient numbers per user (in "USER_<login id>",
// or in RECENT_TB for an id whose own table name is taken: recent_table.h), and the user's
// address groups (GROUPADDR_TB) and addresses (ADDRESS_TB).
// The engine reads groups and addresses but never writes them, and never deletes them.
//
// All text is engine text (CP949). Values from the UI program are bound as parameters and the
// per-user table name is quoted, so no input can change a statement.
//
// Write operations report nothing: a failure is logged at debug level and the stored data stays
// as it was. Read operations throw CDBException on a database error (a file that could not be
// opened included).
#ifndef PARLEY_DB_ADDRESS_BOOK_H_
#define PARLEY_DB_ADDRESS_BOOK_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/excel_database.h"
#include "protocol/replies.h"

namespace parley {

class AddressBook {
 public:
  // The file name the engine uses, in its current directory.
  static constexpr char kFileName[] = "QXBOOK.mdb";
  // Rows of a per-user table: the five recent recipient numbers.
  static constexpr int kRecentRows = 5;

  // Nothing is opened yet.
  explicit AddressBook(std::filesystem::path path);
  // Closes the file. Every table keeps its rows.
  ~AddressBook() = default;
  AddressBook(const AddressBook&) = delete;
  AddressBook& operator=(const AddressBook&) = delete;

  // Opens the file the first time it is called; later calls only report the outcome of that
  // first attempt. A missing (or empty) file is created with USER_TB, GROUPADDR_TB and ADDRESS_TB;
  // an SQLite file lacking any of them gets it. A file that is not an SQLite database is logged as
  // an error and left exactly as it is; the book then stays closed. Every other operation calls
  // this first. Returns true when the book is open.
  bool OpenAddressBook();

  // The remembered login id (LOGID of the first USER_TB row), or empty when there is none. After
  // SaveID_Reset it is the text "NULL", which callers treat as none.
  std::string SaveIDLoad();

  // Remembers login_id: USER_TB then holds the one row (1, login_id, now). On failure the row
  // before stays.
  void SaveID(std::string_view login_id);

  // Forgets the remembered id: USER_TB then holds the one row (NULL, "NULL", now).
  void SaveID_Reset();

  // Creates the user's table (recent_table.h: "USER_<login_id>", or rows of RECENT_TB for an id
  // whose own table name is taken) with its five empty rows (ID 1 to 5) unless the table, or the
  // id's rows, exist already. If the table cannot be created (SQLite's names ignore ASCII case,
  // so "USER_Kim" serves "kim" too), no row is added.
  void EnsureUserTable(std::string_view login_id);

  // Stores the first count numbers of numbers (separated by ",") in the user's table: the first
  // number in row count, the last in row 1. Numbers are stored as the text given, leading "0"
  // included; a missing (empty) number leaves its row as it was.
  void SaveRecentNumbers(int count, std::string_view login_id, std::string_view numbers);

  // The user's stored numbers in row order, each followed by ",", stopping at the first empty
  // row; empty when the user has no table. A stored number that starts with a digit other than
  // "0" gets a "0" in front (older files stored the numbers as numeric values, which lost it).
  std::string LoadRecentNumbers(std::string_view login_id);

  // The groups of GROUPADDR_TB in stored order (name, ADDRNUM, LEV, ORGSEQ).
  std::vector<protocol::AddressGroup> Groups();
  // The addresses (name, phone) whose GPSEQ equals group_key. A key that matches no group, or is
  // no number at all (blanks around it and a "+" in front are allowed), gives none.
  std::vector<protocol::Address> Addresses(std::string_view group_key);
  // ORGSEQ of the group named group_name: the first group whose GPNAME equals it byte for byte;
  // failing that, the one group whose GPNAME equals it when ASCII letter case is ignored. Empty
  // when no group has the name, or several have it in different letter cases only. "%" and "_"
  // are plain characters.
  std::string FindGroupSeq(std::string_view group_name);

  // ADDRPHONE of every address whose GPSEQ equals group_seq, in stored order; empty when none.
  std::vector<std::string> GroupMembers(std::string_view group_seq);

  // The database, for callers that run their own queries on it.
  CExcelDatabase& database() { return db_; }

 private:
  // EnsureUserTable for an id kept in RECENT_TB: creates that table when missing and adds the
  // id's five rows unless it has them.
  void EnsureSharedRows(std::string_view login_id);

  std::filesystem::path path_;
  CExcelDatabase db_;
  bool opened_ = false;  // The open was attempted.
};

}  // namespace parley

#endif  // PARLEY_DB_ADDRESS_BOOK_H_
