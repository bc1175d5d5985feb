#include "db/query_budget.h"

#include <sqlite3.h>

namespace parley {

BudgetGuard::BudgetGuard(sqlite3* db, const QueryBudget& budget)
    : db_(db), budget_(budget), deadline_(std::chrono::steady_clock::now() + budget.time) {
  if (!budget_.unbounded()) {
    sqlite3_progress_handler(db_, QueryBudget::kInstructionStep, &BudgetGuard::OnProgress, this);
  }
}

BudgetGuard::~BudgetGuard() {
  if (!budget_.unbounded()) sqlite3_progress_handler(db_, 0, nullptr, nullptr);
}

int BudgetGuard::OnProgress(void* self) {
  auto* guard = static_cast<BudgetGuard*>(self);
  ++guard->steps_;
  const QueryBudget& b = guard->budget_;
  if (b.instructions != 0 && guard->steps_ * QueryBudget::kInstructionStep >= b.instructions) {
    guard->exceeded_ = true;
  } else if (b.time.count() > 0 && std::chrono::steady_clock::now() >= guard->deadline_) {
    guard->exceeded_ = true;
    guard->by_time_ = true;
  }
  return guard->exceeded_ ? 1 : 0;
}

std::string BudgetGuard::Reason() const {
  if (by_time_) {
    return "query stopped: it reached the limit of " + std::to_string(budget_.time.count()) +
           " ms for one query";
  }
  return "query stopped: it reached the limit of " + std::to_string(budget_.instructions) +
         " instructions for one query";
}

}  // namespace parley
