#include "excel/xml_scanner.h"

#include "excel/xml_readings.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace parley {
namespace {

// Takes every event.
class Ignore : public XmlHandler {
 public:
  bool StartElement(std::string_view, XmlAttributes) override { return true; }
  bool EndElement(std::string_view) override { return true; }
  bool Text(std::string_view) override { return true; }
};

TEST(XmlScannerTest, ReadsAsTheGeneralParserDoes) {
  const char* documents[] = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<x:worksheet xmlns:x=\"urn:x\"><x:sheetData><x:row r=\"1\"><x:c r=\"A1\" t=\"s\">"
      "<x:v>0</x:v></x:c></x:row></x:sheetData></x:worksheet>",
      "\xef\xbb\xbf<a>byte order mark</a>",
      "<a b='1' c = \"x&amp;y&lt;&gt;&quot;&apos;&#65;&#x41;&#x10000;\">&#xAC00;&amp;</a>",
      "<a v=\"tab\there\r\nline\rcr&#10;kept\">one\r\ntwo\rthree\n</a>",
      "<a><![CDATA[<not a tag> & \r\n]]>after<!-- a - b --></a>",
      "<a><!-- comment --><?pi data?><b/><c></c>  \n </a>\n<!-- tail -->\n",
      "<a>\xea\xb0\x80\xed\x9e\xa3 \xf0\x9f\x98\x80 _x000D_</a>",
      "<ns:a ns:b=\"1\" xmlns:ns=\"u\"><ns:b/></ns:a>",
      // Refused by both.
      "<a><b></a></b>",
      "<a>&nbsp;</a>",
      "<a>&#0;</a>",
      "<a>\x01</a>",
      "<a>\xff</a>",
      "<a>\xed\xa0\x80</a>",
      "<a b=\"1\" b=\"2\"/>",
      "<a b=\"<\"/>",
      "<a b=\"1\"c=\"2\"/>",
      "<a>]]></a>",
      "<a></a><b/>",
      "<a></a>junk",
      "text<a/>",
      "<a>",
      "",
      "<a><!-- x -- y --></a>",
      "< a/>",
      "<a/",
  };
  int read = 0;
  for (const char* doc : documents) {
    SCOPED_TRACE(doc);
    const std::string expected = ExpatReading(doc);
    EXPECT_EQ(ScannerReading(doc), expected);
    read += expected != "error";
  }
  EXPECT_EQ(read, 8);  // the first eight are well-formed
}

TEST(XmlScannerTest, PiecesSplitAnywhereReadTheSame) {
  const std::string doc =
      "\xef\xbb\xbf<?xml version=\"1.0\"?>\r\n<root a=\"x&amp;y\r\nz\">"
      "\xea\xb0\x80&#xAC00;&lt;text\r\nline<![CDATA[raw]]>tail]<c t=\"s\"><v>12</v></c>"
      "<!-- note --></root>\r\n";
  const std::string whole = ScannerReading(doc);
  ASSERT_NE(whole, "error");
  for (size_t piece = 1; piece < 24; ++piece) {
    SCOPED_TRACE(piece);
    EXPECT_EQ(ScannerReading(doc, piece), whole);
  }
}

TEST(XmlScannerTest, DocumentTypeGoesToTheGeneralParserAndLimitsHold) {
  EXPECT_EQ(ScannerReading("<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>"), "unsupported");
  EXPECT_EQ(ScannerReading("<a><!DOCTYPE a></a>"), "error");

  std::string deep;
  for (int i = 0; i < 257; ++i) deep += "<a>";
  Ignore log;
  XmlScanner scanner(log, 256, 1 << 20);
  EXPECT_EQ(scanner.Feed(deep, false), XmlScanner::Status::kError);
  EXPECT_EQ(scanner.error(), "elements nested too deeply");

  Ignore small;
  XmlScanner held(small, 256, 64);
  EXPECT_EQ(held.Feed("<a><b c=\"" + std::string(100, 'x'), false), XmlScanner::Status::kError);
  EXPECT_TRUE(held.over_memory());

  // A tag of many attributes: duplicates are found without comparing every pair, and the
  // attributes' own memory counts against what the scanner may hold.
  std::string many = "<a";
  for (int i = 0; i < 100000; ++i) many += " a" + std::to_string(i) + "=\"\"";
  for (const bool duplicate : {false, true}) {
    Ignore attributes;
    XmlScanner wide(attributes, 256, 64 << 20);
    const std::string tag = many + (duplicate ? " a5=\"\"" : "") + "/>";
    EXPECT_EQ(wide.Feed(tag, true),
              duplicate ? XmlScanner::Status::kError : XmlScanner::Status::kOk);
    if (duplicate) {
      EXPECT_EQ(wide.error(), "duplicate attribute");
    }
  }
  Ignore tight;
  XmlScanner capped(tight, 256, 2 << 20);
  EXPECT_EQ(capped.Feed(many + "/>", true), XmlScanner::Status::kError);
  EXPECT_TRUE(capped.over_memory());

  Ignore lines;
  XmlScanner counted(lines, 256, 1 << 20);
  EXPECT_EQ(counted.Feed("<a>\n<b>\n\n</c>", true), XmlScanner::Status::kError);
  EXPECT_EQ(counted.line(), 4);
}

}  // namespace
}  // namespace parley
