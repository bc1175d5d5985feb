#include "send/direct_send.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include <spdlog/spdlog.h>

#include "send/gateway_records.h"
#include "send/mms_bulk_socket.h"
#include "send/picture_file.h"
#include "send/send_refusals.h"
#include "send/skn_builder.h"
#include "send/skn_package.h"
#include "text/cp949.h"
#include "text/mbcs.h"
#include "text/text_codes.h"

namespace parley {
namespace {

constexpr char kFieldSep = '`';
constexpr int kMaxPictures = 3;
constexpr size_t kRecentCount = 5;

// The fields every direct send reads from its request.
struct JobFields {
  int64_t count = 0;
  std::string title;
  std::string reserve_date;
  std::string_view recipients;  // field 4, comma separated; a view into the request
  std::string callback;         // field 5 as given
  std::string text;             // field 6 decoded
};

// The fields of `request`, which must outlive them.
JobFields ReadFields(std::string_view request, std::string_view default_title) {
  const std::vector<std::string_view> f = SplitFields(request, kFieldSep);
  auto at = [&f](size_t i) { return i < f.size() ? f[i] : std::string_view(); };
  JobFields job;
  job.count = Atoi(at(1));
  job.title = std::string(at(2).empty() ? default_title : at(2));
  job.reserve_date = std::string(at(3));
  job.recipients = at(4);
  job.callback = std::string(at(5));
  job.text = DecodeUiText(at(6));
  return job;
}

// Walks the comma-separated recipient list without copying it whole.
class RecipientCursor {
 public:
  explicit RecipientCursor(std::string_view list) : rest_(list), more_(true) {}
  // The next entry; false when the list has no further entry.
  bool Next(std::string_view* entry) {
    if (!more_) return false;
    const size_t comma = rest_.find(',');
    *entry = rest_.substr(0, comma);
    if (comma == std::string_view::npos) {
      more_ = false;
    } else {
      rest_.remove_prefix(comma + 1);
    }
    return true;
  }

 private:
  std::string_view rest_;
  bool more_;
};

// Returns text without its hyphens, in *storage only when it had any.
std::string_view WithoutHyphens(std::string_view text, std::string* storage) {
  if (text.find('-') == std::string_view::npos) return text;
  *storage = RemoveHyphens(text);
  return *storage;
}

// Why a job cannot be sent: empty `log` when it can.
struct JobProblem {
  std::string log;                           // for the log
  SendRefusal refusal = SendRefusal::kNone;  // the user's reason, when there is one to give
};

JobProblem CheckJob(const JobFields& job, bool text_in_packet) {
  if (job.count < 0 || job.count > kMaxRecipientCount) {
    return {"recipient count " + std::to_string(job.count) + " out of range"};
  }
  if (HasBreakingByte(job.callback)) {
    return {"callback number holds a NUL byte or a line break", SendRefusal::kBadCallback};
  }
  if (RemoveHyphens(job.callback).size() > kMaxNumberBytes) return {"callback number too long"};
  if (text_in_packet && job.text.size() > kMaxTextBytes) {
    return {"message text of " + std::to_string(job.text.size()) + " bytes over " +
            std::to_string(kMaxTextBytes)};
  }
  RecipientCursor cursor(job.recipients);
  std::string_view entry;
  for (int64_t i = 0; i < job.count; ++i) {
    if (!cursor.Next(&entry)) {
      return {"count " + std::to_string(job.count) + " but " + std::to_string(i) + " recipients"};
    }
    if (HasBreakingByte(entry)) {
      return {"recipient " + std::to_string(i) + " holds a NUL byte or a line break",
              SendRefusal::kBadRecipient};
    }
    std::string stripped;
    const std::string_view number = WithoutHyphens(entry, &stripped);
    if (number.empty()) return {"recipient " + std::to_string(i) + " empty"};
    if (number.size() > kMaxNumberBytes) return {"recipient " + std::to_string(i) + " too long"};
  }
  return {};
}

// Runs one job: header, reply, a message per recipient with the acknowledgement wait after the
// messages with index 50, 100, ..., then the report. `package` is empty for an SMS job.
asio::awaitable<std::string> RunJob(const DirectSendSetup& setup, const JobFields& job,
                                    std::string type_code, const std::string* package,
                                    DirectSendOutput* out) {
  out->report.clear();
  out->recent.clear();
  const JobProblem problem = CheckJob(job, package == nullptr);
  if (!problem.log.empty()) {
    spdlog::warn("direct send refused: {}", problem.log);
    co_return problem.refusal == SendRefusal::kNone ? std::string(kSendFailedText)
                                                    : RefusalText(problem.refusal);
  }

  CMMSBulkSocket socket(setup.executor);
  std::error_code ec =
      co_await OpenJob(socket, setup, job.title, std::move(type_code), job.count, job.reserve_date);
  if (ec || !socket.JobAccepted()) {
    spdlog::warn("gateway job not accepted: {}", ec ? ec.message() : "refused");
    co_return std::string(kSendFailedText);
  }
  const std::string job_id = socket.JobId();

  // The callback loses its hyphens with the first message; a job of none reports it as given.
  const std::string callback = job.count > 0 ? RemoveHyphens(job.callback) : job.callback;
  RecipientCursor cursor(job.recipients);
  std::string_view entry;
  std::string stripped;
  for (int64_t i = 0; i < job.count && cursor.Next(&entry); ++i) {
    const std::string_view recipient = WithoutHyphens(entry, &stripped);
    if (package == nullptr) {
      ec = co_await socket.SendTextMessage(recipient, callback, job.text);
    } else {
      ec = co_await socket.SendFileMessage(recipient, callback, *package);
    }
    if (!ec && i != 0 && i % kAckInterval == 0) {
      ec = co_await socket.WaitReply(setup.timeout);
      if (!ec && !socket.AckOk()) {
        spdlog::warn("gateway job {}: negative acknowledgement after {} messages", job_id, i + 1);
        co_return std::string(kSendFailedText);
      }
    }
    if (ec) {
      spdlog::warn("gateway job {} failed after {} messages: {}", job_id, i, ec.message());
      co_return std::string(kSendFailedText);
    }
    if (job.count - i <= static_cast<int64_t>(kRecentCount)) out->recent.emplace_back(recipient);
  }
  ec = co_await FinishJob(socket, setup.timeout);
  if (ec) {
    spdlog::warn("gateway job {} failed at the end: {}", job_id, ec.message());
    out->recent.clear();
    co_return std::string(kSendFailedText);
  }
  out->report = SentReport(job_id, job.count, job.title, job.text, job.reserve_date, callback);
  spdlog::info("gateway job {}: {} messages sent", job_id, job.count);
  co_return SentText(job.count);
}

}  // namespace

asio::awaitable<std::error_code> OpenJob(CMMSBulkSocket& socket, const DirectSendSetup& setup,
                                         std::string title, std::string type_code, int64_t count,
                                         std::string reserve_date) {
  socket.SetServer(setup.gateway_host, setup.gateway_port);
  socket.SetIoTimeout(setup.timeout);
  JobHeader header;
  header.login_id = setup.login_id;
  header.password = setup.password;
  header.title = std::move(title);
  header.type_code = std::move(type_code);
  header.count = count;
  header.interval = kAckInterval;
  header.reserve_date = std::move(reserve_date);
  std::error_code ec = co_await socket.SendJobHeader(header);
  if (!ec) ec = co_await socket.WaitReply(setup.timeout);
  co_return ec;
}

asio::awaitable<std::error_code> FinishJob(CMMSBulkSocket& socket,
                                           std::chrono::milliseconds timeout) {
  std::error_code ec = co_await socket.EndJob(std::min(timeout, kJobEndGrace));
  co_return ec;
}

std::string SentReport(std::string_view job_id, int64_t count, std::string_view title,
                       std::string_view text, std::string_view reserve_date,
                       std::string_view from_number) {
  const std::string total = std::to_string(count);
  return FormBody({{"jobid", job_id},
                   {"type", "SMS"},
                   {"totcnt", total},
                   {"title", title},
                   {"msg", text},
                   {"resflag", reserve_date.empty() ? "1" : "2"},
                   {"reserdate", reserve_date},
                   {"fromnumber", from_number}});
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\\') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

SendRefusal ReadJobPictures(const std::string& module_dir, const std::vector<std::string>& names,
                            std::vector<JobPicture>* pictures) {
  pictures->clear();
  const std::filesystem::path folder = std::filesystem::path(module_dir) / kImageFolder;
  int named = 0;
  for (const std::string& name : names) {
    if (name.empty()) continue;
    ++named;
    if (!IsPlainFileName(name)) {
      spdlog::warn("picture name {} left out: not a plain file name", AnsiToUtf8(name));
      continue;
    }
    const std::filesystem::path file = folder / AnsiToUtf8(name);
    PictureFile picture = ReadPictureFile(file);
    if (picture.status == PictureStatus::kTooLarge) {
      spdlog::warn("MMS refused: picture {} is over {} bytes", file.string(), kMaxPictureBytes);
      pictures->clear();
      return SendRefusal::kPictureTooLarge;
    }
    if (picture.status != PictureStatus::kOk) {
      spdlog::warn("picture {} left out: {}", file.string(), PictureStatusText(picture.status));
      continue;
    }
    pictures->push_back({name, std::make_shared<const std::string>(std::move(picture.bytes))});
  }
  if (named > 0 && pictures->empty()) {
    spdlog::warn("MMS refused: none of its {} pictures can be read", named);
    return SendRefusal::kPicturesMissing;
  }
  return SendRefusal::kNone;
}

std::string SentText(int64_t count) {
  char text[sizeof(kSentFormat) + 24];
  std::snprintf(text, sizeof(text), kSentFormat, static_cast<int>(count));
  return text;
}

asio::awaitable<std::string> SendDirectSms(const DirectSendSetup& setup, std::string request,
                                           DirectSendOutput* out) {
  const JobFields job = ReadFields(request, kSknDefaultSubject);
  std::string result = co_await RunJob(setup, job, "SMS", nullptr, out);
  co_return result;
}

JobPackage BuildJobPackage(const std::string& module_dir, std::string_view title,
                           std::string_view text, std::string_view request, int picture_field) {
  std::string pictures;
  const size_t marker = request.find(kImageMarker);
  if (marker != std::string::npos && marker > 0) {
    pictures = ExtractSubString(request, picture_field, kFieldSep);
    pictures.erase(0, std::min(pictures.size(), kImageMarker.size()));
  }

  std::vector<std::string> names;
  for (int k = 0; k < kMaxPictures; ++k) {
    std::string name = ExtractSubString(pictures, k, ',');
    if (name.empty()) break;
    names.push_back(std::move(name));
  }
  JobPackage package;
  std::vector<JobPicture> read;
  package.refusal = ReadJobPictures(module_dir, names, &read);
  if (package.refusal != SendRefusal::kNone) return package;

  const std::filesystem::path folder = std::filesystem::path(module_dir) / kImageFolder;
  CSKNBuilder builder;
  builder.SetSubject(title);
  builder.AddItem("TXT", "", text);
  builder.GetTypeCode("TXT");
  for (const JobPicture& picture : read) {
    if (builder.AddFileBytes("IMG", picture.name, picture.bytes)) {
      builder.GetTypeCode("IMG");
    } else {
      spdlog::warn("picture {} left out: does not fit the package", AnsiToUtf8(picture.name));
    }
  }
  package.bytes = builder.BuildPackage();
  if (!builder.WritePackage(folder / kPackageFileName)) {
    spdlog::warn("package {} not written", (folder / kPackageFileName).string());
  }
  package.type_code = builder.GetTypeCode("");
  return package;
}

asio::awaitable<std::string> SendDirectMms(const DirectSendSetup& setup, std::string request,
                                           DirectSendOutput* out) {
  const JobFields job = ReadFields(request, kMmsDefaultTitle);
  const JobPackage package =
      BuildJobPackage(setup.module_dir, job.title, job.text, request, /*picture_field=*/7);
  if (package.refusal != SendRefusal::kNone) {
    out->report.clear();
    out->recent.clear();
    co_return RefusalText(package.refusal);
  }
  std::string result = co_await RunJob(setup, job, package.type_code, &package.bytes, out);
  co_return result;
}

}  // namespace parley
