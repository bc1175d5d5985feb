#include "send/fixed_record.h"

#include <charconv>
#include <cstring>

namespace parley {

bool PutField(std::span<char> record, Field field, std::string_view text) {
  if (field.end() > record.size() || field.max > field.size || text.size() > field.max) {
    return false;
  }
  if (!text.empty()) std::memcpy(record.data() + field.offset, text.data(), text.size());
  return true;
}

bool PutDecimal(std::span<char> record, Field field, uint64_t value) {
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  size_t length = static_cast<size_t>(end - digits);
  if (ec != std::errc()) return false;
  return PutField(record, field, std::string_view(digits, length));
}

std::string_view GetField(std::span<const char> record, Field field) {
  std::string_view text(record.data() + field.offset, field.size);
  return text.substr(0, text.find('\0'));
}

std::optional<int64_t> GetDecimal(std::span<const char> record, Field field) {
  std::string_view text = GetField(record, field);
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace parley
