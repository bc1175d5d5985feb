// OpenDocument spreadsheets: content.xml holds every table; streamed, with repeated rows and
// cells expanded only when they hold a value, and over at most the stored columns.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "excel/cell_format.h"
#include "excel/workbook_readers.h"
#include "excel/zip_stream.h"

namespace parley {

namespace {

constexpr uint32_t kMaxSpaces = 1024;  // one <text:s text:c="n"/>

// A repeat count attribute: 1 when absent or not a positive number.
// The text a spreadsheet shows for a formula that failed: "#DIV/0!", "#N/A" and the rest, or
// LibreOffice's "Err:502". Writers that do not mark such a cell store it as the number 0.
bool IsErrorName(std::string_view text) {
  constexpr std::string_view kNames[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
                                         "#NAME?", "#NUM!",   "#N/A"};
  for (std::string_view name : kNames) {
    if (text == name) return true;
  }
  return text.size() == 7 && text.starts_with("Err:") &&
         std::all_of(text.begin() + 4, text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

uint32_t RepeatCount(const std::string_view* text) {
  if (text == nullptr) return 1;
  uint32_t value = 0;
  const std::string_view view = *text;
  auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), value);
  return ec == std::errc() && value > 0 ? value : 1;
}

// True when the fraction of a second at text[dot] ("." and digits) is at least one half: the
// value is rounded to the second, as a spreadsheet shows it.
bool RoundsUp(std::string_view text, size_t dot) {
  return dot + 1 < text.size() && text[dot] == '.' && text[dot + 1] >= '5' && text[dot + 1] <= '9';
}

bool ParseDigits(std::string_view text, int* value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

// "2024-03-05T10:20:30" -> "2024-03-05 10:20:30"; "2024-03-05T00:00:00" -> "2024-03-05"; a
// fraction of a second is rounded ("2024-03-05T23:59:59.9" -> "2024-03-06"). Other text is kept.
std::string DateText(std::string_view text) {
  if (text.size() < 10) return std::string(text);
  if (text.size() < 19 || text[10] != 'T') return std::string(text.substr(0, 10));
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  if (text[4] != '-' || text[7] != '-' || text[13] != ':' || text[16] != ':' ||
      !ParseDigits(text.substr(0, 4), &y) || !ParseDigits(text.substr(5, 2), &mo) ||
      !ParseDigits(text.substr(8, 2), &d) || !ParseDigits(text.substr(11, 2), &h) ||
      !ParseDigits(text.substr(14, 2), &mi) || !ParseDigits(text.substr(17, 2), &sec)) {
    return std::string(text);
  }
  using namespace std::chrono;
  const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                            day{static_cast<unsigned>(d)}};
  if (!date.ok()) return std::string(text);
  const sys_seconds at =
      sys_days{date} + hours{h} + minutes{mi} + seconds{sec + (RoundsUp(text, 19) ? 1 : 0)};
  const sys_days day_of = floor<days>(at);
  const year_month_day shown{day_of};
  const long long time = (at - day_of).count();
  char buffer[48];
  int n = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(shown.year()),
                        static_cast<unsigned>(shown.month()), static_cast<unsigned>(shown.day()));
  if (time != 0) {
    std::snprintf(buffer + n, sizeof buffer - static_cast<size_t>(n), " %02lld:%02lld:%02lld",
                  time / 3600, time / 60 % 60, time % 60);
  }
  return buffer;
}

// "PT12H30M05S" -> "12:30:05", a fraction of a second rounded ("PT12H29M59.9S" -> "12:30:00").
// Other text is kept.
std::string TimeText(std::string_view text) {
  if (text.substr(0, 2) != "PT") return std::string(text);
  unsigned parts[3] = {0, 0, 0};  // hours, minutes, seconds
  bool round_up = false;
  const char* p = text.data() + 2;
  const char* end = text.data() + text.size();
  while (p < end) {
    unsigned value = 0;
    auto [stop, ec] = std::from_chars(p, end, value);
    if (ec != std::errc()) return std::string(text);
    p = stop;
    if (p < end && *p == '.') {  // fraction of a second
      round_up = RoundsUp(text, static_cast<size_t>(p - text.data()));
      while (p < end && *p != 'S') ++p;
    }
    if (p == end) return std::string(text);
    switch (*p++) {
      case 'H':
        parts[0] = value;
        break;
      case 'M':
        parts[1] = value;
        break;
      case 'S':
        parts[2] = value;
        break;
      default:
        return std::string(text);
    }
  }
  unsigned long long total = parts[0] * 3600ull + parts[1] * 60ull + parts[2] + (round_up ? 1 : 0);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02llu:%02llu:%02llu", total / 3600, total / 60 % 60,
                total % 60);
  return buffer;
}

class ContentHandler : public XmlHandler {
 public:
  ContentHandler(SheetSink& sink, LoadBudget& budget, std::string* error)
      : sink_(sink),
        budget_(budget),
        limits_(budget.limits()),
        // One byte past the cut lets the stored value end at the same character boundary.
        cell_text_bytes_(size_t{limits_.cell_bytes} + 1),
        error_(error) {}

  bool StartElement(std::string_view name, XmlAttributes attributes) override {
    if (skip_depth_ > 0) {
      if (name == "table") ++skip_depth_;
      return true;
    }
    if (!in_table_) {
      if (name == "table") return StartTable(attributes);
      return true;
    }
    if (in_cell_) return StartInCell(name, attributes);
    if (name == "table-cell" || name == "covered-table-cell") return StartCell(attributes);
    if (name == "table-row") {
      row_repeat_ = RepeatCount(FindAttribute(attributes, "number-rows-repeated"));
      column_ = 0;
      row_cells_.clear();
      row_text_.clear();
    } else if (name == "table") {
      skip_depth_ = 1;  // a table inside the sheet's shapes: not part of its grid
    }
    return true;
  }

  bool EndElement(std::string_view name) override {
    if (skip_depth_ > 0) {
      if (name == "table") --skip_depth_;
      return true;
    }
    if (!in_table_) return true;
    if (in_cell_) {
      if (name == "table-cell" || name == "covered-table-cell") {
        if (--cell_depth_ == 0) return EndCell();
      }
      return EndInCell(name);
    }
    if (name == "table-row") return EndRow();
    if (name == "table") {
      in_table_ = false;
      if (!sink_.EndSheet()) return Stopped();
    }
    return true;
  }

  bool Text(std::string_view text) override {
    if (in_cell_ && paragraph_depth_ > 0 && ignored_depth_ == 0 && !error_cell_) {
      AppendCapped(&text_, text, cell_text_bytes_);
    }
    return true;
  }

 private:
  bool Stopped() {
    *error_ = "reading stopped at sheet \"" + sheet_name_ + "\"";
    return false;
  }

  bool StartTable(XmlAttributes attributes) {
    const std::string_view* name = FindAttribute(attributes, "name");
    sheet_name_ = name ? std::string(*name) : "";
    in_table_ = true;
    row_ = 0;
    if (!sink_.BeginSheet(sheet_name_)) return Stopped();
    return true;
  }

  bool StartCell(XmlAttributes attributes) {
    in_cell_ = true;
    cell_depth_ = 1;
    cell_repeat_ = RepeatCount(FindAttribute(attributes, "number-columns-repeated"));
    paragraphs_ = 0;
    paragraph_depth_ = 0;
    ignored_depth_ = 0;
    error_cell_ = false;
    text_.clear();
    value_.clear();
    // office:value-type; LibreOffice adds its own calcext:value-type, "error" for a formula that
    // failed (shown as "#DIV/0!" and so on): such a cell is empty, as an error cell of an xlsx.
    // Whatever prefix a writer gives that namespace, a value type "error" is one.
    std::string_view kind;
    formula_ = false;
    for (const XmlAttribute& a : attributes) {
      const std::string_view local = LocalName(a.name);
      if (local == "formula") formula_ = true;
      if (local != "value-type") continue;
      if (a.value == "error") {
        has_value_ = false;
        error_cell_ = true;  // its text is the error's name
        return true;
      }
      if (!a.name.starts_with("calcext:")) kind = a.value;
    }
    const std::string_view* attribute = nullptr;
    if (kind == "float" || kind == "percentage" || kind == "currency") {
      attribute = FindAttribute(attributes, "value");
      double number = 0;
      if (attribute != nullptr) {
        const std::string_view text = *attribute;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (ec == std::errc() && end == text.data() + text.size()) {
          value_ = FormatNumber(number);
          has_value_ = true;
          return true;
        }
      }
    } else if (kind == "date") {
      attribute = FindAttribute(attributes, "date-value");
      if (attribute != nullptr) value_ = DateText(*attribute);
    } else if (kind == "time") {
      attribute = FindAttribute(attributes, "time-value");
      if (attribute != nullptr) value_ = TimeText(*attribute);
    } else if (kind == "boolean") {
      attribute = FindAttribute(attributes, "boolean-value");
      if (attribute != nullptr) value_ = *attribute == "true" ? "TRUE" : "FALSE";
    } else if (kind == "string") {
      attribute = FindAttribute(attributes, "string-value");
      if (attribute != nullptr) value_ = *attribute;
    }
    if (value_.size() > cell_text_bytes_) value_.resize(cell_text_bytes_);
    has_value_ = !value_.empty();
    return true;
  }

  // What a cell holds besides its paragraphs and lists: a comment (annotation), or a shape or
  // picture anchored to it (draw:frame, draw:custom-shape...), whose text is not the cell's.
  static bool IsCellText(std::string_view name) {
    return name == "p" || name == "h" || name == "list" || name == "list-item" ||
           name == "list-header";
  }

  bool StartInCell(std::string_view name, XmlAttributes attributes) {
    if (name == "table-cell" || name == "covered-table-cell") {
      ++cell_depth_;
    } else if (ignored_depth_ > 0) {
      ++ignored_depth_;
    } else if (paragraph_depth_ == 0 && !IsCellText(name)) {
      ignored_depth_ = 1;
    } else if (name == "p" || name == "h") {
      if (paragraph_depth_++ == 0 && paragraphs_++ > 0) AppendText("\n");
    } else if (paragraph_depth_ > 0) {
      if (name == "s") {
        uint32_t count = RepeatCount(FindAttribute(attributes, "c"));
        AppendText(std::string(std::min(count, kMaxSpaces), ' '));
      } else if (name == "tab") {
        AppendText("\t");
      } else if (name == "line-break") {
        AppendText("\n");
      }
    }
    return true;
  }

  bool EndInCell(std::string_view name) {
    if (name == "table-cell" || name == "covered-table-cell") return true;  // see StartInCell
    if (ignored_depth_ > 0) {
      --ignored_depth_;
    } else if ((name == "p" || name == "h") && paragraph_depth_ > 0) {
      --paragraph_depth_;
    }
    return true;
  }

  void AppendText(std::string_view text) { AppendCapped(&text_, text, cell_text_bytes_); }

  // Keeps the cell's value once for the end of the row, with the columns it repeats over (at most
  // the stored columns); the repeat counts on to the grid's last column.
  bool EndCell() {
    in_cell_ = false;
    // A failed formula that a writer stored as a number shows its error's name: it is empty.
    if (formula_ && has_value_ && IsErrorName(text_)) value_.clear();
    const std::string& value = has_value_ ? value_ : text_;
    const uint32_t first = column_;
    column_ = first + std::min(cell_repeat_, limits_.columns - std::min(first, limits_.columns));
    // A value's columns are read from the first column holding a value on: a repeat reaches
    // into at most the stored columns from its first.
    const uint32_t end = std::min(column_, first + limits_.stored_columns);
    if (value.empty() || first >= end) return true;
    size_t start = row_text_.size();
    row_text_ += value;
    row_cells_.push_back({first, end, start, row_text_.size()});
    return true;
  }

  // Hands on the row's cells, once per repeat; empty repeated rows are only counted. A repeat
  // that would store more cells than the budget has left is refused before any is handed on.
  bool EndRow() {
    const uint32_t first = row_;
    const uint32_t repeat = std::min(row_repeat_, limits_.rows - std::min(first, limits_.rows));
    row_ = first + repeat;
    if (row_cells_.empty()) return true;
    uint64_t cells = 0;
    for (const RowCell& cell : row_cells_) cells += cell.end_column - cell.column;
    if (repeat > 1 && !budget_.CanStore(cells * repeat, 0)) {
      *error_ = budget_.reason();
      return false;
    }
    for (uint32_t row = first; row < row_; ++row) {
      for (const RowCell& cell : row_cells_) {
        std::string_view value(row_text_.data() + cell.start, cell.end - cell.start);
        for (uint32_t column = cell.column; column < cell.end_column; ++column) {
          if (!sink_.Cell(row, column, value)) return Stopped();
        }
      }
    }
    row_cells_.clear();
    row_text_.clear();
    return true;
  }

  SheetSink& sink_;
  LoadBudget& budget_;
  const LoadLimits& limits_;
  const size_t cell_text_bytes_;  // of a cell's text kept
  std::string* error_;
  std::string sheet_name_;

  // The row being read: its non-empty cells, their values back to back in row_text_, each with
  // the columns [column, end_column) it fills.
  struct RowCell {
    uint32_t column;
    uint32_t end_column;
    size_t start;
    size_t end;
  };
  std::vector<RowCell> row_cells_;
  std::string row_text_;
  uint32_t row_ = 0;
  uint32_t row_repeat_ = 1;
  uint32_t column_ = 0;

  // The cell being read.
  std::string value_;  // from its value attribute
  std::string text_;   // from its paragraphs
  uint32_t cell_repeat_ = 1;
  int cell_depth_ = 0;
  int paragraph_depth_ = 0;
  int paragraphs_ = 0;
  int ignored_depth_ = 0;
  bool error_cell_ = false;  // a formula that failed
  int skip_depth_ = 0;
  bool has_value_ = false;
  bool formula_ = false;  // the cell holds a formula
  bool in_cell_ = false;
  bool in_table_ = false;
};

}  // namespace

bool ReadOds(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
             std::string* error) {
  std::unique_ptr<ZipReader> zip = ZipReader::Open(path, budget, error);
  if (!zip) return false;
  if (!zip->Contains("content.xml")) {
    *error = "not an ods workbook: missing content.xml";
    return false;
  }
  ContentHandler handler(sink, budget, error);
  return zip->ParseXml("content.xml", handler, error);
}

}  // namespace parley
