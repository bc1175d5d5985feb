#include "commands/rules_commands.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>

#include <spdlog/spdlog.h>

#include "commands/send_rules.h"
#include "db/db_exception.h"
#include "db/rules_book.h"
#include "engine/engine.h"
#include "numbers/korean_number.h"
#include "protocol/markup.h"
#include "protocol/rules_messages.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

constexpr char kNotWritten[] = "the address book cannot be written";

// Runs answer on the engine's rules book; a database failure becomes "Exception:[<reason>]".
std::string WithBook(Engine& engine, const char* command,
                     const std::function<std::string(RulesStore&)>& answer) {
  try {
    if (!engine.services().shared_rules_store()) {
      RulesBook book(engine.services().address_book());
      return answer(book);
    }
    return answer(engine.services().rules_store());
  } catch (const CDBException& e) {
    spdlog::error("{}: address book: {}", command, AnsiToUtf8(e.what()));
    return protocol::ExceptionText(e.what());
  }
}

// The items of a request normalised for use: the digits of those that are numbers, and the rest
// refused with their problem.
struct SortedItems {
  std::vector<std::string> numbers;
  std::vector<protocol::RefusedItem> refused;
};

SortedItems SortItems(const std::vector<std::string>& items, NumberUse use) {
  SortedItems sorted;
  for (const std::string& item : items) {
    CheckedNumber number = CheckKoreanNumber(item, use);
    if (number.ok()) {
      sorted.numbers.push_back(std::move(number.digits));
    } else {
      sorted.refused.push_back({item, std::string(ProblemToken(number.problem))});
    }
  }
  return sorted;
}

using AddNumbers =
    std::function<ListAdded(RulesStore&, const std::vector<std::string>&, const std::string& note)>;
using RemoveNumbers = std::function<int64_t(RulesStore&, const std::vector<std::string>&)>;

std::string AddTo(Engine& engine, const char* command, const std::string& body, NumberUse use,
                  const AddNumbers& add) {
  const protocol::NumbersAddRequest request = protocol::NumbersAddRequest::Parse(body);
  SortedItems sorted = SortItems(request.numbers, use);
  return WithBook(engine, command, [&](RulesStore& book) {
    protocol::NumbersAddReply reply;
    reply.refused = std::move(sorted.refused);
    if (!sorted.numbers.empty()) {
      const ListAdded added = add(book, sorted.numbers, request.note);
      if (!added.ok) return protocol::ExceptionText(kNotWritten);
      reply.added = added.added;
      reply.already = added.already;
    }
    return reply.Build();
  });
}

std::string RemoveFrom(Engine& engine, const char* command, const std::string& body, NumberUse use,
                       const RemoveNumbers& remove) {
  const protocol::NumbersRemoveRequest request = protocol::NumbersRemoveRequest::Parse(body);
  const SortedItems sorted = SortItems(request.numbers, use);
  return WithBook(engine, command, [&](RulesStore& book) {
    const int64_t removed = sorted.numbers.empty() ? 0 : remove(book, sorted.numbers);
    if (removed < 0) return protocol::ExceptionText(kNotWritten);
    const int64_t items = static_cast<int64_t>(request.numbers.size());
    return protocol::NumbersRemoveReply{removed, items - removed}.Build();
  });
}

protocol::SettingsReply SettingsOf(RulesStore& book) {
  std::map<std::string, std::string> stored = book.Settings();
  protocol::SettingsReply reply;
  reply.business_name = stored[std::string(kBusinessNameSetting)];
  reply.optout_number = stored[std::string(kOptOutNumberSetting)];
  if (stored[std::string(kOptOutAppliesSetting)] == "all") reply.optout_applies = "all";
  reply.own_number = stored[std::string(kOwnNumberSetting)];
  return reply;
}

// The value a setting stores for value, or the reason it cannot hold it. An empty value clears.
std::string SettingValue(std::string_view name, const std::string& value, std::string* why) {
  if (value.empty() || name == kBusinessNameSetting) return value;
  if (name == kOptOutAppliesSetting) {
    if (value == "ad" || value == "all") return value;
    *why = "optout_applies is ad or all";
    return std::string();
  }
  const bool own = name == kOwnNumberSetting;
  CheckedNumber number =
      CheckKoreanNumber(value, own ? NumberUse::kRecipient : NumberUse::kCallback);
  if (number.ok() && (own || number.digits.starts_with("080"))) return number.digits;
  *why = own ? "own_number must be a mobile number" : "optout_number must be an 080 number";
  return std::string();
}

}  // namespace

std::string OnOptOutList(Engine& engine, const std::string&) {
  return WithBook(engine, "OPTLS", [](RulesStore& book) {
    protocol::NumberListReply reply;
    for (OptOutEntry& e : book.OptOuts()) {
      reply.entries.push_back({std::move(e.number), e.added, std::move(e.note)});
    }
    return reply.Build();
  });
}

std::string OnOptOutAdd(Engine& engine, const std::string& body) {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  return AddTo(engine, "OPTAD", body, NumberUse::kRecipient,
               [now](RulesStore& book, const std::vector<std::string>& numbers,
                     const std::string& note) { return book.AddOptOuts(numbers, note, now); });
}

std::string OnOptOutRemove(Engine& engine, const std::string& body) {
  return RemoveFrom(engine, "OPTRM", body, NumberUse::kRecipient,
                    [](RulesStore& book, const std::vector<std::string>& numbers) {
                      return book.RemoveOptOuts(numbers);
                    });
}

std::string OnCallbackList(Engine& engine, const std::string&) {
  return WithBook(engine, "CBKLS", [](RulesStore& book) {
    protocol::NumberListReply reply;
    reply.with_time = false;
    for (CallbackEntry& e : book.Callbacks()) {
      reply.entries.push_back({std::move(e.number), 0, std::move(e.label)});
    }
    return reply.Build();
  });
}

std::string OnCallbackAdd(Engine& engine, const std::string& body) {
  return AddTo(engine, "CBKAD", body, NumberUse::kCallback,
               [](RulesStore& book, const std::vector<std::string>& numbers,
                  const std::string& label) { return book.AddCallbacks(numbers, label); });
}

std::string OnCallbackRemove(Engine& engine, const std::string& body) {
  return RemoveFrom(engine, "CBKRM", body, NumberUse::kCallback,
                    [](RulesStore& book, const std::vector<std::string>& numbers) {
                      return book.RemoveCallbacks(numbers);
                    });
}

std::string OnSettingsGet(Engine& engine, const std::string&) {
  return WithBook(engine, "SETGT", [](RulesStore& book) { return SettingsOf(book).Build(); });
}

std::string OnSettingsPut(Engine& engine, const std::string& body) {
  const protocol::SettingRequest request = protocol::SettingRequest::Parse(body);
  if (std::find(std::begin(kSettingNames), std::end(kSettingNames), request.name) ==
      std::end(kSettingNames)) {
    return protocol::ExceptionText("unknown setting " + request.name +
                                   " (business_name, optout_number, optout_applies, own_number)");
  }
  std::string why;
  const std::string value = SettingValue(request.name, request.value, &why);
  if (!why.empty()) return protocol::ExceptionText(why);
  return WithBook(engine, "SETPT", [&](RulesStore& book) {
    if (!book.SetSetting(request.name, value)) return protocol::ExceptionText(kNotWritten);
    return SettingsOf(book).Build();
  });
}

std::string OnOptOutCheck(Engine& engine, const std::string& body) {
  const protocol::OptOutCheckRequest request = protocol::OptOutCheckRequest::Parse(body);
  const SendingRules rules = LoadSendingRules(engine);
  const SendMarks marks{request.advert, false};
  auto entries = [](const std::string& list) {
    std::vector<std::string> out;
    if (list.empty()) return out;
    for (std::string_view entry : SplitFields(list, ',')) out.emplace_back(entry);
    return out;
  };
  const std::vector<std::string> groups = entries(request.groups);
  const std::vector<std::string> numbers = entries(request.numbers);
  return WithBook(engine, "OPTCK", [&](RulesStore&) {
    PlannedOptOuts planned =
        FindOptedOut(engine.services().address_book(), rules, marks, groups, numbers);
    protocol::OptOutCheckReply reply;
    reply.recipients = planned.recipients;
    reply.opted_out = static_cast<int64_t>(planned.opted_out.size());
    if (planned.opted_out.size() > protocol::OptOutCheckReply::kListed) {
      planned.opted_out.resize(protocol::OptOutCheckReply::kListed);
    }
    reply.listed = std::move(planned.opted_out);
    return reply.Build();
  });
}

}  // namespace parley
