// The sending rules' data (the opt-out list, the registered callbacks, the rules' settings) in a
// PostgreSQL database that the engines of an office share: an opt-out taken through one engine
// applies to every engine's next send. The tables are made when missing; texts are UTF-8 in the
// database and engine text (CP949) at this interface.
#ifndef PARLEY_PGSTORE_PG_RULES_STORE_H_
#define PARLEY_PGSTORE_PG_RULES_STORE_H_

#include <string>

#include "db/rules_book.h"
#include "pgstore/pg_connection.h"

namespace parley {

// True for a --database value that names a PostgreSQL server ("postgresql://" or "postgres://").
bool IsPostgresUrl(std::string_view url);

class PgRulesStore : public RulesStore {
 public:
  explicit PgRulesStore(std::string url) : db_(std::move(url)) {}

  // Connects and makes the tables when missing. False with *error.
  bool Open(std::string* error);

  std::vector<OptOutEntry> OptOuts() override;
  ListAdded AddOptOuts(const std::vector<std::string>& numbers, std::string_view note,
                       int64_t added) override;
  int64_t RemoveOptOuts(const std::vector<std::string>& numbers) override;
  std::vector<CallbackEntry> Callbacks() override;
  ListAdded AddCallbacks(const std::vector<std::string>& numbers, std::string_view label) override;
  int64_t RemoveCallbacks(const std::vector<std::string>& numbers) override;
  std::map<std::string, std::string> Settings() override;
  bool SetSetting(std::string_view name, std::string_view value) override;

 private:
  // A read's rows; throws CDBException when the server refuses or cannot be reached.
  std::vector<std::vector<std::string>> Read(const std::string& sql);
  ListAdded Add(const std::string& sql, const std::vector<std::string>& numbers,
                std::vector<std::string> params);
  int64_t Remove(const std::string& table, const std::vector<std::string>& numbers);

  PgConnection db_;
};

}  // namespace parley

#endif  // PARLEY_PGSTORE_PG_RULES_STORE_H_
