#include "send/skn_builder.h"

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "testing/engine_process.h"

namespace parley {
namespace {

using testing::TempDir;

std::string Pad(std::string_view text, size_t size) {
  std::string field(text);
  field.resize(size, '\0');
  return field;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// 2000 bytes of every byte value.
std::string Picture() {
  std::string bytes(2000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  return bytes;
}

class SknBuilderTest : public ::testing::Test {
 protected:
  std::string PicturePath(const char* name, const std::string& bytes) {
    std::filesystem::path path = dir_.path() / name;
    WriteFile(path, bytes);
    return path.string();
  }

  TempDir dir_;
  CSKNBuilder builder_;
};

// A 4-byte subject, a 10-byte text and a 2000-byte picture: 221 + 216 + 10 + 216 + 2000 bytes.
TEST_F(SknBuilderTest, PackageBytes) {
  const std::string subject = "\xBE\xC8\xB3\xE7";  // "안녕"
  const std::string text = "0123456789";
  const std::string picture = Picture();
  builder_.SetSubject(subject);
  ASSERT_TRUE(builder_.AddItem("TXT", "", text));
  ASSERT_TRUE(builder_.AddItem("IMG", "a.jpg", PicturePath("a.jpg", picture)));
  EXPECT_EQ(builder_.TypeCode(), "IMT");

  const std::string zeros(100, '\0');
  std::string header = "__SKN1.0__" + Pad("2663", 10) + "2" + Pad(subject, 100) + zeros;
  std::string text_item = "TXT" + Pad("BODY.TXT", 100) + "ALL" + zeros + Pad("10", 10) + text;
  std::string picture_item = "IMG" + Pad("a.jpg", 100) + "ALL" + zeros + Pad("2000", 10) + picture;
  std::string expected = header + text_item + picture_item;
  ASSERT_EQ(expected.size(), 2663u);
  EXPECT_EQ(builder_.package_length(), 2663);
  EXPECT_EQ(builder_.BuildPackage(), expected);

  std::filesystem::path path = dir_.path() / "qx.SKN";
  WriteFile(path, std::string(5000, 'x'));  // an older, longer package is replaced
  ASSERT_TRUE(builder_.WritePackage(path));
  EXPECT_EQ(ReadFile(path), expected);
  // Writing again gives the same package.
  ASSERT_TRUE(builder_.WritePackage(path));
  EXPECT_EQ(ReadFile(path), expected);

  std::optional<SknPackage> parsed = ParseSknPackage(expected);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->items.size(), 2u);
  EXPECT_EQ(parsed->items[1].file_name, "a.jpg");
  EXPECT_EQ(parsed->items[1].data, picture);
}

TEST_F(SknBuilderTest, TypeCodes) {
  const char* types[] = {"IMG", "MOV", "TXT", "ADO"};  // bits 1, 2, 4, 8
  const char* codes[16] = {"",    "IMG", "MOV", "", "TXT", "IMT", "",    "",
                           "ADO", "IMA", "",    "", "TXA", "ITA", "MTA", ""};
  for (int mask = 0; mask < 16; ++mask) {
    CSKNBuilder builder;
    for (int bit = 0; bit < 4; ++bit) {
      if (mask & (1 << bit)) builder.AddItemType(types[bit]);
    }
    builder.AddItemType("XYZ");
    EXPECT_EQ(builder.TypeCode(), codes[mask]) << "mask " << mask;
    builder.AddItemType("");
    EXPECT_EQ(builder.TypeCode(), codes[mask]) << "mask " << mask;
  }
}

TEST_F(SknBuilderTest, TextOnlyWithDefaultSubject) {
  builder_.SetSubject("");
  ASSERT_TRUE(builder_.AddItem("TXT", "", "hello"));
  EXPECT_EQ(builder_.TypeCode(), "TXT");
  std::string package = builder_.BuildPackage();
  EXPECT_EQ(package[20], '1');
  EXPECT_EQ(package.substr(21, 9), std::string("\xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD") + '\0');
  EXPECT_EQ(package.size(), 221u + 216u + 5u);
}

TEST_F(SknBuilderTest, FieldEdges) {
  // A file name of exactly 100 bytes fills its field with no NUL; one more byte is refused.
  std::string path = PicturePath("p.jpg", "abc");
  ASSERT_TRUE(builder_.AddItem("IMG", std::string(100, 'n'), path));
  EXPECT_FALSE(builder_.AddItem("IMG", std::string(101, 'n'), path));
  EXPECT_FALSE(builder_.AddItem("IMGX", "p.jpg", path));
  // A subject over 100 bytes is cut before a character that would cross the end.
  builder_.SetSubject(std::string(99, 's') + "\xC7\xD1");
  std::string package = builder_.BuildPackage();
  EXPECT_EQ(package.substr(21, 100), std::string(99, 's') + '\0');
  ASSERT_EQ(builder_.item_count(), 1);
  EXPECT_EQ(package.substr(221 + 3, 100), std::string(100, 'n'));
  EXPECT_EQ(package.substr(221 + 103, 3), "ALL");
}

TEST_F(SknBuilderTest, RefusedItemsAddNothing) {
  ASSERT_TRUE(builder_.AddItem("TXT", "", "text"));
  EXPECT_FALSE(builder_.AddItem("IMG", "gone.jpg", (dir_.path() / "gone.jpg").string()));
  EXPECT_EQ(builder_.TypeCode(), "TXT");
  std::string path = PicturePath("p.jpg", "abc");
  for (int i = 1; i < 9; ++i) ASSERT_TRUE(builder_.AddItem("IMG", "p.jpg", path)) << i;
  EXPECT_FALSE(builder_.AddItem("IMG", "p.jpg", path)) << "a tenth item";
  EXPECT_EQ(builder_.item_count(), 9);
  std::optional<SknPackage> parsed = ParseSknPackage(builder_.BuildPackage());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->items.size(), 9u);
}

// The picture is read when it is added: the package holds those bytes, whatever happens to the
// file before the package is written.
TEST_F(SknBuilderTest, PictureChangedOrGoneAfterAdding) {
  std::string path = PicturePath("a.jpg", "original");
  ASSERT_TRUE(builder_.AddItem("IMG", "a.jpg", path));
  WriteFile(path, "a longer replacement picture");
  std::optional<SknPackage> parsed = ParseSknPackage(builder_.BuildPackage());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->items[0].data, "original");
  std::filesystem::remove(path);
  EXPECT_TRUE(builder_.WritePackage(dir_.path() / "qx.SKN"));
}

TEST_F(SknBuilderTest, ResetStartsAFreshPackage) {
  builder_.SetSubject("first");
  ASSERT_TRUE(builder_.AddItem("TXT", "", "one"));
  ASSERT_TRUE(builder_.AddItem("IMG", "a.jpg", PicturePath("a.jpg", "abc")));
  builder_.Reset();
  ASSERT_TRUE(builder_.AddItem("TXT", "", "two"));
  EXPECT_EQ(builder_.TypeCode(), "TXT");
  std::optional<SknPackage> parsed = ParseSknPackage(builder_.BuildPackage());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->subject, "\xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD");
  ASSERT_EQ(parsed->items.size(), 1u);
  EXPECT_EQ(parsed->items[0].data, "two");
}

TEST_F(SknBuilderTest, UnwritablePath) {
  ASSERT_TRUE(builder_.AddItem("TXT", "", "text"));
  std::filesystem::path path = dir_.path() / "missing" / "qx.SKN";
  EXPECT_FALSE(builder_.WritePackage(path));
  EXPECT_FALSE(std::filesystem::exists(path));
}

// A symbolic link in TempIMG is never followed: a picture behind one is not read, and a package
// written where one stands replaces the link and leaves its target alone.
TEST_F(SknBuilderTest, SymbolicLinksAreNotFollowed) {
  const std::filesystem::path victim = dir_.path() / "victim.txt";
  WriteFile(victim, "keep me");
  std::filesystem::create_symlink(victim, dir_.path() / "link.jpg");
  std::filesystem::create_symlink(victim, dir_.path() / "qx.SKN");
  ASSERT_TRUE(builder_.AddItem("TXT", "", "text"));
  EXPECT_FALSE(builder_.AddItem("IMG", "link.jpg", (dir_.path() / "link.jpg").string()));
  ASSERT_TRUE(builder_.WritePackage(dir_.path() / "qx.SKN"));
  EXPECT_EQ(ReadFile(victim), "keep me");
  EXPECT_FALSE(std::filesystem::is_symlink(dir_.path() / "qx.SKN"));
  EXPECT_EQ(ReadFile(dir_.path() / "qx.SKN"), builder_.BuildPackage());
  // Nothing else is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 3);
}

TEST(SknPackageTest, DamagedPackagesAreNotParsed) {
  CSKNBuilder builder;
  ASSERT_TRUE(builder.AddItem("TXT", "", "text"));
  const std::string good = builder.BuildPackage();
  ASSERT_TRUE(ParseSknPackage(good));
  std::string bad_magic = good;
  bad_magic[0] = 'x';
  std::string long_size = good;
  long_size[221 + 206] = '9';  // the item's size becomes 9 bytes
  for (const std::string& bytes :
       {good.substr(0, good.size() - 1), good + "x", bad_magic, long_size}) {
    EXPECT_FALSE(ParseSknPackage(bytes));
  }
}

}  // namespace
}  // namespace parley
