// Measures the Excel path on a generated workbook: loading, listing, counting and previewing it,
// and an Excel SMS send of every row to the gateway simulator and to a gateway that only counts
// (bench/count_sink.h), both on loopback; the full check of a send (every row read as the send
// reads it) beside the distinct count; beside Debian's xlsx2csv converting the same file, when it
// is installed. The last line adds up a send from a cold workbook: load, check, send.
//
//   excel_bench [--rows N] [--keep FILE]
//
// Prints each time, the send's messages/s and the peak RSS of this process.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>

#include "bench_support.h"
#include "count_sink.h"
#include "excel/workbook_loader.h"
#include "excel/workbook_writer.h"
#include "testing/gate_sim_process.h"
#include "loopback_setup.h"
#include "send/excel_send.h"
#include "sheets/excel_workbook.h"
#include "sheets/rows_check.h"
#include "sheets/workbook_rows.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int64_t PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace
}  // namespace parley

int main(int argc, char** argv) {
  using namespace parley;
  int64_t rows = 200000;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--rows") rows = std::atoll(argv[i + 1]);
    if (flag == "--keep") keep = argv[i + 1];
  }
  testing::TempDir dir;
  const std::filesystem::path file =
      keep.empty() ? dir.path() / "bench.xlsx" : std::filesystem::path(keep);
  std::string error;
  {
    const std::vector<SheetData> sheets = {MakeCustomerSheet(rows)};
    const double write = Seconds([&] { WriteXlsx(file, sheets, XlsxOptions{}, &error); });
    std::printf("workbook: %lld rows x 5 columns, %.1f MB, written in %.2f s\n",
                static_cast<long long>(rows),
                static_cast<double>(std::filesystem::file_size(file)) / 1e6, write);
  }

  double xlsx2csv = 0;
  if (std::system("command -v xlsx2csv >/dev/null 2>&1") == 0) {
    const std::string command = "xlsx2csv '" + file.string() + "' '" +
                                (dir.path() / "bench.csv").string() + "' >/dev/null 2>&1";
    xlsx2csv = Seconds([&] { (void)std::system(command.c_str()); });
  }

  std::shared_ptr<sqlite3> loaded;
  const double load = Seconds([&] { loaded = LoadWorkbook(file, &error); });
  if (!loaded) {
    std::fprintf(stderr, "load failed: %s\n", error.c_str());
    return 1;
  }
  loaded.reset();
  std::printf("load, cold:              %8.3f s\n", load);
  if (xlsx2csv > 0) {
    std::printf("xlsx2csv, same file:     %8.3f s  (%.1fx the load time)\n", xlsx2csv,
                xlsx2csv / load);
  } else {
    std::printf("xlsx2csv: not installed (apt-get install xlsx2csv)\n");
  }

  // The commands as the engine runs them: a fresh working object each, the cache kept.
  WorkbookCache cache;
  const std::filesystem::path& path = file;
  const std::string sheet = Utf8ToAnsi("'고객 목록$'");
  std::string out;
  auto command = [&](const std::function<std::string(ExcelWorkbook&)>& run) {
    return Seconds([&] {
      ExcelWorkbook wb;
      wb.OpenWorkbook(path, &cache);
      out = run(wb);
    });
  };
  const double first = command(
      [](ExcelWorkbook& wb) { return parley::protocol::SheetListingReply(wb.ListSheets()); });
  const double listing = command(
      [](ExcelWorkbook& wb) { return parley::protocol::SheetListingReply(wb.ListSheets()); });
  const double count =
      command([&](ExcelWorkbook& wb) { return wb.CountDistinct(sheet, "phone").value; });
  const std::string distinct = out;
  const std::string preview_body = Utf8ToAnsi("3`") + sheet + "`phone`0212345678`name<Q>[name:12]" +
                                   Utf8ToAnsi("님 안녕하세요") + "`11";
  const double preview = command([&](ExcelWorkbook& wb) {
    return protocol::PreviewLines(wb.Preview(protocol::PreviewRequest::Parse(preview_body)).value);
  });
  std::printf("listing, first (loads):  %8.3f s\n", first);
  std::printf("listing, cached:         %8.3f s\n", listing);
  std::printf("count distinct, cached:  %8.3f s  (%s distinct phones)\n", count, distinct.c_str());
  std::printf("preview, cached:         %8.3f s\n", preview);

  // The full check of a send (EXCHK): every row read as the send reads it, beside the distinct
  // count above, the one full-sheet query the Excel commands already ran.
  SheetColumns check_columns;
  check_columns.sheet = sheet;
  check_columns.phone = "phone";
  check_columns.second = "0212345678";
  check_columns.two_column = false;
  const std::string check_text = "name<Q>[name:12]" + Utf8ToAnsi("님 안녕하세요");
  protocol::ExcelCheckReply check;
  auto check_rows = [&](RowDedupe dedupe) {
    check_columns.dedupe = dedupe;
    const double cpu = CpuSeconds(RUSAGE_SELF);
    const double wall = Seconds([&] {
      ExcelWorkbook wb;
      wb.OpenWorkbook(path, &cache);
      WorkbookRows cursor(wb, check_columns, check_text);
      CheckSheetRows(cursor, 0, false, &check, nullptr);
    });
    return std::pair<double, double>(wall, CpuSeconds(RUSAGE_SELF) - cpu);
  };
  const auto [check_wall, check_cpu] = check_rows(RowDedupe::kNone);
  std::printf(
      "full check, cached:      %8.3f s  CPU %.3f s  (%.1fx the distinct count; "
      "%lld messages, %lld left out)\n",
      check_wall, check_cpu, check_wall / count, static_cast<long long>(check.messages),
      static_cast<long long>(check.invalid));
  const auto [once_wall, once_cpu] = check_rows(RowDedupe::kNumbers);
  std::printf("full check, each number once: %3.3f s  CPU %.3f s  (%lld duplicates)\n", once_wall,
              once_cpu, static_cast<long long>(check.duplicates));

  // An Excel SMS send of every row: to the gateway simulator, which records every message (the
  // check that all of them arrived), and to a gateway that only counts them, so that the figure
  // shows the sender and not the simulator's record.
  ExcelOrder order;
  order.count = rows;
  order.title = "bench";
  order.text = "name<Q>[name:12]" + Utf8ToAnsi("님 안녕하세요");
  order.second = "0212345678";
  order.two_column = false;
  SheetColumns columns;
  columns.sheet = sheet;
  columns.phone = "phone";
  columns.second = order.second;
  columns.two_column = false;
  ExcelWorkbook wb;
  wb.OpenWorkbook(path, &cache);
  double counting_send = 0;
  auto send_to = [&](const char* gateway, uint16_t port) {
    asio::io_context io(1);
    const SendSetup setup = LoopbackSetup(io.get_executor(), port, dir.path().string());
    std::string report;
    const double cpu = CpuSeconds(RUSAGE_SELF);
    const double send = Seconds([&] {
      auto job = [&]() -> asio::awaitable<void> {
        WorkbookRows cursor(wb, columns, order.text);
        report = (co_await SendExcel(setup, cursor, order)).report;
      };
      asio::co_spawn(io, job(), asio::detached);
      io.run();
    });
    counting_send = send;
    std::printf("excel SMS send, %-9s %8.3f s  %10.0f messages/s  (%s; sender CPU %.3f s)\n",
                gateway, send, static_cast<double>(rows) / send, report.empty() ? "FAILED" : "ok",
                CpuSeconds(RUSAGE_SELF) - cpu);
    return !report.empty();
  };
  const std::filesystem::path gate_dir = dir.path() / "gate";
  std::filesystem::create_directories(gate_dir);
  bool sent = false;
  {
    testing::GateSim gate(gate_dir);
    sent = send_to("gatesim:", gate.port());
  }
  CountSink sink;
  const bool counted = send_to("counting:", sink.port());
  const CountSink::Counts counts = sink.Wait();
  if (counts.messages != rows) {
    std::printf("the counting gateway read %lld messages of %lld\n",
                static_cast<long long>(counts.messages), static_cast<long long>(rows));
  }
  std::printf("end to end, counting:    %8.3f s  (cold load %.3f + full check %.3f + send %.3f)\n",
              load + check_wall + counting_send, load, check_wall, counting_send);
  std::printf("peak RSS: %lld KB\n", static_cast<long long>(PeakRssKb()));
  return sent && counted && counts.messages == rows ? 0 : 1;
}
