// Keeps every request the simulator receives, byte for byte, one file each: DIR/000001.req,
// DIR/000002.req, ... in the order the requests arrived. A file appears whole (it is written
// under a temporary name and renamed), so a reader never sees half a request.
#ifndef PARLEY_WEBSIM_REQUEST_RECORDER_H_
#define PARLEY_WEBSIM_REQUEST_RECORDER_H_

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace parley::websim {

class RequestRecorder {
 public:
  // Records nothing until Open succeeds.
  RequestRecorder() = default;

  // Creates `dir` if needed; numbering goes on after the highest record already there.
  // Returns the error when the directory cannot be created or read.
  std::error_code Open(const std::filesystem::path& dir);

  // Writes `bytes` as the next record. Returns the error when the file cannot be written
  // (the number is used up all the same); does nothing without a directory.
  std::error_code Record(std::string_view bytes);

 private:
  std::filesystem::path dir_;
  uint64_t last_ = 0;
};

}  // namespace parley::websim

#endif  // PARLEY_WEBSIM_REQUEST_RECORDER_H_
