// Fields of fixed-layout byte records: a field is a window of a record at a fixed offset.
// Texts are copied into zeroed records, so a shorter text leaves NUL bytes after it; numbers are
// written as decimal ASCII text. The record layouts themselves live beside the code that builds
// them (gateway_records.h, skn_package.h).
#ifndef PARLEY_SEND_FIXED_RECORD_H_
#define PARLEY_SEND_FIXED_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace parley {

// A field of `size` bytes at `offset` that carries at most `max` bytes of text; the rest of the
// field stays NUL.
struct Field {
  size_t offset;
  size_t size;
  size_t max;
  constexpr size_t end() const { return offset + size; }
};

// Copies text into field of record. Returns false, changing nothing, when the text is longer
// than field.max or the field does not lie inside the record. Bytes of the field after the text
// are left as they are.
bool PutField(std::span<char> record, Field field, std::string_view text);

// Writes value in decimal into field of record. Returns false, changing nothing, when it has more
// than field.max digits or the field does not lie inside the record.
bool PutDecimal(std::span<char> record, Field field, uint64_t value);

// Returns the text of field up to its first NUL, or the whole field when it holds no NUL.
// REQUIRES: field.end() <= record.size().
std::string_view GetField(std::span<const char> record, Field field);

// Returns the decimal number that is the whole text of field (up to its first NUL), or nothing
// when that text is empty or holds anything but the digits 0-9 or does not fit in 63 bits.
// REQUIRES: field.end() <= record.size().
std::optional<int64_t> GetDecimal(std::span<const char> record, Field field);

}  // namespace parley

#endif  // PARLEY_SEND_FIXED_RECORD_H_
