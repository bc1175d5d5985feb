#include "excel/xls_writer.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <unordered_map>
#include <variant>

namespace parley {
namespace {

constexpr size_t kMiniSectorSize = 64;
constexpr size_t kMiniStreamCutoff = 4096;
constexpr size_t kHeaderDifatEntries = 109;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;

// The largest record data Excel writes; more goes on in CONTINUE records.
constexpr size_t kMaxRecordData = 8224;

constexpr uint16_t kGeneralXf = 1;
constexpr uint16_t kDateXf = 2;
constexpr uint16_t kBuiltInDateFormat = 14;

void PadTo(size_t unit, std::string* bytes) {
  bytes->resize((bytes->size() + unit - 1) / unit * unit, '\0');
}

// A directory entry: name, type, siblings, child, first sector, size.
std::string DirectoryEntry(std::string_view name, uint8_t type, uint32_t child, uint32_t start,
                           uint64_t size) {
  std::string entry = Utf16Bytes(name);
  const size_t name_length = entry.size() + 2;
  entry.resize(64, '\0');
  entry += LeBytes(name.empty() ? 0 : name_length, 2);
  entry.push_back(static_cast<char>(type));
  entry.push_back(1);  // black, in the red-black tree of siblings
  entry += LeBytes(kNoEntry, 4) + LeBytes(kNoEntry, 4) + LeBytes(child, 4);
  entry.append(16 + 4 + 16, '\0');  // class id, state bits, times
  entry += LeBytes(start, 4) + LeBytes(size, 8);
  return entry;
}

// Collects records, carrying on data past kMaxRecordData in CONTINUE records.
class RecordBuilder {
 public:
  explicit RecordBuilder(uint16_t id) : id_(id) {}

  // Bytes that stay in one record.
  void Whole(std::string_view bytes) {
    if (data_.size() + bytes.size() > kMaxRecordData) Continue();
    data_.append(bytes);
  }
  // UTF-16 characters, which may cross into a CONTINUE record that then starts with its flag.
  void Chars(std::string_view utf16) {
    while (!utf16.empty()) {
      size_t room = (kMaxRecordData - data_.size()) / 2 * 2;
      if (room == 0) {
        Continue();
        data_.push_back(1);  // 16-bit characters
        room = (kMaxRecordData - 1) / 2 * 2;
      }
      const size_t take = std::min(room, utf16.size());
      data_.append(utf16.substr(0, take));
      utf16.remove_prefix(take);
    }
  }
  std::string Finish() {
    out_ += BiffRecord(id_, data_);
    return std::move(out_);
  }

 private:
  void Continue() {
    out_ += BiffRecord(id_, data_);
    data_.clear();
    id_ = 0x003C;
  }

  uint16_t id_;
  std::string data_;
  std::string out_;
};

std::string Bof(uint16_t substream) {
  return BiffRecord(0x0809, LeBytes(0x0600, 2) + LeBytes(substream, 2) + LeBytes(0x0DBB, 2) +
                                LeBytes(0x07CC, 2) + LeBytes(0, 4) + LeBytes(0x0006, 4));
}

std::string Xf(uint16_t format, bool style) {
  // Font 0, the format, locked (and a style with no parent, or a cell under style 0), then
  // alignment, borders and pattern left at their defaults.
  return BiffRecord(0x00E0, LeBytes(0, 2) + LeBytes(format, 2) +
                                LeBytes(style ? 0xFFF5 : 0x0001, 2) + LeBytes(0x20, 2) +
                                std::string(12, '\0'));
}

std::string CellHeader(size_t row, size_t column, uint16_t xf) {
  return LeBytes(row, 2) + LeBytes(column, 2) + LeBytes(xf, 2);
}

std::string Number(double value) {
  uint64_t bits;
  static_assert(sizeof bits == sizeof value);
  std::memcpy(&bits, &value, sizeof bits);
  return LeBytes(bits, 8);
}

}  // namespace

std::string LeBytes(uint64_t value, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  return bytes;
}

std::string BiffRecord(uint16_t id, std::string_view data) {
  return LeBytes(id, 2) + LeBytes(data.size(), 2) + std::string(data);
}

std::string Utf16Bytes(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto byte = [&](size_t k) { return static_cast<uint32_t>(utf8[i + k]) & 0x3F; };
    const auto lead = static_cast<unsigned char>(utf8[i]);
    uint32_t c;
    if (lead < 0x80 || i + 1 >= utf8.size()) {
      c = lead, i += 1;
    } else if (lead < 0xE0 || i + 2 >= utf8.size()) {
      c = (lead & 0x1Fu) << 6 | byte(1), i += 2;
    } else if (lead < 0xF0 || i + 3 >= utf8.size()) {
      c = (lead & 0x0Fu) << 12 | byte(1) << 6 | byte(2), i += 3;
    } else {
      c = (lead & 0x07u) << 18 | byte(1) << 12 | byte(2) << 6 | byte(3), i += 4;
    }
    if (c >= 0x10000) {
      out += LeBytes(0xD800 + ((c - 0x10000) >> 10), 2);
      c = 0xDC00 + ((c - 0x10000) & 0x3FF);
    }
    out += LeBytes(c, 2);
  }
  return out;
}

std::string CompoundFileBytes(std::string_view stream_name, std::string_view stream,
                              int sector_shift) {
  const size_t kSectorSize = size_t{1} << sector_shift;
  const size_t kLinksPerSector = kSectorSize / 4;
  // The chains laid out one after another from sector 0: the directory, then the stream, or the
  // mini stream and its table.
  std::vector<std::string> chains;
  uint32_t root_start = kEndOfChain, mini_fat_start = kEndOfChain, stream_start = kEndOfChain;
  uint64_t root_size = 0;
  size_t mini_fat_sectors = 0;
  chains.emplace_back();  // the directory, in one sector, once the starts are known
  size_t next_sector = 1;
  if (stream.size() < kMiniStreamCutoff) {
    std::string mini(stream);
    PadTo(kMiniSectorSize, &mini);
    std::string mini_fat;
    const size_t mini_sectors = mini.size() / kMiniSectorSize;
    for (size_t i = 0; i < mini_sectors; ++i) {
      mini_fat += LeBytes(i + 1 < mini_sectors ? i + 1 : kEndOfChain, 4);
    }
    while (mini_fat.size() % kSectorSize != 0) mini_fat += LeBytes(kFreeSector, 4);
    stream_start = mini.empty() ? kEndOfChain : 0;
    root_size = mini.size();
    if (!mini.empty()) {
      root_start = static_cast<uint32_t>(next_sector);
      PadTo(kSectorSize, &mini);
      next_sector += mini.size() / kSectorSize;
      chains.push_back(std::move(mini));
    }
    if (!mini_fat.empty()) {
      mini_fat_start = static_cast<uint32_t>(next_sector);
      mini_fat_sectors = mini_fat.size() / kSectorSize;
      next_sector += mini_fat_sectors;
      chains.push_back(std::move(mini_fat));
    }
  } else {
    std::string data(stream);
    PadTo(kSectorSize, &data);
    stream_start = static_cast<uint32_t>(next_sector);
    next_sector += data.size() / kSectorSize;
    chains.push_back(std::move(data));
  }
  chains[0] = DirectoryEntry("Root Entry", 5, 1, root_start, root_size) +
              DirectoryEntry(stream_name, 2, kNoEntry, stream_start, stream.size()) +
              DirectoryEntry("", 0, kNoEntry, 0, 0) + DirectoryEntry("", 0, kNoEntry, 0, 0);
  PadTo(kSectorSize, &chains[0]);

  const size_t data_sectors = next_sector;
  size_t fat_sectors = 1, difat_sectors = 0;
  for (;;) {
    const size_t difat_needed =
        fat_sectors > kHeaderDifatEntries
            ? (fat_sectors - kHeaderDifatEntries + kLinksPerSector - 2) / (kLinksPerSector - 1)
            : 0;
    const size_t fat_needed =
        (data_sectors + fat_sectors + difat_needed + kLinksPerSector - 1) / kLinksPerSector;
    if (fat_needed <= fat_sectors && difat_needed == difat_sectors) break;
    fat_sectors = std::max(fat_sectors, fat_needed);
    difat_sectors = difat_needed;
  }
  std::vector<uint32_t> fat(fat_sectors * kLinksPerSector, kFreeSector);
  size_t sector = 0;
  for (const std::string& chain : chains) {
    const size_t count = chain.size() / kSectorSize;
    for (size_t i = 0; i < count; ++i, ++sector) {
      fat[sector] = i + 1 < count ? static_cast<uint32_t>(sector + 1) : kEndOfChain;
    }
  }
  for (size_t i = 0; i < fat_sectors; ++i) fat[data_sectors + i] = kFatSector;
  for (size_t i = 0; i < difat_sectors; ++i) fat[data_sectors + fat_sectors + i] = kDifatSector;

  std::string file("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  file.append(16, '\0');
  file += LeBytes(0x003E, 2) + LeBytes(sector_shift == 9 ? 3 : 4, 2) + LeBytes(0xFFFE, 2) +
          LeBytes(static_cast<uint64_t>(sector_shift), 2) + LeBytes(6, 2);
  file.append(6, '\0');
  file += LeBytes(0, 4) + LeBytes(fat_sectors, 4) + LeBytes(0, 4) + LeBytes(0, 4) +
          LeBytes(kMiniStreamCutoff, 4) + LeBytes(mini_fat_start, 4) +
          LeBytes(mini_fat_sectors, 4) +
          LeBytes(difat_sectors > 0 ? data_sectors + fat_sectors : kEndOfChain, 4) +
          LeBytes(difat_sectors, 4);
  for (size_t i = 0; i < kHeaderDifatEntries; ++i) {
    file += LeBytes(i < fat_sectors ? data_sectors + i : kFreeSector, 4);
  }
  file.resize(kSectorSize, '\0');  // a 4096-byte sector holds the 512-byte header
  for (const std::string& chain : chains) file += chain;
  for (uint32_t link : fat) file += LeBytes(link, 4);
  for (size_t d = 0; d < difat_sectors; ++d) {
    for (size_t i = 0; i < kLinksPerSector - 1; ++i) {
      const size_t listed = kHeaderDifatEntries + d * (kLinksPerSector - 1) + i;
      file += LeBytes(listed < fat_sectors ? data_sectors + listed : kFreeSector, 4);
    }
    file += LeBytes(d + 1 < difat_sectors ? data_sectors + fat_sectors + d + 1 : kEndOfChain, 4);
  }
  return file;
}

std::string XlsWorkbookStream(const std::vector<SheetData>& sheets) {
  std::unordered_map<std::string, uint32_t> string_index;
  std::vector<const std::string*> strings;
  size_t total = 0;
  std::vector<std::string> cells(sheets.size());
  for (size_t s = 0; s < sheets.size(); ++s) {
    const SheetData& sheet = sheets[s];
    std::string& out = cells[s];
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
      for (size_t c = 0; c < sheet.rows[r].size(); ++c) {
        const std::optional<WorkbookValue>& value = sheet.rows[r][c];
        if (!value) continue;
        if (const auto* text = std::get_if<std::string>(&*value)) {
          auto [it, added] = string_index.emplace(*text, static_cast<uint32_t>(strings.size()));
          if (added) strings.push_back(&it->first);
          ++total;
          out += BiffRecord(0x00FD, CellHeader(r, c, kGeneralXf) + LeBytes(it->second, 4));
        } else if (const auto* number = std::get_if<double>(&*value)) {
          out += BiffRecord(0x0203, CellHeader(r, c, kGeneralXf) + Number(*number));
        } else {
          const double serial = std::get<WorkbookDate>(*value).serial;
          out += BiffRecord(0x0203, CellHeader(r, c, kDateXf) + Number(serial));
        }
      }
    }
  }
  RecordBuilder sst(0x00FC);
  sst.Whole(LeBytes(total, 4) + LeBytes(strings.size(), 4));
  for (const std::string* text : strings) {
    const std::string utf16 = Utf16Bytes(*text);
    // The count and flags stay with the first character.
    sst.Whole(LeBytes(utf16.size() / 2, 2) + "\x01" +
              utf16.substr(0, std::min<size_t>(2, utf16.size())));
    if (utf16.size() > 2) sst.Chars(std::string_view(utf16).substr(2));
  }

  std::string globals =
      Bof(0x0005) + BiffRecord(0x0042, LeBytes(1200, 2)) + BiffRecord(0x0022, LeBytes(0, 2)) +
      BiffRecord(0x0031, LeBytes(200, 2) + LeBytes(0, 2) + LeBytes(0x7FFF, 2) + LeBytes(400, 2) +
                             std::string(6, '\0') + "\x05\x00" + "Arial") +
      Xf(0, true) + Xf(0, false) + Xf(kBuiltInDateFormat, false);
  std::vector<size_t> offset_fields;
  for (const SheetData& sheet : sheets) {
    const std::string name = Utf16Bytes(sheet.name);
    offset_fields.push_back(globals.size() + 4);
    globals += BiffRecord(
        0x0085, LeBytes(0, 4) + std::string(2, '\0') + LeBytes(name.size() / 2, 1) + "\x01" + name);
  }
  globals += sst.Finish() + BiffRecord(0x000A, "");
  std::string stream = globals;
  for (size_t s = 0; s < sheets.size(); ++s) {
    stream.replace(offset_fields[s], 4, LeBytes(stream.size(), 4));
    size_t columns = 0;
    for (const auto& row : sheets[s].rows) columns = std::max(columns, row.size());
    stream += Bof(0x0010) +
              BiffRecord(0x0200, LeBytes(0, 4) + LeBytes(sheets[s].rows.size(), 4) + LeBytes(0, 2) +
                                     LeBytes(columns, 2) + LeBytes(0, 2)) +
              cells[s] + BiffRecord(0x000A, "");
  }
  return stream;
}

bool WriteXls(const std::filesystem::path& path, const std::vector<SheetData>& sheets,
              std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string file = CompoundFileBytes("Workbook", XlsWorkbookStream(sheets));
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  if (!out) {
    *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace parley
