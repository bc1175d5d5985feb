// Cold loads of a generated customer list, in CPU seconds of this process (all its threads) and
// wall seconds, side by side with the floor that decompression sets (libzip inflating every part
// of the same file) and, where it is installed, xlsx2csv converting the same file.
//
//   workbook_load_bench [--rows N,N,...] [--file PATH] [--keep DIR]
//
// --file loads the given workbook (any format) instead of generating them, for files that other
// programs wrote. --keep writes the generated workbooks into DIR and keeps them there.
// Prints, per size and format: the load's CPU and wall time, the inflate floor's CPU, load CPU /
// inflate CPU, xlsx2csv's CPU and xlsx2csv CPU / load CPU, and the peak RSS; then the load
// average.
#include <sys/resource.h>

#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "excel/workbook_loader.h"
#include "excel/workbook_writer.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

struct Cost {
  double cpu = 0;
  double wall = 0;
};

Cost Measure(const std::function<void()>& work, int who = RUSAGE_SELF) {
  const double cpu = CpuSeconds(who);
  const auto start = std::chrono::steady_clock::now();
  work();
  return {CpuSeconds(who) - cpu,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

// Inflates every part of the archive at path, as the floor of what a load must do.
void InflateAll(const fs::path& path) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (archive == nullptr) return;
  std::vector<char> buffer(1 << 16);
  const zip_int64_t entries = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < entries; ++i) {
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    if (file == nullptr) continue;
    while (zip_fread(file, buffer.data(), buffer.size()) > 0) {
    }
    zip_fclose(file);
  }
  zip_close(archive);
}

int64_t PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string a, b, c;
  file >> a >> b >> c;
  return a + " " + b + " " + c;
}

void Row(const char* format, int64_t rows, const fs::path& file, bool zipped) {
  std::string error;
  bool ok = false;
  const Cost load = Measure([&] { ok = LoadWorkbook(file, &error) != nullptr; });
  if (!ok) {
    std::printf("%-22s load failed: %s\n", format, error.c_str());
    return;
  }
  Cost inflate;
  if (zipped) inflate = Measure([&] { InflateAll(file); });
  Cost other;
  const bool xlsx = file.extension() == ".xlsx";
  if (xlsx && std::system("command -v xlsx2csv >/dev/null 2>&1") == 0) {
    const std::string command = "xlsx2csv '" + file.string() + "' /dev/null >/dev/null 2>&1";
    other = Measure([&] { (void)std::system(command.c_str()); }, RUSAGE_CHILDREN);
  }
  std::printf("%9lld  %-20s %7.1f  %8.3f %8.3f  %8.3f %6.2fx  %8.3f %6.1fx  %6lld\n",
              static_cast<long long>(rows), format, static_cast<double>(fs::file_size(file)) / 1e6,
              load.cpu, load.wall, inflate.cpu, inflate.cpu > 0 ? load.cpu / inflate.cpu : 0.0,
              other.cpu, other.cpu > 0 ? other.cpu / load.cpu : 0.0,
              static_cast<long long>(PeakRssMb()));
  std::fflush(stdout);
}

}  // namespace
}  // namespace parley

int main(int argc, char** argv) {
  using namespace parley;
  std::vector<int64_t> sizes = {200000};
  std::string given;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--file") given = argv[i + 1];
    if (std::string(argv[i]) == "--keep") keep = argv[i + 1];
    if (std::string(argv[i]) == "--rows") {
      sizes.clear();
      std::stringstream list(argv[i + 1]);
      std::string item;
      while (std::getline(list, item, ',')) sizes.push_back(std::atoll(item.c_str()));
    }
  }
  testing::TempDir dir;
  std::printf("load average at the start: %s\n", LoadAverage().c_str());
  std::printf("%9s  %-20s %7s  %8s %8s  %8s %7s  %8s %7s  %6s\n", "rows", "format", "MB",
              "load cpu", "wall", "inflate", "ratio", "xlsx2csv", "faster", "RSS MB");
  if (!given.empty()) {
    const fs::path file(given);
    Row(file.extension().c_str(), 0, file,
        file.extension() != ".csv" && file.extension() != ".xls");
    return 0;
  }
  for (const int64_t rows : sizes) {
    std::string error;
    const std::vector<SheetData> sheets = {MakeCustomerSheet(rows)};
    const fs::path folder = keep.empty() ? dir.path() : fs::path(keep);
    const std::string stem = std::to_string(rows);
    const fs::path shared = folder / (stem + "-shared.xlsx");
    const fs::path inline_strings = folder / (stem + "-inline.xlsx");
    const fs::path ods = folder / (stem + ".ods");
    const fs::path csv = folder / (stem + ".csv");
    if (!WriteXlsx(shared, sheets, XlsxOptions{}, &error) ||
        !WriteXlsx(inline_strings, sheets, XlsxOptions{false, true}, &error) ||
        !WriteOds(ods, sheets, &error) || !WriteCsv(csv, sheets[0], &error)) {
      std::fprintf(stderr, "writing the workbooks failed: %s\n", error.c_str());
      return 1;
    }
    Row("xlsx shared strings", rows, shared, true);
    Row("xlsx inline strings", rows, inline_strings, true);
    Row("ods", rows, ods, true);
    Row("csv utf-8", rows, csv, false);
  }
  std::printf("load average at the end: %s\n", LoadAverage().c_str());
  return 0;
}
