#include "excel/compound_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "excel/little_endian.h"

namespace parley {
namespace {

constexpr std::string_view kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// The header, at the start of the file.
constexpr size_t kHeaderSize = 512;
constexpr size_t kMajorVersionAt = 26;
constexpr size_t kByteOrderAt = 28;
constexpr size_t kSectorShiftAt = 30;
constexpr size_t kMiniSectorShiftAt = 32;
constexpr size_t kFatSectorCountAt = 44;
constexpr size_t kFirstDirectorySectorAt = 48;
constexpr size_t kMiniStreamCutoffAt = 56;
constexpr size_t kFirstMiniFatSectorAt = 60;
constexpr size_t kFirstDifatSectorAt = 68;
constexpr size_t kDifatSectorCountAt = 72;
constexpr size_t kHeaderDifatAt = 76;
constexpr size_t kHeaderDifatEntries = 109;
constexpr uint16_t kLittleEndian = 0xFFFE;

// Sector numbers above this one are markers (end of chain, free, FAT or DIFAT sector).
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

// A directory entry.
constexpr size_t kEntrySize = 128;
constexpr size_t kNameBytes = 64;
constexpr size_t kNameLengthAt = 64;
constexpr size_t kTypeAt = 66;
constexpr size_t kLeftSiblingAt = 68;
constexpr size_t kRightSiblingAt = 72;
constexpr size_t kChildAt = 76;
constexpr size_t kStartSectorAt = 116;
constexpr size_t kStreamSizeAt = 120;
constexpr uint8_t kStreamEntry = 2;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;

// A table of next-sector links (the FAT or the mini FAT) and the units it links.
struct ChainTable {
  std::vector<uint32_t> next;
  size_t unit_size = 0;
  size_t unit_count = 0;
};

class Container {
 public:
  explicit Container(std::string_view file) : file_(file) {}

  CompoundStatus Open() {
    if (file_.size() < kHeaderSize || file_.substr(0, kSignature.size()) != kSignature ||
        Le16(file_, kByteOrderAt) != kLittleEndian) {
      return CompoundStatus::kNotCompound;
    }
    const uint16_t shift = Le16(file_, kSectorShiftAt);
    if (shift != 9 && shift != 12) return CompoundStatus::kNotCompound;
    sector_size_ = size_t{1} << shift;
    const uint16_t mini_shift = Le16(file_, kMiniSectorShiftAt);
    if (mini_shift < 6 || mini_shift >= shift) return CompoundStatus::kNotCompound;
    mini_sector_size_ = size_t{1} << mini_shift;
    version3_ = Le16(file_, kMajorVersionAt) == 3;
    mini_cutoff_ = Le32(file_, kMiniStreamCutoffAt);
    // Sector 0 follows the header, which takes a whole sector; a last sector cut short is read
    // as far as it goes.
    fat_.unit_size = sector_size_;
    fat_.unit_count = file_.size() <= sector_size_
                          ? 0
                          : (file_.size() - sector_size_ + sector_size_ - 1) / sector_size_;
    return ReadFat() ? CompoundStatus::kFound : CompoundStatus::kDamaged;
  }

  CompoundStatus Find(std::initializer_list<std::string_view> names, std::string* stream) {
    std::string directory;
    if (!ReadChain(fat_, Le32(file_, kFirstDirectorySectorAt), SIZE_MAX, &directory)) {
      return CompoundStatus::kDamaged;
    }
    entries_ = directory.size() / kEntrySize;
    if (entries_ == 0) return CompoundStatus::kDamaged;
    directory_ = std::move(directory);
    size_t entry = TopLevelStream(names);
    if (entry == kNoEntry) return CompoundStatus::kMissing;
    return ReadStream(entry, stream) ? CompoundStatus::kFound : CompoundStatus::kDamaged;
  }

 private:
  // The sectors of the FAT, listed in the header and then in the DIFAT chain, joined.
  bool ReadFat() {
    const size_t count = std::min<size_t>(Le32(file_, kFatSectorCountAt), fat_.unit_count);
    std::vector<uint32_t> fat_sectors;
    for (size_t i = 0; i < kHeaderDifatEntries && fat_sectors.size() < count; ++i) {
      fat_sectors.push_back(Le32(file_, kHeaderDifatAt + 4 * i));
    }
    const size_t per_sector = sector_size_ / 4 - 1;  // the last entry links the next one
    std::vector<bool> seen(fat_.unit_count);
    uint32_t difat = Le32(file_, kFirstDifatSectorAt);
    size_t difat_left = Le32(file_, kDifatSectorCountAt);
    while (fat_sectors.size() < count && difat_left-- > 0 && difat <= kMaxRegularSector) {
      if (difat >= fat_.unit_count || seen[difat]) return false;
      seen[difat] = true;
      std::string_view sector = Sector(difat);
      for (size_t i = 0; i < per_sector && fat_sectors.size() < count; ++i) {
        fat_sectors.push_back(Le32(sector, 4 * i));
      }
      difat = Le32(sector, 4 * per_sector);
    }
    fat_.next.reserve(fat_sectors.size() * (sector_size_ / 4));
    for (uint32_t sector : fat_sectors) {
      if (sector >= fat_.unit_count) break;  // a count larger than the list written
      std::string_view bytes = Sector(sector);
      for (size_t at = 0; at < sector_size_; at += 4) fat_.next.push_back(Le32(bytes, at));
    }
    return !fat_.next.empty();
  }

  // Sector n, padded with zeros when the file ends inside it.
  std::string_view Sector(uint32_t n) {
    const size_t at = (size_t{n} + 1) * sector_size_;
    if (at + sector_size_ <= file_.size()) return file_.substr(at, sector_size_);
    padded_.assign(sector_size_, '\0');
    file_.substr(at).copy(padded_.data(), sector_size_);
    return padded_;
  }

  // Appends the units of the chain from start to *out until it ends or limit bytes are read.
  bool ReadChain(const ChainTable& table, uint32_t start, size_t limit, std::string* out) {
    std::vector<bool> seen(table.unit_count);
    uint32_t unit = start;
    while (out->size() < limit && unit != kEndOfChain) {
      if (unit >= table.unit_count || unit >= table.next.size() || seen[unit]) return false;
      seen[unit] = true;
      std::string_view bytes;
      if (&table == &fat_) {
        bytes = Sector(unit);
      } else {
        bytes =
            std::string_view(mini_stream_).substr(size_t{unit} * table.unit_size, table.unit_size);
      }
      out->append(bytes.substr(0, std::min(bytes.size(), limit - out->size())));
      unit = table.next[unit];
    }
    return true;
  }

  std::string_view Entry(size_t i) const {
    return std::string_view(directory_).substr(i * kEntrySize, kEntrySize);
  }

  // The stream entry among the root storage's children whose name comes first in names.
  size_t TopLevelStream(std::initializer_list<std::string_view> names) {
    size_t best = kNoEntry;
    size_t best_rank = names.size();
    std::vector<bool> seen(entries_);
    std::vector<uint32_t> pending = {Le32(Entry(0), kChildAt)};
    while (!pending.empty()) {
      const uint32_t i = pending.back();
      pending.pop_back();
      if (i >= entries_ || seen[i]) continue;
      seen[i] = true;
      std::string_view entry = Entry(i);
      pending.push_back(Le32(entry, kLeftSiblingAt));
      pending.push_back(Le32(entry, kRightSiblingAt));
      if (static_cast<uint8_t>(entry[kTypeAt]) != kStreamEntry) continue;
      size_t rank = 0;
      for (std::string_view name : names) {
        if (rank < best_rank && NameIs(entry, name)) {
          best = i;
          best_rank = rank;
        }
        ++rank;
      }
    }
    return best;
  }

  static bool NameIs(std::string_view entry, std::string_view name) {
    const size_t length = Le16(entry, kNameLengthAt);
    // The length counts the bytes of the name with its terminating zero.
    if (length > kNameBytes || length != 2 * (name.size() + 1)) return false;
    for (size_t i = 0; i < name.size(); ++i) {
      const uint16_t c = Le16(entry, 2 * i);
      if (c >= 0x80 || std::tolower(c) != std::tolower(static_cast<unsigned char>(name[i]))) {
        return false;
      }
    }
    return true;
  }

  uint64_t StreamSize(std::string_view entry) const {
    uint64_t size = Le32(entry, kStreamSizeAt);
    // Version 3 files may hold anything in the high half.
    if (!version3_) size |= uint64_t{Le32(entry, kStreamSizeAt + 4)} << 32;
    return size;
  }

  bool ReadStream(size_t entry_index, std::string* stream) {
    std::string_view entry = Entry(entry_index);
    const uint64_t size = StreamSize(entry);
    const uint32_t start = Le32(entry, kStartSectorAt);
    stream->clear();
    if (size == 0) return true;
    if (size >= mini_cutoff_) {
      // Never more than the file holds, whatever the size recorded.
      return ReadChain(fat_, start, static_cast<size_t>(std::min<uint64_t>(size, file_.size())),
                       stream);
    }
    // A small stream lives in the mini stream, itself the root entry's stream.
    std::string_view root = Entry(0);
    const uint64_t mini_size = std::min<uint64_t>(StreamSize(root), file_.size());
    if (!ReadChain(fat_, Le32(root, kStartSectorAt), static_cast<size_t>(mini_size),
                   &mini_stream_)) {
      return false;
    }
    std::string mini_fat;
    if (!ReadChain(fat_, Le32(file_, kFirstMiniFatSectorAt), SIZE_MAX, &mini_fat)) return false;
    ChainTable table;
    table.unit_size = mini_sector_size_;
    table.unit_count = mini_stream_.size() / mini_sector_size_;
    for (size_t at = 0; at + 4 <= mini_fat.size(); at += 4)
      table.next.push_back(Le32(mini_fat, at));
    return ReadChain(table, start, static_cast<size_t>(size), stream);
  }

  std::string_view file_;
  size_t sector_size_ = 0;
  size_t mini_sector_size_ = 0;
  uint64_t mini_cutoff_ = 0;
  bool version3_ = true;
  ChainTable fat_;
  std::string padded_;
  std::string directory_;
  size_t entries_ = 0;
  std::string mini_stream_;
};

}  // namespace

CompoundStatus ReadCompoundStream(std::string_view file,
                                  std::initializer_list<std::string_view> names,
                                  std::string* stream) {
  Container container(file);
  CompoundStatus status = container.Open();
  if (status != CompoundStatus::kFound) return status;
  return container.Find(names, stream);
}

}  // namespace parley
