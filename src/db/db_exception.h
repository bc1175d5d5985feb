// The error that the database layer throws when a read fails.
#ifndef PARLEY_DB_DB_EXCEPTION_H_
#define PARLEY_DB_DB_EXCEPTION_H_

#include <stdexcept>
#include <string>

namespace parley {

// A failed query: the statement did not compile, a row could not be read, or no database is open.
// what() is the driver's message as engine text (CP949), for example "no such table: Sheet9$";
// code() is SQLite's primary result code (SQLITE_MISUSE when the caller used a closed database
// or recordset).
class CDBException : public std::runtime_error {
 public:
  CDBException(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

  int code() const { return code_; }

 private:
  int code_;
};

}  // namespace parley

#endif  // PARLEY_DB_DB_EXCEPTION_H_
