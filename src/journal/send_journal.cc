#include "journal/send_journal.h"

#include "journal/recipient_chunk.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <system_error>
#include <utility>

namespace parley {
namespace {

// The schema of the first version, then the steps to the current one; user_version tells a
// journal from any other SQLite file.
constexpr int kSchemaVersion = 4;

// The tape's room taken per recipient as a job begins: a number and its length, and its share of
// the progress records. A job whose recipients have their own texts grows the tape as it goes.
constexpr size_t kTapeBytesPerRecipient = 32;
constexpr char kSchema[] = R"sql(
CREATE TABLE jobs(
  id INTEGER PRIMARY KEY,
  started INTEGER NOT NULL,
  ended INTEGER NOT NULL DEFAULT 0,
  command TEXT NOT NULL,
  kind TEXT NOT NULL,
  title BLOB NOT NULL,
  text BLOB NOT NULL,
  callback BLOB NOT NULL,
  reserve BLOB NOT NULL,
  source BLOB NOT NULL,
  total INTEGER NOT NULL,
  resend_of INTEGER,
  gateway_job_id BLOB NOT NULL DEFAULT x'',
  recorded INTEGER NOT NULL DEFAULT 0,
  handed INTEGER NOT NULL DEFAULT 0,
  acknowledged INTEGER NOT NULL DEFAULT 0,
  ending TEXT NOT NULL DEFAULT 'running',
  ending_at INTEGER NOT NULL DEFAULT 0,
  report BLOB,
  report_posted INTEGER NOT NULL DEFAULT 0,
  report_tried INTEGER NOT NULL DEFAULT 0,
  folded INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE chunks(
  job INTEGER NOT NULL,
  first INTEGER NOT NULL,
  count INTEGER NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY(job, first)
) WITHOUT ROWID;
PRAGMA user_version = 1;
)sql";

// The second version keeps the packages of LMS and MMS jobs.
constexpr char kUpgradeFrom1[] = R"sql(
CREATE TABLE packages(
  job INTEGER NOT NULL,
  digest TEXT NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY(job, digest)
);
PRAGMA user_version = 2;
)sql";

// The third version keeps the rows a send left out before the gateway (never sent), with why.
constexpr char kUpgradeFrom2[] = R"sql(
CREATE TABLE left_out(
  job INTEGER NOT NULL,
  place INTEGER NOT NULL,
  value BLOB NOT NULL,
  reason TEXT NOT NULL,
  PRIMARY KEY(job, place)
) WITHOUT ROWID;
ALTER TABLE jobs ADD COLUMN left_out INTEGER NOT NULL DEFAULT 0;
PRAGMA user_version = 3;
)sql";

// The fourth version keeps what a job said of itself under the sending rules (advertising, night
// consent), so that its rest is sent under the same rules.
constexpr char kUpgradeFrom3[] = R"sql(
ALTER TABLE jobs ADD COLUMN marks INTEGER NOT NULL DEFAULT 0;
PRAGMA user_version = 4;
)sql";

// jobs.marks: one bit for each mark.
constexpr int64_t kAdvertMark = 1;
constexpr int64_t kNightConsentMark = 2;

}  // namespace

// The journal's statements, each compiled once for the life of the connection.
class StatementCache {
 public:
  explicit StatementCache(sqlite3* db) : db_(db) {}
  ~StatementCache() {
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // The statement of sql, null when it does not compile.
  sqlite3_stmt* Get(std::string_view sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                       &stmt, nullptr);
    if (stmt != nullptr) statements_.emplace(std::string(sql), stmt);
    return stmt;
  }

 private:
  sqlite3* db_;
  std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

namespace {

// One prepared statement: compiled here and finalized on scope exit, or borrowed from the cache
// and reset on scope exit.
class Stmt {
 public:
  Stmt(sqlite3* db, std::string_view sql) {
    sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  }
  Stmt(StatementCache& cache, std::string_view sql) : stmt_(cache.Get(sql)), owned_(false) {}
  ~Stmt() {
    if (owned_) {
      sqlite3_finalize(stmt_);
    } else if (stmt_ != nullptr) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  Stmt& Int(int i, int64_t value) {
    sqlite3_bind_int64(stmt_, i, value);
    return *this;
  }
  Stmt& Bytes(int i, std::string_view value) {
    // An empty view may have no data pointer, which SQLite would bind as NULL.
    sqlite3_bind_blob64(stmt_, i, value.data() != nullptr ? value.data() : "", value.size(),
                        SQLITE_TRANSIENT);
    return *this;
  }
  Stmt& Text(int i, std::string_view value) {
    sqlite3_bind_text64(stmt_, i, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
  }
  // Steps once: true for a row.
  bool Row() { return ok() && sqlite3_step(stmt_) == SQLITE_ROW; }
  // Steps to the end: true when the statement ran without error.
  bool Run() {
    if (!ok()) return false;
    int rc;
    while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE;
  }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  int64_t ColInt(int i) const { return sqlite3_column_int64(stmt_, i); }
  std::string ColBytes(int i) const {
    const void* data = sqlite3_column_blob(stmt_, i);
    const int size = sqlite3_column_bytes(stmt_, i);
    return data == nullptr ? std::string()
                           : std::string(static_cast<const char*>(data), static_cast<size_t>(size));
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool owned_ = true;
};

// jobs.report_posted: 0 while the report waits to be posted.
constexpr int64_t kReportPosted = 1;
constexpr int64_t kReportRefused = 2;  // the web service answered, and did not take it

constexpr char kJobColumns[] =
    "SELECT id, started, ended, command, kind, title, text, callback, reserve, source, total, "
    "resend_of, gateway_job_id, handed, acknowledged, ending, ending_at, report IS NOT NULL, "
    "report_posted, left_out, marks FROM jobs ";

JournalJob ReadJob(const Stmt& s) {
  JournalJob job;
  job.id = s.ColInt(0);
  job.started = s.ColInt(1);
  job.ended = s.ColInt(2);
  job.info.command = s.ColBytes(3);
  job.info.kind = s.ColBytes(4);
  job.info.title = s.ColBytes(5);
  job.info.text = s.ColBytes(6);
  job.info.callback = s.ColBytes(7);
  job.info.reserve_date = s.ColBytes(8);
  job.info.source = s.ColBytes(9);
  job.total = s.ColInt(10);
  job.info.resend_of = s.ColInt(11);
  job.gateway_job_id = s.ColBytes(12);
  job.handed = s.ColInt(13);
  job.acknowledged = s.ColInt(14);
  job.ending = EndingFromName(s.ColBytes(15));
  job.ending_at = s.ColInt(16);
  const bool report_made = s.ColInt(17) != 0;
  const int64_t posted = s.ColInt(18);
  job.report = !report_made               ? ReportState::kNone
               : posted == kReportPosted  ? ReportState::kPosted
               : posted == kReportRefused ? ReportState::kRefused
                                          : ReportState::kPending;
  job.left_out = s.ColInt(19);
  const int64_t marks = s.ColInt(20);
  job.info.advert = (marks & kAdvertMark) != 0;
  job.info.night_consent = (marks & kNightConsentMark) != 0;
  return job;
}

// The journal's own SQLite application id ("PJNL"), set when a journal is created or upgraded:
// it tells a journal from any other SQLite file. Journals from before it carry none and are known
// by their user_version and their tables.
constexpr int64_t kApplicationId = 0x504A4E4C;

// What the file at a journal's path is.
enum class FileKind {
  kNew,       // missing, empty, or an SQLite file without tables: a journal is started there
  kJournal,   // a journal of this or an older version
  kDamaged,   // a journal whose pages do not read back: moved aside
  kOther,     // anything else: left as it is, and not used
  kNoAccess,  // cannot be read at all
};

int64_t BigEndian32(const unsigned char* p) {
  return static_cast<int64_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) |
                              (uint32_t{p[2]} << 8) | uint32_t{p[3]});
}

// Tells what the file at path is, reading it only (an SQLite file in WAL mode may get its -shm
// beside it). *why says why it is not a journal or why it cannot be told.
FileKind ClassifyFile(const std::filesystem::path& path, std::string* why) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) return FileKind::kNew;
  if (ec) {
    *why = ec.message();
    return FileKind::kNoAccess;
  }
  if (status.type() != std::filesystem::file_type::regular) {
    *why = "it is not a regular file";
    return FileKind::kOther;
  }
  unsigned char header[100] = {};
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *why = "it cannot be read";
    return FileKind::kNoAccess;
  }
  file.read(reinterpret_cast<char*>(header), sizeof header);
  const std::streamsize got = file.gcount();
  if (got == 0) return FileKind::kNew;
  static constexpr char kMagic[] = "SQLite format 3";  // with its NUL: 16 bytes
  if (got < static_cast<std::streamsize>(sizeof header) ||
      std::memcmp(header, kMagic, sizeof kMagic) != 0) {
    *why = "it is not a send journal (no SQLite database)";
    return FileKind::kOther;
  }
  const int64_t header_id = BigEndian32(header + 68);
  if (header_id != 0 && header_id != kApplicationId) {
    *why = "it is another program's database";
    return FileKind::kOther;
  }

  sqlite3* db = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(db, sqlite3_close_v2);
  if (opened != SQLITE_OK) {
    *why = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    return FileKind::kNoAccess;
  }
  sqlite3_busy_timeout(db, 2000);
  // A file SQLite cannot read: the journal's own, by the id in its header, is damaged; any
  // other is not ours to move.
  auto unreadable = [&] {
    const int code = sqlite3_errcode(db);
    if (code != SQLITE_NOTADB && code != SQLITE_CORRUPT) {
      *why = sqlite3_errmsg(db);
      return FileKind::kNoAccess;
    }
    if (header_id == kApplicationId) return FileKind::kDamaged;
    *why = std::string("it is an SQLite file that cannot be read (") + sqlite3_errmsg(db) +
           ") and not known as a send journal";
    return FileKind::kOther;
  };
  auto number = [&](const char* sql, int64_t* value) {
    Stmt s(db, sql);
    if (!s.Row()) return false;
    *value = s.ColInt(0);
    return true;
  };
  int64_t id = 0;
  int64_t version = 0;
  if (!number("PRAGMA application_id", &id) || !number("PRAGMA user_version", &version)) {
    return unreadable();
  }
  if (id != 0 && id != kApplicationId) {
    *why = "it is another program's database";
    return FileKind::kOther;
  }
  if (id == kApplicationId && version > kSchemaVersion) {
    *why = "it is the journal of a newer engine (version " + std::to_string(version) + ")";
    return FileKind::kOther;
  }
  if (id == 0) {
    int64_t tables = 0;
    int64_t journal_tables = 0;
    if (!number("SELECT count(*) FROM sqlite_master", &tables) ||
        !number("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                "name IN ('jobs', 'chunks')",
                &journal_tables)) {
      return unreadable();
    }
    if (tables == 0 && version == 0) return FileKind::kNew;
    // A journal from before the id: its version and its own tables.
    if (version < 1 || version > kSchemaVersion || journal_tables != 2) {
      *why = "it holds another database";
      return FileKind::kOther;
    }
  }
  // A quick check that pages read back: a damaged journal is not one to write into.
  Stmt check(db, "PRAGMA quick_check(1)");
  if (!check.Row()) {
    const int code = sqlite3_errcode(db);
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) return FileKind::kDamaged;
    *why = sqlite3_errmsg(db);
    return FileKind::kNoAccess;
  }
  return check.ColBytes(0) == "ok" ? FileKind::kJournal : FileKind::kDamaged;
}

// Opens the journal (or starts one) at path, which ClassifyFile found new or a journal, and
// brings it to the current version; null with *error set when it cannot be opened or written.
sqlite3* OpenJournal(const std::filesystem::path& path, std::string* error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    *error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 2000);
  auto fail = [&]() -> sqlite3* {
    *error = sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    return nullptr;
  };
  if (sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail();
  }
  // The schema, each step and the id in one transaction: a stop in between leaves the file as
  // it was.
  int64_t version = -1;
  {
    Stmt s(db, "PRAGMA user_version");
    if (!s.Row()) return fail();
    version = s.ColInt(0);
  }
  const std::string id = "PRAGMA application_id = " + std::to_string(kApplicationId);
  if ((version == 0 && sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) ||
      (version <= 1 && sqlite3_exec(db, kUpgradeFrom1, nullptr, nullptr, nullptr) != SQLITE_OK) ||
      (version <= 2 && sqlite3_exec(db, kUpgradeFrom2, nullptr, nullptr, nullptr) != SQLITE_OK) ||
      (version <= 3 && sqlite3_exec(db, kUpgradeFrom3, nullptr, nullptr, nullptr) != SQLITE_OK) ||
      sqlite3_exec(db, id.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const std::string message = sqlite3_errmsg(db);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    *error = message;
    sqlite3_close_v2(db);
    return nullptr;
  }
  return db;
}

}  // namespace

SendJournal::Opened SendJournal::Open(const std::filesystem::path& path, int64_t now) {
  Opened opened;
  std::string why;
  const FileKind kind = ClassifyFile(path, &why);
  if (kind == FileKind::kOther) {
    opened.error = why + "; it was left as it is";
    return opened;
  }
  if (kind == FileKind::kNoAccess) {
    opened.error = why;
    return opened;
  }
  if (kind == FileKind::kDamaged) {
    std::error_code ec;
    std::filesystem::path aside = path;
    aside += ".corrupt-" + std::to_string(now);
    std::filesystem::rename(path, aside, ec);
    if (ec) {
      opened.error = "cannot move the damaged journal aside: " + ec.message();
      return opened;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
      std::filesystem::path side = path;
      side += suffix;
      std::filesystem::path side_aside = aside;
      side_aside += suffix;
      std::filesystem::rename(side, side_aside, ec);
    }
    opened.moved_aside = aside;
  }
  sqlite3* db = OpenJournal(path, &opened.error);
  if (db == nullptr) {
    if (opened.error.empty()) opened.error = "not a journal";
    return opened;
  }
  opened.journal.reset(new SendJournal(db, path));
  opened.journal->FoldTapes();
  Stmt mark(db,
            "UPDATE jobs SET ending = 'interrupted', ended = ?, ending_at = handed "
            "WHERE ending = 'running'");
  if (mark.Int(1, now).Run()) opened.interrupted = sqlite3_changes(db);
  return opened;
}

SendJournal::SendJournal(sqlite3* db, std::filesystem::path path)
    : db_(db), path_(std::move(path)), cache_(std::make_unique<StatementCache>(db)) {}

SendJournal::~SendJournal() {
  cache_.reset();
  sqlite3_close_v2(db_);
}

bool SendJournal::Exec(std::string_view sql) { return Stmt(*cache_, sql).Run(); }

std::optional<int64_t> SendJournal::BeginJob(const JournalJobInfo& info, int64_t total,
                                             std::span<const JournalRecipient> recipients,
                                             int64_t now, std::string* error) {
  auto fail = [&]() -> std::optional<int64_t> {
    *error = sqlite3_errmsg(db_);
    Exec("ROLLBACK");
    return std::nullopt;
  };
  if (!Exec("BEGIN IMMEDIATE")) {
    *error = sqlite3_errmsg(db_);
    return std::nullopt;
  }
  Stmt job(*cache_,
           "INSERT INTO jobs(started, command, kind, title, text, callback, reserve, source, "
           "total, resend_of, marks) VALUES (?,?,?,?,?,?,?,?,?,?,?)");
  job.Int(1, now)
      .Text(2, info.command)
      .Text(3, info.kind)
      .Bytes(4, info.title)
      .Bytes(5, info.text)
      .Bytes(6, info.callback)
      .Bytes(7, info.reserve_date)
      .Bytes(8, info.source)
      .Int(9, total);
  if (info.resend_of != 0) job.Int(10, info.resend_of);
  job.Int(11, (info.advert ? kAdvertMark : 0) | (info.night_consent ? kNightConsentMark : 0));
  if (!job.Run()) return fail();
  const int64_t id = sqlite3_last_insert_rowid(db_);
  if (!InsertChunk(id, recipients) || !Exec("COMMIT")) return fail();
  // The tape's room for every recipient is taken before anything is sent: a disk without it
  // refuses the job now rather than stopping it half way.
  const size_t reserve = static_cast<size_t>(std::max<int64_t>(total, 0)) * kTapeBytesPerRecipient;
  std::optional<JobTapeWriter> tape = JobTapeWriter::Create(TapePath(id), id, reserve, error);
  if (!tape) {
    EndJob(id, JobEnding::kFailed, 0, now);
    return std::nullopt;
  }
  running_.emplace(id, RunningJob{std::move(*tape), 0, 0});
  return id;
}

std::filesystem::path SendJournal::TapePath(int64_t job) const {
  std::filesystem::path tape = path_;
  tape += kTapeSuffix + std::to_string(job);
  return tape;
}

void SendJournal::AddRecipient(int64_t job, std::string_view number, std::string_view content) {
  auto it = running_.find(job);
  if (it != running_.end()) it->second.tape.AddRecipient(number, content);
}

bool SendJournal::Checkpoint(int64_t job, int64_t acknowledged, int64_t handed) {
  auto it = running_.find(job);
  if (it == running_.end()) return false;
  it->second.acknowledged = acknowledged;
  it->second.handed = handed;
  it->second.tape.SetProgress(acknowledged, handed);
  return it->second.tape.Write();
}

void SendJournal::FoldTapes() {
  std::error_code ec;
  const std::filesystem::path dir =
      path_.has_parent_path() ? path_.parent_path() : std::filesystem::path(".");
  const std::string prefix = path_.filename().string() + kTapeSuffix;
  std::vector<std::filesystem::path> tapes;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix)) continue;
    int64_t job = 0;
    const std::string_view digits = std::string_view(name).substr(prefix.size());
    const auto [end, parsed] = std::from_chars(digits.data(), digits.data() + digits.size(), job);
    if (parsed != std::errc() || end != digits.data() + digits.size()) continue;
    if (!running_.contains(job)) tapes.push_back(entry.path());  // a running tape is written on
  }
  for (const std::filesystem::path& tape : tapes) FoldTape(tape);
}

void SendJournal::FoldTape(const std::filesystem::path& path) {
  // The tape goes once its job holds what it recorded (or it names no job of this journal):
  // a fold that fails, on a full disk say, leaves it for the next.
  bool done = true;
  if (const std::optional<JobTape> tape = ReadJobTape(path)) {
    Stmt folded(*cache_, "SELECT folded FROM jobs WHERE id = ?");
    const bool fold = folded.Int(1, tape->job).Row() && folded.ColInt(0) == 0;
    folded.Reset();
    if (fold) {
      done = Exec("BEGIN IMMEDIATE");
      for (const PackedRun& run : tape->runs)
        done = done && InsertPacked(tape->job, run.count, run.data);
      Stmt progress(*cache_,
                    "UPDATE jobs SET acknowledged = max(acknowledged, ?), handed = max(handed, ?), "
                    "folded = 1 WHERE id = ?");
      done =
          done && progress.Int(1, tape->acknowledged).Int(2, tape->handed).Int(3, tape->job).Run();
      done = done && Exec("COMMIT");
      if (!done) Exec("ROLLBACK");
    }
  }
  std::error_code ignored;
  if (done) std::filesystem::remove(path, ignored);
}

bool SendJournal::InsertChunk(int64_t job, std::span<const JournalRecipient> recipients) {
  std::string data;
  for (size_t first = 0; first < recipients.size(); first += kTapeRunRecipients) {
    const auto slice =
        recipients.subspan(first, std::min<size_t>(kTapeRunRecipients, recipients.size() - first));
    data.clear();
    PackRecipients(slice, &data);
    if (!InsertPacked(job, static_cast<int64_t>(slice.size()), data)) return false;
  }
  return true;
}

bool SendJournal::InsertPacked(int64_t job, int64_t count, std::string_view data) {
  Stmt insert(*cache_,
              "INSERT INTO chunks(job, first, count, data) "
              "SELECT id, recorded, ?, ? FROM jobs WHERE id = ?");
  Stmt advance(*cache_, "UPDATE jobs SET recorded = recorded + ? WHERE id = ?");
  return insert.Int(1, count).Bytes(2, data).Int(3, job).Run() && sqlite3_changes(db_) == 1 &&
         advance.Int(1, count).Int(2, job).Run();
}

bool SendJournal::SetTotal(int64_t job, int64_t total) {
  Stmt s(*cache_, "UPDATE jobs SET total = ? WHERE id = ?");
  return s.Int(1, total).Int(2, job).Run();
}

bool SendJournal::SetGatewayJobId(int64_t job, std::string_view gateway_job_id) {
  Stmt s(*cache_, "UPDATE jobs SET gateway_job_id = ? WHERE id = ?");
  return s.Bytes(1, gateway_job_id).Int(2, job).Run();
}

bool SendJournal::SetJobText(int64_t job, std::string_view text, std::string_view callback) {
  Stmt s(*cache_, "UPDATE jobs SET text = ?, callback = ? WHERE id = ?");
  return s.Bytes(1, text).Bytes(2, callback).Int(3, job).Run();
}

bool SendJournal::KeepPackage(int64_t job, std::string_view digest, std::string_view package) {
  Stmt s(*cache_, "INSERT OR IGNORE INTO packages(job, digest, data) VALUES (?,?,?)");
  return s.Int(1, job).Text(2, digest).Bytes(3, package).Run();
}

std::optional<std::string> SendJournal::Package(int64_t job, std::string_view digest) {
  Stmt s(*cache_, "SELECT data FROM packages WHERE job = ? AND digest = ?");
  if (!s.Int(1, job).Text(2, digest).Row()) return std::nullopt;
  return s.ColBytes(0);
}

bool SendJournal::Record(int64_t job, std::span<const JournalRecipient> recipients,
                         int64_t acknowledged, int64_t handed) {
  if (!Exec("BEGIN IMMEDIATE")) return false;
  Stmt progress(*cache_, "UPDATE jobs SET acknowledged = ?, handed = ? WHERE id = ?");
  if (!InsertChunk(job, recipients) ||
      !progress.Int(1, acknowledged).Int(2, handed).Int(3, job).Run() || !Exec("COMMIT")) {
    Exec("ROLLBACK");
    return false;
  }
  return true;
}

bool SendJournal::EndJob(int64_t job, JobEnding ending, int64_t at, int64_t now) {
  int64_t acknowledged = 0;
  int64_t handed = 0;
  if (auto it = running_.find(job); it != running_.end()) {
    // The tape stays until it is folded, before the next job or any reading of recipients: the
    // send's answer does not wait for it.
    it->second.tape.Write();
    acknowledged = it->second.acknowledged;
    handed = it->second.handed;
    running_.erase(it);
  }
  Stmt s(*cache_,
         "UPDATE jobs SET ending = ?, ending_at = ?, ended = ?, acknowledged = max(acknowledged, "
         "?), handed = max(handed, ?) WHERE id = ?");
  return s.Text(1, EndingName(ending))
      .Int(2, at)
      .Int(3, now)
      .Int(4, acknowledged)
      .Int(5, handed)
      .Int(6, job)
      .Run();
}

bool SendJournal::SaveReport(int64_t job, std::string_view report) {
  Stmt s(*cache_, "UPDATE jobs SET report = ?, report_posted = 0 WHERE id = ?");
  return s.Bytes(1, report).Int(2, job).Run();
}

bool SendJournal::MarkReportAnswered(int64_t job, bool taken, int64_t now) {
  Stmt s(*cache_, "UPDATE jobs SET report_posted = ?, report_tried = ? WHERE id = ?");
  return s.Int(1, taken ? kReportPosted : kReportRefused).Int(2, now).Int(3, job).Run();
}

std::vector<SendJournal::PendingReport> SendJournal::TakeReportsToRetry(int64_t now,
                                                                        int64_t min_gap_seconds) {
  std::vector<PendingReport> reports;
  Stmt s(*cache_,
         "SELECT id, report FROM jobs WHERE report IS NOT NULL AND report_posted = 0 "
         "AND report_tried <= ? ORDER BY id");
  s.Int(1, now - min_gap_seconds);
  while (s.Row()) reports.push_back({s.ColInt(0), s.ColBytes(1)});
  Stmt stamp(*cache_, "UPDATE jobs SET report_tried = ? WHERE id = ?");
  for (const PendingReport& report : reports) {
    stamp.Int(1, now).Int(2, report.job).Run();
    stamp.Reset();
  }
  return reports;
}

std::vector<JournalJob> SendJournal::ListJobs(int64_t limit) {
  FoldTapes();
  std::vector<JournalJob> jobs;
  Stmt s(*cache_, std::string(kJobColumns) + "ORDER BY id DESC LIMIT ?");
  s.Int(1, limit);
  while (s.Row()) jobs.push_back(ReadJob(s));
  return jobs;
}

std::optional<JournalJob> SendJournal::FindResendOf(int64_t job) {
  Stmt s(*cache_, std::string(kJobColumns) + "WHERE resend_of = ? ORDER BY id DESC LIMIT 1");
  s.Int(1, job);
  if (!s.Row()) return std::nullopt;
  return ReadJob(s);
}

std::optional<JournalJob> SendJournal::FindJob(int64_t job) {
  Stmt s(*cache_, std::string(kJobColumns) + "WHERE id = ?");
  s.Int(1, job);
  if (!s.Row()) return std::nullopt;
  return ReadJob(s);
}

bool SendJournal::ForEachRecipient(
    int64_t job,
    const std::function<void(int64_t, const JournalRecipient&, RecipientState)>& visit) {
  FoldTapes();
  const std::optional<JournalJob> record = FindJob(job);
  if (!record) return true;
  Stmt s(*cache_, "SELECT first, count, data FROM chunks WHERE job = ? ORDER BY first");
  s.Int(1, job);
  std::vector<JournalRecipient> batch;
  int64_t next = 0;
  while (s.Row()) {
    batch.clear();
    const bool whole = UnpackRecipients(s.ColBytes(2), &batch);
    if (s.ColInt(0) != next) return false;  // a batch is missing
    for (const JournalRecipient& recipient : batch) {
      visit(next, recipient, record->StateOf(next));
      ++next;
    }
    if (!whole || static_cast<int64_t>(batch.size()) != s.ColInt(1)) return false;
  }
  return true;
}

bool SendJournal::RecordLeftOut(int64_t job, std::span<const JournalLeftOut> rows) {
  if (rows.empty()) return true;
  if (!Exec("BEGIN IMMEDIATE")) return false;
  bool ok = true;
  {
    Stmt insert(*cache_,
                "INSERT OR REPLACE INTO left_out(job, place, value, reason) "
                "VALUES(?, ?, ?, ?)");
    for (const JournalLeftOut& row : rows) {
      ok = ok && insert.Int(1, job).Int(2, row.place).Bytes(3, row.value).Text(4, row.reason).Run();
      insert.Reset();
    }
    Stmt count(*cache_,
               "UPDATE jobs SET left_out = (SELECT count(*) FROM left_out WHERE job = ?1) "
               "WHERE id = ?1");
    ok = ok && count.Int(1, job).Run();
  }
  if (!ok) {
    Exec("ROLLBACK");
    return false;
  }
  return Exec("COMMIT");
}

std::vector<JournalLeftOut> SendJournal::LeftOut(int64_t job) {
  std::vector<JournalLeftOut> rows;
  Stmt s(*cache_, "SELECT place, value, reason FROM left_out WHERE job = ? ORDER BY place");
  s.Int(1, job);
  while (s.Row()) rows.push_back({s.ColInt(0), s.ColBytes(1), s.ColBytes(2)});
  return rows;
}

std::vector<JournalRecipient> SendJournal::RestOf(const JournalJob& job, bool include_in_doubt) {
  std::vector<JournalRecipient> rest;
  ForEachRecipient(job.id, [&](int64_t, const JournalRecipient& recipient, RecipientState state) {
    if (state == RecipientState::kNotSent ||
        (include_in_doubt && state == RecipientState::kInDoubt)) {
      rest.push_back(recipient);
    }
  });
  return rest;
}

SendJournal::Forgotten SendJournal::Forget(int64_t before) {
  Forgotten result;
  if (!Exec("BEGIN IMMEDIATE")) return result;
  // The jobs that go: ended, started before the day, and with no sent report still waiting for
  // the web service's answer (it is posted from here).
  constexpr char kGoing[] =
      "SELECT id FROM jobs WHERE started < ?1 AND ending != 'running' AND "
      "(report IS NULL OR report_posted != 0)";
  Stmt kept(*cache_,
            "SELECT count(*) FROM jobs WHERE started < ? AND ending != 'running' AND "
            "report IS NOT NULL AND report_posted = 0");
  Stmt rows(*cache_, std::string("DELETE FROM chunks WHERE job IN (") + kGoing + ")");
  Stmt packages(*cache_, std::string("DELETE FROM packages WHERE job IN (") + kGoing + ")");
  Stmt left_out(*cache_, std::string("DELETE FROM left_out WHERE job IN (") + kGoing + ")");
  Stmt jobs(*cache_, std::string("DELETE FROM jobs WHERE id IN (") + kGoing + ")");
  if (!kept.Int(1, before).Row()) {
    Exec("ROLLBACK");
    return result;
  }
  const int64_t waiting = kept.ColInt(0);
  if (!rows.Int(1, before).Run() || !packages.Int(1, before).Run() ||
      !left_out.Int(1, before).Run() || !jobs.Int(1, before).Run()) {
    Exec("ROLLBACK");
    return result;
  }
  const int64_t gone = sqlite3_changes(db_);
  if (!Exec("COMMIT")) return result;
  result.forgotten = gone;
  result.kept_for_report = waiting;
  return result;
}

}  // namespace parley
