// Fuzzes the CP949 conversions, the MBCS helpers and the escape codes with arbitrary bytes, and
// checks the properties their callers rely on.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "protocol/body_fields.h"
#include "text/cp949.h"
#include "text/mbcs.h"
#include "text/text_codes.h"

namespace {

using parley::IsLeadByte;

// True when text is well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool IsUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t n = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= text.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += n + 1;
  }
  return true;
}

// The length of the character at pos: a lead byte and the byte after it, else one byte.
size_t CharLenAt(std::string_view text, size_t pos) {
  return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

int ReferenceAtoi(std::string_view text) {
  const std::string copy(text);
  const long value = std::strtol(copy.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

void CheckConversions(std::string_view bytes) {
  const std::string utf8 = parley::AnsiToUtf8(bytes);
  FUZZ_CHECK(IsUtf8(utf8));
  const std::string ansi = parley::Utf8ToAnsi(bytes);
  // What came out of one conversion survives the way there and back.
  FUZZ_CHECK(parley::Utf8ToAnsi(parley::AnsiToUtf8(ansi)) == ansi);
}

void CheckFields(std::string_view text, char sep) {
  const auto fields = parley::SplitFields(text, sep);
  FUZZ_CHECK(!fields.empty());
  for (size_t i = 0; i < std::min<size_t>(fields.size() + 1, 64); ++i) {
    const std::string expected = i < fields.size() ? std::string(fields[i]) : std::string();
    FUZZ_CHECK(parley::ExtractSubString(text, static_cast<int>(i), sep) == expected);
  }
  FUZZ_CHECK(parley::ExtractSubString(text, -1, sep).empty());

  const parley::protocol::BodyFields body(text);
  FUZZ_CHECK(body.size() >= 1);
  FUZZ_CHECK(body[body.size()].empty());
  size_t total = 0;
  for (size_t i = 0; i < body.size(); ++i) total += body[i].size();
  FUZZ_CHECK(total <= text.size());
}

void CheckCut(std::string_view text, size_t width) {
  const std::string cut = parley::CutToBytes(text, width);
  FUZZ_CHECK(cut.size() <= width);
  FUZZ_CHECK(text.substr(0, cut.size()) == cut);
  size_t end = 0;
  while (end < cut.size()) end += CharLenAt(text, end);
  FUZZ_CHECK(end == cut.size());  // ends on a character boundary
  if (cut.size() < text.size()) FUZZ_CHECK(cut.size() + CharLenAt(text, cut.size()) > width);
}

void CheckHyphens(std::string_view text) {
  const std::string out = parley::RemoveHyphens(text);
  FUZZ_CHECK(out.size() <= text.size());
  for (size_t i = 0; i < out.size(); i += CharLenAt(out, i)) FUZZ_CHECK(out[i] != '-');
}

void CheckCodes(std::string_view text) {
  // A form value holds none of the characters that end or join fields, and decodes back whole.
  const std::string form = parley::EncodeFormValue(text);
  FUZZ_CHECK(form.find_first_of("&=+") == std::string::npos);
  std::string back;
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i] != '%') {
      back += form[i];
      continue;
    }
    FUZZ_CHECK(i + 2 < form.size());
    const std::string code = form.substr(i + 1, 2);
    FUZZ_CHECK(code == "25" || code == "26" || code == "3D" || code == "2B");
    back += code == "25" ? '%' : code == "26" ? '&' : code == "3D" ? '=' : '+';
    i += 2;
  }
  FUZZ_CHECK(back == text);
  (void)parley::DecodeUiText(text);
  (void)parley::DecodeCellText(parley::EncodeCellText(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const char sep = in.ConsumeIntegral<char>();
  const size_t width = in.ConsumeIntegralInRange<size_t>(0, 300);
  const std::string from = in.ConsumeRandomLengthString(8);
  const std::string to = in.ConsumeRandomLengthString(8);
  const std::string text = in.ConsumeRemainingBytesAsString();

  CheckConversions(text);
  CheckFields(text, sep);
  CheckCut(text, width);
  CheckHyphens(text);
  CheckCodes(text);
  FUZZ_CHECK(parley::Atoi(text) == ReferenceAtoi(text));

  std::string replaced = text;
  const size_t count = parley::ReplaceAll(replaced, from, to);
  FUZZ_CHECK(replaced == parley::Replaced(text, from, to));
  if (from.empty()) FUZZ_CHECK(count == 0 && replaced == text);
  FUZZ_CHECK(replaced.size() + count * from.size() == text.size() + count * to.size());
  return 0;
}
