#include "send/skn_package.h"

#include <algorithm>

#include "text/mbcs.h"

namespace parley {

bool BuildSknHeader(int64_t total_length, int item_count, std::string_view subject,
                    std::span<char, kSknHeaderSize> out) {
  using namespace skn_header;
  std::fill(out.begin(), out.end(), '\0');
  if (item_count < 0 || item_count > kSknMaxItems || total_length < 0 ||
      total_length > kSknMaxLength) {
    return false;
  }
  PutField(out, kMagic, kSknMagic);
  PutDecimal(out, kTotalLength, static_cast<uint64_t>(total_length));
  out[kItemCount.offset] = static_cast<char>('0' + item_count);
  if (subject.empty()) subject = kSknDefaultSubject;
  PutField(out, kSubject, CutToBytes(subject, kSubject.max));
  return true;
}

bool BuildSknItemHeader(std::string_view type, std::string_view file_name, int64_t size,
                        std::span<char, kSknItemHeaderSize> out) {
  using namespace skn_item;
  std::fill(out.begin(), out.end(), '\0');
  if (size < 0 || size > kSknMaxLength || !PutField(out, kType, type) ||
      !PutField(out, kFileName, file_name)) {
    std::fill(out.begin(), out.end(), '\0');
    return false;
  }
  PutField(out, kTargets, kSknAllTargets);
  PutDecimal(out, kSize, static_cast<uint64_t>(size));
  return true;
}

std::optional<SknPackage> ParseSknPackage(std::string_view bytes) {
  std::span<const char> all(bytes.data(), bytes.size());
  if (all.size() < kSknHeaderSize) return std::nullopt;
  std::span<const char> header = all.first(kSknHeaderSize);
  if (std::string_view(header.data(), kSknMagic.size()) != kSknMagic) return std::nullopt;
  char count_digit = header[skn_header::kItemCount.offset];
  std::optional<int64_t> total = GetDecimal(header, skn_header::kTotalLength);
  if (count_digit < '0' || count_digit > '9' || !total ||
      *total != static_cast<int64_t>(all.size())) {
    return std::nullopt;
  }
  SknPackage package;
  package.subject = GetField(header, skn_header::kSubject);
  package.total_length = *total;
  size_t at = kSknHeaderSize;
  for (int i = 0; i < count_digit - '0'; ++i) {
    if (all.size() - at < kSknItemHeaderSize) return std::nullopt;
    std::span<const char> item = all.subspan(at, kSknItemHeaderSize);
    std::optional<int64_t> size = GetDecimal(item, skn_item::kSize);
    at += kSknItemHeaderSize;
    if (!size || static_cast<uint64_t>(*size) > all.size() - at) return std::nullopt;
    package.items.push_back(SknItem{std::string(GetField(item, skn_item::kType)),
                                    std::string(GetField(item, skn_item::kFileName)),
                                    std::string(bytes.substr(at, static_cast<size_t>(*size)))});
    at += static_cast<size_t>(*size);
  }
  if (at != all.size()) return std::nullopt;
  return package;
}

}  // namespace parley
