#include "send/group_send.h"

#include <string_view>
#include <system_error>
#include <vector>

#include <spdlog/spdlog.h>

#include "db/address_book.h"
#include "db/db_exception.h"
#include "send/gateway_error.h"
#include "send/gateway_records.h"
#include "send/mms_bulk_socket.h"
#include "send/send_refusals.h"
#include "send/skn_package.h"
#include "text/cp949.h"
#include "text/mbcs.h"
#include "text/text_codes.h"

namespace parley {
namespace {

constexpr char kFieldSep = '`';
constexpr int kPictureField = 8;

// The fields a group send reads from its request.
struct GroupJob {
  std::string title;
  std::string reserve_date;
  std::string_view groups;   // field 4, comma separated; a view into the request
  std::string_view numbers;  // field 5, comma separated; a view into the request
  std::string callback;      // field 6 as given
  std::string text;          // field 7 decoded
};

GroupJob ReadGroupFields(std::string_view request, std::string_view default_title) {
  const std::vector<std::string_view> f = SplitFields(request, kFieldSep);
  auto at = [&f](size_t i) { return i < f.size() ? f[i] : std::string_view(); };
  GroupJob job;
  job.title = std::string(at(2).empty() ? default_title : at(2));
  job.reserve_date = std::string(at(3));
  job.groups = at(4);
  job.numbers = at(5);
  job.callback = std::string(at(6));
  job.text = DecodeUiText(at(7));
  return job;
}

// Splits a comma-separated list; the entries view into `list`.
std::vector<std::string_view> SplitList(std::string_view list) {
  std::vector<std::string_view> entries;
  if (list.empty()) return entries;
  return SplitFields(list, ',');
}

// The groups named in the request.
struct ResolvedGroups {
  int64_t names = 0;              // names up to the first empty one
  std::vector<std::string> seqs;  // sequence numbers of the names the book knows, in order
};

// Looks the names up; throws CDBException on a database error.
ResolvedGroups ResolveGroups(AddressBook& book, std::string_view names) {
  ResolvedGroups groups;
  for (std::string_view name : SplitList(names)) {
    if (name.empty()) break;
    ++groups.names;
    std::string seq = book.FindGroupSeq(name);
    if (seq.empty()) {
      spdlog::warn("group send: no address group named {}; nothing sent to it", AnsiToUtf8(name));
      continue;
    }
    groups.seqs.push_back(std::move(seq));
  }
  return groups;
}

// Queues one message to recipient, counting it in *sent when queued.
asio::awaitable<std::error_code> SendOne(CMMSBulkSocket& socket, std::string_view recipient,
                                         const GroupJob& job, const std::string* package,
                                         int64_t* sent) {
  if (HasBreakingByte(recipient)) {
    // A NUL byte or a line break would cut the number to another one; skipped like an empty one.
    spdlog::warn("group send: a number skipped: it holds a NUL byte or a line break");
    co_return std::error_code();
  }
  std::error_code ec;
  if (package == nullptr) {
    ec = co_await socket.SendTextMessage(recipient, job.callback, job.text);
  } else {
    ec = co_await socket.SendFileMessage(recipient, job.callback, *package);
  }
  if (ec == GatewayError::kFieldTooLong) {
    // The callback was checked before the job; a number that cannot be a phone number is skipped
    // like an empty one, and the job goes on.
    spdlog::warn("group send: number {} skipped: longer than {} bytes", AnsiToUtf8(recipient),
                 text_message::kRecipient.max);
    co_return std::error_code();
  }
  if (!ec) ++*sent;
  co_return ec;
}

// Runs one job: header, reply, the members of every group, then the individual numbers with the
// acknowledgement wait after those with index 50, 100, ... `package` is null for an SMS job.
asio::awaitable<std::string> RunGroupJob(const DirectSendSetup& setup, AddressBook& book,
                                         int64_t count, const GroupJob& job, std::string type_code,
                                         const std::string* package) {
  ResolvedGroups groups;
  try {
    groups = ResolveGroups(book, job.groups);
  } catch (const CDBException& e) {
    spdlog::error("group send: address book failed looking up groups: {}", AnsiToUtf8(e.what()));
    co_return std::string();
  }

  if (HasBreakingByte(job.callback)) {
    spdlog::error("group send: callback holds a NUL byte or a line break; nothing sent");
    co_return std::string();
  }
  if (job.callback.size() > text_message::kCallback.max) {
    spdlog::error("group send: callback {} longer than {} bytes; nothing sent",
                  AnsiToUtf8(job.callback), text_message::kCallback.max);
    co_return std::string();
  }

  CMMSBulkSocket socket(setup.executor);
  std::error_code ec =
      co_await OpenJob(socket, setup, job.title, std::move(type_code), count, job.reserve_date);
  if (ec) {
    spdlog::warn("group send: gateway job not opened: {}", ec.message());
    co_return std::string();
  }
  const std::string job_id = socket.JobId();
  if (!socket.JobAccepted()) {
    spdlog::warn("group send: gateway refused the job ({})", job_id);
    co_return job_id;
  }

  int64_t sent = 0;

  for (const std::string& seq : groups.seqs) {
    std::vector<std::string> members;
    bool failed = false;
    try {
      members = book.GroupMembers(seq);
    } catch (const CDBException& e) {
      spdlog::error(
          "group send: gateway job {} ended after {} messages: address book failed "
          "reading group {}: {}",
          job_id, sent, seq, AnsiToUtf8(e.what()));
      failed = true;
    }
    if (failed) {
      // The messages before the failure go out, as each was sent when it was taken.
      (void)co_await socket.Flush();
      socket.Close();
      co_return job_id;
    }
    for (const std::string& member : members) {
      ec = co_await SendOne(socket, member, job, package, &sent);
      if (ec) {
        spdlog::warn("group send: gateway job {} failed after {} messages: {}", job_id, sent,
                     ec.message());
        co_return job_id;
      }
    }
  }

  const std::vector<std::string_view> numbers = SplitList(job.numbers);
  const int64_t individual = count - groups.names;
  for (int64_t i = 0; i < individual; ++i) {
    if (i >= static_cast<int64_t>(numbers.size())) {
      spdlog::warn("group send: gateway job {}: count {} but only {} individual numbers", job_id,
                   count, numbers.size());
      break;
    }
    const std::string_view number = numbers[i];
    if (number.empty()) {
      spdlog::warn("group send: gateway job {}: individual number {} empty, skipped", job_id, i);
      continue;
    }
    ec = co_await SendOne(socket, number, job, package, &sent);
    if (!ec && i != 0 && i % kAckInterval == 0) {
      // The acknowledgement is awaited but does not stop the job, whatever it says; a gateway
      // that has hung up does, as nothing sent after that can arrive.
      const std::error_code wait = co_await socket.WaitReply(setup.timeout);
      if (wait == GatewayError::kClosed) {
        ec = wait;
      } else if (wait) {
        spdlog::debug("group send: gateway job {}: wait at {}: {}", job_id, i, wait.message());
      } else if (!socket.AckOk()) {
        spdlog::warn(
            "group send: gateway job {}: negative acknowledgement after {} messages; "
            "the job goes on",
            job_id, sent);
      }
    }
    if (ec) {
      spdlog::warn("group send: gateway job {} failed after {} messages: {}", job_id, sent,
                   ec.message());
      co_return job_id;
    }
  }
  ec = co_await FinishJob(socket, setup.timeout);
  if (ec) {
    spdlog::warn("group send: gateway job {} failed at the end: {}", job_id, ec.message());
  } else {
    spdlog::info("group send: gateway job {}: {} messages sent", job_id, sent);
  }
  co_return job_id;
}

}  // namespace

asio::awaitable<std::string> SendGroupSms(const DirectSendSetup& setup, AddressBook& book,
                                          int64_t count, std::string request) {
  const GroupJob job = ReadGroupFields(request, kSknDefaultSubject);
  std::string result = co_await RunGroupJob(setup, book, count, job, "SMS", nullptr);
  co_return result;
}

asio::awaitable<std::string> SendGroupMms(const DirectSendSetup& setup, AddressBook& book,
                                          int64_t count, std::string request) {
  const GroupJob job = ReadGroupFields(request, kMmsDefaultTitle);
  const JobPackage package =
      BuildJobPackage(setup.module_dir, job.title, job.text, request, kPictureField);
  if (package.refusal != SendRefusal::kNone) {
    spdlog::warn("group send refused: {}", AnsiToUtf8(RefusalReason(package.refusal)));
    co_return std::string();
  }
  std::string result =
      co_await RunGroupJob(setup, book, count, job, package.type_code, &package.bytes);
  co_return result;
}

}  // namespace parley
