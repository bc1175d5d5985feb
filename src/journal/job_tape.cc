#include "journal/job_tape.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

#include "journal/recipient_chunk.h"

namespace parley {
namespace {

constexpr std::string_view kMagic = "PJT1";
constexpr char kRecipientsTag = 'R';
constexpr char kProgressTag = 'P';
// The file grows by at least this much at a time, prefaulted, so that a send rarely makes a
// system call or takes a page fault for its tape.
constexpr size_t kGrowBytes = 4 << 20;

}  // namespace

std::optional<JobTapeWriter> JobTapeWriter::Create(const std::filesystem::path& path, int64_t job,
                                                   size_t reserve, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = "cannot write " + path.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
  JobTapeWriter writer(fd);
  std::string header(kMagic);
  PutVarint(static_cast<uint64_t>(job), &header);
  if (!writer.Reserve(std::max(header.size(), reserve))) {
    *error = "no room for " + path.string() + ": " + std::strerror(errno);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return std::nullopt;
  }
  std::memcpy(writer.map_, header.data(), header.size());
  writer.end_ = header.size();
  return writer;
}

JobTapeWriter::JobTapeWriter(JobTapeWriter&& other) noexcept { *this = std::move(other); }

JobTapeWriter& JobTapeWriter::operator=(JobTapeWriter&& other) noexcept {
  if (this != &other) {
    Unmap();
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    map_ = std::exchange(other.map_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
    end_ = std::exchange(other.end_, 0);
    failed_ = std::exchange(other.failed_, false);
    pending_ = std::move(other.pending_);
    recipients_ = std::move(other.recipients_);
    held_count_ = std::exchange(other.held_count_, 0);
  }
  return *this;
}

JobTapeWriter::~JobTapeWriter() {
  Unmap();
  if (fd_ >= 0) ::close(fd_);
}

void JobTapeWriter::Unmap() {
  if (map_ != nullptr) ::munmap(map_, mapped_);
  map_ = nullptr;
}

bool JobTapeWriter::Reserve(size_t bytes) {
  if (end_ + bytes <= mapped_) return true;
  // A large step when the disk has room for it, else just what is needed.
  return Grow(std::max(mapped_ * 2, end_ + bytes + kGrowBytes)) || Grow(end_ + bytes);
}

bool JobTapeWriter::Grow(size_t size) {
  // The file's blocks are allocated before they are mapped: a store into a hole that the disk
  // has no room for would end the engine with SIGBUS. The mapping stays as it was on failure.
  const int result =
      ::posix_fallocate(fd_, static_cast<off_t>(mapped_), static_cast<off_t>(size - mapped_));
  if (result != 0) {
    errno = result;
    return false;
  }
  void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd_, 0);
  if (map == MAP_FAILED) return false;
  Unmap();
  map_ = static_cast<char*>(map);
  mapped_ = size;
  return true;
}

bool JobTapeWriter::Append(char tag, std::string_view payload) {
  if (failed_ || !Reserve(1 + payload.size())) {
    failed_ = true;
    return false;
  }
  std::memcpy(map_ + end_ + 1, payload.data(), payload.size());
  // The tag last: a reader that sees it sees the whole record.
  std::atomic_ref<char>(map_[end_]).store(tag, std::memory_order_release);
  end_ += 1 + payload.size();
  return true;
}

void JobTapeWriter::AddRecipient(std::string_view number, std::string_view content) {
  PutVarint(number.size(), &recipients_);
  recipients_.append(number);
  PutVarint(content.size(), &recipients_);
  recipients_.append(content);
  ++held_count_;
}

void JobTapeWriter::FlushRecipients() {
  if (held_count_ == 0) return;
  std::string head;
  PutVarint(static_cast<uint64_t>(held_count_), &head);
  PutVarint(recipients_.size(), &head);
  pending_.push_back(kRecipientsTag);
  PutVarint(head.size() + recipients_.size(), &pending_);
  pending_.append(head).append(recipients_);
  recipients_.clear();
  held_count_ = 0;
}

void JobTapeWriter::SetProgress(int64_t acknowledged, int64_t handed) {
  FlushRecipients();  // the recipients a progress record counts come before it
  std::string payload;
  PutVarint(static_cast<uint64_t>(acknowledged), &payload);
  PutVarint(static_cast<uint64_t>(handed), &payload);
  pending_.push_back(kProgressTag);
  PutVarint(payload.size(), &pending_);
  pending_.append(payload);
}

bool JobTapeWriter::Write() {
  FlushRecipients();
  // pending_ holds records as tag, payload length, payload; each is stored payload first.
  const std::string_view held = pending_;
  bool ok = true;
  for (size_t pos = 0; pos < held.size() && ok;) {
    const char tag = held[pos++];
    uint64_t length = 0;
    GetVarint(held, &pos, &length);
    ok = Append(tag, held.substr(pos, length));
    pos += length;
  }
  pending_.clear();
  return ok;
}

std::optional<JobTape> ReadJobTape(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return std::nullopt;
  std::string data(static_cast<size_t>(std::max<std::streamoff>(0, file.tellg())), '\0');
  file.seekg(0);
  if (!file.read(data.data(), static_cast<std::streamsize>(data.size()))) return std::nullopt;
  if (!std::string_view(data).starts_with(kMagic)) return std::nullopt;
  size_t pos = kMagic.size();
  uint64_t job = 0;
  if (!GetVarint(data, &pos, &job)) return std::nullopt;
  JobTape tape;
  tape.job = static_cast<int64_t>(job);
  const std::string_view in = data;
  while (pos < in.size()) {
    const char tag = in[pos++];
    uint64_t a = 0;
    uint64_t b = 0;
    if (tag == kRecipientsTag) {
      if (!GetVarint(in, &pos, &a) || !GetVarint(in, &pos, &b) || b > in.size() - pos) break;
      const std::string_view packed = in.substr(pos, b);
      if (CountRecipients(packed) != static_cast<int64_t>(a)) break;
      pos += b;
      // Packed runs join by concatenation.
      if (tape.runs.empty() || tape.runs.back().count >= kTapeRunRecipients)
        tape.runs.emplace_back();
      tape.runs.back().count += static_cast<int64_t>(a);
      tape.runs.back().data.append(packed);
    } else if (tag == kProgressTag) {
      if (!GetVarint(in, &pos, &a) || !GetVarint(in, &pos, &b)) break;
      tape.acknowledged = static_cast<int64_t>(a);
      tape.handed = static_cast<int64_t>(b);
      tape.has_progress = true;
    } else {
      break;
    }
  }
  return tape;
}

}  // namespace parley
