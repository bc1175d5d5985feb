// Where a send takes its recipients and its text from: typed lists, a file of numbers (one a
// line, or the named column of a CSV, xlsx, xls or ods file), or a text file. Every item keeps
// where it came from, so a refused number names its line or cell. Refusals are plain lines on
// the stream given; the front end words where they come from.
#ifndef PARLEY_CLIENT_SEND_INPUT_H_
#define PARLEY_CLIENT_SEND_INPUT_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "client/phone_number.h"

namespace parley {

// A list item and where it came from ("--to", "numbers.txt line 3", "list.csv row 4").
struct SourcedItem {
  ListItem item;
  std::string where;
};

// The items of the --to values (each split by SplitNumberList) in order, each named by its
// value (a value over 40 bytes by its start and "...") and its place in it.
std::vector<SourcedItem> ItemsOfToOptions(const std::vector<std::string>& values);

// The items of a file: one number a line when column is empty, else the cells of that column of
// the file's first sheet (row 1 is the heading). False with the reason on err when the file
// cannot be read or has no such column.
bool ItemsOfFile(const std::string& path, const std::string& column,
                 std::vector<SourcedItem>* items, Language language, std::ostream& err);

// The whole file as text, without the line breaks that end it. False with the reason on err.
bool ReadTextFile(const std::string& path, std::string* text, Language language, std::ostream& err);

}  // namespace parley

#endif  // PARLEY_CLIENT_SEND_INPUT_H_
