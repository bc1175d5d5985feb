// Office Open XML workbooks: the package relationships lead to the workbook part, which lists
// the sheets in order; shared strings and styles are read whole, each worksheet is streamed.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <spdlog/spdlog.h>

#include "excel/cell_format.h"
#include "excel/shared_string_table.h"
#include "excel/workbook_readers.h"
#include "excel/zip_stream.h"
#include "text/utf8_append.h"

namespace parley {

namespace {

// Excel keeps at most 64,000 cell formats and number format codes of 255 characters; the
// formats past these bounds are taken as not showing dates.
constexpr size_t kMaxCellFormats = 65536;
constexpr size_t kMaxFormatCodeBytes = 1024;

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool ParseUint(std::string_view text, uint32_t* value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool IsTrue(std::string_view text) { return text == "1" || text == "true"; }

// Excel writes characters that XML cannot carry (a carriage return, control characters) as
// "_xHHHH_", and a literal "_x" as "_x005F_x". Decodes them in place.
void DecodeEscapes(std::string* text) {
  if (text->find("_x") == std::string::npos) return;
  std::string out;
  out.reserve(text->size());
  for (size_t i = 0; i < text->size();) {
    uint32_t code = 0;
    if (text->compare(i, 2, "_x") == 0 && i + 7 <= text->size() && (*text)[i + 6] == '_') {
      const char* digits = text->data() + i + 2;
      auto [end, ec] = std::from_chars(digits, digits + 4, code, 16);
      if (ec == std::errc() && end == digits + 4) {
        AppendUtf8(code, &out);
        i += 7;
        continue;
      }
    }
    out.push_back((*text)[i++]);
  }
  text->swap(out);
}

// "dir/" of a part name ("xl/" for "xl/workbook.xml").
std::string DirectoryOf(std::string_view part) {
  size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// The relationships part of a part: "xl/_rels/workbook.xml.rels" for "xl/workbook.xml".
std::string RelsOf(std::string_view part) {
  size_t slash = part.rfind('/');
  size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  return std::string(part.substr(0, start)) + "_rels/" + std::string(part.substr(start)) + ".rels";
}

// A relationship target as a package part name: absolute targets ("/xl/worksheets/sheet1.xml")
// lose their slash, relative ones are taken from base_dir; "." and ".." segments are resolved.
std::string ResolveTarget(std::string_view base_dir, std::string_view target) {
  std::string joined = !target.empty() && target.front() == '/'
                           ? std::string(target.substr(1))
                           : std::string(base_dir) + std::string(target);
  std::vector<std::string_view> segments;
  std::string_view rest = joined;
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }
  std::string out;
  for (std::string_view segment : segments) {
    if (!out.empty()) out.push_back('/');
    out.append(segment);
  }
  return out;
}

struct Relationship {
  std::string type;
  std::string target;  // resolved part name
};

// Reads a relationships part into Id -> relationship; what it keeps is charged to the budget's
// stored bytes.
class RelsHandler : public XmlHandler {
 public:
  RelsHandler(std::string base_dir, LoadBudget& budget)
      : base_dir_(std::move(base_dir)), budget_(budget) {}
  bool StartElement(std::string_view name, XmlAttributes attributes) override {
    if (name != "Relationship") return true;
    const std::string_view* id = FindAttribute(attributes, "Id");
    const std::string_view* type = FindAttribute(attributes, "Type");
    const std::string_view* target = FindAttribute(attributes, "Target");
    const std::string_view* mode = FindAttribute(attributes, "TargetMode");
    if (id == nullptr || target == nullptr) return true;
    if (mode != nullptr && *mode == "External") return true;
    Relationship& rel = relationships[std::string(*id)];
    rel = {type ? std::string(*type) : "", ResolveTarget(base_dir_, *target)};
    return budget_.ChargeStored(0, id->size() + rel.type.size() + rel.target.size());
  }
  bool EndElement(std::string_view) override { return true; }
  bool Text(std::string_view) override { return true; }

  // The target of the first relationship whose type ends in "/<kind>", or empty.
  std::string TargetOfType(std::string_view kind) const {
    std::string tail = "/" + std::string(kind);
    for (const auto& [id, rel] : relationships) {
      if (EndsWith(rel.type, tail)) return rel.target;
    }
    return {};
  }

  std::map<std::string, Relationship, std::less<>> relationships;

 private:
  std::string base_dir_;
  LoadBudget& budget_;
};

struct SheetEntry {
  std::string name;
  std::string rel_id;
};

// Lists the sheets; their names and ids are charged to the budget's stored bytes.
class WorkbookHandler : public XmlHandler {
 public:
  explicit WorkbookHandler(LoadBudget& budget) : budget_(budget) {}
  bool StartElement(std::string_view name, XmlAttributes attributes) override {
    if (name == "sheet") {
      const std::string_view* sheet_name = FindAttribute(attributes, "name");
      const std::string_view* id = FindAttribute(attributes, "id");
      sheets.push_back({sheet_name ? std::string(*sheet_name) : "", id ? std::string(*id) : ""});
      return budget_.ChargeStored(0, sheets.back().name.size() + sheets.back().rel_id.size());
    } else if (name == "workbookPr") {
      // Only the element that holds the attribute decides: Excel adds a namespaced workbookPr
      // of its own that does not.
      if (const std::string_view* value = FindAttribute(attributes, "date1904")) {
        date1904 = IsTrue(*value);
      }
    }
    return true;
  }
  bool EndElement(std::string_view) override { return true; }
  bool Text(std::string_view) override { return true; }

  std::vector<SheetEntry> sheets;
  bool date1904 = false;

 private:
  LoadBudget& budget_;
};

// Collects the shared strings into a table: the text runs of each <si>, phonetic runs left out,
// each cut a little past the stored cell size. Stops when the table is cancelled.
class SharedStringsHandler : public XmlHandler {
 public:
  SharedStringsHandler(SharedStringTable* strings, LoadBudget& budget, std::string* error)
      : strings_(strings), budget_(budget), error_(error) {}
  bool StartElement(std::string_view name, XmlAttributes) override {
    if (name == "si") {
      in_item_ = true;
      current_.clear();
    } else if (name == "t") {
      capture_ = in_item_ && phonetic_depth_ == 0;
    } else if (name == "rPh") {
      ++phonetic_depth_;
    }
    return true;
  }
  bool EndElement(std::string_view name) override {
    if (name == "t") {
      capture_ = false;
    } else if (name == "rPh") {
      --phonetic_depth_;
    } else if (name == "si") {
      in_item_ = false;
      DecodeEscapes(&current_);
      // One byte past the cut lets the stored value end at the same character boundary.
      const size_t keep =
          std::min(size_t{budget_.limits().cell_bytes} + 1, SharedStringTable::kMaxStringBytes);
      if (current_.size() > keep) current_.resize(keep);
      // Each string costs its bytes and its slot in the table.
      total_ += current_.size() + sizeof(uint32_t);
      if (total_ > budget_.limits().shared_string_bytes) {
        budget_.Exceeded(SizeText(budget_.limits().shared_string_bytes) + " of shared strings");
        *error_ = budget_.reason();
        return false;
      }
      if (!strings_->Add(current_)) {
        *error_ = "too many shared strings";
        return false;
      }
      if (strings_->cancelled()) return false;
    }
    return true;
  }
  bool Text(std::string_view text) override {
    if (capture_) AppendCapped(&current_, text, budget_.limits().GatheredCellBytes());
    return true;
  }

 private:
  SharedStringTable* strings_;
  LoadBudget& budget_;
  std::string* error_;
  std::string current_;
  size_t total_ = 0;
  int phonetic_depth_ = 0;
  bool in_item_ = false;
  bool capture_ = false;
};

// Reads the shared strings part on a thread of its own, from a second handle on the package
// (a libzip archive is not shared between threads), while the worksheets are read.
class SharedStringsReader {
 public:
  // An empty part gives an empty table at once.
  SharedStringsReader(const std::filesystem::path& path, std::string part, LoadBudget& budget) {
    if (part.empty()) {
      table_.Finish(true);
      return;
    }
    thread_ = std::thread([this, path, part = std::move(part), &budget] {
      std::unique_ptr<ZipReader> zip = ZipReader::Open(path, budget, &error_);
      bool ok = false;
      if (zip) {
        SharedStringsHandler handler(&table_, budget, &error_);
        ok = zip->ParseXml(part, handler, &error_);
      }
      // Stopped by Cancel: the handler stops without a reason of its own.
      if (!ok && error_.empty()) ok = true;
      table_.Finish(ok);
      ok_ = ok;
    });
  }
  ~SharedStringsReader() {
    table_.Cancel();
    if (thread_.joinable()) thread_.join();
  }
  SharedStringsReader(const SharedStringsReader&) = delete;
  SharedStringsReader& operator=(const SharedStringsReader&) = delete;

  SharedStringTable& table() { return table_; }

  // Waits for the thread; false with its reason in *error when the part could not be read.
  bool Wait(std::string* error) {
    if (thread_.joinable()) thread_.join();
    if (!ok_) *error = error_;
    return ok_;
  }

  // Stops the thread without waiting for it to read on.
  void Cancel() { table_.Cancel(); }

 private:
  SharedStringTable table_;
  std::string error_;
  bool ok_ = true;
  std::thread thread_;
};

// Reads which cell formats (the xf of cellXfs, by index) show dates.
class StylesHandler : public XmlHandler {
 public:
  bool StartElement(std::string_view name, XmlAttributes attributes) override {
    if (name == "numFmt") {
      const std::string_view* id = FindAttribute(attributes, "numFmtId");
      const std::string_view* code = FindAttribute(attributes, "formatCode");
      uint32_t value = 0;
      if (id != nullptr && code != nullptr && ParseUint(*id, &value) &&
          code->size() <= kMaxFormatCodeBytes && codes_.size() < kMaxCellFormats) {
        codes_[value] = std::string(*code);
      }
    } else if (name == "cellXfs") {
      in_cell_xfs_ = true;
    } else if (name == "xf" && in_cell_xfs_ && format_ids_.size() < kMaxCellFormats) {
      const std::string_view* id = FindAttribute(attributes, "numFmtId");
      uint32_t value = 0;
      format_ids_.push_back(id != nullptr && ParseUint(*id, &value) ? value : 0);
    }
    return true;
  }
  bool EndElement(std::string_view name) override {
    if (name == "cellXfs") in_cell_xfs_ = false;
    return true;
  }
  bool Text(std::string_view) override { return true; }

  // One flag per cell format: true when it formats dates.
  std::vector<bool> DateStyles() const {
    std::vector<bool> dates;
    dates.reserve(format_ids_.size());
    for (uint32_t id : format_ids_) {
      auto code = codes_.find(id);
      dates.push_back(
          IsDateStyle(static_cast<int>(id), code == codes_.end() ? std::string() : code->second));
    }
    return dates;
  }

 private:
  std::map<uint32_t, std::string> codes_;
  std::vector<uint32_t> format_ids_;
  bool in_cell_xfs_ = false;
};

// The shared parts every worksheet refers to.
struct WorkbookParts {
  SharedStringTable* shared_strings = nullptr;
  std::vector<bool> date_styles;
  bool date1904 = false;
};

// "2024-03-05T10:20:30Z" -> "2024-03-05 10:20:30"; the time is rounded to the second, as a
// date serial's is, and a midnight time is dropped. Text in another shape is kept as it is.
std::string IsoDateText(std::string_view text) {
  auto number = [&](size_t at, size_t size, int* out) {
    if (at + size > text.size()) return false;
    const char* begin = text.data() + at;
    return std::from_chars(begin, begin + size, *out).ptr == begin + size;
  };
  int y = 0, mo = 0, d = 0;
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !number(0, 4, &y) ||
      !number(5, 2, &mo) || !number(8, 2, &d)) {
    return std::string(text);
  }
  namespace chrono = std::chrono;
  const chrono::year_month_day date{chrono::year{y}, chrono::month{static_cast<unsigned>(mo)},
                                    chrono::day{static_cast<unsigned>(d)}};
  int h = 0, mi = 0, sec = 0;
  if (!date.ok() || text.size() < 16 || text[10] != 'T' || text[13] != ':' || !number(11, 2, &h) ||
      !number(14, 2, &mi)) {
    return std::string(text.substr(0, 10));
  }
  if (text.size() >= 19 && text[16] == ':') number(17, 2, &sec);
  // Half a second or more rounds up, possibly into the next day.
  const bool round_up = text.size() >= 21 && text[19] == '.' && text[20] >= '5' && text[20] <= '9';
  const chrono::sys_seconds time = chrono::sys_days{date} + chrono::hours{h} + chrono::minutes{mi} +
                                   chrono::seconds{sec + (round_up ? 1 : 0)};
  const chrono::sys_days day = chrono::floor<chrono::days>(time);
  const chrono::year_month_day out{day};
  const chrono::hh_mm_ss clock{time - day};
  char buffer[32];
  int size = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(out.year()),
                           static_cast<unsigned>(out.month()), static_cast<unsigned>(out.day()));
  if (clock.to_duration().count() != 0) {
    size += std::snprintf(buffer + size, sizeof buffer - static_cast<size_t>(size),
                          " %02d:%02d:%02d", static_cast<int>(clock.hours().count()),
                          static_cast<int>(clock.minutes().count()),
                          static_cast<int>(clock.seconds().count()));
  }
  return std::string(buffer, static_cast<size_t>(size));
}

// Streams one worksheet's cells to the sink.
class SheetHandler : public XmlHandler {
 public:
  SheetHandler(const WorkbookParts& parts, std::string part, SheetSink& sink,
               const LoadLimits& limits, std::string* error)
      : parts_(parts), part_(std::move(part)), sink_(sink), limits_(limits), error_(error) {}

  bool StartElement(std::string_view name, XmlAttributes attributes) override {
    if (!in_data_) {
      in_data_ = name == "sheetData";
      return true;
    }
    if (name == "c") return StartCell(attributes);
    if (name == "row") return StartRow(attributes);
    if (!in_cell_) return true;
    // A cell holding an inline string is that string: a value written beside it, before or
    // after, is not part of it.
    if (name == "v") {
      capture_ = !has_inline_;
    } else if (name == "is") {
      if (!has_inline_) value_.clear();
      in_inline_ = true;
      has_inline_ = true;
    } else if (name == "t") {
      capture_ = in_inline_ && phonetic_depth_ == 0;
    } else if (name == "rPh") {
      ++phonetic_depth_;
    }
    return true;
  }

  bool EndElement(std::string_view name) override {
    if (!in_data_) return true;
    if (name == "c") return EndCell();
    if (name == "v" || name == "t") {
      capture_ = false;
    } else if (name == "is") {
      in_inline_ = false;
    } else if (name == "rPh") {
      --phonetic_depth_;
    } else if (name == "sheetData") {
      in_data_ = false;
    }
    return true;
  }

  bool Text(std::string_view text) override {
    if (capture_) AppendCapped(&value_, text, limits_.GatheredCellBytes());
    return true;
  }

 private:
  enum class Type { kNumber, kShared, kText, kInline, kBool, kError, kDate };

  bool Fail(std::string reason) {
    *error_ = reason + " in " + part_;
    return false;
  }

  bool StartRow(XmlAttributes attributes) {
    uint32_t number = 0;
    const std::string_view* r = FindAttribute(attributes, "r");
    uint32_t row = next_row_;
    if (r != nullptr && ParseUint(*r, &number) && number > 0) {
      if (number - 1 < next_row_) return Fail("row " + std::string(*r) + " out of order");
      row = number - 1;
    }
    if (row >= limits_.rows) return Fail("row number out of range");
    row_ = row;
    next_row_ = row + 1;
    next_column_ = 0;
    return true;
  }

  bool StartCell(XmlAttributes attributes) {
    in_cell_ = true;
    has_inline_ = false;
    value_.clear();
    type_ = Type::kNumber;
    style_ = 0;
    uint32_t column = next_column_;
    for (const XmlAttribute& a : attributes) {
      // The attributes read are one letter long ("r", "t", "s").
      if (a.name.size() != 1) continue;
      const char key = a.name[0];
      const std::string_view value = a.value;
      if (key == 'r') {
        uint32_t letters = 0;
        uint32_t index = 0;
        while (letters < value.size() && value[letters] >= 'A' && value[letters] <= 'Z' &&
               index <= limits_.columns) {
          index = index * 26 + static_cast<uint32_t>(value[letters] - 'A' + 1);
          ++letters;
        }
        if (letters == 0) continue;  // no column letters: take the next column
        if (index > limits_.columns)
          return Fail("cell reference " + std::string(value) + " out of range");
        if (index - 1 < next_column_) {
          return Fail("cell " + std::string(value) + " out of order");
        }
        column = index - 1;
      } else if (key == 't') {
        if (value == "s") {
          type_ = Type::kShared;
        } else if (value == "str") {
          type_ = Type::kText;
        } else if (value == "inlineStr") {
          type_ = Type::kInline;
        } else if (value == "b") {
          type_ = Type::kBool;
        } else if (value == "e") {
          type_ = Type::kError;
        } else if (value == "d") {
          type_ = Type::kDate;
        }
      } else if (key == 's') {
        ParseUint(value, &style_);
      }
    }
    if (column >= limits_.columns) return Fail("too many columns");
    column_ = column;
    next_column_ = column + 1;
    return true;
  }

  bool EndCell() {
    in_cell_ = false;
    capture_ = false;
    // Right of the columns the sheet keeps, counted from the first column holding a value, which
    // can only move left: never stored, so not looked up or handed on (a cell naming a long
    // shared string would otherwise be copied across to the sink only to be dropped there). A
    // cell left of that column is kept: the sheet's columns begin there now.
    if (first_column_ >= 0 && column_ >= first_column_ &&
        column_ - static_cast<uint32_t>(first_column_) >= limits_.stored_columns) {
      return true;
    }
    std::string_view out;
    std::string formatted;
    switch (type_) {
      case Type::kShared: {
        if (value_.empty()) return true;
        uint32_t index = 0;
        if (!ParseUint(value_, &index) || !parts_.shared_strings->Get(index, &out)) {
          return Fail("shared string index " + value_ + " out of range");
        }
        break;
      }
      case Type::kText:
      case Type::kInline:
        DecodeEscapes(&value_);
        out = value_;
        break;
      case Type::kBool:
        if (value_ == "1" || value_ == "true") {
          out = "TRUE";
        } else if (value_ == "0" || value_ == "false") {
          out = "FALSE";
        } else {
          out = value_;
        }
        break;
      case Type::kError:
        return true;
      case Type::kDate:
        formatted = IsoDateText(value_);
        out = formatted;
        break;
      case Type::kNumber: {
        if (has_inline_) {  // an inline string without t="inlineStr"
          DecodeEscapes(&value_);
          out = value_;
          break;
        }
        double number = 0;
        const char* begin = value_.data();
        const char* end = begin + value_.size();
        while (begin < end && (*begin == ' ' || *begin == '+')) ++begin;
        while (end > begin && end[-1] == ' ') --end;
        auto [stop, ec] = std::from_chars(begin, end, number);
        if (begin == end || ec != std::errc() || stop != end) {
          out = value_;
          break;
        }
        bool is_date = style_ < parts_.date_styles.size() && parts_.date_styles[style_];
        formatted = is_date ? FormatDate(number, parts_.date1904) : FormatNumber(number);
        out = formatted;
        break;
      }
    }
    if (out.empty()) return true;
    if (first_column_ < 0 || column_ < first_column_) first_column_ = column_;
    if (!sink_.Cell(row_, column_, out)) return Fail("reading stopped at cell");
    return true;
  }

  const WorkbookParts& parts_;
  std::string part_;
  SheetSink& sink_;
  const LoadLimits& limits_;
  std::string* error_;

  std::string value_;  // reused for every cell
  Type type_ = Type::kNumber;
  uint32_t style_ = 0;
  uint32_t row_ = 0;
  uint32_t column_ = 0;
  uint32_t next_row_ = 0;
  uint32_t next_column_ = 0;
  int64_t first_column_ = -1;  // the first column holding a value so far, -1 before any
  int phonetic_depth_ = 0;
  bool in_data_ = false;
  bool in_cell_ = false;
  bool in_inline_ = false;
  bool has_inline_ = false;
  bool capture_ = false;
};

// The workbook part named by the package relationships, "xl/workbook.xml" by default.
std::string WorkbookPartName(const ZipReader& zip, LoadBudget& budget, std::string* error) {
  const std::string package_rels = "_rels/.rels";
  if (zip.Contains(package_rels)) {
    RelsHandler rels("", budget);
    if (!zip.ParseXml(package_rels, rels, error)) return {};
    std::string target = rels.TargetOfType("officeDocument");
    if (!target.empty() && zip.Contains(target)) return target;
  }
  return "xl/workbook.xml";
}

}  // namespace

bool ReadXlsx(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
              std::string* error) {
  std::unique_ptr<ZipReader> zip = ZipReader::Open(path, budget, error);
  if (!zip) return false;

  std::string workbook_part = WorkbookPartName(*zip, budget, error);
  if (workbook_part.empty()) return false;
  if (!zip->Contains(workbook_part)) {
    *error = "not an xlsx workbook: missing " + workbook_part;
    return false;
  }
  WorkbookHandler workbook(budget);
  if (!zip->ParseXml(workbook_part, workbook, error)) return false;

  const std::string rels_part = RelsOf(workbook_part);
  RelsHandler rels(DirectoryOf(workbook_part), budget);
  if (!zip->Contains(rels_part)) {
    *error = "not an xlsx workbook: missing " + rels_part;
    return false;
  }
  if (!zip->ParseXml(rels_part, rels, error)) return false;

  std::string shared = rels.TargetOfType("sharedStrings");
  if (!shared.empty() && !zip->Contains(shared)) shared.clear();
  SharedStringsReader strings(path, shared, budget);
  WorkbookParts parts;
  parts.shared_strings = &strings.table();
  parts.date1904 = workbook.date1904;
  std::string styles_part = rels.TargetOfType("styles");
  if (!styles_part.empty() && zip->Contains(styles_part)) {
    StylesHandler styles;
    if (!zip->ParseXml(styles_part, styles, error)) return false;
    parts.date_styles = styles.DateStyles();
  }

  // A sheet that fails for want of a shared string failed because the strings part did.
  auto fail = [&] {
    strings.Cancel();
    std::string strings_error;
    if (!strings.Wait(&strings_error)) *error = strings_error;
    return false;
  };
  // Each worksheet part is read once: a sheet pointing at a part read for an earlier sheet is
  // skipped, as a sheet whose name is taken is.
  std::set<std::string, std::less<>> parts_read;
  size_t skipped = 0;
  std::string first_skipped;
  for (const SheetEntry& sheet : workbook.sheets) {
    auto rel = rels.relationships.find(sheet.rel_id);
    if (rel == rels.relationships.end()) {
      *error = "sheet \"" + sheet.name + "\" has no part in " + workbook_part;
      return fail();
    }
    if (!EndsWith(rel->second.type, "/worksheet")) continue;  // chart, dialog or macro sheet
    if (!parts_read.insert(rel->second.target).second) {
      if (skipped++ == 0) first_skipped = sheet.name;
      continue;
    }
    if (!sink.BeginSheet(sheet.name)) {
      *error = "reading stopped at sheet \"" + sheet.name + "\"";
      return fail();
    }
    SheetHandler handler(parts, rel->second.target, sink, budget.limits(), error);
    if (!zip->ParseXml(rel->second.target, handler, error)) return fail();
    if (!sink.EndSheet()) {
      *error = "reading stopped at sheet \"" + sheet.name + "\"";
      return fail();
    }
  }
  if (skipped > 0) {
    spdlog::warn(
        "workbook: {} sheets skipped (the first \"{}\"), their parts belong to earlier sheets",
        skipped, first_skipped);
  }
  return strings.Wait(error);
}

}  // namespace parley
