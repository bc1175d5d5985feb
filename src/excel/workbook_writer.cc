#include "excel/workbook_writer.h"

#include <zip.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "excel/cell_format.h"

namespace parley {

namespace {

constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNamespace =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelNamespace =
    "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr int kDateStyle = 1;  // the cellXfs entry with number format 14

// Appends text escaped for XML content or a double-quoted attribute. Other control characters,
// which XML cannot carry, become Excel's "_xHHHH_" when excel_escapes is set and are dropped
// otherwise.
void AppendEscaped(std::string_view text, bool excel_escapes, std::string* out) {
  for (char c : text) {
    switch (c) {
      case '&':
        out->append("&amp;");
        break;
      case '<':
        out->append("&lt;");
        break;
      case '>':
        out->append("&gt;");
        break;
      case '"':
        out->append("&quot;");
        break;
      case '\t':
      case '\n':
        out->push_back(c);
        break;
      case '\r':
        out->append("&#13;");  // a raw CR would read back as a line feed
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          if (excel_escapes) {
            char code[8];
            std::snprintf(code, sizeof code, "_x%04X_", static_cast<unsigned>(c));
            out->append(code);
          }
        } else {
          out->push_back(c);
        }
    }
  }
}

// "A" for column 0, "Z" for 25, "AA" for 26.
void AppendColumnName(size_t column, std::string* out) {
  char letters[8];
  int n = 0;
  for (size_t value = column + 1; value > 0 && n < 8; value = (value - 1) / 26) {
    letters[n++] = static_cast<char>('A' + (value - 1) % 26);
  }
  while (n > 0) out->push_back(letters[--n]);
}

std::string Quoted(std::string_view text) {
  std::string out;
  AppendEscaped(text, false, &out);
  return out;
}

// The xml of one worksheet; text cells refer to shared strings when strings is not null.
std::string WorksheetXml(const SheetData& sheet, std::unordered_map<std::string, uint32_t>* strings,
                         std::vector<const std::string*>* string_order) {
  std::string xml;
  xml.reserve(sheet.rows.size() * 128 + 256);
  xml.append(kXmlDeclaration);
  xml.append("<worksheet xmlns=\"").append(kMainNamespace).append("\"><sheetData>");
  for (size_t r = 0; r < sheet.rows.size(); ++r) {
    const std::string row_number = std::to_string(r + 1);
    xml.append("<row r=\"").append(row_number).append("\">");
    const auto& row = sheet.rows[r];
    for (size_t c = 0; c < row.size(); ++c) {
      if (!row[c]) continue;
      const WorkbookValue& value = *row[c];
      if (auto* number = std::get_if<double>(&value); number && !std::isfinite(*number)) continue;
      xml.append("<c r=\"");
      AppendColumnName(c, &xml);
      xml.append(row_number).push_back('"');
      if (auto* text = std::get_if<std::string>(&value)) {
        if (strings != nullptr) {
          auto [it, added] = strings->try_emplace(*text, static_cast<uint32_t>(strings->size()));
          if (added) string_order->push_back(&it->first);
          xml.append(" t=\"s\"><v>").append(std::to_string(it->second)).append("</v></c>");
        } else {
          xml.append(" t=\"inlineStr\"><is><t xml:space=\"preserve\">");
          AppendEscaped(*text, true, &xml);
          xml.append("</t></is></c>");
        }
      } else if (auto* number = std::get_if<double>(&value)) {
        xml.append("><v>").append(FormatNumber(*number)).append("</v></c>");
      } else {
        double serial = std::get<WorkbookDate>(value).serial;
        xml.append(" s=\"").append(std::to_string(kDateStyle)).append("\"><v>");
        xml.append(FormatNumber(serial)).append("</v></c>");
      }
    }
    xml.append("</row>");
  }
  xml.append("</sheetData></worksheet>");
  return xml;
}

std::string SharedStringsXml(const std::vector<const std::string*>& order) {
  std::string xml;
  xml.append(kXmlDeclaration);
  const std::string count = std::to_string(order.size());
  xml.append("<sst xmlns=\"").append(kMainNamespace).append("\" count=\"").append(count);
  xml.append("\" uniqueCount=\"").append(count).append("\">");
  for (const std::string* text : order) {
    xml.append("<si><t xml:space=\"preserve\">");
    AppendEscaped(*text, true, &xml);
    xml.append("</t></si>");
  }
  xml.append("</sst>");
  return xml;
}

std::string StylesXml() {
  std::string xml(kXmlDeclaration);
  xml.append("<styleSheet xmlns=\"").append(kMainNamespace).append("\">");
  xml.append(
      "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
      "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "</cellStyleXfs>"
      "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
      "xfId=\"0\"/>"
      "<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
      "applyNumberFormat=\"1\"/></cellXfs>"
      "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
      "</cellStyles></styleSheet>");
  return xml;
}

// An ODF paragraph's text: runs of spaces, tabs and line breaks as their elements.
void AppendOdfText(std::string_view text, std::string* out) {
  out->append("<text:p>");
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '\n') {
      out->append("</text:p><text:p>");
      ++i;
    } else if (c == '\t') {
      out->append("<text:tab/>");
      ++i;
    } else if (c == ' ') {
      size_t run = text.find_first_not_of(' ', i);
      run = (run == std::string_view::npos ? text.size() : run) - i;
      // ODF collapses spaces: one plain space may stand inside a paragraph, the rest are counted.
      bool at_edge =
          i == 0 || text[i - 1] == '\n' || i + run == text.size() || text[i + run] == '\n';
      size_t counted = at_edge ? run : run - 1;
      if (!at_edge) out->push_back(' ');
      if (counted == 1) out->append("<text:s/>");
      if (counted > 1) out->append("<text:s text:c=\"" + std::to_string(counted) + "\"/>");
      i += run;
    } else {
      size_t end = text.find_first_of(" \t\n", i);
      if (end == std::string_view::npos) end = text.size();
      AppendEscaped(text.substr(i, end - i), false, out);
      i = end;
    }
  }
  out->append("</text:p>");
}

std::string OdsContentXml(const std::vector<SheetData>& sheets) {
  std::string xml(kXmlDeclaration);
  xml.append(
      "<office:document-content "
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "office:version=\"1.2\"><office:body><office:spreadsheet>");
  for (const SheetData& sheet : sheets) {
    xml.append("<table:table table:name=\"").append(Quoted(sheet.name)).append("\">");
    for (const auto& row : sheet.rows) {
      xml.append("<table:table-row>");
      for (const auto& cell : row) {
        if (!cell) {
          xml.append("<table:table-cell/>");
          continue;
        }
        if (auto* text = std::get_if<std::string>(&*cell)) {
          xml.append("<table:table-cell office:value-type=\"string\">");
          AppendOdfText(*text, &xml);
        } else {
          bool is_date = std::holds_alternative<WorkbookDate>(*cell);
          double value = is_date ? std::get<WorkbookDate>(*cell).serial : std::get<double>(*cell);
          std::string date = is_date ? FormatDate(value) : std::string();
          if (is_date && date.size() >= 10 && date[4] == '-') {
            if (date.size() > 10) date[10] = 'T';
            xml.append("<table:table-cell office:value-type=\"date\" office:date-value=\"");
            xml.append(date).append("\">");
          } else if (std::isfinite(value)) {
            xml.append("<table:table-cell office:value-type=\"float\" office:value=\"");
            xml.append(FormatNumber(value)).append("\">");
          } else {
            xml.append("<table:table-cell/>");
            continue;
          }
        }
        xml.append("</table:table-cell>");
      }
      xml.append("</table:table-row>");
    }
    xml.append("</table:table>");
  }
  xml.append("</office:spreadsheet></office:body></office:document-content>");
  return xml;
}

std::string CsvField(const WorkbookValue& value) {
  if (auto* number = std::get_if<double>(&value)) return FormatNumber(*number);
  if (auto* date = std::get_if<WorkbookDate>(&value)) return FormatDate(date->serial);
  const std::string& text = std::get<std::string>(value);
  bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
               (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

struct ZipDiscarder {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};

}  // namespace

bool WriteZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries,
              std::string* error) {
  int code = 0;
  std::unique_ptr<zip_t, ZipDiscarder> archive(
      zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
  if (!archive) {
    zip_error_t reason;
    zip_error_init_with_code(&reason, code);
    *error = "cannot create " + path.string() + ": " + zip_error_strerror(&reason);
    zip_error_fini(&reason);
    return false;
  }
  for (const ZipEntry& entry : entries) {
    // The buffers stay with the caller until zip_close has written them.
    zip_source_t* source =
        zip_source_buffer(archive.get(), entry.data.data(), entry.data.size(), 0);
    zip_int64_t index = source == nullptr ? -1
                                          : zip_file_add(archive.get(), entry.name.c_str(), source,
                                                         ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
      if (source != nullptr) zip_source_free(source);
      *error =
          "cannot add " + entry.name + " to " + path.string() + ": " + zip_strerror(archive.get());
      return false;
    }
    zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index),
                             entry.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, entry.stored ? 0 : 1);
  }
  if (zip_close(archive.get()) != 0) {
    *error = "cannot write " + path.string() + ": " + zip_strerror(archive.get());
    return false;
  }
  archive.release();  // zip_close freed it
  return true;
}

bool WriteXlsx(const std::filesystem::path& path, const std::vector<SheetData>& sheets,
               const XlsxOptions& options, std::string* error) {
  const std::string root = options.absolute_targets ? "/xl/" : "";
  std::unordered_map<std::string, uint32_t> strings;
  std::vector<const std::string*> string_order;
  std::vector<ZipEntry> entries;

  std::string types(kXmlDeclaration);
  types.append(
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>");
  if (options.shared_strings) {
    types.append(
        "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>");
  }
  std::string workbook(kXmlDeclaration);
  workbook.append("<workbook xmlns=\"").append(kMainNamespace).append("\" xmlns:r=\"");
  workbook.append(kRelNamespace).append("\"><sheets>");
  std::string rels(kXmlDeclaration);
  rels.append("<Relationships xmlns=\"").append(kPackageRelNamespace).append("\">");
  const std::string rel_type = std::string(kRelNamespace) + "/";

  for (size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    const std::string part = "worksheets/sheet" + n + ".xml";
    types.append("<Override PartName=\"/xl/" + part +
                 "\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>");
    workbook.append("<sheet name=\"" + Quoted(sheets[i].name) + "\" sheetId=\"" + n +
                    "\" r:id=\"rId" + n + "\"/>");
    rels.append("<Relationship Id=\"rId" + n + "\" Type=\"" + rel_type + "worksheet\" Target=\"" +
                (options.absolute_targets ? root : "") + part + "\"/>");
    entries.push_back(
        {"xl/" + part,
         WorksheetXml(sheets[i], options.shared_strings ? &strings : nullptr, &string_order)});
  }
  const std::string styles_id = "rId" + std::to_string(sheets.size() + 1);
  rels.append("<Relationship Id=\"" + styles_id + "\" Type=\"" + rel_type + "styles\" Target=\"" +
              root + "styles.xml\"/>");
  if (options.shared_strings) {
    rels.append("<Relationship Id=\"rId" + std::to_string(sheets.size() + 2) + "\" Type=\"" +
                rel_type + "sharedStrings\" Target=\"" + root + "sharedStrings.xml\"/>");
    entries.push_back({"xl/sharedStrings.xml", SharedStringsXml(string_order)});
  }
  types.append("</Types>");
  workbook.append("</sheets></workbook>");
  rels.append("</Relationships>");

  std::string package_rels(kXmlDeclaration);
  package_rels.append("<Relationships xmlns=\"").append(kPackageRelNamespace).append("\">");
  package_rels.append("<Relationship Id=\"rId1\" Type=\"" + rel_type +
                      "officeDocument\" Target=\"" + (options.absolute_targets ? "/" : "") +
                      "xl/workbook.xml\"/></Relationships>");

  entries.push_back({"[Content_Types].xml", std::move(types)});
  entries.push_back({"_rels/.rels", std::move(package_rels)});
  entries.push_back({"xl/workbook.xml", std::move(workbook)});
  entries.push_back({"xl/_rels/workbook.xml.rels", std::move(rels)});
  entries.push_back({"xl/styles.xml", StylesXml()});
  return WriteZip(path, entries, error);
}

bool WriteOds(const std::filesystem::path& path, const std::vector<SheetData>& sheets,
              std::string* error) {
  std::vector<ZipEntry> entries;
  entries.push_back({"mimetype", "application/vnd.oasis.opendocument.spreadsheet", true});
  entries.push_back({"META-INF/manifest.xml",
                     std::string(kXmlDeclaration) +
                         "<manifest:manifest "
                         "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
                         "manifest:version=\"1.2\"><manifest:file-entry manifest:full-path=\"/\" "
                         "manifest:media-type=\"application/"
                         "vnd.oasis.opendocument.spreadsheet\"/><manifest:file-entry "
                         "manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
                         "</manifest:manifest>"});
  entries.push_back({"content.xml", OdsContentXml(sheets)});
  return WriteZip(path, entries, error);
}

bool WriteCsv(const std::filesystem::path& path, const SheetData& sheet, std::string* error) {
  std::string text;
  for (const auto& row : sheet.rows) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c > 0) text.push_back(',');
      if (row[c]) text.append(CsvField(*row[c]));
    }
    text.append("\r\n");
  }
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
      std::fflush(file.get()) != 0) {
    *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace parley
