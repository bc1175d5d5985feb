#include "send/picture_file.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "testing/engine_process.h"

namespace parley {
namespace {

// What a picture name in TempIMG reads as, for every kind of entry it can name.
TEST(PictureFileTest, OnlyRegularFilesWithinTheLimitAreRead) {
  testing::TempDir dir;
  const std::filesystem::path d = dir.path();
  std::ofstream(d / "a.jpg", std::ios::binary) << std::string(100, 'a');
  std::ofstream(d / "big.jpg", std::ios::binary) << std::string(101, 'b');
  std::ofstream(d / "empty.jpg", std::ios::binary);
  std::ofstream(d / "secret.txt", std::ios::binary) << "root:x:0:0";
  std::filesystem::create_symlink(d / "secret.txt", d / "link.jpg");
  std::filesystem::create_symlink("secret.txt", d / "relative.jpg");
  std::filesystem::create_symlink(d / "nowhere", d / "dangling.jpg");
  std::filesystem::create_directory(d / "folder.jpg");
  ASSERT_EQ(::mkfifo((d / "fifo.jpg").c_str(), 0600), 0);  // opening it must not wait
  const struct {
    const char* name;
    PictureStatus status;
    size_t size;
  } cases[] = {
      {"a.jpg", PictureStatus::kOk, 100},
      {"empty.jpg", PictureStatus::kOk, 0},
      {"big.jpg", PictureStatus::kTooLarge, 0},
      {"link.jpg", PictureStatus::kNotRegular, 0},
      {"relative.jpg", PictureStatus::kNotRegular, 0},
      {"dangling.jpg", PictureStatus::kNotRegular, 0},
      {"folder.jpg", PictureStatus::kNotRegular, 0},
      {"fifo.jpg", PictureStatus::kNotRegular, 0},
      {"missing.jpg", PictureStatus::kMissing, 0},
  };
  for (const auto& c : cases) {
    const PictureFile picture = ReadPictureFile(d / c.name, /*max_bytes=*/100);
    EXPECT_EQ(picture.status, c.status) << c.name;
    EXPECT_EQ(picture.bytes.size(), c.size) << c.name;
  }
  EXPECT_EQ(ReadPictureFile(d / "a.jpg", 100).bytes, std::string(100, 'a'));
}

// A huge picture is turned down by its size alone: the sparse 400 MB file is never read.
TEST(PictureFileTest, TheLimitIsCheckedBeforeReading) {
  testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "huge.jpg";
  std::ofstream(path, std::ios::binary) << "x";
  std::filesystem::resize_file(path, 400u << 20);
  EXPECT_EQ(ReadPictureFile(path).status, PictureStatus::kTooLarge);
  std::filesystem::resize_file(path, kMaxPictureBytes);
  EXPECT_EQ(ReadPictureFile(path).bytes.size(), static_cast<size_t>(kMaxPictureBytes));
  std::filesystem::resize_file(path, kMaxPictureBytes + 1);
  EXPECT_EQ(ReadPictureFile(path).status, PictureStatus::kTooLarge);
}

}  // namespace
}  // namespace parley
