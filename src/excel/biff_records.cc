#include "excel/biff_records.h"

#include <algorithm>
#include <cstring>

namespace parley::biff {
namespace {

constexpr size_t kRecordHeaderSize = 4;
// BIFF8 string flags.
constexpr uint8_t kWideChars = 0x01;
constexpr uint8_t kHasPhonetic = 0x04;
constexpr uint8_t kHasRuns = 0x08;
constexpr size_t kRunSize = 4;

}  // namespace

double F64(std::string_view bytes, size_t at) {
  const uint64_t bits = uint64_t{Le32(bytes, at)} | uint64_t{Le32(bytes, at + 4)} << 32;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

double RkValue(uint32_t rk) {
  double value;
  if (rk & 0x02) {
    value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    const uint64_t bits = uint64_t{rk & 0xFFFFFFFCu} << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 0x01) ? value / 100 : value;
}

bool RecordReader::Next(Record* record) {
  if (offset_ + kRecordHeaderSize > stream_.size()) return false;
  const size_t length = Le16(stream_, offset_ + 2);
  if (length > stream_.size() - offset_ - kRecordHeaderSize) {
    damaged_ = true;
    return false;
  }
  record->id = Le16(stream_, offset_);
  record->data = stream_.substr(offset_ + kRecordHeaderSize, length);
  record->offset = offset_;
  offset_ += kRecordHeaderSize + length;
  return true;
}

SpanReader::SpanReader(std::string_view stream, const Record& record)
    : stream_(stream),
      fragment_(record.data),
      end_(record.offset + kRecordHeaderSize + record.data.size()) {}

bool SpanReader::NextFragment() {
  RecordReader records(stream_, end_);
  Record next;
  if (!records.Next(&next) || next.id != kContinue) return false;
  fragment_ = next.data;
  at_ = 0;
  end_ = next.offset + kRecordHeaderSize + next.data.size();
  return true;
}

bool SpanReader::AtEnd() {
  while (at_ == fragment_.size()) {
    if (!NextFragment()) return true;
  }
  return false;
}

bool SpanReader::U8(uint8_t* value) {
  if (AtEnd()) return false;
  *value = static_cast<uint8_t>(fragment_[at_++]);
  return true;
}

bool SpanReader::U16(uint16_t* value) {
  uint8_t low, high;
  if (!U8(&low) || !U8(&high)) return false;
  *value = static_cast<uint16_t>(low | high << 8);
  return true;
}

bool SpanReader::U32(uint32_t* value) {
  uint16_t low, high;
  if (!U16(&low) || !U16(&high)) return false;
  *value = low | static_cast<uint32_t>(high) << 16;
  return true;
}

bool SpanReader::Skip(size_t count) {
  while (count > 0) {
    if (AtEnd()) return false;
    const size_t step = std::min(count, fragment_.size() - at_);
    at_ += step;
    count -= step;
  }
  return true;
}

bool SpanReader::Chars(size_t count, bool wide, std::string* out) {
  while (count > 0) {
    if (at_ == fragment_.size()) {
      // The characters go on in the next record, which says again how they are stored.
      uint8_t flags;
      if (!NextFragment() || at_ == fragment_.size()) return false;
      flags = static_cast<uint8_t>(fragment_[at_++]);
      wide = (flags & kWideChars) != 0;
    }
    const size_t width = wide ? 2 : 1;
    const size_t fit = std::min(count, (fragment_.size() - at_) / width);
    if (fit == 0) return false;  // half a character at the end of a record
    std::string_view bytes = fragment_.substr(at_, fit * width);
    if (wide) {
      AppendUtf16(bytes, out);
    } else {
      AppendCompressed(bytes, out);
    }
    at_ += fit * width;
    count -= fit;
  }
  return true;
}

bool SpanReader::Bytes(size_t count, CodePageDecoder& decoder, std::string* out) {
  std::string raw;
  while (count > 0) {
    if (AtEnd()) return false;
    const size_t step = std::min(count, fragment_.size() - at_);
    raw.append(fragment_.substr(at_, step));
    at_ += step;
    count -= step;
  }
  decoder.Append(raw, out);
  return true;
}

namespace {

bool ReadCount(SpanReader& reader, size_t length_size, uint16_t* count) {
  if (length_size != 1) return reader.U16(count);
  uint8_t short_count;
  if (!reader.U8(&short_count)) return false;
  *count = short_count;
  return true;
}

}  // namespace

bool ReadUnicodeString(SpanReader& reader, size_t length_size, std::string* out) {
  uint16_t count = 0;
  if (!ReadCount(reader, length_size, &count)) return false;
  uint8_t flags;
  if (!reader.U8(&flags)) return false;
  uint16_t runs = 0;
  uint32_t phonetic_size = 0;
  if ((flags & kHasRuns) && !reader.U16(&runs)) return false;
  if ((flags & kHasPhonetic) && !reader.U32(&phonetic_size)) return false;
  if (!reader.Chars(count, (flags & kWideChars) != 0, out)) return false;
  // The runs are formatting only: a last string whose runs are cut short keeps its text.
  (void)(reader.Skip(size_t{runs} * kRunSize) && reader.Skip(phonetic_size));
  return true;
}

bool ReadByteString(SpanReader& reader, size_t length_size, CodePageDecoder& decoder,
                    std::string* out) {
  uint16_t count = 0;
  return ReadCount(reader, length_size, &count) && reader.Bytes(count, decoder, out);
}

}  // namespace parley::biff
