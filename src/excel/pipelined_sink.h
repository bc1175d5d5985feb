// Hands a reader's cells to another sink on a second thread, so that reading a workbook (inflating
// and parsing) and storing its cells run side by side.
#ifndef PARLEY_EXCEL_PIPELINED_SINK_H_
#define PARLEY_EXCEL_PIPELINED_SINK_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "excel/sheet_sink.h"

namespace parley {

// Receives the calls of one reader on the reader's thread and replays them, in order, on target
// on a thread of its own. Holds at most a few batches of cells at a time, each of at most 8192
// cells and little more than 1 MiB of text. Once target refuses a
// call, the next calls here return false, which stops the reader.
class PipelinedSink : public SheetSink {
 public:
  explicit PipelinedSink(SheetSink& target);
  // Waits for the second thread (see Finish).
  ~PipelinedSink() override;
  PipelinedSink(const PipelinedSink&) = delete;
  PipelinedSink& operator=(const PipelinedSink&) = delete;

  bool BeginSheet(std::string_view name) override;
  bool Cell(uint32_t row, uint32_t column, std::string_view value) override;
  bool EndSheet() override;

  // Replays what is left and waits until target has it all. True when target took every call.
  bool Finish();

 private:
  enum class Kind : uint8_t { kBegin, kCell, kEnd };
  struct Event {
    Kind kind;
    uint32_t row;
    uint32_t column;
    uint32_t length;
  };
  struct Batch {
    std::vector<Event> events;
    std::string text;  // the events' texts, one after the other
  };

  bool Add(Kind kind, uint32_t row, uint32_t column, std::string_view text);
  bool Flush();
  void Replay();

  SheetSink& target_;
  Batch current_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> queue_;
  bool closed_ = false;
  std::atomic<bool> failed_{false};
  std::thread thread_;
};

}  // namespace parley

#endif  // PARLEY_EXCEL_PIPELINED_SINK_H_
