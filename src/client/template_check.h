// The markers of an Excel message template and what they will do to the rows of a sheet.
//
// A marker is "[column:width]" (width in decimal digits, possibly none, as the engine reads it);
// the engine puts the row's cell there cut to width bytes of CP949 (ExcelWorkbook::CutToBytes).
// Reported before sending:
//   - "[column]" naming a known column without a width (the engine leaves it in the text);
//   - a marker naming no column of the sheet (with the columns there are);
//   - every value of the sample rows the width cuts (row, column, value, what is left).
// "[공지]" and other bracketed words that name no column are ordinary text and not reported.
#ifndef PARLEY_CLIENT_TEMPLATE_CHECK_H_
#define PARLEY_CLIENT_TEMPLATE_CHECK_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"
#include "client/verdict.h"

namespace parley {

struct TemplateMarker {
  size_t begin = 0;  // position of "["
  size_t end = 0;    // one past "]"
  std::string name;
  size_t width = 0;
};

// The markers "[name:width]" of a template, in order. A name has no "[", "]" or ":"; the width
// is decimal digits, possibly none.
std::vector<TemplateMarker> FindMarkers(std::string_view text);

// One problem of a template: its line, and whether it is a value cut (a warning: the send can
// go) rather than a marker the engine cannot fill (the send should not go).
struct TemplateProblem {
  Verdict verdict;
  bool cut = false;
};

// The problems of a UTF-8 template against the sheet's columns and sample rows (each row holds
// the cells in the order of columns; rows are numbered from first_row in the report).
std::vector<TemplateProblem> CheckTemplate(std::string_view text,
                                           const std::vector<std::string>& columns,
                                           const std::vector<std::vector<std::string>>& rows,
                                           int first_row);

}  // namespace parley

#endif  // PARLEY_CLIENT_TEMPLATE_CHECK_H_
