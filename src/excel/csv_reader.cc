// Comma-separated (or, in a .txt file, tab-separated) values, read in two passes over fixed-size
// chunks: the first decides the text encoding (UTF-8 when every byte sequence is valid UTF-8, else
// CP949), the second parses. CP949 needs no care while parsing: its trail bytes never take the
// values of '"', ',', CR or LF.
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "excel/workbook_readers.h"
#include "text/cp949.h"
#include "text/utf8_validator.h"

namespace parley {
namespace {

constexpr size_t kChunkBytes = 64 * 1024;
// A field longer than this keeps only its start; the table takes less anyway.
constexpr size_t kMaxFieldBytes = 64 * 1024;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Splits bytes into fields and records and hands the non-empty fields of the first columns
// (the grid's width) to the sink.
class CsvParser {
 public:
  // delimiter separates the fields: ',' or, in a tab-separated text file, '\t'.
  CsvParser(SheetSink& sink, bool cp949, char delimiter, uint32_t columns)
      : sink_(sink), cp949_(cp949), delimiter_(delimiter), columns_(columns) {}

  // False when the sink refused a cell.
  bool Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      char c = data[i];
      if (after_cr_) {
        after_cr_ = false;
        if (c == '\n') continue;
      }
      switch (state_) {
        case State::kFieldStart:
          if (c == '"') {
            state_ = State::kQuoted;
            started_ = true;
            continue;
          }
          state_ = State::kUnquoted;
          [[fallthrough]];
        case State::kUnquoted:
          if (c == delimiter_) {
            if (!EndField()) return false;
          } else if (c == '\r' || c == '\n') {
            after_cr_ = c == '\r';
            if (!EndRecord()) return false;
          } else {
            Append(c);
          }
          continue;
        case State::kQuoted:
          if (c == '"') {
            state_ = State::kQuoteInQuoted;
          } else {
            Append(c);
          }
          continue;
        case State::kQuoteInQuoted:
          if (c == '"') {
            Append('"');
            state_ = State::kQuoted;
          } else if (c == delimiter_) {
            if (!EndField()) return false;
          } else if (c == '\r' || c == '\n') {
            after_cr_ = c == '\r';
            if (!EndRecord()) return false;
          } else {
            // Text after a closing quote: kept, as most readers do.
            Append(c);
            state_ = State::kUnquoted;
          }
          continue;
      }
    }
    return true;
  }

  // Ends the last record; an unterminated quoted field keeps what was read.
  bool Finish() {
    if (state_ == State::kFieldStart && column_ == 0 && !started_) return true;
    return EndRecord();
  }

 private:
  enum class State { kFieldStart, kUnquoted, kQuoted, kQuoteInQuoted };

  void Append(char c) {
    started_ = true;
    if (field_.size() < kMaxFieldBytes) field_.push_back(c);
  }

  bool EndField() {
    bool ok = true;
    if (!field_.empty() && column_ < columns_) {
      if (cp949_ && !IsAscii(field_)) {
        ok = sink_.Cell(row_, column_, AnsiToUtf8(field_));
      } else {
        ok = sink_.Cell(row_, column_, field_);
      }
    }
    field_.clear();
    started_ = false;
    state_ = State::kFieldStart;
    if (column_ < UINT32_MAX) ++column_;
    return ok;
  }

  bool EndRecord() {
    if (!EndField()) return false;
    column_ = 0;
    if (row_ < UINT32_MAX) ++row_;
    return true;
  }

  static bool IsAscii(const std::string& text) {
    for (char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
  }

  SheetSink& sink_;
  bool cp949_;
  char delimiter_;
  uint32_t columns_;
  State state_ = State::kFieldStart;
  bool after_cr_ = false;
  bool started_ = false;
  std::string field_;
  uint32_t row_ = 0;
  uint32_t column_ = 0;
};

std::string SystemReason(const char* what, const std::filesystem::path& path) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

bool ReadCsv(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
             std::string* error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (file == nullptr) {
    *error = SystemReason("cannot open", path);
    return false;
  }
  // Both passes read the file; the second, which stores it, is charged as it goes, and the first
  // stops where the second would.
  const uint64_t limit = budget.limits().read_bytes;
  auto over_budget = [&](uint64_t bytes) {
    budget.ChargeRead(bytes);
    *error = budget.reason();
    return false;
  };
  struct stat info;
  if (::fstat(::fileno(file.get()), &info) == 0 && static_cast<uint64_t>(info.st_size) > limit) {
    return over_budget(static_cast<uint64_t>(info.st_size));
  }
  std::unique_ptr<char[]> buffer(new char[kChunkBytes]);

  Utf8Validator validator;
  size_t n;
  bool first = true;
  char delimiter = ',';
  uint64_t seen = 0;
  while ((n = std::fread(buffer.get(), 1, kChunkBytes, file.get())) > 0) {
    seen += n;
    if (seen > limit) return over_budget(seen);
    if (first) {
      const std::string_view head(buffer.get(), n);
      if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
        *error = "UTF-16 text is not read: " + path.string() +
                 " (save it as CSV, or as text in UTF-8 or ANSI)";
        return false;
      }
      // A text file ("텍스트 (탭으로 분리)") separates its fields with tabs when its first line
      // has one.
      std::string extension = path.extension().string();
      for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const std::string_view line = head.substr(0, head.find('\n'));
      if (extension == ".txt" && line.find('\t') != std::string_view::npos) delimiter = '\t';
      first = false;
    }
    if (!validator.Feed(reinterpret_cast<const unsigned char*>(buffer.get()), n)) break;
  }
  if (std::ferror(file.get())) {
    *error = SystemReason("cannot read", path);
    return false;
  }
  bool cp949 = !validator.Complete();

  std::rewind(file.get());
  std::string name = path.stem().string();
  std::string stopped = "reading stopped at sheet \"" + name + "\"";
  if (!sink.BeginSheet(name)) {
    *error = stopped;
    return false;
  }
  CsvParser parser(sink, cp949, delimiter, budget.limits().columns);
  first = true;
  while ((n = std::fread(buffer.get(), 1, kChunkBytes, file.get())) > 0) {
    if (!budget.ChargeRead(n)) {
      *error = budget.reason();
      return false;
    }
    std::string_view chunk(buffer.get(), n);
    if (first && chunk.substr(0, kUtf8Bom.size()) == kUtf8Bom) chunk.remove_prefix(kUtf8Bom.size());
    first = false;
    if (!parser.Feed(chunk.data(), chunk.size())) {
      *error = stopped;
      return false;
    }
  }
  if (std::ferror(file.get())) {
    *error = SystemReason("cannot read", path);
    return false;
  }
  if (!parser.Finish() || !sink.EndSheet()) {
    *error = stopped;
    return false;
  }
  return true;
}

}  // namespace parley
