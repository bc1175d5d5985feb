// How spreadsheet values become the text stored for a cell.
#ifndef PARLEY_EXCEL_CELL_FORMAT_H_
#define PARLEY_EXCEL_CELL_FORMAT_H_

#include <string>

namespace parley {

// A number as text: integral values without a decimal part ("1012345678"), others in their
// shortest form that reads back exactly ("0.1", "1e+21"). Negative zero is "0".
std::string FormatNumber(double value);

// A date serial number (days since the workbook's epoch, the fraction the time of day) as
// "YYYY-MM-DD", with " HH:MM:SS" when the time, rounded to the second, is not midnight.
// date1904 selects the 1904 date system; otherwise the 1900 system, including its phantom
// 1900-02-29 (serial 60). A serial under 1 in the 1900 system is a time of day alone,
// "HH:MM:SS". A serial outside years 1900-9999 is formatted as a plain number.
std::string FormatDate(double serial, bool date1904 = false);

// True when an Excel number format code formats dates or times: one of the built-in formats
// 14-22 or 45-47, or a custom code holding y, m, d, h or s outside quotes, brackets and escapes
// (but not a code that is only "General" or elapsed-time brackets alone).
bool IsDateFormat(int format_id, const std::string& format_code);

// Whether a cell styled with a number format (its id, and its code when the workbook defines one)
// shows a date: IsDateFormat, where the code decides unless the id is a built-in date format;
// without a code, also the built-in East Asian (Korean, Japanese, Chinese) date formats 27-36 and
// 50-58.
bool IsDateStyle(int format_id, const std::string& format_code);

}  // namespace parley

#endif  // PARLEY_EXCEL_CELL_FORMAT_H_
