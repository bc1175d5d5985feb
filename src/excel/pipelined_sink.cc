#include "excel/pipelined_sink.h"

#include <utility>

namespace parley {
namespace {

constexpr size_t kBatchEvents = 8192;
// A batch is handed over once its texts reach this size, so that a few batches of long cells
// stay small.
constexpr size_t kBatchBytes = size_t{1} << 20;
constexpr size_t kMaxQueuedBatches = 8;

}  // namespace

PipelinedSink::PipelinedSink(SheetSink& target) : target_(target) {
  current_.events.reserve(kBatchEvents);
  thread_ = std::thread([this] { Replay(); });
}

PipelinedSink::~PipelinedSink() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool PipelinedSink::BeginSheet(std::string_view name) { return Add(Kind::kBegin, 0, 0, name); }

bool PipelinedSink::Cell(uint32_t row, uint32_t column, std::string_view value) {
  return Add(Kind::kCell, row, column, value);
}

bool PipelinedSink::EndSheet() { return Add(Kind::kEnd, 0, 0, {}); }

bool PipelinedSink::Add(Kind kind, uint32_t row, uint32_t column, std::string_view text) {
  if (failed_.load(std::memory_order_relaxed)) return false;
  current_.events.push_back({kind, row, column, static_cast<uint32_t>(text.size())});
  current_.text.append(text);
  if (current_.events.size() < kBatchEvents && current_.text.size() < kBatchBytes) return true;
  return Flush();
}

bool PipelinedSink::Flush() {
  if (current_.events.empty()) return !failed_;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kMaxQueuedBatches || failed_; });
  if (failed_) return false;
  queue_.push_back(std::move(current_));
  current_ = Batch();
  current_.events.reserve(kBatchEvents);
  lock.unlock();
  changed_.notify_all();
  return true;
}

bool PipelinedSink::Finish() {
  const bool flushed = Flush();
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  return flushed && !failed_;
}

void PipelinedSink::Replay() {
  for (;;) {
    Batch batch;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !queue_.empty() || closed_; });
      if (queue_.empty()) return;
      batch = std::move(queue_.front());
      queue_.pop_front();
    }
    changed_.notify_all();
    if (failed_) continue;  // drain what is queued without replaying it
    size_t offset = 0;
    for (const Event& e : batch.events) {
      const std::string_view text(batch.text.data() + offset, e.length);
      offset += e.length;
      bool ok = true;
      switch (e.kind) {
        case Kind::kBegin:
          ok = target_.BeginSheet(text);
          break;
        case Kind::kCell:
          ok = target_.Cell(e.row, e.column, text);
          break;
        case Kind::kEnd:
          ok = target_.EndSheet();
          break;
      }
      if (!ok) {
        {
          std::lock_guard lock(mutex_);
          failed_ = true;
        }
        changed_.notify_all();
        break;
      }
    }
  }
}

}  // namespace parley
