// Streaming the XML parts of a zip package (.xlsx, .ods) through our XML scanner (expat for a
// part with a document type declaration) without holding a whole part in memory.
#ifndef PARLEY_EXCEL_ZIP_STREAM_H_
#define PARLEY_EXCEL_ZIP_STREAM_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "excel/load_budget.h"
#include "excel/zip_entry_reader.h"

struct zip;

namespace parley {

// One attribute of an element: its name as written (prefix kept) and its value, decoded.
struct XmlAttribute {
  std::string_view name;
  std::string_view value;
};
using XmlAttributes = std::span<const XmlAttribute>;

// Receives the events of one XML part. Element names come without their namespace prefix
// ("x:row" arrives as "row"); attributes keep their prefixes (see FindAttribute) and are valid
// during the call only. Text may arrive in several pieces.
// Any call returning false stops the parse; the handler keeps its own reason.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual bool StartElement(std::string_view name, XmlAttributes attributes) = 0;
  virtual bool EndElement(std::string_view name) = 0;
  virtual bool Text(std::string_view text) = 0;
};

// The value of the attribute whose name, without its prefix, is local ("r:id" matches "id"),
// or null when there is none.
const std::string_view* FindAttribute(XmlAttributes attributes, std::string_view local);

// The name without its namespace prefix: "table:name" gives "name".
std::string_view LocalName(std::string_view name);

// A zip archive opened for reading, each byte inflated charged to a load budget.
class ZipReader {
 public:
  // Elements nest at most this deep.
  static constexpr int kMaxXmlDepth = 256;
  // Inflated bytes handed to the parser at a time.
  static constexpr size_t kChunkBytes = 64 * 1024;

  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Opens the archive at path; every byte inflated from it is charged to budget (its read
  // bytes), and each parser holds at most the budget's xml_parser_bytes. Returns null with a
  // readable reason in *error when the file cannot be opened or is not a zip archive.
  // REQUIRES: budget outlives the reader.
  static std::unique_ptr<ZipReader> Open(const std::filesystem::path& path, LoadBudget& budget,
                                         std::string* error);

  // True when the archive holds an entry of that name. A name matches its entry regardless of
  // ASCII letter case, as package part names do (an entry of exactly that name wins); one
  // leading "/" is ignored, so "/xl/workbook.xml" finds "xl/workbook.xml".
  bool Contains(std::string_view name) const;

  // Parses the entry as XML, handing its events to handler. Returns false with a reason in
  // *error when the entry is missing, cannot be inflated, goes over the budget (the budget's
  // reason), nests too deeply or is not well-formed XML ("bad XML in <name> at line <n>:
  // <reason>"); returns false without touching *error when the handler stopped the parse.
  bool ParseXml(std::string_view name, XmlHandler& handler, std::string* error) const;

 private:
  ZipReader(zip* archive, LoadBudget& budget) : archive_(archive), budget_(budget) {}
  int64_t Locate(std::string_view name) const;
  std::unique_ptr<ZipEntryReader> OpenEntry(const std::string& entry, std::string* error) const;
  // Reads the next kChunkBytes at most, charged to the budget; -1 with *error on failure.
  int64_t ReadEntry(ZipEntryReader& file, void* buffer, std::string* error) const;
  bool OverMemory(uint64_t limit, const std::string& entry, std::string* error) const;
  bool ScanXml(const std::string& entry, XmlHandler& handler, std::string* error,
               bool* unsupported) const;
  bool ExpatXml(const std::string& entry, XmlHandler& handler, std::string* error) const;

  zip* archive_;
  LoadBudget& budget_;
};

}  // namespace parley

#endif  // PARLEY_EXCEL_ZIP_STREAM_H_
