#include "send/group_send.h"

#include <spdlog/spdlog.h>

#include "send/gateway_records.h"
#include "send/job_package.h"
#include "send/send_refusals.h"
#include "text/cp949.h"

namespace parley {
namespace {

// The groups named in an order.
struct ResolvedGroups {
  int64_t names = 0;              // names up to the first empty one
  std::vector<std::string> keys;  // keys of the names the directory knows, in order
};

// Looks the names up; false, with the reason in *error, on a directory failure.
bool ResolveGroups(GroupDirectory& directory, const std::vector<std::string>& names,
                   ResolvedGroups* groups, std::string* error) {
  for (const std::string& name : names) {
    if (name.empty()) break;
    ++groups->names;
    std::string key;
    if (!directory.FindGroup(name, &key, error)) return false;
    if (key.empty()) {
      spdlog::warn("group send: no address group named {}; nothing sent to it", AnsiToUtf8(name));
      continue;
    }
    groups->keys.push_back(std::move(key));
  }
  return true;
}

// The members of every group, read from the directory a group at a time as the job reaches it
// and sent without acknowledgement waits; then the individual numbers, placed by their index.
class GroupRecipients : public MessageSource {
 public:
  GroupRecipients(GroupDirectory& directory, const GroupOrder& order, const ResolvedGroups& groups,
                  std::string_view package)
      : directory_(directory),
        order_(order),
        groups_(groups),
        package_(package),
        individual_(order.count - groups.names) {}

  SourceStep Next(JobMessage* m) override {
    m->callback = order_.callback;
    m->text = order_.text;
    m->package = package_;
    while (member_ >= members_.size() && group_ < groups_.keys.size()) {
      members_.clear();
      member_ = 0;
      const std::string& key = groups_.keys[group_++];
      if (!directory_.Members(key, &members_, &error_)) {
        failed_group_ = key;
        return SourceStep::kFailed;
      }
    }
    if (member_ < members_.size()) {
      m->recipient = members_[member_++];
      m->pace = -1;
      return SourceStep::kMessage;
    }
    for (; number_ < individual_; ++number_) {
      if (number_ >= static_cast<int64_t>(order_.numbers.size())) {
        spdlog::warn("group send: count {} but only {} individual numbers", order_.count,
                     order_.numbers.size());
        number_ = individual_;
        break;
      }
      const std::string& number = order_.numbers[static_cast<size_t>(number_)];
      if (number.empty()) {
        spdlog::warn("group send: individual number {} empty, skipped", number_);
        continue;
      }
      m->recipient = number;
      m->pace = number_++;
      return SourceStep::kMessage;
    }
    return SourceStep::kEnd;
  }

  bool Rewind() override {
    group_ = 0;
    members_.clear();
    member_ = 0;
    number_ = 0;
    return true;
  }

  std::string FailureLog() const override {
    return "address book failed reading group " + failed_group_ + ": " + AnsiToUtf8(error_);
  }
  std::string FailureReason() const override { return error_; }

 private:
  GroupDirectory& directory_;
  const GroupOrder& order_;
  const ResolvedGroups& groups_;
  std::string_view package_;
  const int64_t individual_;
  size_t group_ = 0;
  std::vector<std::string> members_;
  size_t member_ = 0;
  int64_t number_ = 0;
  std::string failed_group_;
  std::string error_;
};

}  // namespace

asio::awaitable<SendResult> SendGroup(const SendSetup& setup, GroupDirectory& directory,
                                      GroupOrder order) {
  const JobPolicy& policy = kGroupJob;
  SendResult refused = RefusedResult();
  JobOpening opening = NewOpening(policy, order.kind, order.title, order.reserve_date);
  const bool mms = order.kind == SendKind::kMms;
  const JobPackage package =
      OrderPackage(mms, setup.module_dir, opening.title, order.text, order.pictures);
  if (package.refusal != SendRefusal::kNone) {
    spdlog::warn("{} refused: {}", policy.name, AnsiToUtf8(RefusalReason(package.refusal)));
    refused.refusal = package.refusal;
    co_return refused;
  }
  ResolvedGroups groups;
  if (!ResolveGroups(directory, order.groups, &groups, &refused.reason)) {
    spdlog::error("{}: address book failed looking up groups: {}", policy.name,
                  AnsiToUtf8(refused.reason));
    co_return refused;
  }
  refused.refusal = NormalizeCallback(&order.callback);
  if (refused.refusal != SendRefusal::kNone) {
    spdlog::warn("{} refused: {}", policy.name, AnsiToUtf8(RefusalReason(refused.refusal)));
    co_return refused;
  }
  if (HasBreakingByte(order.callback)) {
    spdlog::error("{}: callback holds a NUL byte or a line break; nothing sent", policy.name);
    refused.refusal = SendRefusal::kBadCallback;
    co_return refused;
  }
  if (order.callback.size() > kMaxNumberBytes) {
    spdlog::error("{}: callback {} longer than {} bytes; nothing sent", policy.name,
                  AnsiToUtf8(order.callback), kMaxNumberBytes);
    co_return refused;
  }
  opening.type_code = JobTypeCode(policy, order.kind, package.type_code, order.pictures.size());
  opening.count = order.count;
  GroupRecipients source(directory, order, groups, package.bytes);
  co_return ResultOfRun(co_await RunGatewayJob(setup, policy, opening, source));
}

}  // namespace parley
