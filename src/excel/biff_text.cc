#include "excel/biff_text.h"

#include <cerrno>

namespace parley {
namespace {

void AppendCodePoint(uint32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | c >> 6));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | c >> 12));
    out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | c >> 18));
    out->push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

constexpr uint32_t kReplacement = 0xFFFD;

// The iconv name of a Windows code page number.
std::string IconvName(uint16_t code_page) {
  switch (code_page) {
    case 367:
      return "ASCII";
    case 1200:
      return "UTF-16LE";
    case 10000:  // Mac Roman, as Excel for the Mac writes it
    case 32768:
      return "MACINTOSH";
    case 10007:
      return "MACCYRILLIC";
    case 32769:  // Windows-1252 as Excel 2-4 wrote it
      return "CP1252";
    default:
      return "CP" + std::to_string(code_page);
  }
}

}  // namespace

void AppendUtf16(std::string_view bytes, std::string* out) {
  const auto unit = [&bytes](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendCodePoint(c, out);
  }
}

void AppendCompressed(std::string_view bytes, std::string* out) {
  for (char c : bytes) AppendCodePoint(static_cast<unsigned char>(c), out);
}

CodePageDecoder::~CodePageDecoder() {
  if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
}

void CodePageDecoder::SetCodePage(uint16_t code_page) {
  if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  cd_ = iconv_open("UTF-8", IconvName(code_page).c_str());
  if (cd_ == reinterpret_cast<iconv_t>(-1)) cd_ = iconv_open("UTF-8", "CP1252");
}

void CodePageDecoder::Append(std::string_view bytes, std::string* out) {
  if (cd_ == reinterpret_cast<iconv_t>(-1)) SetCodePage(1252);
  if (cd_ == reinterpret_cast<iconv_t>(-1)) return AppendCompressed(bytes, out);
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());  // iconv does not write through it
  size_t in_left = bytes.size();
  size_t used = out->size();
  out->resize(used + 4 * bytes.size() + 16);
  const auto grow = [out] { out->resize(out->size() * 2 + 16); };
  while (in_left > 0) {
    char* to = out->data() + used;
    size_t to_left = out->size() - used;
    const size_t rc = iconv(cd_, &in, &in_left, &to, &to_left);
    used = static_cast<size_t>(to - out->data());
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      grow();
      continue;
    }
    // EILSEQ or EINVAL: a byte that does not convert.
    if (used == out->size()) grow();
    (*out)[used++] = '?';
    ++in;
    --in_left;
  }
  // A stateful code page (1258 combines accents with the letter before) still holds the last
  // character.
  for (;;) {
    char* to = out->data() + used;
    size_t to_left = out->size() - used;
    const size_t rc = iconv(cd_, nullptr, nullptr, &to, &to_left);
    used = static_cast<size_t>(to - out->data());
    if (rc == static_cast<size_t>(-1) && errno == E2BIG) {
      grow();
      continue;
    }
    break;
  }
  out->resize(used);
}

}  // namespace parley
