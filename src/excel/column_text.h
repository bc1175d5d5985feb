// One column of a stored sheet: its values row by row, in blocks of memory that are never moved,
// so that a large sheet grows without copying what it holds; the blocks grow from 256 bytes, so
// that the many short columns of a wide or many-sheeted workbook stay small.
#ifndef PARLEY_EXCEL_COLUMN_TEXT_H_
#define PARLEY_EXCEL_COLUMN_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace parley {

class ColumnText {
 public:
  // The largest block; a value fits one block.
  static constexpr size_t kBlockBytes = size_t{1} << 20;
  static constexpr size_t kFirstBlockBytes = 256;

  // Sets row's value (at most kBlockBytes; empty is NULL). Rows are set in ascending order;
  // rows skipped hold NULL. Returns the slots the column grew by (the row and those skipped),
  // or -1 when the column would pass 4 GiB of text.
  int64_t Set(uint32_t row, std::string_view value);

  // The value of row; a null data() for NULL (rows past the last one set are NULL too).
  std::string_view Get(uint32_t row) const;

  // Rows up to the last one set.
  uint32_t rows() const { return static_cast<uint32_t>(ends_.size()); }

  // The bytes this column holds.
  size_t memory() const { return block_memory_ + ends_.capacity() * sizeof(uint32_t); }

 private:
  // Block i starts at offset i * kBlockBytes of one run, whatever its own size. Each row's value
  // ends at ends_[row]; it starts where the row before ends, or, when that is in an earlier
  // block, at its own block's start (a value that did not fit the rest of a block went to the
  // next one).
  std::vector<uint32_t> ends_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_size_ = 0;    // of the last block
  size_t block_memory_ = 0;  // of all blocks
  uint64_t used_ = 0;        // offset of the next byte
};

}  // namespace parley

#endif  // PARLEY_EXCEL_COLUMN_TEXT_H_
