// Reads every workbook of the corpora in testdata (public test files of spreadsheet libraries,
// one folder per format) and compares its listing, cell by cell, with the listing stored beside
// it (NAME.txt beside NAME.xlsx; the .csv corpus keeps its listings as NAME.listing).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "excel/recording_sink.h"
#include "excel/workbook_readers.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

using Reader = bool (*)(const fs::path&, SheetSink&, LoadBudget&, std::string*);

struct Corpus {
  const char* folder;
  std::vector<std::string> extensions;  // of the workbooks
  const char* listing_extension;
  Reader read;
  size_t at_least;  // workbooks, so that a lost folder cannot pass
};

const Corpus kCorpora[] = {
    {"xls_corpus", {".xls"}, ".txt", ReadXls, 39},
    {"xlsx_corpus", {".xlsx", ".xlsm"}, ".txt", ReadXlsx, 45},
    {"ods_corpus", {".ods"}, ".txt", ReadOds, 23},
    {"csv_corpus", {".csv", ".txt"}, ".listing", ReadCsv, 5},
};

// Names a corpus by its folder in test output.
void PrintTo(const Corpus& corpus, std::ostream* out) { *out << corpus.folder; }

std::vector<std::string> StoredListing(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A listing with line breaks, tabs and backslashes in cell text written as \n, \r, \t and \\,
// one line per sheet or cell; a reason naming the file names it without its folder, so that the
// listing holds anywhere.
std::vector<std::string> Escaped(const std::vector<std::string>& lines, const fs::path& file) {
  std::vector<std::string> out;
  for (std::string line : lines) {
    const size_t at = line.find(file.string());
    if (at != std::string::npos) line.replace(at, file.string().size(), file.filename().string());
    std::string escaped;
    for (char c : line) {
      switch (c) {
        case '\n':
          escaped += "\\n";
          break;
        case '\r':
          escaped += "\\r";
          break;
        case '\t':
          escaped += "\\t";
          break;
        case '\\':
          escaped += "\\\\";
          break;
        default:
          escaped += c;
      }
    }
    out.push_back(std::move(escaped));
  }
  return out;
}

class WorkbookCorpusTest : public testing::TestWithParam<Corpus> {};

TEST_P(WorkbookCorpusTest, EveryWorkbookListsAsStored) {
  const Corpus& corpus = GetParam();
  const fs::path folder = fs::path(PARLEY_EXCEL_TESTDATA) / corpus.folder;
  std::vector<fs::path> workbooks;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string extension = entry.path().extension().string();
    if (std::find(corpus.extensions.begin(), corpus.extensions.end(), extension) !=
        corpus.extensions.end()) {
      workbooks.push_back(entry.path());
    }
  }
  std::sort(workbooks.begin(), workbooks.end());
  ASSERT_GE(workbooks.size(), corpus.at_least);
  for (const fs::path& workbook : workbooks) {
    fs::path stored = workbook;
    stored.replace_extension(corpus.listing_extension);
    ASSERT_TRUE(fs::exists(stored)) << stored;
    const std::vector<std::string> expected = StoredListing(stored);
    const std::vector<std::string> actual = Escaped(ReadListing(corpus.read, workbook), workbook);
    // The first lines that differ, rather than two long lists.
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    EXPECT_TRUE(at == expected.size() && at == actual.size())
        << workbook.filename() << " line " << at + 1 << ": expected \""
        << (at < expected.size() ? expected[at] : "(end)") << "\", got \""
        << (at < actual.size() ? actual[at] : "(end)") << "\"";
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, WorkbookCorpusTest, testing::ValuesIn(kCorpora),
                         [](const testing::TestParamInfo<Corpus>& corpus) {
                           std::string name = corpus.param.folder;
                           return name.substr(0, name.find('_'));
                         });

}  // namespace
}  // namespace parley
