#include "pgstore/pg_connection.h"

#include <libpq-fe.h>

namespace parley {

PgConnection::PgConnection(std::string conninfo) : conninfo_(std::move(conninfo)) {}

PgConnection::~PgConnection() {
  if (conn_ != nullptr) PQfinish(conn_);
}

bool PgConnection::Connect(std::string* error) {
  if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) return true;
  if (conn_ != nullptr) {
    PQreset(conn_);
    if (PQstatus(conn_) == CONNECTION_OK) return true;
    PQfinish(conn_);
  }
  conn_ = PQconnectdb(conninfo_.c_str());
  if (PQstatus(conn_) == CONNECTION_OK) {
    // Texts are UTF-8 on the wire, whatever the server's default.
    PQsetClientEncoding(conn_, "UTF8");
    return true;
  }
  *error = PQerrorMessage(conn_);
  while (!error->empty() && (error->back() == '\n' || error->back() == ' ')) error->pop_back();
  PQfinish(conn_);
  conn_ = nullptr;
  return false;
}

PgResult PgConnection::Exec(const std::string& sql, const std::vector<std::string>& params) {
  PgResult result;
  if (!Connect(&result.error)) return result;
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const std::string& p : params) values.push_back(p.c_str());
  PGresult* res = PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr,
                               values.data(), nullptr, nullptr, 0);
  const ExecStatusType status = PQresultStatus(res);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
    result.ok = true;
    const char* tuples = PQcmdTuples(res);
    result.affected = tuples != nullptr && *tuples != '\0' ? std::atoll(tuples) : 0;
    for (int r = 0; r < PQntuples(res); ++r) {
      std::vector<std::string> row;
      for (int c = 0; c < PQnfields(res); ++c) row.emplace_back(PQgetvalue(res, r, c));
      result.rows.push_back(std::move(row));
    }
  } else {
    result.error = PQresultErrorMessage(res);
    while (!result.error.empty() && result.error.back() == '\n') result.error.pop_back();
  }
  PQclear(res);
  return result;
}

}  // namespace parley
