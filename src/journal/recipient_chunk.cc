#include "journal/recipient_chunk.h"

#include <cstdint>

namespace parley {
namespace {

// A varint of a 64-bit value takes at most this many bytes.
constexpr size_t kMaxVarintBytes = 10;

// Reads a varint length at *pos, then that many bytes into *field.
bool GetField(std::string_view chunk, size_t* pos, std::string* field) {
  uint64_t length = 0;
  if (!GetVarint(chunk, pos, &length) || length > chunk.size() - *pos) return false;
  field->assign(chunk.substr(*pos, static_cast<size_t>(length)));
  *pos += static_cast<size_t>(length);
  return true;
}

}  // namespace

void PutVarint(uint64_t value, std::string* out) {
  while (value >= 0x80) {
    out->push_back(static_cast<char>((value & 0x7f) | 0x80));
    value >>= 7;
  }
  out->push_back(static_cast<char>(value));
}

bool GetVarint(std::string_view in, size_t* pos, uint64_t* value) {
  *value = 0;
  for (size_t i = 0;; ++i) {
    if (i == kMaxVarintBytes || *pos >= in.size()) return false;
    const auto byte = static_cast<uint8_t>(in[(*pos)++]);
    *value |= static_cast<uint64_t>(byte & 0x7f) << (7 * i);
    if ((byte & 0x80) == 0) return true;
  }
}

void PackRecipients(std::span<const JournalRecipient> recipients, std::string* chunk) {
  for (const JournalRecipient& recipient : recipients) {
    PutVarint(recipient.number.size(), chunk);
    chunk->append(recipient.number);
    PutVarint(recipient.content.size(), chunk);
    chunk->append(recipient.content);
  }
}

bool UnpackRecipients(std::string_view chunk, std::vector<JournalRecipient>* out) {
  size_t pos = 0;
  JournalRecipient recipient;
  while (pos < chunk.size()) {
    if (!GetField(chunk, &pos, &recipient.number) || !GetField(chunk, &pos, &recipient.content)) {
      return false;
    }
    out->push_back(recipient);
  }
  return true;
}

int64_t CountRecipients(std::string_view chunk) {
  size_t pos = 0;
  int64_t count = 0;
  while (pos < chunk.size()) {
    for (int field = 0; field < 2; ++field) {
      uint64_t length = 0;
      if (!GetVarint(chunk, &pos, &length) || length > chunk.size() - pos) return -1;
      pos += static_cast<size_t>(length);
    }
    ++count;
  }
  return count;
}

}  // namespace parley
