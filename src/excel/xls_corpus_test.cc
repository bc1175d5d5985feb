// Reads every workbook of testdata/xls_corpus (public test files of spreadsheet libraries) and
// compares its listing, cell by cell, with the listing stored beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "excel/recording_sink.h"
#include "excel/workbook_readers.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(PARLEY_EXCEL_TESTDATA) / "xls_corpus";

std::vector<std::string> StoredListing(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(XlsCorpusTest, EveryWorkbookListsAsStored) {
  std::vector<fs::path> workbooks;
  for (const fs::directory_entry& entry : fs::directory_iterator(kCorpus)) {
    if (entry.path().extension() == ".xls") workbooks.push_back(entry.path());
  }
  std::sort(workbooks.begin(), workbooks.end());
  ASSERT_GE(workbooks.size(), 39u);
  for (const fs::path& workbook : workbooks) {
    fs::path stored = workbook;
    stored.replace_extension(".txt");
    ASSERT_TRUE(fs::exists(stored)) << stored;
    const std::vector<std::string> expected = StoredListing(stored);
    const std::vector<std::string> actual = ReadListing(ReadXls, workbook);
    // The first lines that differ, rather than two long lists.
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    EXPECT_TRUE(at == expected.size() && at == actual.size())
        << workbook.filename() << " line " << at + 1 << ": expected \""
        << (at < expected.size() ? expected[at] : "(end)") << "\", got \""
        << (at < actual.size() ? actual[at] : "(end)") << "\"";
  }
}

}  // namespace
}  // namespace parley
