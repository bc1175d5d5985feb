// Measures loading an .xls workbook at the format's row limit: a generated BIFF8 file of 65,535
// rows of five columns (Korean names, phone numbers as numbers and as text, dates, amounts), read
// by the .xls reader alone and loaded whole into the in-memory database; beside the other readers
// Debian has, when installed: xlrd (`python3-xlrd`, the reader most tools build on, which lists
// this file exactly as the engine does) reading every cell, and catdoc's xls2csv (`catdoc`, a
// reader in C, faster but wrong on 16-bit text split over CONTINUE records) converting it.
//
//   xls_bench [--rows N] [--keep FILE]
//
// Prints the best of three runs of each, in wall and CPU seconds.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "excel/workbook_loader.h"
#include "excel/workbook_readers.h"
#include "excel/xls_writer.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

using Clock = std::chrono::steady_clock;

struct Times {
  double wall = 1e9;
  double cpu = 1e9;
};

// The best of three runs; CPU of this process and of the children it waited for.
Times Best(const std::function<void()>& work) {
  Times best;
  for (int run = 0; run < 3; ++run) {
    const double cpu = CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    work();
    best.wall = std::min(best.wall, std::chrono::duration<double>(Clock::now() - start).count());
    best.cpu = std::min(best.cpu, CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN) - cpu);
  }
  return best;
}

// Counts what the reader hands on.
struct CountingSink : SheetSink {
  bool BeginSheet(std::string_view) override { return true; }
  bool Cell(uint32_t, uint32_t, std::string_view value) override {
    ++cells;
    bytes += value.size();
    return true;
  }
  bool EndSheet() override { return true; }
  size_t cells = 0;
  size_t bytes = 0;
};

SheetData MakeSheet(int64_t rows) {
  const char* family[] = {"김", "이", "박", "최", "정", "강", "조", "윤"};
  const char* given[] = {"민준", "서연", "도윤", "하은", "시우", "지유", "주원", "서윤"};
  SheetData sheet;
  sheet.name = "고객 목록";
  sheet.rows.push_back({std::string("name"), std::string("phone"), std::string("mobile"),
                        std::string("joined"), std::string("amount")});
  for (int64_t i = 1; i < rows; ++i) {
    const std::string digits = std::to_string(100000000 + i % 100000000).substr(1);
    sheet.rows.push_back({std::string(family[i % 8]) + given[(i / 8) % 8] + std::to_string(i),
                          static_cast<double>(1000000000 + i),
                          "010-" + digits.substr(0, 4) + "-" + digits.substr(4),
                          WorkbookDate{40000.0 + static_cast<double>(i % 5000)},
                          static_cast<double>((i * 7919) % 1000000) / 100.0});
  }
  return sheet;
}

void Print(const char* what, const Times& times) {
  std::printf("%-34s %7.3f s wall  %7.3f s CPU\n", what, times.wall, times.cpu);
}

}  // namespace
}  // namespace parley

int main(int argc, char** argv) {
  using namespace parley;
  int64_t rows = 65535;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--rows") rows = std::atoll(argv[i + 1]);
    if (flag == "--keep") keep = argv[i + 1];
  }
  rows = std::clamp<int64_t>(rows, 1, 65536);
  testing::TempDir dir;
  const std::filesystem::path file =
      keep.empty() ? dir.path() / "bench.xls" : std::filesystem::path(keep);
  std::string error;
  if (!WriteXls(file, {MakeSheet(rows)}, &error)) {
    std::fprintf(stderr, "xls_bench: %s\n", error.c_str());
    return 1;
  }
  std::printf("%lld rows x 5 columns, %.1f MB\n", static_cast<long long>(rows),
              static_cast<double>(std::filesystem::file_size(file)) / 1e6);

  CountingSink counted;
  const Times read = Best([&] {
    CountingSink sink;
    LoadBudget budget;
    if (!ReadXls(file, sink, budget, &error))
      std::fprintf(stderr, "xls_bench: %s\n", error.c_str());
    counted = sink;
  });
  std::printf("(%zu cells, %.1f MB of text)\n", counted.cells,
              static_cast<double>(counted.bytes) / 1e6);
  Print("read (.xls reader alone)", read);
  const Times load = Best([&] {
    if (!LoadWorkbook(file, &error)) std::fprintf(stderr, "xls_bench: %s\n", error.c_str());
  });
  Print("load into the database", load);

  // Other readers: a name, how to tell it is there, the command.
  struct Other {
    const char* name;
    std::string probe;
    std::string command;
  } others[] = {
      {"xlrd, same file", "/usr/bin/python3 -c 'import xlrd' 2>/dev/null",
       "/usr/bin/python3 -c 'import sys, xlrd; b = xlrd.open_workbook(sys.argv[1]); "
       "[s.row_values(r) for s in b.sheets() for r in range(s.nrows)]' '" +
           file.string() + "'"},
      {"catdoc xls2csv, same file", "command -v xls2csv >/dev/null 2>&1",
       "xls2csv -d utf-8 '" + file.string() + "' > /dev/null"},
  };
  for (const Other& other : others) {
    if (std::system(other.probe.c_str()) != 0) {
      std::printf("%s: not installed\n", other.name);
      continue;
    }
    const Times times = Best([&] { (void)std::system(other.command.c_str()); });
    Print(other.name, times);
    std::printf("  load takes %.2fx its CPU\n", load.cpu / times.cpu);
  }
  return 0;
}
