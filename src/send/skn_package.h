// The SKN package: the one file that carries a long text and its pictures to the gateway, sent
// after the head of every file message (gateway_records.h).
//
// Layout: a 221-byte package header, then per item a 216-byte item header followed directly by
// the item's bytes, in the order the items were added. Numbers are decimal ASCII text, texts are
// CP949, headers are built in zeroed buffers.
//
// Package header, 221 bytes:            Item header, 216 bytes:
//   0  10  "__SKN1.0__", no NUL           0    3  item type "TXT", "IMG", "MOV", "ADO"; no NUL
//  10  10  total length of the package    3  100  file name; "BODY.TXT" for the text item
//  20   1  item count, one digit        103    3  "ALL", no NUL
//  21 100  subject                      106  100  reserved, zero
// 121 100  reserved, zero               206   10  size of the item's bytes
//
// The subject and the file name may fill their 100 bytes without a NUL.
#ifndef PARLEY_SEND_SKN_PACKAGE_H_
#define PARLEY_SEND_SKN_PACKAGE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "send/fixed_record.h"

namespace parley {

inline constexpr size_t kSknHeaderSize = 10 + 10 + 1 + 100 + 100;
inline constexpr size_t kSknItemHeaderSize = 3 + 100 + 3 + 100 + 10;
inline constexpr int kSknMaxItems = 9;
// Lengths and sizes have at most 9 digits.
inline constexpr int64_t kSknMaxLength = 999'999'999;

inline constexpr std::string_view kSknMagic = "__SKN1.0__";
inline constexpr std::string_view kSknAllTargets = "ALL";
inline constexpr std::string_view kSknTextItemName = "BODY.TXT";
// "제목없음" in CP949: the subject of a package that was given none.
inline constexpr std::string_view kSknDefaultSubject = "\xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD";

namespace skn_header {
inline constexpr Field kMagic{0, 10, 10};
inline constexpr Field kTotalLength{10, 10, 9};
inline constexpr Field kItemCount{20, 1, 1};
inline constexpr Field kSubject{21, 100, 100};
inline constexpr Field kReserved{121, 100, 0};
static_assert(kReserved.end() == kSknHeaderSize);
}  // namespace skn_header

namespace skn_item {
inline constexpr Field kType{0, 3, 3};
inline constexpr Field kFileName{3, 100, 100};
inline constexpr Field kTargets{103, 3, 3};
inline constexpr Field kReserved{106, 100, 0};
inline constexpr Field kSize{206, 10, 9};
static_assert(kSize.end() == kSknItemHeaderSize);
}  // namespace skn_item

// Fills out (zeroed first) with a package header. An empty subject is written as
// kSknDefaultSubject; a subject over 100 bytes is cut at a character boundary. Returns false,
// out zeroed, when item_count is not 0-9 or total_length is not 0-kSknMaxLength.
bool BuildSknHeader(int64_t total_length, int item_count, std::string_view subject,
                    std::span<char, kSknHeaderSize> out);

// Fills out (zeroed first) with an item header. Returns false, out zeroed, when type is over 3
// bytes, file_name over 100 bytes or size not 0-kSknMaxLength.
bool BuildSknItemHeader(std::string_view type, std::string_view file_name, int64_t size,
                        std::span<char, kSknItemHeaderSize> out);

struct SknItem {
  std::string type;
  std::string file_name;
  std::string data;
};

struct SknPackage {
  std::string subject;
  int64_t total_length = 0;
  std::vector<SknItem> items;
};

// Parses a whole package. Returns nothing when the magic is wrong, a header or an item runs past
// the end of bytes, the item count is not a digit, or the total length differs from bytes.size().
std::optional<SknPackage> ParseSknPackage(std::string_view bytes);

}  // namespace parley

#endif  // PARLEY_SEND_SKN_PACKAGE_H_
