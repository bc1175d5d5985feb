// The text of BIFF records as UTF-8: 16-bit characters (BIFF8, stored "compressed" as their low
// bytes when all high bytes are zero) and byte strings in the workbook's code page (BIFF5).
#ifndef PARLEY_EXCEL_BIFF_TEXT_H_
#define PARLEY_EXCEL_BIFF_TEXT_H_

#include <iconv.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace parley {

// Appends UTF-16LE units as UTF-8; an unpaired surrogate becomes U+FFFD.
void AppendUtf16(std::string_view bytes, std::string* out);

// Appends characters stored as their low bytes (U+0000-U+00FF) as UTF-8.
void AppendCompressed(std::string_view bytes, std::string* out);

// Converts byte strings from one Windows code page. Not shared between threads.
class CodePageDecoder {
 public:
  CodePageDecoder() = default;
  ~CodePageDecoder();
  CodePageDecoder(const CodePageDecoder&) = delete;
  CodePageDecoder& operator=(const CodePageDecoder&) = delete;

  // Takes the code page of a CODEPAGE record; one iconv does not know is read as Windows-1252.
  void SetCodePage(uint16_t code_page);

  // Appends bytes converted to UTF-8; a byte that does not convert becomes "?".
  void Append(std::string_view bytes, std::string* out);

 private:
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

}  // namespace parley

#endif  // PARLEY_EXCEL_BIFF_TEXT_H_
