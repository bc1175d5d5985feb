#include "text/cp949.h"

#include <errno.h>
#include <iconv.h>

#include <cstddef>
#include <stdexcept>
#include <string>

namespace parley {

namespace {

// True when every byte is ASCII, which both encodings write the same: most cells (numbers,
// phone numbers, dates) convert without iconv.
bool AllAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// One iconv descriptor per thread and direction, opened on first use.
// iconv_t carries conversion state, so it must not be shared across threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv_open failed: ") + from + " -> " + to);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() { iconv_close(cd_); }

  // Returns the descriptor, back in its initial state.
  iconv_t Reset() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return cd_;
  }

 private:
  iconv_t cd_;
};

// Returns how many bytes of input at p (n > 0 bytes left) to replace with one
// "?" after iconv stopped there. Always at least 1.
using SkipFn = size_t (*)(const unsigned char* p, size_t n);

// Converts in[0, size) with cd and writes the result to *out from *used on,
// growing *out when needed and advancing *used. iconv runs over the longest
// stretches it can; where it stops, the input skip measures becomes one "?".
void Convert(iconv_t cd, const char* in, size_t size, SkipFn skip, std::string* out, size_t* used) {
  char* inp = const_cast<char*>(in);  // iconv does not write through it.
  size_t in_left = size;
  while (in_left > 0) {
    char* outp = out->data() + *used;
    size_t out_left = out->size() - *used;
    size_t rc = iconv(cd, &inp, &in_left, &outp, &out_left);
    *used = static_cast<size_t>(outp - out->data());
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out->resize(out->size() * 2 + 16);
      continue;
    }
    // EILSEQ (bad or unmappable input) or EINVAL (input cut off at the end).
    size_t bad = skip(reinterpret_cast<const unsigned char*>(inp), in_left);
    if (bad > in_left) bad = in_left;
    if (*used == out->size()) out->resize(out->size() * 2 + 16);
    (*out)[(*used)++] = '?';
    inp += bad;
    in_left -= bad;
  }
}

// Decodes the UTF-8 sequence at p (n > 0 bytes left) into *cp and returns its
// length. A sequence that is not well formed decodes to '?' and its length is
// that of its maximal subpart: the longest prefix that could still start a
// well-formed sequence, at least 1 byte.
size_t DecodeUtf8(const unsigned char* p, size_t n, char32_t* cp) {
  unsigned char c = p[0];
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // Range of the second byte.
  if (c < 0x80) {
    *cp = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    *cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    *cp = c & 0x0F;
    if (c == 0xE0) lo = 0xA0;  // Overlong below U+0800.
    if (c == 0xED) hi = 0x9F;  // Surrogates.
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    *cp = c & 0x07;
    if (c == 0xF0) lo = 0x90;  // Overlong below U+10000.
    if (c == 0xF4) hi = 0x8F;  // Above U+10FFFF.
  } else {
    *cp = '?';  // Continuation byte, C0, C1 or F5..FF.
    return 1;
  }
  for (size_t i = 1; i < len; ++i) {
    unsigned char b = i < n ? p[i] : 0;
    if (i == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) {
      *cp = '?';
      return i;
    }
    *cp = (*cp << 6) | (b & 0x3F);
  }
  return len;
}

size_t SkipWideChar(const unsigned char*, size_t) { return sizeof(wchar_t); }

// Returns how many CP949 bytes at p make up the character iconv could not
// decode: a lone byte, a lead byte at the end, or a lead byte followed by an
// ASCII byte take 1 (the ASCII byte is decoded on its own); a lead byte with a
// high trail byte takes the pair.
size_t SkipCp949(const unsigned char* p, size_t n) {
  if (p[0] < 0x81 || p[0] == 0xFF || n < 2 || p[1] < 0x80) return 1;
  return 2;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  // The text is decoded here into wide characters (glibc's own internal form),
  // so iconv only has to encode them. A character CP949 lacks then costs a
  // single step; letting iconv read UTF-8 itself makes it redo its
  // intermediate buffer at every such character.
  static_assert(sizeof(wchar_t) == sizeof(char32_t));
  thread_local Converter converter("CP949", "WCHAR_T");
  if (AllAscii(utf8)) return std::string(utf8);
  std::string out;
  iconv_t cd = converter.Reset();

  // CP949 never takes more bytes than UTF-8 for the same text, and each bad
  // UTF-8 subpart becomes a single "?".
  out.resize(utf8.size());
  size_t used = 0;
  constexpr size_t kChunk = 4096;
  wchar_t wide[kChunk];
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const unsigned char* end = p + utf8.size();
  while (p < end) {
    size_t count = 0;
    while (count < kChunk && p < end) {
      if (*p < 0x80) {
        wide[count++] = *p++;
      } else {
        char32_t cp;
        p += DecodeUtf8(p, static_cast<size_t>(end - p), &cp);
        wide[count++] = static_cast<wchar_t>(cp);
      }
    }
    Convert(cd, reinterpret_cast<const char*>(wide), count * sizeof(wchar_t), SkipWideChar, &out,
            &used);
  }
  out.resize(used);
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  thread_local Converter converter("UTF-8", "CP949");
  if (AllAscii(ansi)) return std::string(ansi);
  std::string out;
  iconv_t cd = converter.Reset();

  // A two-byte character becomes at most three bytes of UTF-8.
  out.resize(ansi.size() + ansi.size() / 2 + 16);
  size_t used = 0;
  Convert(cd, ansi.data(), ansi.size(), SkipCp949, &out, &used);
  out.resize(used);
  return out;
}

}  // namespace parley
