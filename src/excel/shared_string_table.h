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

  // Producer: appends the next string. False once the table holds kMaxStrings.
  bool Add(std::string_view text);
  // Producer: no more strings will come. ok false when the producer failed; Get then returns null
  // for every index it does not hold yet.
  void Finish(bool ok);

  // The string at index, waiting for the producer if need be; null when the producer ended
  // without adding it.
  const std::string_view* Get(uint32_t index);

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

  // Texts are copied into chunks of this size (a longer text gets a chunk of its own).
  static constexpr size_t kChunkBytes = size_t{1} << 20;

  // What the producer changes at every string lies on a cache line of its own, apart from what
  // consumers read at every string (blocks_, published_): sharing one line made each Get wait
  // for the line to come back from the producer's core.
  static constexpr size_t kCacheLine = 64;

  // Producer's own.
  alignas(kCacheLine) std::vector<std::unique_ptr<char[]>> chunks_;
  size_t chunk_size_ = 0;  // of the last chunk
  size_t chunk_used_ = 0;  // bytes of it taken
  size_t added_ = 0;

  alignas(kCacheLine) std::unique_ptr<std::unique_ptr<std::string_view[]>[]> blocks_;
  std::atomic<size_t> published_{0};  // strings consumers may read
  std::atomic<int> waiters_{0};
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::condition_variable published_changed_;
  bool finished_ = false;  // guarded by mutex_
};

}  // namespace parley

#endif  // PARLEY_EXCEL_SHARED_STRING_TABLE_H_
