#include "excel/shared_string_table.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace parley {

SharedStringTable::SharedStringTable()
    : blocks_(std::make_unique<std::unique_ptr<std::string_view[]>[]>(kMaxBlocks)) {}

SharedStringTable::~SharedStringTable() = default;

bool SharedStringTable::Add(std::string_view text) {
  if (added_ >= kMaxStrings) return false;
  std::unique_ptr<std::string_view[]>& block = blocks_[added_ >> kBlockBits];
  if (!block) block = std::make_unique<std::string_view[]>(kBlockSize);
  if (chunks_.empty() || text.size() > chunk_size_ - chunk_used_) {
    chunk_size_ = std::max(kChunkBytes, text.size());
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(chunk_size_));
    chunk_used_ = 0;
  }
  // Every string points into a chunk, so an empty one is told from a missing one too.
  char* at = chunks_.back().get() + chunk_used_;
  std::memcpy(at, text.data(), text.size());
  chunk_used_ += text.size();
  block[added_ & (kBlockSize - 1)] = std::string_view(at, text.size());
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

const std::string_view* SharedStringTable::Get(uint32_t index) {
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
