#include "commands/asend_command.h"

#include <algorithm>
#include <string_view>

#include <spdlog/spdlog.h>
#include <vector>

#include "commands/login_command.h"
#include "commands/send_orders.h"
#include "commands/send_rules.h"
#include "db/address_book.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "numbers/korean_number.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "send/group_send.h"
#include "text/cp949.h"

namespace parley {
namespace {

// The group lookups of a group send, answered by the address book; a database failure becomes
// the lookup's error.
class BookGroups : public GroupDirectory {
 public:
  explicit BookGroups(AddressBook& book) : book_(book) {}

  bool FindGroup(std::string_view name, std::string* key, std::string* error) override {
    return Answered([&] { *key = book_.FindGroupSeq(name); }, error);
  }

  bool Members(const std::string& key, std::vector<std::string>* numbers,
               std::string* error) override {
    return Answered([&] { *numbers = book_.GroupMembers(key); }, error);
  }

 private:
  // Runs query; false, with the database's reason in *error, when it fails.
  template <typename Query>
  static bool Answered(Query query, std::string* error) {
    try {
      query();
      return true;
    } catch (const CDBException& e) {
      *error = e.what();
      return false;
    }
  }

  AddressBook& book_;
};

// The members of the groups without those the sending rules leave out.
class OptOutGroups : public GroupDirectory {
 public:
  OptOutGroups(GroupDirectory& inner, SendingRules rules, const SendMarks& marks)
      : inner_(inner), rules_(std::move(rules)), marks_(marks) {}

  bool FindGroup(std::string_view name, std::string* key, std::string* error) override {
    return inner_.FindGroup(name, key, error);
  }

  bool Members(const std::string& key, std::vector<std::string>* numbers,
               std::string* error) override {
    if (!inner_.Members(key, numbers, error)) return false;
    std::erase_if(*numbers, [this](const std::string& number) {
      const CheckedNumber checked = CheckKoreanNumber(number, NumberUse::kRecipient);
      return checked.ok() && LeavesOut(rules_, marks_, checked.digits);
    });
    return true;
  }

 private:
  GroupDirectory& inner_;
  const SendingRules rules_;
  const SendMarks marks_;
};

// A group send under the sending rules: the order without the typed numbers the rules leave out,
// the job's source naming every recipient left out (group members included), the rules the
// members are filtered by; or the reason it may not go.
struct RuledGroup {
  GroupOrder order;
  JobSource source;
  SendMarks marks;
  SendingRules rules;
  std::string fault{};
};

RuledGroup RuleGroup(Engine& engine, std::string_view body) {
  const protocol::GroupSendRequest request = protocol::GroupSendRequest::Parse(body);
  RuledGroup ruled{GroupOrderOf(request), JobSource{"groups"}, MarksOf(request.tags),
                   LoadSendingRules(engine)};
  GroupOrder& order = ruled.order;
  JobSource& source = ruled.source;
  for (const std::string& group : order.groups) source.description += " " + group;
  if (!order.numbers.empty()) source.description += " and typed numbers";
  ruled.fault = SendFault(ruled.rules, ruled.marks, RulesNow(engine), &order.text,
                          order.reserve_date, order.callback);
  if (!ruled.fault.empty()) return ruled;
  source.advert = ruled.marks.advert;
  source.night_consent = ruled.marks.night_consent;
  PlannedOptOuts members;
  try {
    members =
        FindOptedOut(engine.services().address_book(), ruled.rules, ruled.marks, order.groups, {});
  } catch (const CDBException&) {
    // The send's own lookup meets the same failure and refuses.
    return ruled;
  }
  for (const protocol::OptedOutRecipient& r : members.opted_out) {
    source.left_out.push_back(
        {static_cast<int64_t>(source.left_out.size()) + 1, r.number, std::string(kOptedOutReason)});
  }
  // Typed numbers past count minus the group names are not sent anyway.
  const int64_t typed = order.count - static_cast<int64_t>(order.groups.size());
  std::vector<std::string> kept;
  int64_t removed = 0;
  for (size_t i = 0; i < order.numbers.size(); ++i) {
    const CheckedNumber checked = CheckKoreanNumber(order.numbers[i], NumberUse::kRecipient);
    if (static_cast<int64_t>(i) < typed && checked.ok() &&
        LeavesOut(ruled.rules, ruled.marks, checked.digits)) {
      source.left_out.push_back({static_cast<int64_t>(source.left_out.size()) + 1, order.numbers[i],
                                 std::string(kOptedOutReason)});
      ++removed;
    } else {
      kept.push_back(order.numbers[i]);
    }
  }
  const int64_t reached = members.recipients +
                          std::clamp<int64_t>(typed, 0, static_cast<int64_t>(order.numbers.size()));
  if (!source.left_out.empty() && static_cast<int64_t>(source.left_out.size()) >= reached) {
    ruled.fault = AllOptedOutReason();
    return ruled;
  }
  order.numbers = std::move(kept);
  order.count -= removed;
  return ruled;
}

}  // namespace

asio::awaitable<std::string> OnASend(Engine& engine, std::string body) {
  const int mode = protocol::SendModeOf(body);
  // The group send runs no send check (kGroupJob.send_check).
  std::string text;
  if (protocol::IsSendingMode(mode)) {
    RuledGroup ruled = RuleGroup(engine, body);
    if (!ruled.fault.empty()) {
      spdlog::warn("ASEND refused by the sending rules: {}", AnsiToUtf8(ruled.fault));
      text = RuleRefusalText(ruled.fault);
    } else {
      BookGroups book_groups(engine.services().address_book());
      OptOutGroups groups(book_groups, std::move(ruled.rules), ruled.marks);
      const size_t opted_out = ruled.source.left_out.size();
      // The job id is only logged by the pipeline; the UI program gets the account figures.
      SendSetup setup = engine.services().MakeSendSetup(engine.session(), std::move(ruled.source));
      const SendResult sent = co_await engine.link().dispatcher().turn().Aside(
          SendGroup(setup, groups, std::move(ruled.order)));
      const bool went =
          sent.outcome == SendOutcome::kSent || sent.outcome == SendOutcome::kCancelled;
      if (opted_out > 0 && went) text = OptedOutLine(static_cast<int64_t>(opted_out));
    }
  }
  co_return protocol::SendReply(text, co_await RefreshUserInfo(engine));
}

}  // namespace parley
