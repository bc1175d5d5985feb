#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "excel/recording_sink.h"
#include "excel/workbook_readers.h"
#include "excel/workbook_writer.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

using Cells = std::vector<std::string>;

const std::string kMainNs = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
const std::string kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

struct TestSheet {
  std::string name;
  std::string data;  // the content of <sheetData>
};

// A workbook package of the sheets, in order, with optional shared strings and styles parts
// (the content of <sst> and <styleSheet>) and workbookPr attributes.
std::vector<ZipEntry> Package(const std::vector<TestSheet>& sheets, const std::string& shared = "",
                              const std::string& styles = "", const std::string& workbook_pr = "") {
  std::vector<ZipEntry> entries;
  std::string workbook = "<workbook " + kMainNs + " xmlns:r=\"" + kRelNs + "\">";
  if (!workbook_pr.empty()) workbook += "<workbookPr " + workbook_pr + "/>";
  workbook += "<sheets>";
  std::string rels = "<Relationships>";
  for (size_t i = 0; i < sheets.size(); ++i) {
    std::string n = std::to_string(i + 1);
    workbook +=
        "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRelNs +
            "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
    entries.push_back(
        {"xl/worksheets/sheet" + n + ".xml",
         "<worksheet " + kMainNs + "><sheetData>" + sheets[i].data + "</sheetData></worksheet>"});
  }
  if (!shared.empty()) {
    rels += "<Relationship Id=\"rS\" Type=\"" + kRelNs +
            "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    entries.push_back({"xl/sharedStrings.xml", "<sst " + kMainNs + ">" + shared + "</sst>"});
  }
  if (!styles.empty()) {
    rels += "<Relationship Id=\"rT\" Type=\"" + kRelNs + "/styles\" Target=\"styles.xml\"/>";
    entries.push_back({"xl/styles.xml", "<styleSheet " + kMainNs + ">" + styles + "</styleSheet>"});
  }
  entries.push_back({"xl/workbook.xml", workbook + "</sheets></workbook>"});
  entries.push_back({"xl/_rels/workbook.xml.rels", rels + "</Relationships>"});
  return entries;
}

class XlsxReaderTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return dir_.path() / "book.xlsx"; }

  bool Read(const std::vector<ZipEntry>& entries) {
    std::string error;
    EXPECT_TRUE(WriteZip(File(), entries, &error)) << error;
    return ReadFile(File());
  }

  // Reads path into a fresh sink, with a budget of its own.
  bool ReadFile(const std::filesystem::path& path) {
    sink_ = RecordingSink();
    LoadBudget budget;
    bool ok = ReadXlsx(path, sink_, budget, &error_);
    EXPECT_FALSE(sink_.order_broken);
    return ok;
  }

  // The cells of the only sheet read.
  Cells OnlySheet() const {
    EXPECT_EQ(sink_.sheets.size(), 1u);
    return sink_.sheets.empty() ? Cells() : sink_.sheets[0].cells;
  }

  testing::TempDir dir_;
  RecordingSink sink_;
  LoadBudget budget_;
  std::string error_;
};

TEST_F(XlsxReaderTest, CellTypes) {
  const std::string shared =
      "<si><t>plain</t></si>"
      "<si><r><rPr><b/></rPr><t>bold </t></r><r><t xml:space=\"preserve\">and rest</t></r>"
      "<rPh sb=\"0\" eb=\"1\"><t>phonetic</t></rPh><phoneticPr fontId=\"1\"/></si>"
      "<si><t>김철수</t></si>"
      "<si><t xml:space=\"preserve\">  two  spaces  </t></si>"
      "<si><t>line_x000D_\nbreak and _x005F_x0041_</t></si>"
      "<si><t></t></si>";
  const std::string row =
      "<row r=\"1\">"
      "<c r=\"A1\" t=\"s\"><v>0</v></c>"
      "<c r=\"B1\" t=\"s\"><v>1</v></c>"
      "<c r=\"C1\" t=\"s\"><v>2</v></c>"
      "<c r=\"D1\" t=\"s\"><v>3</v></c>"
      "<c r=\"E1\" t=\"s\"><v>4</v></c>"
      "<c r=\"F1\" t=\"s\"><v>5</v></c>"  // an empty string: not reported
      "<c r=\"G1\" t=\"inlineStr\"><is><t>inline</t></is></c>"
      "<c r=\"H1\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>runs</t></r>"
      "<rPh><t>x</t></rPh></is></c>"
      "<c r=\"I1\" t=\"str\"><f>A1&amp;\"!\"</f><v>plain!</v></c>"
      "<c r=\"J1\" t=\"b\"><v>1</v></c>"
      "<c r=\"K1\" t=\"b\"><v>0</v></c>"
      "<c r=\"L1\" t=\"e\"><v>#DIV/0!</v></c>"
      "<c r=\"M1\"><v>1012345678</v></c>"
      "<c r=\"N1\" t=\"n\"><v>0.1</v></c>"
      "<c r=\"O1\"><v>1012345678.0</v></c>"
      "<c r=\"P1\"><v>-2.5E+3</v></c>"
      "<c r=\"Q1\" s=\"0\"/>"  // styled but empty
      // A value written beside an inline string, before or after it, is not part of it.
      "<c r=\"R1\" t=\"inlineStr\"><v>1.0</v><is><t>1.</t></is></c>"
      "<c r=\"S1\" t=\"inlineStr\"><is><t>2.</t></is><v>2.0</v></c>"
      "</row>";
  ASSERT_TRUE(Read(Package({{"Sheet1", row}}, shared))) << error_;
  EXPECT_EQ(OnlySheet(), (Cells{"A1=plain", "B1=bold and rest", "C1=김철수", "D1=  two  spaces  ",
                                "E1=line\r\nbreak and _x0041_", "G1=inline", "H1=inruns",
                                "I1=plain!", "J1=TRUE", "K1=FALSE", "M1=1012345678", "N1=0.1",
                                "O1=1012345678", "P1=-2500", "R1=1.", "S1=2."}));
}

TEST_F(XlsxReaderTest, DatesFollowTheCellFormat) {
  const std::string styles =
      "<numFmts count=\"3\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/>"
      "<numFmt numFmtId=\"165\" formatCode=\"yyyy-mm-dd h:mm:ss\"/>"
      "<numFmt numFmtId=\"166\" formatCode=\"#,##0&quot;원&quot;\"/></numFmts>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"22\"/></cellStyleXfs>"
      "<cellXfs count=\"7\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/>"
      "<xf numFmtId=\"165\"/><xf numFmtId=\"166\"/><xf numFmtId=\"2\"/><xf numFmtId=\"31\"/>"
      "</cellXfs>";
  struct Case {
    const char* cell;
    const char* style;
    const char* value;
    const char* type;
    const char* expected;
  } cases[] = {
      {"A1", "0", "45356", "n", "45356"},
      {"B1", "1", "45356", "n", "2024-03-05"},
      {"C1", "2", "45356", "n", "2024-03-05"},
      {"D1", "3", "45356.6041666667", "n", "2024-03-05 14:30:00"},
      {"E1", "4", "45356", "n", "45356"},
      {"F1", "5", "45356", "n", "45356"},
      {"G1", "6", "45356", "n", "2024-03-05"},  // a built-in Korean date format
      {"H1", "9", "45356", "n", "45356"},       // no such style
      {"I1", "0", "2024-03-05T00:00:00", "d", "2024-03-05"},
      {"J1", "0", "2024-03-05T14:30:05.000Z", "d", "2024-03-05 14:30:05"},
      // Rounded to the second, as a serial is, across midnight and a month's end.
      {"K1", "0", "2014-02-14T08:27:48.765Z", "d", "2014-02-14 08:27:49"},
      {"L1", "0", "2024-02-29T23:59:59.5", "d", "2024-03-01"},
      {"M1", "0", "2024-03-05T14:30", "d", "2024-03-05 14:30:00"},
  };
  std::string row = "<row r=\"1\">";
  Cells expected;
  for (const Case& c : cases) {
    row += std::string("<c r=\"") + c.cell + "\" s=\"" + c.style + "\" t=\"" + c.type + "\"><v>" +
           c.value + "</v></c>";
    expected.push_back(std::string(c.cell) + "=" + c.expected);
  }
  row += "</row>";
  ASSERT_TRUE(Read(Package({{"Sheet1", row}}, "", styles))) << error_;
  EXPECT_EQ(OnlySheet(), expected);
}

TEST_F(XlsxReaderTest, Date1904) {
  const std::string styles = "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>";
  const std::string row =
      "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0</v></c>"
      "<c r=\"B1\" s=\"1\"><v>43894</v></c></row>";
  // Excel 2010 and later add a second, namespaced workbookPr without the attribute.
  for (const std::string workbook_pr :
       {"date1904=\"1\"", "date1904=\"true\"",
        "date1904=\"1\"/><x14:workbookPr xmlns:x14=\"urn:x14\" defaultImageDpi=\"32767\""}) {
    ASSERT_TRUE(Read(Package({{"Sheet1", row}}, "", styles, workbook_pr))) << error_;
    EXPECT_EQ(OnlySheet(), (Cells{"A1=1904-01-01", "B1=2024-03-05"})) << workbook_pr;
  }
}

TEST_F(XlsxReaderTest, PositionsFromReferencesOrSequence) {
  const std::string data =
      "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"C1\"><v>3</v></c></row>"  // B1 missing
      "<row><c><v>4</v></c><c><v>5</v></c></row>"                            // no references: row 2
      "<row r=\"5\"><c r=\"B5\"><v>6</v></c><c><v>7</v></c></row>"           // C5 follows B5
      "<row><c r=\"AB6\"><v>8</v></c></row>"                                 // row 6
      "<row r=\"7\"/>";
  ASSERT_TRUE(Read(Package({{"Sheet1", data}}))) << error_;
  EXPECT_EQ(OnlySheet(), (Cells{"A1=1", "C1=3", "A2=4", "B2=5", "B5=6", "C5=7", "AB6=8"}));
}

TEST_F(XlsxReaderTest, SheetsInWorkbookOrderWithAbsoluteAndRelativeTargets) {
  auto sheet = [](const std::string& text) {
    return "<worksheet " + kMainNs +
           "><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + text +
           "</t></is></c></row></sheetData></worksheet>";
  };
  std::vector<ZipEntry> entries = {
      {"_rels/.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + kRelNs +
                          "/officeDocument\" Target=\"/xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       "<x:workbook xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
       "xmlns:r=\"" +
           kRelNs +
           "\"><x:sheets>"
           "<x:sheet name=\"전화 목록\" sheetId=\"3\" r:id=\"rId3\"/>"
           "<x:sheet name=\"Chart\" sheetId=\"9\" r:id=\"rId9\"/>"
           "<x:sheet name=\"First\" sheetId=\"1\" r:id=\"rId1\"/></x:sheets></x:workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships><Relationship Id=\"rId1\" Type=\"" + kRelNs +
           "/worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/>"
           "<Relationship Id=\"rId3\" Type=\"" +
           kRelNs +
           "/worksheet\" Target=\"./worksheets/../worksheets/sheet3.xml\"/>"
           "<Relationship Id=\"rId9\" Type=\"" +
           kRelNs + "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml", sheet("first")},
      {"xl/worksheets/sheet3.xml", sheet("third")},
  };
  ASSERT_TRUE(Read(entries)) << error_;
  ASSERT_EQ(sink_.sheets.size(), 2u);
  EXPECT_EQ(sink_.sheets[0].name, "전화 목록");
  EXPECT_EQ(sink_.sheets[0].cells, Cells{"A1=third"});
  EXPECT_EQ(sink_.sheets[1].name, "First");
  EXPECT_EQ(sink_.sheets[1].cells, Cells{"A1=first"});
}

TEST_F(XlsxReaderTest, OpenpyxlFixture) {
  ASSERT_TRUE(ReadFile(std::filesystem::path(PARLEY_EXCEL_TESTDATA) / "openpyxl.xlsx")) << error_;
  ASSERT_EQ(sink_.sheets.size(), 2u);
  EXPECT_EQ(sink_.sheets[0].name, "Phone list");
  EXPECT_EQ(sink_.sheets[0].cells,
            (Cells{"A1=이름", "B1=전화", "D1=등록일", "A2=김철수", "B2=1012345678",
                   "C2=01098765432", "D2=2024-03-05", "A3=이영희", "B3=010-1234-5678", "C3=0.5",
                   "D3=2024-03-05 14:30:00"}));
  EXPECT_EQ(sink_.sheets[1].name, "Sheet2");
  EXPECT_EQ(sink_.sheets[1].cells, (Cells{"A1=memo", "B3=안녕하세요"}));
}

TEST_F(XlsxReaderTest, WriterRoundTrip) {
  SheetData data{"Phone list",
                 {{WorkbookValue("name"), std::nullopt, WorkbookValue("phone")},
                  {WorkbookValue("김 <&> \"q\""), WorkbookValue(1012345678.0),
                   WorkbookValue("01098765432"), WorkbookValue(WorkbookDate{45356.5})},
                  {},
                  {WorkbookValue(" a\tb\r\n "), WorkbookValue(0.1)}}};
  const Cells expected = {"A1=name",       "C1=phone",       "A2=김 <&> \"q\"",
                          "B2=1012345678", "C2=01098765432", "D2=2024-03-05 12:00:00",
                          "A4= a\tb\r\n ", "B4=0.1"};
  for (bool shared : {true, false}) {
    for (bool absolute : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "shared " << shared << " absolute " << absolute);
      std::string error;
      ASSERT_TRUE(WriteXlsx(File(), {data, {"Empty", {}}}, {shared, absolute}, &error)) << error;
      RecordingSink sink;
      ASSERT_TRUE(ReadXlsx(File(), sink, budget_, &error)) << error;
      ASSERT_EQ(sink.sheets.size(), 2u);
      EXPECT_EQ(sink.sheets[0].name, "Phone list");
      EXPECT_EQ(sink.sheets[0].cells, expected);
      EXPECT_TRUE(sink.sheets[1].cells.empty());
    }
  }
}

TEST_F(XlsxReaderTest, FailuresGiveReasons) {
  const std::filesystem::path fixture =
      std::filesystem::path(PARLEY_EXCEL_TESTDATA) / "openpyxl.xlsx";
  const auto size = std::filesystem::file_size(fixture);
  struct Case {
    const char* what;
    std::vector<ZipEntry> entries;  // when empty, raw is written instead
    std::string raw;
    const char* reason;
  } cases[] = {
      {"random bytes", {}, std::string("PK\x03\x04") + " not really a zip", "not a zip archive"},
      {"empty file", {}, "", "not a zip archive"},
      {"truncated zip",
       {},
       [&] {
         std::ifstream in(fixture, std::ios::binary);
         std::string bytes(size / 2, '\0');
         in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
         return bytes;
       }(),
       "not a zip archive"},
      {"no workbook", {{"hello.txt", "hi"}}, "", "not an xlsx workbook: missing xl/workbook.xml"},
      {"bad sheet XML", Package({{"Sheet1", "<row r=\"1\">\n<c r=\"A1\"><v>1</v></c>\n<c></row>"}}),
       "", "bad XML in xl/worksheets/sheet1.xml at line 3: "},
      {"bad shared index", Package({{"Sheet1", "<row><c t=\"s\"><v>7</v></c></row>"}}, "<si/>"), "",
       "shared string index 7 out of range"},
      {"bad shared strings XML",
       Package({{"Sheet1", "<row><c t=\"s\"><v>1</v></c></row>"}},
               "<si><t>a</t></si><si><t>b</si>"),
       "", "bad XML in xl/sharedStrings.xml"},
      {"bad shared strings XML, no sheet uses them",
       Package({{"Sheet1", "<row><c><v>1</v></c></row>"}}, "<si><t>a</t>"), "",
       "bad XML in xl/sharedStrings.xml"},
      {"sheet fails while many shared strings are read",
       Package({{"Sheet1", "<row r=\"3\"/><row r=\"2\"/>"}},
               [] {
                 std::string many;
                 for (int i = 0; i < 200000; ++i) many += "<si><t>x</t></si>";
                 return many;
               }()),
       "", "row 2 out of order"},
      {"rows out of order",
       Package({{"Sheet1", "<row r=\"3\"/><row r=\"2\"><c><v>1</v></c></row>"}}), "",
       "row 2 out of order"},
      {"column beyond XFD", Package({{"Sheet1", "<row><c r=\"XFE1\"><v>1</v></c></row>"}}), "",
       "out of range"},
      {"nesting too deep",
       Package({{"Sheet1",
                 [] {
                   std::string deep;
                   for (int i = 0; i < 300; ++i) deep += "<x>";
                   for (int i = 0; i < 300; ++i) deep += "</x>";
                   return deep;
                 }()}}),
       "", "nested too deeply"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.entries.empty()) {
      std::ofstream(File(), std::ios::binary | std::ios::trunc) << c.raw;
    } else {
      std::string error;
      ASSERT_TRUE(WriteZip(File(), c.entries, &error)) << error;
    }
    RecordingSink sink;
    std::string error;
    EXPECT_FALSE(ReadXlsx(File(), sink, budget_, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST_F(XlsxReaderTest, SinkStopsTheReader) {
  RecordingSink sink(1);
  std::string error;
  std::vector<ZipEntry> entries =
      Package({{"Sheet1", "<row><c><v>1</v></c><c><v>2</v></c></row>"}});
  ASSERT_TRUE(WriteZip(File(), entries, &error)) << error;
  EXPECT_FALSE(ReadXlsx(File(), sink, budget_, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(sink.sheets.at(0).cells, Cells{"A1=1"});
}

}  // namespace
}  // namespace parley
