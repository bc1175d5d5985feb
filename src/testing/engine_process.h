// Test support: runs a program (the engine, a simulator) as a child process and talks to it.
#ifndef PARLEY_TESTING_ENGINE_PROCESS_H_
#define PARLEY_TESTING_ENGINE_PROCESS_H_

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace parley::testing {

// Returns a TCP port on 127.0.0.1 that was free a moment ago.
uint16_t FreePort();

// Waits until a TCP connection to 127.0.0.1:port succeeds; false after timeout_ms.
bool WaitForPort(uint16_t port, int timeout_ms);

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A child process with its standard output and error in a file.
class ChildProcess {
 public:
  // Starts `program` with `args` in the folder of `log_path`; stdout and stderr go to
  // `log_path` (appended). `env` ("NAME=value" entries) is added to the environment the child
  // inherits, replacing a variable of the same name; the test's own environment is unchanged.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::filesystem::path& log_path, const std::vector<std::string>& env = {});
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Waits up to timeout_ms for the child to end; true with *status (the exit status, or 128 +
  // the signal) when it has ended.
  bool Wait(int timeout_ms, int* status);
  bool Running();
  void Signal(int signal_number);
  std::string Log() const;
  // Waits up to timeout_ms until the log contains `text`.
  bool WaitForLog(std::string_view text, int timeout_ms) const;

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::filesystem::path log_path_;
};

// A program of this build: the environment variable `env_var` when set, else `name` in the build
// directory.
std::string BuiltBinary(const char* env_var, const char* name);

// The engine binary under test (PARLEY_BIN, else build/parley).
std::string EngineBinary();

// Writes an executable shell script.
void WriteScript(const std::filesystem::path& path, const std::string& body);

}  // namespace parley::testing

#endif  // PARLEY_TESTING_ENGINE_PROCESS_H_
