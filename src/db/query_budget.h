// A bound on the work of one call into SQLite, so that no query, however it was written, can hold
// the engine's one thread.
//
// The bound applies to each call separately: compiling a statement, or stepping it to its next
// row. A query read row by row over a long time (a send that waits for the gateway between rows)
// is not stopped for the time it spends outside SQLite.
#ifndef PARLEY_DB_QUERY_BUDGET_H_
#define PARLEY_DB_QUERY_BUDGET_H_

#include <chrono>
#include <cstdint>
#include <string>

struct sqlite3;

namespace parley {

struct QueryBudget {
  // The longest time one call may take; zero for no bound.
  std::chrono::milliseconds time{0};
  // The most virtual-machine instructions one call may run, counted in steps of
  // kInstructionStep (a call is stopped at the first step that reaches the bound); zero for no
  // bound.
  uint64_t instructions = 0;

  static constexpr int kInstructionStep = 1000;

  bool unbounded() const { return time.count() <= 0 && instructions == 0; }
};

// While alive, stops the call running on db once it goes over budget: SQLite then fails it with
// SQLITE_INTERRUPT. Installs a progress handler on db and removes it again on destruction, so
// nothing outlives the call. An unbounded budget installs nothing.
// REQUIRES: db is open and outlives this object; one guard per connection at a time.
class BudgetGuard {
 public:
  BudgetGuard(sqlite3* db, const QueryBudget& budget);
  ~BudgetGuard();
  BudgetGuard(const BudgetGuard&) = delete;
  BudgetGuard& operator=(const BudgetGuard&) = delete;

  // True once the call was stopped for going over the budget.
  bool exceeded() const { return exceeded_; }

  // The reason to report for a stopped call (engine text): which bound it went over.
  std::string Reason() const;

 private:
  static int OnProgress(void* self);

  sqlite3* db_;
  QueryBudget budget_;
  std::chrono::steady_clock::time_point deadline_;
  uint64_t steps_ = 0;
  bool exceeded_ = false;
  bool by_time_ = false;
};

}  // namespace parley

#endif  // PARLEY_DB_QUERY_BUDGET_H_
