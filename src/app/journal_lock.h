// The journal lock: one send journal belongs to one running engine. An engine holds an exclusive
// lock on "<journal>.lock" (flock) from before it opens the journal until it ends; the file names
// the holder (its process id and UI-link port). A second engine on the same journal does not
// start: it would fold the first engine's running tapes and mark its job interrupted.
#ifndef PARLEY_APP_JOURNAL_LOCK_H_
#define PARLEY_APP_JOURNAL_LOCK_H_

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace parley {

class JournalLock {
 public:
  enum class Result {
    kHeld,    // this engine holds the journal
    kBusy,    // another engine holds it: holder_pid() and holder_port() name it (0 when unknown)
    kNoLock,  // the lock file cannot be made (the folder cannot be written: nor can the journal)
  };

  // Takes the lock of the journal at `journal` for an engine on UI-link port `link_port`.
  JournalLock(const std::filesystem::path& journal, uint16_t link_port);
  ~JournalLock();  // releases it; the file stays (removing it would race with the next engine)
  JournalLock(const JournalLock&) = delete;
  JournalLock& operator=(const JournalLock&) = delete;

  // Names the holder's link port once it listens (the configured one may be 0: any free port).
  void NameHolder(uint16_t link_port);

  Result result() const { return result_; }
  const std::filesystem::path& path() const { return path_; }
  pid_t holder_pid() const { return holder_pid_; }
  int holder_port() const { return holder_port_; }
  const std::string& error() const { return error_; }  // why kNoLock

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  Result result_ = Result::kNoLock;
  pid_t holder_pid_ = 0;
  int holder_port_ = 0;
  std::string error_;
};

// "<journal>.lock".
std::filesystem::path JournalLockPath(const std::filesystem::path& journal);

}  // namespace parley

#endif  // PARLEY_APP_JOURNAL_LOCK_H_
