// Cold loads of a generated customer list (five columns: a Korean name, a phone as a number and
// as text, an amount, a Korean note), each in a process of its own, side by side with what the
// same file costs elsewhere on this machine:
//   - the inflate floor: zlib inflating the parts the load reads (CPU), and the largest part
//     alone (wall);
//   - the best other reader we can run here: xlsx2csv for .xlsx (Debian's xlsx2csv), xlrd
//     reading every cell for .xls (python3-xlrd, what most tools build on), the sqlite3 shell
//     importing the CSV into an in-memory table (the same result as ours, in C); none for .ods.
//
//   workbook_load_bench [--rows N,N,...] [--runs N] [--file PATH] [--keep DIR]
//
// --rows gives the sizes in rows with the header (default 200000,500000,1048576, the last the
// formats' limit); .xls is loaded once, at 65,535 rows (its format's limit). Each load runs
// --runs times (3), the run of median CPU printed. --file loads the given workbook instead, for
// files other programs wrote.
// --keep writes the generated workbooks into DIR and keeps them there.
// Each row prints the load's CPU and wall seconds, the inflate floor and its ratios, the other
// reader's CPU and how many times faster the load is, how much the load grew the peak RSS beside
// the cell text stored, and the CPU per 100,000 rows (linear in the rows when it stays flat).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "db/sql_text.h"
#include "excel/workbook_loader.h"
#include "excel/workbook_writer.h"
#include "excel/xls_writer.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// What one load in a child process reports.
struct LoadFigures {
  bool ok = false;
  double cpu = 0;
  double wall = 0;
  double rss_mb = 0;   // peak RSS grown by the load
  double text_mb = 0;  // the cell text stored, all tables
  std::string error;
};

// The text stored in every table of db, in bytes.
uint64_t StoredText(sqlite3* db) {
  std::vector<std::string> tables;
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'table'", -1, &stmt, nullptr);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
  }
  sqlite3_finalize(stmt);
  uint64_t bytes = 0;
  for (const std::string& table : tables) {
    const std::string sql = "select * from " + QuoteIdentifier(table);
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        bytes += static_cast<uint64_t>(sqlite3_column_bytes(stmt, i));
      }
    }
    sqlite3_finalize(stmt);
  }
  return bytes;
}

// The child: loads path and prints its figures on one line.
int LoadInThisProcess(const fs::path& path) {
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const double cpu = CpuSeconds(RUSAGE_SELF);
  const double start = Now();
  std::string error;
  std::shared_ptr<sqlite3> db = LoadWorkbook(path, &error);
  const double used = CpuSeconds(RUSAGE_SELF) - cpu;
  const double wall = Now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  if (db == nullptr) {
    std::printf("error %s\n", error.c_str());
    return 1;
  }
  std::printf("ok %.4f %.4f %.1f %.2f\n", used, wall,
              static_cast<double>(usage.ru_maxrss - before.ru_maxrss) / 1024,
              static_cast<double>(StoredText(db.get())) / 1e6);
  return 0;
}

LoadFigures LoadOnceInChild(const char* self, const fs::path& path) {
  LoadFigures figures;
  const std::string command = std::string("'") + self + "' --load '" + path.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return figures;
  char line[4096] = {};
  if (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::istringstream in(line);
    std::string status;
    in >> status;
    if (status == "ok") {
      in >> figures.cpu >> figures.wall >> figures.rss_mb >> figures.text_mb;
      figures.ok = true;
    } else {
      std::getline(in, figures.error);
    }
  }
  pclose(pipe);
  return figures;
}

// The load with the median CPU of `runs` loads, each in a child process.
LoadFigures LoadInChild(const char* self, const fs::path& path, int runs) {
  std::vector<LoadFigures> all;
  for (int i = 0; i < runs; ++i) {
    all.push_back(LoadOnceInChild(self, path));
    if (!all.back().ok) return all.back();
  }
  std::sort(all.begin(), all.end(),
            [](const LoadFigures& a, const LoadFigures& b) { return a.cpu < b.cpu; });
  return all[all.size() / 2];
}

// CPU seconds of a child command (0 when it is not installed or fails).
double ChildCpu(const std::string& command) {
  const double before = CpuSeconds(RUSAGE_CHILDREN);
  if (std::system(command.c_str()) != 0) return 0;
  return CpuSeconds(RUSAGE_CHILDREN) - before;
}

bool Installed(const char* command) {
  return std::system((std::string("command -v ") + command + " >/dev/null 2>&1").c_str()) == 0;
}

// Inflates each named part of the archive with zlib; returns the CPU seconds, and the wall
// seconds of the largest part alone in *largest_wall.
double InflateParts(const fs::path& path, const std::vector<std::string>& parts,
                    double* largest_wall) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (archive == nullptr) return 0;
  std::vector<std::vector<unsigned char>> raw;
  zip_uint64_t largest = 0;
  size_t largest_index = 0;
  for (const std::string& part : parts) {
    zip_stat_t stat;
    if (zip_stat(archive, part.c_str(), 0, &stat) != 0) continue;
    std::vector<unsigned char> bytes(stat.comp_size);
    zip_file_t* file = zip_fopen(archive, part.c_str(), ZIP_FL_COMPRESSED);
    if (file == nullptr) continue;
    zip_fread(file, bytes.data(), bytes.size());
    zip_fclose(file);
    if (stat.size > largest) largest = stat.size, largest_index = raw.size();
    raw.push_back(std::move(bytes));
  }
  zip_close(archive);
  std::vector<unsigned char> out(1 << 16);
  auto inflate_one = [&](std::vector<unsigned char>& in) {
    z_stream stream{};
    inflateInit2(&stream, -MAX_WBITS);
    stream.next_in = in.data();
    stream.avail_in = static_cast<uInt>(in.size());
    uLong crc = crc32(0, nullptr, 0);
    int rc;
    do {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&stream, Z_NO_FLUSH);
      crc = crc32(crc, out.data(), static_cast<uInt>(out.size() - stream.avail_out));
    } while (rc == Z_OK);
    inflateEnd(&stream);
    return crc;
  };
  const double start = Now();
  if (!raw.empty()) inflate_one(raw[largest_index]);
  *largest_wall = Now() - start;
  const double cpu = CpuSeconds(RUSAGE_SELF);
  for (auto& in : raw) inflate_one(in);
  return CpuSeconds(RUSAGE_SELF) - cpu;
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string a, b, c;
  file >> a >> b >> c;
  return a + " " + b + " " + c;
}

struct Format {
  const char* name;
  fs::path file;
  std::vector<std::string> parts;  // read by the load (zipped formats)
  std::string other;               // the other reader's command, {} for the file
  const char* other_name;
};

void PrintHeader() {
  std::printf("%9s  %-18s %6s  %7s %6s  %7s %6s  %6s %6s  %-9s %7s %6s  %6s %6s %5s  %6s\n", "rows",
              "format", "MB", "load", "wall", "inflate", "ratio", "part", "wall", "other", "cpu",
              "faster", "RSS +", "text", "RSS/t", "/100k");
  std::printf("%9s  %-18s %6s  %7s %6s  %7s %6s  %6s %6s  %-9s %7s %6s  %6s %6s %5s  %6s\n", "", "",
              "", "cpu s", "s", "cpu s", "x", "wall s", "x", "reader", "s", "x", "", "MB", "",
              "cpu s");
}

// Loads format `runs` times (the median is printed: the machine's speed drifts).
void Row(const char* self, int runs, int64_t rows, const Format& format) {
  const LoadFigures load = LoadInChild(self, format.file, runs);
  if (!load.ok) {
    std::printf("%9lld  %-18s load failed: %s\n", static_cast<long long>(rows), format.name,
                load.error.c_str());
    return;
  }
  double part_wall = 0;
  const double inflate =
      format.parts.empty() ? 0 : InflateParts(format.file, format.parts, &part_wall);
  double other = 0;
  if (!format.other.empty()) {
    std::string command = format.other;
    const size_t at = command.find("{}");
    if (at != std::string::npos) command.replace(at, 2, "'" + format.file.string() + "'");
    other = ChildCpu(command + " >/dev/null 2>&1");
  }
  std::printf(
      "%9lld  %-18s %6.1f  %7.3f %6.3f  %7.3f %6.2f  %6.3f %6.2f  %-9s %7.3f %6.1f  %6.0f %6.1f "
      "%5.2f  %6.3f\n",
      static_cast<long long>(rows), format.name,
      static_cast<double>(fs::file_size(format.file)) / 1e6, load.cpu, load.wall, inflate,
      inflate > 0 ? load.cpu / inflate : 0.0, part_wall,
      part_wall > 0 ? load.wall / part_wall : 0.0, other > 0 ? format.other_name : "-", other,
      other > 0 ? other / load.cpu : 0.0, load.rss_mb, load.text_mb,
      load.text_mb > 0 ? load.rss_mb / load.text_mb : 0.0,
      rows > 0 ? load.cpu * 100000.0 / static_cast<double>(rows) : 0.0);
  std::fflush(stdout);
}

bool WriteCp949Csv(const fs::path& utf8, const fs::path& cp949) {
  std::ifstream in(utf8, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::ofstream out(cp949, std::ios::binary);
  out << Utf8ToAnsi(text.str());
  return static_cast<bool>(out);
}

}  // namespace
}  // namespace parley

int main(int argc, char** argv) {
  using namespace parley;
  std::vector<int64_t> sizes = {200000, 500000, 1048576};
  std::string given;
  std::string keep;
  int runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--load") return LoadInThisProcess(argv[i + 1]);
    if (flag == "--file") given = argv[i + 1];
    if (flag == "--keep") keep = argv[i + 1];
    if (flag == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    if (flag == "--rows") {
      sizes.clear();
      std::stringstream list(argv[i + 1]);
      std::string item;
      while (std::getline(list, item, ',')) sizes.push_back(std::atoll(item.c_str()));
    }
  }
  const char* self = argv[0];
  const bool xlsx2csv = Installed("xlsx2csv");
  const bool xlrd = std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") == 0;
  const bool sqlite_shell = Installed("sqlite3");
  const std::string xlsx_other = xlsx2csv ? "xlsx2csv {} /dev/null" : "";
  const std::string xls_other =
      xlrd ? "/usr/bin/python3 -c \"import sys, xlrd\nb = xlrd.open_workbook(sys.argv[1])\nfor s "
             "in b.sheets():\n  [s.row_values(r) for r in range(s.nrows)]\" {}"
           : "";
  const std::string csv_other =
      sqlite_shell ? "sqlite3 :memory: '.import --csv {} t' 'select count(*) from t'" : "";

  testing::TempDir dir;
  std::printf("load average at the start: %s\n", LoadAverage().c_str());
  PrintHeader();
  if (!given.empty()) {
    const fs::path file(given);
    const std::string ext = file.extension().string();
    Format format{ext.c_str(), file, {}, ext == ".xlsx" ? xlsx_other : "", "xlsx2csv"};
    if (ext == ".xlsx" || ext == ".ods") {
      int code = 0;
      if (zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY, &code)) {
        for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
          format.parts.emplace_back(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
        }
        zip_close(archive);
      }
    }
    Row(self, runs, 0, format);
    return 0;
  }
  const fs::path folder = keep.empty() ? dir.path() : fs::path(keep);
  const std::vector<std::string> shared_parts = {
      "_rels/.rels",   "xl/workbook.xml",      "xl/_rels/workbook.xml.rels",
      "xl/styles.xml", "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml"};
  const std::vector<std::string> inline_parts = {"_rels/.rels", "xl/workbook.xml",
                                                 "xl/_rels/workbook.xml.rels", "xl/styles.xml",
                                                 "xl/worksheets/sheet1.xml"};
  for (const int64_t rows : sizes) {
    std::string error;
    // A header row and rows - 1 customers: 1,048,576 rows in all is the formats' own limit.
    const std::vector<SheetData> sheets = {MakeCustomerSheet(rows - 1)};
    const std::string stem = std::to_string(rows);
    const fs::path shared = folder / (stem + "-shared.xlsx");
    const fs::path inline_strings = folder / (stem + "-inline.xlsx");
    const fs::path ods = folder / (stem + ".ods");
    const fs::path csv = folder / (stem + ".csv");
    const fs::path csv_cp949 = folder / (stem + "-cp949.csv");
    if (!WriteXlsx(shared, sheets, XlsxOptions{}, &error) ||
        !WriteXlsx(inline_strings, sheets, XlsxOptions{false, true}, &error) ||
        !WriteOds(ods, sheets, &error) || !WriteCsv(csv, sheets[0], &error) ||
        !WriteCp949Csv(csv, csv_cp949)) {
      std::fprintf(stderr, "writing the workbooks failed: %s\n", error.c_str());
      return 1;
    }
    Row(self, runs, rows, {"xlsx shared strings", shared, shared_parts, xlsx_other, "xlsx2csv"});
    Row(self, runs, rows,
        {"xlsx inline strings", inline_strings, inline_parts, xlsx_other, "xlsx2csv"});
    Row(self, runs, rows, {"ods", ods, {"content.xml"}, "", ""});
    Row(self, runs, rows, {"csv utf-8", csv, {}, csv_other, "sqlite3"});
    Row(self, runs, rows, {"csv cp949", csv_cp949, {}, csv_other, "sqlite3"});
  }
  const int64_t xls_rows = 65535;
  std::string error;
  const fs::path xls = folder / "65535.xls";
  if (!WriteXls(xls, {MakeCustomerSheet(xls_rows - 1)}, &error)) {
    std::fprintf(stderr, "writing the .xls workbook failed: %s\n", error.c_str());
    return 1;
  }
  Row(self, runs, xls_rows, {"xls", xls, {}, xls_other, "xlrd"});
  std::printf("load average at the end: %s\n", LoadAverage().c_str());
  return 0;
}
