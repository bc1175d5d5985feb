#include "qx/text_table.h"

#include <algorithm>
#include <ostream>

#include "qx/reply_text.h"

namespace parley {
namespace {

// The code point of the UTF-8 sequence at text[*i], advancing *i past it. A malformed byte is
// taken as one narrow character.
char32_t NextCodePoint(std::string_view text, size_t* i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = byte(*i);
  size_t length = c < 0x80           ? 1
                  : (c >> 5) == 0x6  ? 2
                  : (c >> 4) == 0xE  ? 3
                  : (c >> 3) == 0x1E ? 4
                                     : 1;
  if (*i + length > text.size()) length = 1;
  char32_t cp = length == 1 ? c : c & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (byte(*i + k) & 0x3F);
  *i += length;
  return cp;
}

bool IsWide(char32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1FAFF);
}

bool IsNumber(std::string_view cell) {
  if (cell.empty()) return false;
  return std::all_of(cell.begin(), cell.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ',';
  });
}

// The columns the code point at *i takes on a terminal; moves *i past it.
size_t NextWidth(std::string_view utf8, size_t* i) {
  return IsWide(NextCodePoint(utf8, i)) ? size_t{2} : size_t{1};
}

}  // namespace

size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) width += NextWidth(utf8, &i);
  return width;
}

std::string Ellipsize(std::string_view utf8, size_t max_width) {
  if (DisplayWidth(utf8) <= max_width) return std::string(utf8);
  std::string out;
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    const size_t w = NextWidth(utf8, &i);
    if (width + w + 3 > max_width) break;
    out.append(utf8.substr(start, i - start));
    width += w;
  }
  return out + "...";
}

TextTable::TextTable(std::vector<std::string> headings, std::string empty)
    : headings_(std::move(headings)), empty_(std::move(empty)) {}

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(headings_.size());
  rows_.push_back(std::move(cells));
}

void TextTable::Print(std::ostream& out) const {
  const size_t columns = headings_.size();
  std::vector<size_t> width(columns);
  std::vector<bool> numeric(columns, !rows_.empty());
  for (size_t c = 0; c < columns; ++c) {
    width[c] = DisplayWidth(headings_[c]);
    for (const auto& row : rows_) {
      width[c] = std::max(width[c], DisplayWidth(row[c]));
      if (!row[c].empty() && !IsNumber(row[c])) numeric[c] = false;
    }
  }
  auto print_row = [&](const std::vector<std::string>& cells, bool align) {
    std::string line;
    for (size_t c = 0; c < columns; ++c) {
      const std::string pad(width[c] - DisplayWidth(cells[c]), ' ');
      if (c > 0) line += "  ";
      line += align && numeric[c] ? pad + cells[c] : cells[c] + (c + 1 < columns ? pad : "");
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  };
  print_row(headings_, false);
  std::string rule;
  for (size_t c = 0; c < columns; ++c) rule += (c > 0 ? "  " : "") + std::string(width[c], '-');
  out << rule << "\n";
  for (const auto& row : rows_) print_row(row, true);
  if (rows_.empty()) out << empty_ << "\n";
}

}  // namespace parley
