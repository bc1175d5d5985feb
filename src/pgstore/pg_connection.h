// One connection to a PostgreSQL server (libpq), kept open and opened again when the server
// dropped it. Statements take their values as parameters, never in their text.
#ifndef PARLEY_PGSTORE_PG_CONNECTION_H_
#define PARLEY_PGSTORE_PG_CONNECTION_H_

#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace parley {

// A statement's answer: its rows as text (a NULL as ""), or the server's reason.
struct PgResult {
  bool ok = false;
  std::string error;
  std::vector<std::vector<std::string>> rows;
  int64_t affected = 0;  // rows a write changed
};

class PgConnection {
 public:
  // conninfo: a postgresql:// URL or key=value words, as libpq takes them.
  explicit PgConnection(std::string conninfo);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Connects when not connected (again after a dropped connection). False with *error.
  bool Connect(std::string* error);
  // Runs one statement with $1, $2... bound to params (text).
  PgResult Exec(const std::string& sql, const std::vector<std::string>& params = {});

 private:
  std::string conninfo_;
  pg_conn* conn_ = nullptr;
};

}  // namespace parley

#endif  // PARLEY_PGSTORE_PG_CONNECTION_H_
