#include "excel/workbook_loader.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>
#include <system_error>

#include "excel/little_endian.h"
#include "excel/sheet_table_sink.h"
#include "excel/workbook_readers.h"

namespace parley {
namespace {

enum class Format { kXlsx, kOds, kXls, kCsv, kUnknown };

constexpr std::string_view kZipMagic = "PK\x03\x04";
constexpr std::string_view kCompoundFileMagic = "\xD0\xCF\x11\xE0";
constexpr std::string_view kOdsMimetype = "application/vnd.oasis.opendocument.spreadsheet";

// The start of a zip file, local file header: signature (4), version (2), flags (2), method (2),
// time (2), date (2), crc (4), compressed size (4), size (4), name length (2), extra length (2),
// then the name, the extra field and the data.
constexpr size_t kZipNameLengthOffset = 26;
constexpr size_t kZipExtraLengthOffset = 28;
constexpr size_t kZipHeaderSize = 30;
constexpr size_t kHeadBytes = 512;

// An OpenDocument package stores its uncompressed "mimetype" entry first.
bool HasOdsMimetype(std::string_view head) {
  if (head.size() < kZipHeaderSize) return false;
  size_t name_length = Le16(head, kZipNameLengthOffset);
  size_t extra_length = Le16(head, kZipExtraLengthOffset);
  size_t data = kZipHeaderSize + name_length + extra_length;
  return head.substr(kZipHeaderSize, name_length) == "mimetype" &&
         data + kOdsMimetype.size() <= head.size() &&
         head.substr(data, kOdsMimetype.size()) == kOdsMimetype;
}

std::string LowerExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

Format Detect(std::string_view head, const std::filesystem::path& path) {
  std::string extension = LowerExtension(path);
  if (head.substr(0, kZipMagic.size()) == kZipMagic) {
    return HasOdsMimetype(head) || extension == ".ods" ? Format::kOds : Format::kXlsx;
  }
  if (head.substr(0, kCompoundFileMagic.size()) == kCompoundFileMagic) return Format::kXls;
  if (extension == ".csv" || extension == ".txt") return Format::kCsv;
  return Format::kUnknown;
}

// Reads the first bytes of the file; false with the reason when it cannot be read.
bool ReadHead(const std::filesystem::path& path, std::string* head, std::string* error) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec) {
    *error = "cannot open " + path.string() + ": " + ec.message();
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    *error = "cannot open " + path.string() + ": " + std::strerror(EISDIR);
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  head->resize(kHeadBytes);
  in.read(head->data(), static_cast<std::streamsize>(head->size()));
  if (in.bad()) {
    *error = "cannot read " + path.string();
    return false;
  }
  head->resize(static_cast<size_t>(in.gcount()));
  return true;
}

// Only reading statements compile once the workbook is in.
int ReadOnlyAuthorizer(void*, int action, const char*, const char*, const char*, const char*) {
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
      return SQLITE_OK;
    default:
      return SQLITE_DENY;
  }
}

bool LockDown(sqlite3* db) {
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  return sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) == SQLITE_OK &&
         sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr) == SQLITE_OK &&
         sqlite3_set_authorizer(db, ReadOnlyAuthorizer, nullptr) == SQLITE_OK;
}

bool Read(Format format, const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
          std::string* error) {
  switch (format) {
    case Format::kXlsx:
      return ReadXlsx(path, sink, budget, error);
    case Format::kOds:
      return ReadOds(path, sink, budget, error);
    case Format::kXls:
      return ReadXls(path, sink, budget, error);
    case Format::kCsv:
      return ReadCsv(path, sink, budget, error);
    case Format::kUnknown:
      break;
  }
  *error = "not a workbook (.xlsx, .xls, .ods or .csv)";
  return false;
}

}  // namespace

std::shared_ptr<sqlite3> LoadWorkbook(const std::filesystem::path& path, std::string* error) {
  return LoadWorkbook(path, LoadLimits(), error);
}

std::shared_ptr<sqlite3> LoadWorkbook(const std::filesystem::path& path, const LoadLimits& limits,
                                      std::string* error) {
  if (path.empty()) {
    *error = "no workbook was given";
    return nullptr;
  }
  std::string head;
  if (!ReadHead(path, &head, error)) return nullptr;
  Format format = Detect(head, path);
  if (format == Format::kUnknown) {
    *error = "not a workbook (.xlsx, .xls, .ods or .csv)";
    return nullptr;
  }

  sqlite3* raw = nullptr;
  // Serialized: a cached workbook is queried on the workbook worker while a send reads its rows
  // on the engine's loop.
  int rc =
      sqlite3_open_v2(":memory:", &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  std::shared_ptr<sqlite3> db(raw, sqlite3_close_v2);
  if (rc != SQLITE_OK) {
    *error = raw != nullptr ? sqlite3_errmsg(raw) : "cannot open an in-memory database";
    return nullptr;
  }
  // Nothing here needs to survive a crash: no journal, no syncing.
  sqlite3_exec(raw, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
  {
    LoadBudget budget(limits);
    SheetTableSink sink(raw, budget);
    std::string reason;
    const bool read = Read(format, path, sink, budget, &reason);
    const bool ok = read && sink.Finish();
    if (!ok) {
      // Over the budget, the reader or the sink only saw the load stop.
      *error = budget.exceeded()       ? budget.reason()
               : !sink.error().empty() ? sink.error()
               : !reason.empty()       ? reason
                                       : "the workbook cannot be read";
      return nullptr;
    }
  }
  if (!LockDown(raw)) {
    *error = sqlite3_errmsg(raw);
    return nullptr;
  }
  return db;
}

std::shared_ptr<sqlite3> WorkbookCache::Open(const std::filesystem::path& path,
                                             std::string* error) {
  std::error_code ec;
  uintmax_t size = std::filesystem::file_size(path, ec);
  std::filesystem::file_time_type mtime{};
  if (!ec) mtime = std::filesystem::last_write_time(path, ec);
  if (ec) {
    Clear();
    *error = path.empty() ? "no workbook was given"
                          : "cannot open " + path.string() + ": " + ec.message();
    return nullptr;
  }
  if (db_ != nullptr && path == path_ && size == size_ && mtime == mtime_) return db_;
  Clear();
  std::shared_ptr<sqlite3> db = LoadWorkbook(path, limits_, error);
  if (db == nullptr) return nullptr;
  path_ = path;
  size_ = size;
  mtime_ = mtime;
  db_ = db;
  return db;
}

void WorkbookCache::Clear() {
  db_.reset();
  path_.clear();
  size_ = 0;
  mtime_ = {};
}

}  // namespace parley
