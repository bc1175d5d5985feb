// What the send journal costs a job as a send records it: the job before its header, then every
// recipient and, before each 50 leave (the acknowledgement interval), the progress on the job's
// tape, and the ending; then folding the tape into the database (done before the next job),
// beside committing each stride to the database directly (50 and 1,000 recipients a
// transaction). SMS jobs of 100,000 and 999,999 recipients with one shared text (the typed-list
// case) and with a text per recipient (a workbook template), and the file size each leaves.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "journal/send_journal.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void Run(const fs::path& dir, size_t total, bool own_texts, size_t stride) {
  const fs::path path = dir / parley::kJournalFileName;
  fs::remove(path);
  std::vector<parley::JournalRecipient> recipients(total);
  for (size_t i = 0; i < total; ++i) {
    recipients[i].number = "010" + std::to_string(10000000 + i);
    if (own_texts)
      recipients[i].content = "[customer " + std::to_string(i) + "] your order has shipped";
  }
  auto opened = parley::SendJournal::Open(path, 0);
  if (!opened.journal) {
    std::fprintf(stderr, "journal: %s\n", opened.error.c_str());
    return;
  }
  parley::JournalJobInfo info;
  info.command = "DSEND";
  info.kind = "SMS";
  info.text = "your order has shipped";
  std::string error;
  const std::span<const parley::JournalRecipient> all(recipients);
  const auto start = Clock::now();
  const auto id = opened.journal->BeginJob(info, static_cast<int64_t>(total), {}, 0, &error);
  if (stride == 0) {  // the tape, as a send writes it
    for (size_t i = 0; i < total; ++i) {
      opened.journal->AddRecipient(*id, all[i].number, all[i].content);
      if ((i + 1) % 50 == 0 || i + 1 == total) {
        opened.journal->Checkpoint(*id, static_cast<int64_t>(i), static_cast<int64_t>(i + 1));
      }
    }
  }
  for (size_t first = 0; stride > 0 && first < total; first += stride) {
    const size_t n = std::min(stride, total - first);
    opened.journal->Record(*id, all.subspan(first, n), static_cast<int64_t>(first),
                           static_cast<int64_t>(first + n));
  }
  const auto sent = Clock::now();
  opened.journal->EndJob(*id, parley::JobEnding::kDone, static_cast<int64_t>(total), 0);
  const auto end = Clock::now();
  opened.journal.reset();
  // Folding the tape into the database, which the next job or the next reading of recipients
  // does (here: opening the journal again).
  const auto fold_start = Clock::now();
  parley::SendJournal::Open(path, 0);
  const auto folded = Clock::now();
  auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("%9zu  %-14s  %8s  %11.1f  %8.1f  %8.1f  %8.1f\n", total,
              own_texts ? "text each" : "shared text",
              stride == 0 ? "tape 50" : std::to_string(stride).c_str(), ms(sent - start),
              ms(end - sent), ms(folded - fold_start),
              static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0));
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("journal-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::printf("%9s  %-14s  %8s  %11s  %8s  %8s\n", "recipients", "texts", "commits", "in send ms",
              "end ms", "file MB");
  for (size_t total : {100000ul, 999999ul}) {
    for (size_t stride : {0ul, 50ul, 1000ul}) {
      Run(dir, total, false, stride);
      Run(dir, total, true, stride);
    }
  }
  fs::remove_all(dir);
}
