#include "excel/workbook_bomb.h"

#include <zlib.h>

#include <fstream>
#include <limits>
#include <string_view>

namespace parley {
namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint16_t kVersion = 20;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint16_t kDosDate = (1 << 5) | 1;  // 1980-01-01
constexpr size_t kBodyPieceBytes = 64 * 1024;
constexpr uint32_t kCellsPerRow = 16384;

void Put16(std::string* out, uint16_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>(value >> 8));
}

void Put32(std::string* out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<uint16_t>(value >> 16));
}

// Raw deflate of data as a fragment of its own: no history before it, ended on a byte boundary
// (last false) or as the stream's final block (last true).
std::string DeflateFragment(std::string_view data, bool last) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, data.size()) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, last ? Z_FINISH : Z_FULL_FLUSH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The CRC-32 of a piece whose CRC is crc and length length, repeated n times.
uint32_t RepeatedCrc(uint32_t crc, uint64_t length, uint64_t n) {
  uLong result = 0;
  uLong power = crc;
  uint64_t power_length = length;
  for (; n > 0; n >>= 1) {
    if (n & 1) result = crc32_combine(result, power, static_cast<z_off_t>(power_length));
    power = crc32_combine(power, power, static_cast<z_off_t>(power_length));
    power_length *= 2;
  }
  return static_cast<uint32_t>(result);
}

struct WrittenEntry {
  std::string name;
  uint16_t method;
  uint32_t crc;
  uint32_t compressed;
  uint32_t size;
  uint32_t offset;
};

// The fields the local and the central headers share, from the flags to the extra field's length.
void PutEntryFields(std::string* out, const WrittenEntry& w) {
  Put16(out, 0);  // flags
  Put16(out, w.method);
  Put16(out, 0);  // time
  Put16(out, kDosDate);
  Put32(out, w.crc);
  Put32(out, w.compressed);
  Put32(out, w.size);
  Put16(out, static_cast<uint16_t>(w.name.size()));
  Put16(out, 0);  // extra field
}

// A body cut into pieces of about kBodyPieceBytes, each a whole number of bodies, so that a short
// body deflates well; *pieces says how many bodies a piece holds.
std::string BodyPiece(const RepeatedEntry& entry, uint64_t* per_piece) {
  *per_piece = entry.body.empty() ? 1 : std::max<uint64_t>(1, kBodyPieceBytes / entry.body.size());
  *per_piece = std::min(*per_piece, std::max<uint64_t>(entry.repeat, 1));
  std::string piece;
  for (uint64_t i = 0; i < *per_piece; ++i) piece += entry.body;
  return piece;
}

}  // namespace

bool WriteRepeatedZip(const std::filesystem::path& path, const std::vector<RepeatedEntry>& entries,
                      std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    *error = "cannot write " + path.string();
    return false;
  }
  std::vector<WrittenEntry> written;
  uint64_t offset = 0;
  for (const RepeatedEntry& entry : entries) {
    const uint64_t size = entry.head.size() + entry.body.size() * entry.repeat + entry.tail.size();
    if (size > std::numeric_limits<uint32_t>::max()) {
      *error = entry.name + " would be 4 GiB or more";
      return false;
    }
    uint64_t per_piece = 1;
    const std::string piece = BodyPiece(entry, &per_piece);
    const uint64_t pieces = entry.repeat / per_piece;
    const uint64_t rest = entry.repeat % per_piece;
    std::string rest_text;
    for (uint64_t i = 0; i < rest; ++i) rest_text += entry.body;
    uint32_t crc = Crc(entry.head);
    crc = static_cast<uint32_t>(crc32_combine(crc, RepeatedCrc(Crc(piece), piece.size(), pieces),
                                              static_cast<z_off_t>(piece.size() * pieces)));
    crc = static_cast<uint32_t>(
        crc32_combine(crc, Crc(rest_text + entry.tail),
                      static_cast<z_off_t>(rest_text.size() + entry.tail.size())));
    // The data, written after its header.
    std::string head_data, piece_data, tail_data;
    if (entry.stored) {
      head_data = entry.head;
      piece_data = piece;
      tail_data = rest_text + entry.tail;
    } else {
      head_data = DeflateFragment(entry.head, false);
      piece_data = pieces > 0 ? DeflateFragment(piece, false) : std::string();
      tail_data = DeflateFragment(rest_text + entry.tail, true);
    }
    const uint64_t compressed = head_data.size() + piece_data.size() * pieces + tail_data.size();
    if (compressed > std::numeric_limits<uint32_t>::max() ||
        offset > std::numeric_limits<uint32_t>::max()) {
      *error = entry.name + " is too large for a zip archive without its 64-bit fields";
      return false;
    }
    WrittenEntry w{entry.name,
                   entry.stored ? kStored : kDeflated,
                   crc,
                   static_cast<uint32_t>(compressed),
                   static_cast<uint32_t>(size),
                   static_cast<uint32_t>(offset)};
    std::string header;
    Put32(&header, kLocalHeaderSignature);
    Put16(&header, kVersion);
    PutEntryFields(&header, w);
    header += w.name;
    out << header << head_data;
    for (uint64_t i = 0; i < pieces; ++i) out << piece_data;
    out << tail_data;
    offset += header.size() + compressed;
    written.push_back(std::move(w));
  }
  std::string directory;
  for (const WrittenEntry& w : written) {
    Put32(&directory, kCentralHeaderSignature);
    Put16(&directory, kVersion);  // made by
    Put16(&directory, kVersion);  // needed
    PutEntryFields(&directory, w);
    Put16(&directory, 0);  // comment
    Put16(&directory, 0);  // disk
    Put16(&directory, 0);  // internal attributes
    Put32(&directory, 0);  // external attributes
    Put32(&directory, w.offset);
    directory += w.name;
  }
  std::string end;
  Put32(&end, kEndSignature);
  Put16(&end, 0);  // this disk
  Put16(&end, 0);  // the directory's disk
  Put16(&end, static_cast<uint16_t>(written.size()));
  Put16(&end, static_cast<uint16_t>(written.size()));
  Put32(&end, static_cast<uint32_t>(directory.size()));
  Put32(&end, static_cast<uint32_t>(offset));
  Put16(&end, 0);  // comment
  out << directory << end;
  out.close();
  if (!out) {
    *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

namespace {

constexpr std::string_view kOdsMimetype = "application/vnd.oasis.opendocument.spreadsheet";
constexpr std::string_view kOdsContentHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
    "<office:body><office:spreadsheet>";
constexpr std::string_view kOdsContentTail =
    "</office:spreadsheet></office:body></office:document-content>";
constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
constexpr std::string_view kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelationships =
    "http://schemas.openxmlformats.org/package/2006/relationships";

RepeatedEntry Small(std::string name, std::string data) {
  RepeatedEntry entry;
  entry.name = std::move(name);
  entry.head = std::move(data);
  return entry;
}

// An OpenDocument package's first entry, kept uncompressed.
RepeatedEntry OdsMimetype() {
  RepeatedEntry entry = Small("mimetype", std::string(kOdsMimetype));
  entry.stored = true;
  return entry;
}

// head, then count letters "x", then tail.
RepeatedEntry Letters(std::string name, std::string head, uint64_t count, std::string tail) {
  RepeatedEntry entry = Small(std::move(name), std::move(head));
  entry.body = "x";
  entry.repeat = count;
  entry.tail = std::move(tail);
  return entry;
}

// The workbook part and its relationships for sheets sheets, sheet k pointing at the worksheet
// part targets[k % targets.size()], with the shared strings when shared_strings is set.
std::vector<RepeatedEntry> XlsxFrame(uint32_t sheets, const std::vector<std::string>& targets,
                                     bool shared_strings) {
  std::string workbook = std::string(kXmlDeclaration) + "<workbook xmlns=\"" + std::string(kMain) +
                         "\" xmlns:r=\"" + std::string(kRelationships) + "\"><sheets>";
  std::string rels = std::string(kXmlDeclaration) + "<Relationships xmlns=\"" +
                     std::string(kPackageRelationships) + "\">";
  for (uint32_t k = 0; k < sheets; ++k) {
    const std::string id = "rId" + std::to_string(k + 1);
    workbook += "<sheet name=\"S" + std::to_string(k + 1) + "\" sheetId=\"" +
                std::to_string(k + 1) + "\" r:id=\"" + id + "\"/>";
    rels += "<Relationship Id=\"" + id + "\" Type=\"" + std::string(kRelationships) +
            "/worksheet\" Target=\"" + targets[k % targets.size()] + "\"/>";
  }
  workbook += "</sheets></workbook>";
  if (shared_strings) {
    rels += "<Relationship Id=\"rIdS\" Type=\"" + std::string(kRelationships) +
            "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
  }
  rels += "</Relationships>";
  return {Small("xl/workbook.xml", workbook), Small("xl/_rels/workbook.xml.rels", rels)};
}

// A worksheet of cells copies of cell, kCellsPerRow to a row (one entry; rows without numbers).
RepeatedEntry RepeatedSheet(const std::string& name, const std::string& cell, uint64_t cells) {
  std::string row = "<row>";
  for (uint32_t i = 0; i < kCellsPerRow; ++i) row += cell;
  row += "</row>";
  RepeatedEntry entry;
  entry.name = name;
  entry.head =
      std::string(kXmlDeclaration) + "<worksheet xmlns=\"" + std::string(kMain) + "\"><sheetData>";
  entry.body = row;
  entry.repeat = cells / kCellsPerRow;
  entry.tail = "<row>";
  for (uint64_t i = 0; i < cells % kCellsPerRow; ++i) entry.tail += cell;
  entry.tail += "</row></sheetData></worksheet>";
  return entry;
}

}  // namespace

bool WriteOdsRepeatBomb(const std::filesystem::path& path, uint64_t cell_bytes, uint32_t columns,
                        uint32_t rows, std::string* error) {
  const std::string head =
      std::string(kOdsContentHead) +
      "<table:table table:name=\"S\"><table:table-row table:number-rows-repeated=\"" +
      std::to_string(rows) + "\"><table:table-cell table:number-columns-repeated=\"" +
      std::to_string(columns) + "\" office:value-type=\"string\"><text:p>";
  const std::string tail =
      "</text:p></table:table-cell></table:table-row></table:table>" + std::string(kOdsContentTail);
  return WriteRepeatedZip(path, {OdsMimetype(), Letters("content.xml", head, cell_bytes, tail)},
                          error);
}

bool WriteOdsWideningSheets(const std::filesystem::path& path, uint32_t sheets,
                            std::string* error) {
  const std::string cell =
      "<table:table-cell office:value-type=\"string\"><text:p>x</text:p></table:table-cell>";
  std::string content(kOdsContentHead);
  for (uint32_t k = 1; k <= sheets; ++k) {
    content += "<table:table table:name=\"S" + std::to_string(k) + "\"><table:table-row>" + cell +
               "</table:table-row><table:table-row>" + cell +
               "<table:table-cell table:number-columns-repeated=\"254\"/>" + cell +
               "</table:table-row></table:table>";
  }
  content += kOdsContentTail;
  return WriteRepeatedZip(path, {OdsMimetype(), Small("content.xml", content)}, error);
}

bool WriteXlsxSharedStringBomb(const std::filesystem::path& path, uint64_t string_bytes,
                               uint64_t cells, std::string* error) {
  std::vector<RepeatedEntry> entries = XlsxFrame(1, {"worksheets/sheet1.xml"}, true);
  entries.push_back(Letters("xl/sharedStrings.xml",
                            std::string(kXmlDeclaration) + "<sst xmlns=\"" + std::string(kMain) +
                                "\" count=\"1\" uniqueCount=\"1\"><si><t>",
                            string_bytes, "</t></si></sst>"));
  entries.push_back(RepeatedSheet("xl/worksheets/sheet1.xml", "<c t=\"s\"><v>0</v></c>", cells));
  return WriteRepeatedZip(path, entries, error);
}

bool WriteXlsxSharedPartBomb(const std::filesystem::path& path, uint32_t sheets, uint64_t cells,
                             std::string* error) {
  std::vector<RepeatedEntry> entries = XlsxFrame(sheets, {"worksheets/sheet1.xml"}, false);
  entries.push_back(RepeatedSheet("xl/worksheets/sheet1.xml", "<c><v>1</v></c>", cells));
  return WriteRepeatedZip(path, entries, error);
}

bool WriteXlsxAttributeBomb(const std::filesystem::path& path, uint64_t attribute_bytes,
                            std::string* error) {
  std::vector<RepeatedEntry> entries = XlsxFrame(1, {"worksheets/sheet1.xml"}, false);
  entries.push_back(Letters("xl/worksheets/sheet1.xml",
                            std::string(kXmlDeclaration) + "<worksheet xmlns=\"" +
                                std::string(kMain) + "\"><sheetData><row><c r=\"A1\" x=\"",
                            attribute_bytes, "\"><v>1</v></c></row></sheetData></worksheet>"));
  return WriteRepeatedZip(path, entries, error);
}

}  // namespace parley
