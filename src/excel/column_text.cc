#include "excel/column_text.h"

#include <algorithm>
#include <cstring>

namespace parley {

int64_t ColumnText::Set(uint32_t row, std::string_view value) {
  const size_t before = ends_.size();
  if (row < before || value.size() > kBlockBytes) return 0;  // rows ascend: a second is ignored
  const auto last = static_cast<uint32_t>(used_);
  if (!value.empty()) {
    const uint64_t block_start = blocks_.empty() ? 0 : (blocks_.size() - 1) * kBlockBytes;
    if (blocks_.empty() || used_ + value.size() > block_start + block_size_) {
      const uint64_t start = blocks_.size() * kBlockBytes;
      if (start + kBlockBytes > UINT32_MAX) return -1;
      block_size_ = blocks_.empty() ? kFirstBlockBytes : std::min(block_size_ * 2, kBlockBytes);
      block_size_ = std::max(block_size_, value.size());
      blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_size_));
      block_memory_ += block_size_;
      used_ = start;
    }
    std::memcpy(blocks_.back().get() + (used_ - (blocks_.size() - 1) * kBlockBytes), value.data(),
                value.size());
  }
  ends_.resize(row, last);
  used_ += value.size();
  ends_.push_back(static_cast<uint32_t>(used_));
  return static_cast<int64_t>(ends_.size() - before);
}

std::string_view ColumnText::Get(uint32_t row) const {
  if (row >= ends_.size()) return {};
  const uint32_t end = ends_[row];
  uint32_t start = row == 0 ? 0 : ends_[row - 1];
  if (end == start) return {};
  if ((end - 1) / kBlockBytes != start / kBlockBytes) {
    start = static_cast<uint32_t>((end - 1) / kBlockBytes * kBlockBytes);
  }
  return std::string_view(blocks_[start / kBlockBytes].get() + start % kBlockBytes, end - start);
}

}  // namespace parley
