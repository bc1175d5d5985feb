// Excel 97-2003 workbooks (BIFF in a compound file), read through freexl, which hands text over
// as UTF-8 whatever the workbook's code page and turns date-formatted numbers into date text.
//
// freexl runs in a child process: it trusts lengths inside the file, and a damaged or crafted
// workbook can make it read past its buffers. The child sends the cells back over a pipe; when it
// dies, the workbook is reported as damaged and the engine carries on.
#include <fcntl.h>
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "excel/cell_format.h"
#include "excel/workbook_readers.h"

namespace parley {
namespace {

// The frames the child writes, each a kind byte and then:
//   kSheet:    name length (4), name
//   kCell:     row (4), column (4), value length (4), value
//   kEndSheet: nothing
//   kFailed:   reason length (4), reason
//   kDone:     nothing
// Numbers are in host byte order: both ends are the same program.
enum Frame : char { kSheet = 'S', kCell = 'C', kEndSheet = 'E', kFailed = 'F', kDone = 'D' };
constexpr size_t kNumberSize = 4;
// No text freexl gives is near this long (a BIFF string holds at most 32767 characters).
constexpr uint32_t kMaxTextBytes = 1 << 20;
constexpr size_t kPipeChunk = 64 * 1024;
// A child silent for this long is taken to be stuck on a damaged file.
constexpr int kSilenceLimitMs = 30 * 1000;

constexpr const char* kDamaged = "the workbook is damaged or not an Excel workbook";

// Closes the freexl handle when leaving.
class XlsHandle {
 public:
  XlsHandle() = default;
  ~XlsHandle() {
    if (handle_ != nullptr) freexl_close(handle_);
  }
  XlsHandle(const XlsHandle&) = delete;
  XlsHandle& operator=(const XlsHandle&) = delete;

  const void* get() const { return handle_; }
  const void** out() { return &handle_; }

 private:
  const void* handle_ = nullptr;
};

// Tells whether a workbook that freexl could not open is encrypted: its FILEPASS record is
// still visible to the metadata-only open.
bool IsEncrypted(const std::filesystem::path& path) {
  XlsHandle info;
  if (freexl_open_info(path.c_str(), info.out()) != FREEXL_OK) return false;
  unsigned int password = 0;
  return freexl_get_info(info.get(), FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
         password == FREEXL_BIFF_OBFUSCATED;
}

std::string OpenFailure(const std::filesystem::path& path, int rc) {
  switch (rc) {
    case FREEXL_FILE_NOT_FOUND:
      return "cannot open " + path.string();
    case FREEXL_INSUFFICIENT_MEMORY:
      return "not enough memory to read the workbook";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
      // A compound file without a workbook stream: most often an encrypted .xlsx, which Office
      // keeps in a compound file too.
      return "the workbook is password-protected or not an Excel workbook";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
      return "not an Excel workbook";
    default:
      if (IsEncrypted(path)) return "the workbook is password-protected";
      return kDamaged;
  }
}

// The text stored for one cell; empty for an empty cell.
std::string CellText(const FreeXL_CellValue& value) {
  switch (value.type) {
    case FREEXL_CELL_INT:
      return FormatNumber(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
      return FormatNumber(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_TIME:
      return value.value.text_value != nullptr ? value.value.text_value : "";
    case FREEXL_CELL_DATETIME: {
      if (value.value.text_value == nullptr) return "";
      std::string text = value.value.text_value;
      constexpr std::string_view kMidnight = " 00:00:00";
      if (text.size() > kMidnight.size() &&
          text.compare(text.size() - kMidnight.size(), kMidnight.size(), kMidnight) == 0) {
        text.resize(text.size() - kMidnight.size());
      }
      return text;
    }
    default:
      return "";
  }
}

// The child's side: frames buffered and written to the pipe in chunks.
class FrameWriter {
 public:
  explicit FrameWriter(int fd) : fd_(fd) {}

  void Kind(Frame kind) { buffer_.push_back(kind); }
  void Number(uint32_t n) { buffer_.append(reinterpret_cast<const char*>(&n), kNumberSize); }
  void Text(std::string_view text) {
    text = text.substr(0, kMaxTextBytes);
    Number(static_cast<uint32_t>(text.size()));
    buffer_.append(text);
  }
  // False when the pipe is gone.
  bool Flush(bool always) {
    if (!always && buffer_.size() < kPipeChunk) return true;
    size_t done = 0;
    while (done < buffer_.size()) {
      ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    buffer_.clear();
    return true;
  }

 private:
  int fd_;
  std::string buffer_;
};

// Runs in the child: reads the workbook and writes its frames, within the grid's rows and the
// stored columns.
void SendWorkbook(const std::filesystem::path& path, const LoadLimits& limits, FrameWriter& out) {
  auto fail = [&out](const std::string& reason) {
    out.Kind(kFailed);
    out.Text(reason);
  };
  XlsHandle xls;
  int rc = freexl_open(path.c_str(), xls.out());
  if (rc != FREEXL_OK) return fail(OpenFailure(path, rc));
  unsigned int password = 0;
  if (freexl_get_info(xls.get(), FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
      password == FREEXL_BIFF_OBFUSCATED) {
    return fail("the workbook is password-protected");
  }
  unsigned int sheets = 0;
  if (freexl_get_info(xls.get(), FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK) {
    return fail("the workbook is damaged: its sheets cannot be listed");
  }
  for (unsigned int sheet = 0; sheet < sheets && sheet <= 0xFFFF; ++sheet) {
    auto index = static_cast<unsigned short>(sheet);
    const char* name = nullptr;
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_get_worksheet_name(xls.get(), index, &name) != FREEXL_OK ||
        freexl_select_active_worksheet(xls.get(), index) != FREEXL_OK ||
        freexl_worksheet_dimensions(xls.get(), &rows, &columns) != FREEXL_OK) {
      return fail("the workbook is damaged: sheet " + std::to_string(sheet + 1) +
                  " cannot be read");
    }
    rows = std::min(rows, limits.rows);
    columns = static_cast<unsigned short>(std::min<uint32_t>(columns, limits.stored_columns));
    out.Kind(kSheet);
    out.Text(name != nullptr ? name : "");
    for (unsigned int row = 0; row < rows; ++row) {
      for (unsigned short column = 0; column < columns; ++column) {
        FreeXL_CellValue value;
        if (freexl_get_cell_value(xls.get(), row, column, &value) != FREEXL_OK) continue;
        std::string text = CellText(value);
        if (text.empty()) continue;
        out.Kind(kCell);
        out.Number(row);
        out.Number(column);
        out.Text(text);
      }
      if (!out.Flush(false)) return;
    }
    out.Kind(kEndSheet);
  }
  out.Kind(kDone);
}

// The caller's side: the child process, ended and reaped when leaving.
class Child {
 public:
  Child(pid_t pid, int fd) : pid_(pid), fd_(fd) {}
  ~Child() {
    if (fd_ >= 0) ::close(fd_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  int fd() const { return fd_; }

  // Reaps the child; true when it ended normally with status 0.
  bool Wait() {
    int status = 0;
    pid_t rc;
    do {
      rc = ::waitpid(pid_, &status, 0);
    } while (rc < 0 && errno == EINTR);
    pid_ = -1;
    return rc > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  pid_t pid_;
  int fd_;
};

// Parses the frames in buffer from *offset on, handing them to the sink. Stops at an incomplete
// frame (leaving *offset at its start) or at the end of the workbook.
enum class Parse { kMore, kDone, kFailed, kStopped, kBad };
Parse ParseFrames(const std::string& buffer, size_t* offset, SheetSink& sink, std::string* sheet,
                  std::string* error) {
  auto number = [&buffer](size_t at) {
    uint32_t n;
    std::memcpy(&n, buffer.data() + at, kNumberSize);
    return n;
  };
  for (;;) {
    size_t at = *offset;
    if (at >= buffer.size()) return Parse::kMore;
    size_t left = buffer.size() - at - 1;
    switch (buffer[at]) {
      case kSheet:
      case kFailed: {
        if (left < kNumberSize) return Parse::kMore;
        uint32_t size = number(at + 1);
        if (size > kMaxTextBytes) return Parse::kBad;
        if (left < kNumberSize + size) return Parse::kMore;
        std::string text = buffer.substr(at + 1 + kNumberSize, size);
        *offset = at + 1 + kNumberSize + size;
        if (buffer[at] == kFailed) {
          *error = text;
          return Parse::kFailed;
        }
        *sheet = text;
        if (!sink.BeginSheet(text)) return Parse::kStopped;
        continue;
      }
      case kCell: {
        if (left < 3 * kNumberSize) return Parse::kMore;
        uint32_t size = number(at + 1 + 2 * kNumberSize);
        if (size > kMaxTextBytes) return Parse::kBad;
        if (left < 3 * kNumberSize + size) return Parse::kMore;
        std::string_view value(buffer.data() + at + 1 + 3 * kNumberSize, size);
        *offset = at + 1 + 3 * kNumberSize + size;
        if (!sink.Cell(number(at + 1), number(at + 1 + kNumberSize), value)) {
          return Parse::kStopped;
        }
        continue;
      }
      case kEndSheet:
        *offset = at + 1;
        if (!sink.EndSheet()) return Parse::kStopped;
        continue;
      case kDone:
        *offset = at + 1;
        return Parse::kDone;
      default:
        return Parse::kBad;
    }
  }
}

}  // namespace

bool ReadXls(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
             std::string* error) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::string("cannot read the workbook: ") + std::strerror(errno);
    return false;
  }
  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    *error = std::string("cannot read the workbook: ") + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    ::close(fds[0]);
    FrameWriter out(fds[1]);
    SendWorkbook(path, budget.limits(), out);
    _exit(out.Flush(true) ? 0 : 1);
  }
  ::close(fds[1]);
  Child child(pid, fds[0]);

  std::string buffer;
  size_t offset = 0;
  std::string sheet;
  for (;;) {
    Parse parse = ParseFrames(buffer, &offset, sink, &sheet, error);
    if (parse == Parse::kDone) {
      child.Wait();
      return true;
    }
    if (parse == Parse::kFailed) return false;
    if (parse == Parse::kStopped) {
      *error = "reading stopped at sheet \"" + sheet + "\"";
      return false;
    }
    if (parse == Parse::kBad) break;
    buffer.erase(0, offset);
    offset = 0;
    size_t old_size = buffer.size();
    buffer.resize(old_size + kPipeChunk);
    ssize_t n = -1;
    pollfd ready{child.fd(), POLLIN, 0};
    int polled;
    do {
      polled = ::poll(&ready, 1, kSilenceLimitMs);
    } while (polled < 0 && errno == EINTR);
    if (polled > 0) {
      do {
        n = ::read(child.fd(), buffer.data() + old_size, kPipeChunk);
      } while (n < 0 && errno == EINTR);
    }
    buffer.resize(old_size + static_cast<size_t>(n > 0 ? n : 0));
    if (n <= 0) break;
    if (!budget.ChargeRead(static_cast<uint64_t>(n))) {
      *error = budget.reason();
      return false;
    }
  }
  // The child died or sent nonsense before the end of the workbook.
  *error = kDamaged;
  return false;
}

}  // namespace parley
