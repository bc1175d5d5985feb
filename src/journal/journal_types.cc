#include "journal/journal_types.h"

#include <algorithm>
#include <array>
#include <utility>

namespace parley {
namespace {

constexpr std::array<std::pair<JobEnding, std::string_view>, 9> kEndingNames = {{
    {JobEnding::kRunning, "running"},
    {JobEnding::kDone, "done"},
    {JobEnding::kRefused, "refused"},
    {JobEnding::kNoAnswer, "no-answer"},
    {JobEnding::kClosed, "closed"},
    {JobEnding::kNack, "nack"},
    {JobEnding::kCancelled, "cancelled"},
    {JobEnding::kFailed, "failed"},
    {JobEnding::kInterrupted, "interrupted"},
}};

}  // namespace

std::string_view EndingName(JobEnding ending) {
  for (const auto& [value, name] : kEndingNames) {
    if (value == ending) return name;
  }
  return "failed";
}

JobEnding EndingFromName(std::string_view name) {
  for (const auto& [value, known] : kEndingNames) {
    if (known == name) return value;
  }
  return JobEnding::kFailed;
}

std::string_view StateName(RecipientState state) {
  switch (state) {
    case RecipientState::kAcknowledged:
      return "acknowledged";
    case RecipientState::kInDoubt:
      return "in doubt";
    case RecipientState::kNotSent:
      break;
  }
  return "not sent";
}

std::string_view ReportStateName(ReportState state) {
  switch (state) {
    case ReportState::kPending:
      return "pending";
    case ReportState::kPosted:
      return "posted";
    case ReportState::kRefused:
      return "refused";
    case ReportState::kNone:
      break;
  }
  return "none";
}

namespace {

// The recipients [0, n) confirmed by the gateway, and those handed out, both within the total.
int64_t Confirmed(const JournalJob& job) {
  const int64_t confirmed =
      job.ending == JobEnding::kDone ? std::max(job.acknowledged, job.handed) : job.acknowledged;
  return std::clamp(confirmed, int64_t{0}, job.total);
}
int64_t HandedOut(const JournalJob& job) { return std::clamp(job.handed, int64_t{0}, job.total); }

}  // namespace

RecipientState JournalJob::StateOf(int64_t index) const {
  if (index < Confirmed(*this)) return RecipientState::kAcknowledged;
  if (index < HandedOut(*this)) return RecipientState::kInDoubt;
  return RecipientState::kNotSent;
}

JobCounts JournalJob::Counts() const {
  JobCounts counts;
  counts.total = total;
  counts.acknowledged = Confirmed(*this);
  counts.in_doubt = std::max<int64_t>(0, HandedOut(*this) - counts.acknowledged);
  counts.not_sent = total - counts.acknowledged - counts.in_doubt;
  return counts;
}

}  // namespace parley
