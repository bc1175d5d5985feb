// For tests: the private PostgreSQL server the test script starts (PARLEY_TEST_DATABASE), and a
// schema of the test's own on it, so that tests running at once never see each other's rows.
#ifndef PARLEY_PGSTORE_TEST_DATABASE_H_
#define PARLEY_PGSTORE_TEST_DATABASE_H_

#include <cstdlib>
#include <string>

#include "pgstore/pg_connection.h"

namespace parley::testing {

// The server's URL, or empty when none was started.
inline std::string TestDatabase() {
  const char* url = std::getenv("PARLEY_TEST_DATABASE");
  return url != nullptr ? url : "";
}

// A URL of the server whose tables live in schema `name`, made empty first; empty when there is
// no server or the schema cannot be made.
inline std::string FreshSchema(const std::string& name) {
  const std::string base = TestDatabase();
  if (base.empty()) return {};
  PgConnection db(base);
  if (!db.Exec("DROP SCHEMA IF EXISTS " + name + " CASCADE").ok ||
      !db.Exec("CREATE SCHEMA " + name).ok) {
    return {};
  }
  return base + "?options=-csearch_path%3D" + name;
}

}  // namespace parley::testing

#endif  // PARLEY_PGSTORE_TEST_DATABASE_H_
