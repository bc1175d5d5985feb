#include "client/send_plan.h"

#include <ctime>
#include <string_view>

#include "client/phone_number.h"
#include "client/picture_check.h"
#include "client/send_input.h"
#include "text/mbcs.h"

namespace parley {
namespace {

// The group names of the --group values, each value split at commas.
std::vector<std::string> GroupNames(const std::vector<std::string>& values) {
  std::vector<std::string> names;
  for (const std::string& value : values) {
    for (std::string_view name : SplitFields(value, ',')) {
      if (!name.empty()) names.emplace_back(name);
    }
  }
  return names;
}

// The recipients of the typed lists and the file, checked; a file that cannot be read is a
// verdict of its own.
void PlanRecipients(const SendOptions& options, SendPlan& plan) {
  std::vector<SourcedItem> items = ItemsOfToOptions(options.to);
  if (!options.to_file.empty()) {
    if (auto unread = ItemsOfFile(options.to_file, options.to_column, &items)) {
      plan.problems.push_back(std::move(*unread));
    }
  }
  std::vector<ListItem> list;
  list.reserve(items.size());
  for (const SourcedItem& s : items) list.push_back(s.item);
  RecipientList recipients = CheckRecipients(list, options.keep_duplicates);
  // Each refused item keeps its source; items are refused in order, so one pass pairs them.
  size_t next = 0;
  for (RefusedNumber& refused : recipients.refused) {
    while (next < items.size() && (items[next].item.line != refused.item.line ||
                                   items[next].item.item != refused.item.item ||
                                   items[next].item.text != refused.item.text)) {
      ++next;
    }
    Verdict verdict = std::move(refused.verdict);
    if (next < items.size()) {
      const ItemSource& source = items[next].source;
      verdict.field = source.in_column ? kFieldToColumn : source.field;
      verdict.source = source.name;
      if (source.in_column) verdict.position = 0;
      ++next;
    }
    plan.problems.push_back(std::move(verdict));
  }
  plan.counts = {items.size(), recipients.numbers.size(), recipients.duplicates_removed,
                 recipients.refused.size()};
  plan.checked.to = std::move(recipients.numbers);
  if (plan.checked.to.empty() && plan.checked.groups.empty() && recipients.refused.empty() &&
      plan.problems.empty()) {
    plan.problems.push_back({Msg::kNoRecipients, {}, kFieldTo});
  }
}

}  // namespace

SendPlan PlanSend(const SendOptions& options, const Minute& now, const RulesData* rules,
                  int64_t now_unix) {
  SendPlan plan;
  plan.checked = options;
  plan.checked.groups = GroupNames(options.groups);
  PlanRecipients(options, plan);
  // Callback: optional, as the engine leaves it to the web service; a given one must be valid.
  if (!options.callback.empty()) {
    const NumberResult callback = NormalizeNumber(options.callback, NumberUse::kCallback);
    if (!callback.ok()) {
      plan.problems.push_back(
          {callback.reason, {options.callback}, kFieldCallback, options.callback});
    }
    plan.checked.callback = callback.number;
  }
  if (!options.text_file.empty()) {
    if (auto unread = ReadTextFile(options.text_file, &plan.checked.text)) {
      plan.problems.push_back(std::move(*unread));
    }
  }
  // An advertising text made so with the engine's business name and opt-out number.
  plan.checked.advert = options.advert || options.insert_ad;
  if (options.night_consent && !plan.checked.advert) {
    plan.problems.push_back({Msg::kNightConsentWithoutAd, {}, "night_consent"});
  }
  if (options.insert_ad && rules != nullptr) {
    plan.checked.text = WithAdvertising(plan.checked.text, *rules);
  }
  plan.text = CheckText(plan.checked.text, options.images.size(), options.limits);
  for (const Verdict& problem : plan.text.problems) plan.problems.push_back(problem);
  ReservationResult reserve = ParseReservation(options.reserve, now);
  if (reserve.problem) plan.problems.push_back(std::move(*reserve.problem));
  plan.checked.reserve = reserve.engine_text;
  for (Verdict& problem : CheckPictures(options.images)) plan.problems.push_back(problem);
  // Korea's sending rules, with the engine's data.
  const RulesData none;
  const RulesData& data = rules != nullptr ? *rules : none;
  if (plan.checked.advert || rules != nullptr) {
    for (Verdict& v : CheckSendRules(data, plan.checked.advert, options.night_consent,
                                     plan.checked.text, plan.checked.reserve, plan.checked.callback,
                                     now_unix != 0 ? now_unix : std::time(nullptr))) {
      plan.problems.push_back(std::move(v));
    }
  }
  if (plan.checked.advert && plan.text.kind == MessageKind::kLms &&
      CheckText(WithoutAdvertising(plan.checked.text), options.images.size(), options.limits)
              .kind == MessageKind::kSms) {
    plan.notes.push_back({Msg::kAdMakesLms, {std::to_string(plan.text.bytes)}, kFieldText});
  }
  return plan;
}

}  // namespace parley
