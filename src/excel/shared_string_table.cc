#include "excel/shared_string_table.h"

#include <cstring>
#include <utility>

namespace parley {

SharedStringTable::SharedStringTable()
    : ends_(std::make_unique<std::unique_ptr<uint32_t[]>[]>(kMaxBlocks)),
      chunks_(std::make_unique<std::unique_ptr<char[]>[]>(kMaxChunks)) {}

SharedStringTable::~SharedStringTable() = default;

bool SharedStringTable::Add(std::string_view text) {
  if (added_ >= kMaxStrings || text.size() > kMaxStringBytes) return false;
  std::unique_ptr<uint32_t[]>& block = ends_[added_ >> kBlockBits];
  if (!block) block = std::make_unique_for_overwrite<uint32_t[]>(kBlockSize);
  if (!text.empty() && (chunk_count_ == 0 || used_ + text.size() > chunk_count_ * kChunkBytes)) {
    if (chunk_count_ == kMaxChunks) return false;
    chunks_[chunk_count_] = std::make_unique_for_overwrite<char[]>(kChunkBytes);
    used_ = chunk_count_ * kChunkBytes;
    ++chunk_count_;
  }
  if (!text.empty()) {
    std::memcpy(chunks_[chunk_count_ - 1].get() + (used_ - (chunk_count_ - 1) * kChunkBytes),
                text.data(), text.size());
  }
  used_ += text.size();
  block[added_ & (kBlockSize - 1)] = static_cast<uint32_t>(used_);
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

bool SharedStringTable::Get(uint32_t index, std::string_view* text) {
  if (index >= kMaxStrings) return false;
  if (index >= published_.load(std::memory_order_acquire)) {
    std::unique_lock lock(mutex_);
    waiters_.fetch_add(1);
    published_changed_.wait(lock, [&] { return index < published_.load() || finished_; });
    waiters_.fetch_sub(1);
    if (index >= published_.load()) return false;
  }
  const uint32_t end = ends_[index >> kBlockBits][index & (kBlockSize - 1)];
  uint32_t start =
      index == 0 ? 0 : ends_[(index - 1) >> kBlockBits][(index - 1) & (kBlockSize - 1)];
  if (end == start) {
    *text = {};
    return true;
  }
  if ((end - 1) / kChunkBytes != start / kChunkBytes) {
    start = static_cast<uint32_t>((end - 1) / kChunkBytes * kChunkBytes);
  }
  *text = std::string_view(chunks_[start / kChunkBytes].get() + start % kChunkBytes, end - start);
  return true;
}

}  // namespace parley
