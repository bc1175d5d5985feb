#include "commands/sent_reports.h"

#include <ctime>

#include <spdlog/spdlog.h>

#include "engine/engine.h"
#include "journal/send_journal.h"
#include "web/web_service.h"

namespace parley {

asio::awaitable<void> PostSentReports(Engine& engine, std::string report) {
  WebService& web = engine.services().web();
  SendJournal* journal = engine.services().journal();
  bool report_posted = report.empty();
  if (journal != nullptr) {
    const int64_t now = std::time(nullptr);
    for (const SendJournal::PendingReport& pending :
         journal->TakeReportsToRetry(now, engine.services().config().report_retry_seconds)) {
      const WebResult result = co_await web.ReportSent(pending.report);
      if (pending.report == report) report_posted = true;
      if (!result.ok) {
        spdlog::warn(
            "sent report of journal job {} did not reach the web service; it is posted "
            "again later",
            pending.job);
        break;
      }
      const bool taken = result.text.starts_with('1');
      if (!taken) spdlog::warn("the web service refused the sent report of job {}", pending.job);
      journal->MarkReportAnswered(pending.job, taken, std::time(nullptr));
    }
  }
  if (!report_posted) co_await web.ReportSent(report);
}

}  // namespace parley
