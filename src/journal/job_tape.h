// The tape of the running job: an append-only file beside the journal, mapped into memory, that a
// send writes before each batch of messages can leave for the gateway. Writing it costs a copy,
// not a system call or a database commit per batch; what is stored in a shared mapping is in the
// file as soon as the store is done, so it outlives the engine being killed (a power cut within
// the seconds before the system writes it back is not covered, as with the database itself).
// When the job ends its tape is folded into the journal; a tape left by an engine that stopped
// is folded when the journal is next opened.
//
// Format: "PJT1", the journal id of the job as a varint, then records of a tag byte and a
// payload: 'R' count, byte length and packed recipients (recipient_chunk.h); 'P' acknowledged and
// handed. Numbers are base-128 varints. The file grows in zeroed steps, allocated on the disk
// before they are mapped (a full disk fails a write, never the engine); each record's tag is
// stored after its payload, so a reader stops at the first zero tag and a record cut short by a
// stop is never read: the messages it named had not been handed on yet.
#ifndef PARLEY_JOURNAL_JOB_TAPE_H_
#define PARLEY_JOURNAL_JOB_TAPE_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal_types.h"

namespace parley {

class JobTapeWriter {
 public:
  // Starts the tape of job `job` at path (replacing any file there), with at least `reserve`
  // bytes allocated on the disk; nullopt with *error set when it cannot be written or the disk
  // has no room for them.
  static std::optional<JobTapeWriter> Create(const std::filesystem::path& path, int64_t job,
                                             size_t reserve, std::string* error);
  JobTapeWriter(JobTapeWriter&& other) noexcept;
  JobTapeWriter& operator=(JobTapeWriter&& other) noexcept;
  ~JobTapeWriter();

  // Held in memory until the next Write.
  void AddRecipient(std::string_view number, std::string_view content);
  void SetProgress(int64_t acknowledged, int64_t handed);
  // Stores what is held on the tape; false when the file could not grow (the disk is full):
  // nothing more is stored then, and what was stored stays readable.
  bool Write();

 private:
  explicit JobTapeWriter(int fd) : fd_(fd) {}
  void FlushRecipients();
  // Appends one record: its payload, then its tag.
  bool Append(char tag, std::string_view payload);
  // Room for `bytes` more; the file grows only into blocks allocated on the disk.
  bool Reserve(size_t bytes);
  bool Grow(size_t size);
  void Unmap();

  int fd_ = -1;
  char* map_ = nullptr;
  size_t mapped_ = 0;       // bytes of the file mapped (its size)
  size_t end_ = 0;          // bytes stored
  bool failed_ = false;     // the file could not grow: nothing more is stored
  std::string pending_;     // records held: tag, payload length, payload
  std::string recipients_;  // packed recipients not yet in a record
  int64_t held_count_ = 0;
};

// What a tape holds: its recipients as packed runs (recipient_chunk.h) of about
// kTapeRunRecipients each, in order, ready to be stored as they are.
inline constexpr int64_t kTapeRunRecipients = 1000;
struct PackedRun {
  int64_t count = 0;
  std::string data;
};
struct JobTape {
  int64_t job = 0;
  std::vector<PackedRun> runs;
  int64_t acknowledged = 0;
  int64_t handed = 0;
  bool has_progress = false;  // a progress record was read
};

// Reads the tape at path; nullopt when there is none or it does not start as a tape. Records
// after the first damaged one are ignored.
std::optional<JobTape> ReadJobTape(const std::filesystem::path& path);

}  // namespace parley

#endif  // PARLEY_JOURNAL_JOB_TAPE_H_
