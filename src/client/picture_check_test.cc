#include "client/picture_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace parley {
namespace {

class PictureCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("client_picture_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(PictureCheckTest, JpegOnlyWithinTheSizeAndCount) {
  const std::string jpeg_head = "\xFF\xD8\xFF\xE0";
  const std::string small = Write("small.jpg", jpeg_head + std::string(1000, 'x'));
  const std::string at_limit =
      Write("limit.jpg", jpeg_head + std::string(kMaxPictureBytes - jpeg_head.size(), 'x'));
  const std::string big = Write("big.jpg", jpeg_head + std::string(kMaxPictureBytes, 'x'));
  const std::string png = Write("pic.jpg", "\x89PNG\r\n\x1a\n");
  const std::string tiny = Write("tiny.jpg", "\xFF\xD8");
  struct Case {
    std::vector<std::string> paths;
    std::vector<std::string> problems;
  } cases[] = {
      {{small}, {}},
      {{small, at_limit, small}, {}},
      {{big}, {big + " is 307204 bytes; a picture may have at most 307200 bytes"}},
      {{png}, {png + " is not a JPEG picture"}},
      {{tiny}, {tiny + " is not a JPEG picture"}},
      {{(dir_ / "none.jpg").string()}, {"cannot read picture " + (dir_ / "none.jpg").string()}},
      {{small, small, small, small}, {"4 pictures: at most 3"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words;
    for (const Verdict& v : CheckPictures(c.paths)) words.push_back(Word(Language::kEnglish, v));
    EXPECT_EQ(words, c.problems);
  }
}

}  // namespace
}  // namespace parley
