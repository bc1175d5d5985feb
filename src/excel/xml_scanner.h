// A streaming XML scanner for the parts of a workbook package: elements, attributes, text,
// character and the five predefined entity references, CDATA sections, comments and processing
// instructions, in UTF-8. It hands the same events as the general parser (element names without
// their prefix, attributes as a name/value array, text possibly in pieces, line breaks and
// attribute white space normalised as XML requires) at a fraction of its cost, and refuses
// anything that is not well-formed rather than guessing. A document type declaration is the one
// thing it does not read: it reports kUnsupported before any event, so the caller can hand the
// part to the general parser.
#ifndef PARLEY_EXCEL_XML_SCANNER_H_
#define PARLEY_EXCEL_XML_SCANNER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "excel/zip_stream.h"

namespace parley {

class XmlScanner {
 public:
  enum class Status {
    kOk,           // more input may follow (or, after the last, the document was whole)
    kError,        // not well-formed, too deep or too large: see error()
    kStopped,      // the handler returned false
    kUnsupported,  // a document type declaration, before any event
  };

  // Elements nest at most max_depth deep; the scanner holds at most max_held bytes of input
  // that it cannot hand on yet (one tag, or a reference split between pieces).
  XmlScanner(XmlHandler& handler, int max_depth, size_t max_held);

  // Scans the next piece of the document; `last` marks its end. After a status other than kOk
  // the scanner takes no more input.
  Status Feed(std::string_view piece, bool last);

  // Why scanning failed, and the line (from 1) where it did.
  const std::string& error() const { return error_; }
  int64_t line() const { return line_; }
  // True when the failure was the max_held limit.
  bool over_memory() const { return over_memory_; }

 private:
  // Scans buffer from its start as far as whole constructs reach; returns the bytes consumed.
  size_t Scan(std::string_view buffer, bool last);
  size_t ScanConstructs(std::string_view buffer, bool last);
  // One construct at the start of s (s[0] == '<'); returns its size, 0 when s ends within it.
  size_t Markup(std::string_view s);
  size_t StartTag(std::string_view s);
  size_t EndTag(std::string_view s);
  bool Characters(std::string_view text, bool raw);
  bool Fail(std::string reason);
  // True when two attributes of the tag just read have one name.
  bool HasDuplicateName();
  void CountLines(std::string_view consumed);

  XmlHandler& handler_;
  const int max_depth_;
  const size_t max_held_;
  Status status_ = Status::kOk;
  std::string error_;
  int64_t line_ = 1;
  bool over_memory_ = false;
  bool root_seen_ = false;
  bool root_closed_ = false;
  bool started_ = false;  // the first piece has come (a byte order mark is skipped there)
  std::string held_;      // input not handed on yet
  // The name of the innermost open element.
  std::string_view OpenName() const;
  std::string open_names_;         // qualified names of the open elements, one after the other
  std::vector<size_t> open_ends_;  // where each ends in open_names_
  std::string scratch_;            // decoded text
  // The attributes of one tag: names and plain values point into the input, values with a
  // reference or white space to normalise into attribute_text_ (decoded_ says where).
  struct Decoded {
    size_t attribute;
    size_t offset;
    size_t size;
  };
  std::vector<XmlAttribute> attributes_;
  std::string attribute_text_;
  std::vector<Decoded> decoded_;
  std::vector<std::string_view> sorted_names_;  // the attribute names, sorted, for many of them
};

}  // namespace parley

#endif  // PARLEY_EXCEL_XML_SCANNER_H_
