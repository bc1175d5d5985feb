// Two readings of an XML document written as text, for comparing the scanner with the general
// parser in tests and fuzzing: one line per event, text pieces joined; "error" for a document a
// reader refuses and "unsupported" for one the scanner hands on.
#ifndef PARLEY_EXCEL_XML_READINGS_H_
#define PARLEY_EXCEL_XML_READINGS_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace parley {

// The scanner's reading of doc fed in pieces of `piece` bytes (all at once for 0).
std::string ScannerReading(std::string_view doc, size_t piece = 0);

// The general parser's reading, configured as the workbook readers use it.
std::string ExpatReading(std::string_view doc);

}  // namespace parley

#endif  // PARLEY_EXCEL_XML_READINGS_H_
