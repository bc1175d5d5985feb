#include "excel/load_budget.h"

namespace parley {

std::string SizeText(uint64_t bytes) {
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

void AppendCapped(std::string* out, std::string_view text, size_t limit) {
  if (out->size() < limit) out->append(text.substr(0, limit - out->size()));
}

bool LoadBudget::Exceeded(std::string_view what) {
  std::lock_guard lock(mutex_);
  if (reason_.empty()) {
    reason_ = "the workbook is over its load limit: more than ";
    reason_ += what;
  }
  exceeded_.store(true, std::memory_order_relaxed);
  return false;
}

std::string LoadBudget::reason() const {
  std::lock_guard lock(mutex_);
  if (reason_.empty() && exceeded()) return kStoppedReason;
  return reason_;
}

bool LoadBudget::Charge(std::atomic<uint64_t>& used, uint64_t amount, uint64_t limit,
                        std::string_view what, bool mib) {
  if (exceeded()) return false;
  if (used.fetch_add(amount, std::memory_order_relaxed) + amount <= limit) return true;
  return Exceeded((mib ? SizeText(limit) : std::to_string(limit)) + " " + std::string(what));
}

bool LoadBudget::ChargeRead(uint64_t bytes) {
  return Charge(read_, bytes, limits_.read_bytes, "of workbook data read", true);
}

bool LoadBudget::ChargeStored(uint64_t cells, uint64_t bytes) {
  return Charge(cells_, cells, limits_.stored_cells, "cells stored", false) &&
         Charge(bytes_, bytes, limits_.stored_bytes, "of cells stored", true);
}

bool LoadBudget::ChargeSheet() { return Charge(sheets_, 1, limits_.sheets, "sheets", false); }

bool LoadBudget::CanStore(uint64_t cells, uint64_t bytes) {
  if (exceeded()) return false;
  if (cells_.load(std::memory_order_relaxed) + cells > limits_.stored_cells) {
    return Exceeded(std::to_string(limits_.stored_cells) + " cells stored");
  }
  if (bytes_.load(std::memory_order_relaxed) + bytes > limits_.stored_bytes) {
    return Exceeded(SizeText(limits_.stored_bytes) + " of cells stored");
  }
  return true;
}

}  // namespace parley
