// Where a send takes its recipients and its text from: typed lists, a file of numbers (one a
// line, or the named column of a CSV, xlsx, xls or ods file), or a text file. Every item keeps
// where it came from, so a refused number names its line or cell. A file that cannot be read is
// a verdict; the front end words where each item came from.
#ifndef PARLEY_CLIENT_SEND_INPUT_H_
#define PARLEY_CLIENT_SEND_INPUT_H_

#include <optional>
#include <string>
#include <vector>

#include "client/phone_number.h"
#include "client/verdict.h"

namespace parley {

// Where a list item came from: a typed list (field "to", the list quoted by its start when it is
// over 40 bytes, a list over 40 bytes ending in "..."), or a file (field "to_file", its path);
// in_column: the item is a cell of a column, its line being the sheet's row.
struct ItemSource {
  std::string field;
  std::string name;
  bool in_column = false;
};

// A list item and where it came from.
struct SourcedItem {
  ListItem item;
  ItemSource source;
};

// The items of the typed lists (each split by SplitNumberList) in order.
std::vector<SourcedItem> ItemsOfToOptions(const std::vector<std::string>& values);

// The items of a file: one number a line when column is empty, else the cells of that column of
// the file's first sheet (row 1 is the heading). The verdict (kFileUnreadable, kCsvNoColumn,
// kWorkbookUnreadable) when the file cannot be read or has no such column.
std::optional<Verdict> ItemsOfFile(const std::string& path, const std::string& column,
                                   std::vector<SourcedItem>* items);

// The whole file as text, without the line breaks that end it, or the verdict.
std::optional<Verdict> ReadTextFile(const std::string& path, std::string* text);

}  // namespace parley

#endif  // PARLEY_CLIENT_SEND_INPUT_H_
