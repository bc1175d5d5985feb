// Transaction: the statements run on a CExcelDatabase between its construction and Commit()
// are written together; without Commit() they are rolled back when it goes out of scope.
#ifndef PARLEY_DB_TRANSACTION_H_
#define PARLEY_DB_TRANSACTION_H_

#include "db/excel_database.h"

namespace parley {

class Transaction {
 public:
  explicit Transaction(CExcelDatabase& db) : db_(db), open_(db.BeginTrans()) {}
  ~Transaction() {
    if (open_) db_.Rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // False when the transaction could not begin.
  bool active() const { return open_; }

  // Writes the statements; false (and rolled back) when the commit fails.
  bool Commit() {
    if (!open_) return false;
    open_ = false;
    if (db_.CommitTrans()) return true;
    db_.Rollback();
    return false;
  }

 private:
  CExcelDatabase& db_;
  bool open_;
};

}  // namespace parley

#endif  // PARLEY_DB_TRANSACTION_H_
