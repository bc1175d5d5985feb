// The shared strings of an xlsx workbook, filled by one thread while another reads them, so that
// the strings part and the worksheets can be parsed side by side.
#ifndef PARLEY_EXCEL_SHARED_STRING_TABLE_H_
#define PARLEY_EXCEL_SHARED_STRING_TABLE_H_

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace parley {

// Strings by index, appended by one producer and read by any number of consumers. A consumer
// asking for a string not yet added waits until the producer adds it or ends. Strings are copied
// one after another into blocks of memory and never move, so a consumer may keep what it got
// while the table lives.
class SharedStringTable {
 public:
  // At most this many strings.
  static constexpr size_t kMaxStrings = size_t{1} << 24;

  SharedStringTable();
  ~SharedStringTable();
  SharedStringTable(const SharedStringTable&) = delete;
  SharedStringTable& operator=(const SharedStringTable&) = delete;

  // The longest string.
  static constexpr size_t kMaxStringBytes = size_t{1} << 20;

  // Producer: appends the next string. False once the table holds kMaxStrings (or 4 GiB of
  // text), or when text is longer than kMaxStringBytes.
  bool Add(std::string_view text);
  // Producer: no more strings will come. ok false when the producer failed; Get then returns null
  // for every index it does not hold yet.
  void Finish(bool ok);

  // The string at index into *text, waiting for the producer if need be; false when the
  // producer ended without adding it.
  bool Get(uint32_t index, std::string_view* text);

  // Asks the producer to stop early (see cancelled); consumers waiting are not woken by it.
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

  // Strings added so far (all of them once finished).
  size_t size() const { return added_; }

 private:
  static constexpr size_t kBlockBits = 16;
  static constexpr size_t kBlockSize = size_t{1} << kBlockBits;
  static constexpr size_t kMaxBlocks = kMaxStrings / kBlockSize;
  // Strings are published to consumers this many at a time, and at the end.
  static constexpr size_t kPublishEvery = 256;

  void Publish();

  // Texts are copied one after another into chunks of this size, chunk i at offset
  // i * kChunkBytes of one run; a string that does not fit the rest of a chunk starts the next.
  static constexpr size_t kChunkBytes = kMaxStringBytes;
  static constexpr size_t kMaxChunks =
      (uint64_t{1} << 32) / kChunkBytes - 1;  // offsets fit 32 bits

  // What the producer changes at every string lies on a cache line of its own, apart from what
  // consumers read at every string (the block and chunk tables, published_): sharing one line
  // made each Get wait for the line to come back from the producer's core.
  static constexpr size_t kCacheLine = 64;

  // Producer's own.
  alignas(kCacheLine) uint64_t used_ = 0;  // offset of the next byte of text
  size_t chunk_count_ = 0;
  size_t added_ = 0;

  // String i ends at ends_[i / kBlockSize][i % kBlockSize] and starts where string i - 1 ends,
  // or at its own chunk's start when that is in an earlier chunk.
  alignas(kCacheLine) std::unique_ptr<std::unique_ptr<uint32_t[]>[]> ends_;
  std::unique_ptr<std::unique_ptr<char[]>[]> chunks_;
  std::atomic<size_t> published_{0};  // strings consumers may read
  std::atomic<int> waiters_{0};
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::condition_variable published_changed_;
  bool finished_ = false;  // guarded by mutex_
};

}  // namespace parley

#endif  // PARLEY_EXCEL_SHARED_STRING_TABLE_H_
