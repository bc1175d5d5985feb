#include "excel/compound_file.h"

#include <gtest/gtest.h>

#include <string>

#include "excel/little_endian.h"
#include "excel/xls_writer.h"

namespace parley {
namespace {

constexpr size_t kSector = 512;
constexpr size_t kFirstDirectorySectorAt = 48;
constexpr size_t kFirstDifatSectorAt = 68;
constexpr size_t kHeaderDifatAt = 76;

// Bytes of a given size that tell where they were cut from.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

std::string Read(std::string_view file, CompoundStatus* status) {
  std::string stream;
  *status = ReadCompoundStream(file, {"Workbook", "Book"}, &stream);
  return stream;
}

// Streams in the mini stream, in sectors of their own, and large enough for the sector table to
// go on in DIFAT sectors, read back whole.
TEST(CompoundFileTest, StreamsOfEverySize) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{100}, size_t{4095}, size_t{4096}, size_t{70000},
                      size_t{8u << 20}}) {
    const std::string stream = Pattern(size);
    const std::string file = CompoundFileBytes("Workbook", stream);
    if (size > (7u << 20)) {
      ASSERT_NE(Le32(file, kFirstDifatSectorAt), 0xFFFFFFFEu) << size;
    }
    CompoundStatus status;
    EXPECT_EQ(Read(file, &status), stream) << size;
    EXPECT_EQ(status, CompoundStatus::kFound) << size;
    if (size > (1u << 20)) continue;
    // The same in 4096-byte sectors.
    EXPECT_EQ(Read(CompoundFileBytes("Workbook", stream, 12), &status), stream) << size;
    EXPECT_EQ(status, CompoundStatus::kFound) << size;
  }
}

TEST(CompoundFileTest, StreamNamesAndHeaders) {
  const std::string stream = Pattern(5000);
  CompoundStatus status;
  // Excel 5 names its stream "Book"; case does not matter.
  EXPECT_EQ(Read(CompoundFileBytes("BOOK", stream), &status), stream);
  EXPECT_EQ(status, CompoundStatus::kFound);
  Read(CompoundFileBytes("EncryptedPackage", stream), &status);
  EXPECT_EQ(status, CompoundStatus::kMissing);

  std::string bad_sector_size = CompoundFileBytes("Workbook", stream);
  bad_sector_size[30] = 10;
  Read(bad_sector_size, &status);
  EXPECT_EQ(status, CompoundStatus::kNotCompound);
  Read(std::string_view(CompoundFileBytes("Workbook", stream)).substr(0, 300), &status);
  EXPECT_EQ(status, CompoundStatus::kNotCompound);
}

// Chains that loop or leave the file are damage, found without reading past the file.
TEST(CompoundFileTest, BrokenChainsAreDamage) {
  const std::string good = CompoundFileBytes("Workbook", Pattern(70000));
  const size_t fat_at = (size_t{Le32(good, kHeaderDifatAt)} + 1) * kSector;
  const auto with_link = [&](uint32_t sector, uint32_t next) {
    std::string file = good;
    file.replace(fat_at + 4 * sector, 4, LeBytes(next, 4));
    return file;
  };
  const auto with_field = [&](size_t at, uint32_t value) {
    std::string file = good;
    file.replace(at, 4, LeBytes(value, 4));
    return file;
  };
  struct Case {
    const char* name;
    std::string file;
  } cases[] = {
      {"directory chain loops", with_link(0, 0)},
      {"stream chain loops", with_link(5, 2)},
      {"stream chain leaves the file", with_link(5, 100000)},
      {"directory outside the file", with_field(kFirstDirectorySectorAt, 5000)},
      {"file cut inside the stream", good.substr(0, 20 * kSector)},
      {"no sector table", with_field(kHeaderDifatAt, 0xFFFFFFFF)},
  };
  for (const Case& c : cases) {
    CompoundStatus status;
    Read(c.file, &status);
    EXPECT_EQ(status, CompoundStatus::kDamaged) << c.name;
  }
}

}  // namespace
}  // namespace parley
