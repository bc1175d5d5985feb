#include "websim/request_recorder.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace parley::websim {
namespace {

constexpr size_t kNumberWidth = 6;
constexpr std::string_view kSuffix = ".req";

std::string RecordName(uint64_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "%06llu.req", static_cast<unsigned long long>(number));
  return name;
}

}  // namespace

std::error_code RequestRecorder::Open(const std::filesystem::path& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) return ec;
  uint64_t last = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.size() != kNumberWidth + kSuffix.size() || !name.ends_with(kSuffix)) continue;
    uint64_t number = 0;
    bool digits = true;
    for (size_t i = 0; i < kNumberWidth; ++i) {
      digits = digits && name[i] >= '0' && name[i] <= '9';
      number = number * 10 + static_cast<uint64_t>(name[i] - '0');
    }
    if (digits && number > last) last = number;
  }
  if (ec) return ec;
  dir_ = dir;
  last_ = last;
  return {};
}

std::error_code RequestRecorder::Record(std::string_view bytes) {
  if (dir_.empty()) return {};
  std::string name = RecordName(++last_);
  std::filesystem::path temporary = dir_ / ("." + name + ".tmp");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) return std::make_error_code(std::errc::io_error);
  }
  std::error_code ec;
  std::filesystem::rename(temporary, dir_ / name, ec);
  return ec;
}

}  // namespace parley::websim
