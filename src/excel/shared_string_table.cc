#include "excel/shared_string_table.h"

#include <utility>

namespace parley {

SharedStringTable::SharedStringTable()
    : blocks_(std::make_unique<std::unique_ptr<std::string[]>[]>(kMaxBlocks)) {}

SharedStringTable::~SharedStringTable() = default;

bool SharedStringTable::Add(std::string text) {
  if (added_ >= kMaxStrings) return false;
  std::unique_ptr<std::string[]>& block = blocks_[added_ >> kBlockBits];
  if (!block) block = std::make_unique<std::string[]>(kBlockSize);
  block[added_ & (kBlockSize - 1)] = std::move(text);
  ++added_;
  if (added_ % kPublishEvery == 0) Publish();
  return true;
}

void SharedStringTable::Publish() {
  published_.store(added_);
  // A consumer counts itself a waiter before it looks at published_ under the lock, so either it
  // sees the new count or it is counted here and woken.
  if (waiters_.load() > 0) {
    { std::lock_guard lock(mutex_); }
    published_changed_.notify_all();
  }
}

void SharedStringTable::Finish(bool ok) {
  if (ok) published_.store(added_);
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  published_changed_.notify_all();
}

const std::string* SharedStringTable::Get(uint32_t index) {
  if (index >= kMaxStrings) return nullptr;
  if (index >= published_.load(std::memory_order_acquire)) {
    std::unique_lock lock(mutex_);
    waiters_.fetch_add(1);
    published_changed_.wait(lock, [&] { return index < published_.load() || finished_; });
    waiters_.fetch_sub(1);
    if (index >= published_.load()) return nullptr;
  }
  return &blocks_[index >> kBlockBits][index & (kBlockSize - 1)];
}

}  // namespace parley
