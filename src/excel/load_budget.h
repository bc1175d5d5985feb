// What loading one workbook may cost, whatever its format, and the running account of it, so that
// a small crafted file (a zip bomb, huge repeat counts, many sheets on one part) is refused with a
// reason instead of exhausting the engine's memory or time.
#ifndef PARLEY_EXCEL_LOAD_BUDGET_H_
#define PARLEY_EXCEL_LOAD_BUDGET_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace parley {

// The limits of one load. The defaults hold any workbook of a few hundred thousand rows with
// room to spare; tests and the fuzzer pass smaller ones.
// The reason of a load stopped by LoadLimits::stop.
inline constexpr char kStoppedReason[] = "the engine is stopping";

struct LoadLimits {
  // Bytes inflated from the parts of an .xlsx or .ods package, read from a .csv file or received
  // from the .xls reader, all parts and sheets together.
  uint64_t read_bytes = uint64_t{1} << 30;
  // Cells stored in the workbook's tables (cells holding a value).
  uint64_t stored_cells = uint64_t{1} << 25;
  // Bytes stored: the cells' text, plus four bytes for every row of every column up to the
  // column's last value (the slot an empty cell still takes).
  uint64_t stored_bytes = uint64_t{256} << 20;
  // Sheets stored.
  uint32_t sheets = 1024;
  // Bytes of an .xlsx's shared strings held while its sheets are read.
  uint64_t shared_string_bytes = uint64_t{256} << 20;
  // Memory one XML parser may hold; a start tag with its attributes is held whole.
  uint64_t xml_parser_bytes = uint64_t{16} << 20;
  // The formats' own grid: 1,048,576 rows by 16,384 columns (A..XFD).
  uint32_t rows = 1048576;
  uint32_t columns = 16384;
  // The columns stored: cells right of them are dropped before any repeat is applied.
  uint32_t stored_columns = 256;
  // A stored value is cut to this many bytes (at a UTF-8 character boundary).
  uint32_t cell_bytes = 32 * 1024;

  // When set, a load ends as soon as it reads true (a stopping engine), refused with the reason
  // kStoppedReason. Not owned.
  const std::atomic<bool>* stop = nullptr;

  // Bytes of one cell's text a reader gathers before the cut: enough that the text left after
  // decoding Excel's "_xHHHH_" escapes (7 bytes for one) is still longer than cell_bytes.
  size_t GatheredCellBytes() const { return size_t{cell_bytes} * 8 + 8; }
};

// The account of one load against its limits. Charged from the reading and the storing threads
// at once. The first charge over a limit fails, records a reason naming the limit
// ("the workbook is over its load limit: more than 256 MiB of cell text stored"), and every
// charge after it fails too.
class LoadBudget {
 public:
  explicit LoadBudget(const LoadLimits& limits = LoadLimits()) : limits_(limits) {}
  LoadBudget(const LoadBudget&) = delete;
  LoadBudget& operator=(const LoadBudget&) = delete;

  const LoadLimits& limits() const { return limits_; }

  // Bytes read (see LoadLimits::read_bytes).
  bool ChargeRead(uint64_t bytes);
  // Cells and bytes stored (see LoadLimits::stored_cells and stored_bytes).
  bool ChargeStored(uint64_t cells, uint64_t bytes);
  // One sheet stored (see LoadLimits::sheets).
  bool ChargeSheet();
  // Fails as a charge would when cells and bytes more are sure to be stored, without charging
  // them: lets a reader refuse a huge repeat at once.
  bool CanStore(uint64_t cells, uint64_t bytes);
  // Records that the named limit was reached elsewhere (a parser's memory, the shared strings);
  // what names it, e.g. "64 MiB of memory for one XML part".
  bool Exceeded(std::string_view what);

  // True once a limit was reached, or when the load was told to stop (LoadLimits::stop).
  bool exceeded() const {
    return exceeded_.load(std::memory_order_relaxed) ||
           (limits_.stop != nullptr && limits_.stop->load(std::memory_order_relaxed));
  }
  // The reason of the first charge over a limit; empty while none was.
  std::string reason() const;

 private:
  bool Charge(std::atomic<uint64_t>& used, uint64_t amount, uint64_t limit, std::string_view what,
              bool mib);

  const LoadLimits limits_;
  std::atomic<uint64_t> read_{0};
  std::atomic<uint64_t> sheets_{0};
  std::atomic<uint64_t> cells_{0};
  std::atomic<uint64_t> bytes_{0};
  std::atomic<bool> exceeded_{false};
  mutable std::mutex mutex_;
  std::string reason_;  // guarded by mutex_
};

// Appends text to out, which keeps at most limit bytes.
void AppendCapped(std::string* out, std::string_view text, size_t limit);

// A size for a reason: "256 MiB" when whole MiB, else "<n> bytes".
std::string SizeText(uint64_t bytes);

}  // namespace parley

#endif  // PARLEY_EXCEL_LOAD_BUDGET_H_
