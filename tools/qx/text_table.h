// Aligned text tables for qx output. Cells are UTF-8; a column is as wide as its widest cell, a
// Korean character counting two columns as on a terminal.
#ifndef PARLEY_QX_TEXT_TABLE_H_
#define PARLEY_QX_TEXT_TABLE_H_

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace parley {

// Terminal columns taken by a UTF-8 text: two for a wide (Hangul, CJK) character, one otherwise.
size_t DisplayWidth(std::string_view utf8);

// The text cut to at most max_width columns, ending in "..." when it was cut.
std::string Ellipsize(std::string_view utf8, size_t max_width);

class TextTable {
 public:
  // empty is printed in place of the rows of a table without any.
  explicit TextTable(std::vector<std::string> headings, std::string empty = "(none)");

  // Adds a row; missing cells are empty, cells beyond the headings are dropped.
  void AddRow(std::vector<std::string> cells);
  size_t rows() const { return rows_.size(); }

  // Writes the headings, a rule and the rows. Columns whose cells are all numbers are aligned to
  // the right. A table without rows prints its headings and the empty text.
  void Print(std::ostream& out) const;

 private:
  std::vector<std::string> headings_;
  std::string empty_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace parley

#endif  // PARLEY_QX_TEXT_TABLE_H_
