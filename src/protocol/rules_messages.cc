#include "protocol/rules_messages.h"

#include "protocol/body_fields.h"
#include "protocol/list_fields.h"
#include "protocol/markup.h"

namespace parley::protocol {
namespace {

constexpr std::string_view kItemSeparators = ",;\t\n";

std::string JoinItems(const std::vector<std::string>& numbers) { return JoinParts(numbers, ","); }

// The fields of a reply of exactly `count` fields; none when it has another number of them.
std::optional<std::vector<std::string_view>> FieldsOf(std::string_view body, size_t count) {
  std::vector<std::string_view> f = SplitAt(body, kFieldSep);
  if (f.size() != count) return std::nullopt;
  return f;
}

}  // namespace

std::vector<std::string> NumberItems(std::string_view list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(kItemSeparators, start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(start, end - start);
    if (item.ends_with('\r')) item.remove_suffix(1);
    if (!item.empty()) items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

NumbersAddRequest NumbersAddRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {NumberItems(f[0]), f.Text(1)};
}

std::string NumbersAddRequest::Build() const { return JoinFields({JoinItems(numbers), note}); }

NumbersRemoveRequest NumbersRemoveRequest::Parse(std::string_view body) {
  return {NumberItems(BodyFields(body)[0])};
}

std::string NumbersRemoveRequest::Build() const { return JoinItems(numbers); }

std::string NumbersAddReply::Build() const {
  std::vector<std::string> entries;
  for (const RefusedItem& r : refused) {
    entries.push_back(EscapeListPart(r.item) + "," + r.problem);
  }
  return JoinFields({std::to_string(added), std::to_string(already), JoinParts(entries, kRowSep)});
}

std::optional<NumbersAddReply> NumbersAddReply::Parse(std::string_view body) {
  const auto f = FieldsOf(body, 3);
  NumbersAddReply r;
  std::vector<std::vector<std::string_view>> entries;
  if (!f || !ReadDecimal((*f)[0], &r.added) || !ReadDecimal((*f)[1], &r.already) ||
      !ReadEntries((*f)[2], 2, &entries)) {
    return std::nullopt;
  }
  for (const auto& e : entries) r.refused.push_back({UnescapeListPart(e[0]), std::string(e[1])});
  return r;
}

std::string NumbersRemoveReply::Build() const {
  return JoinFields({std::to_string(removed), std::to_string(absent)});
}

std::optional<NumbersRemoveReply> NumbersRemoveReply::Parse(std::string_view body) {
  const auto f = FieldsOf(body, 2);
  NumbersRemoveReply r;
  if (!f || !ReadDecimal((*f)[0], &r.removed) || !ReadDecimal((*f)[1], &r.absent)) {
    return std::nullopt;
  }
  return r;
}

std::string NumberListReply::Build() const {
  std::vector<std::string> lines;
  for (const ListedNumber& e : entries) {
    std::string line = EscapeListPart(e.number) + ",";
    if (with_time) line += std::to_string(e.added) + ",";
    lines.push_back(line + EscapeListPart(e.note));
  }
  return JoinFields({std::to_string(entries.size()), JoinParts(lines, kRowSep)});
}

std::optional<NumberListReply> NumberListReply::Parse(std::string_view body, bool with_time) {
  const auto f = FieldsOf(body, 2);
  NumberListReply r;
  r.with_time = with_time;
  int64_t count = 0;
  std::vector<std::vector<std::string_view>> entries;
  if (!f || !ReadDecimal((*f)[0], &count) || !ReadEntries((*f)[1], with_time ? 3 : 2, &entries) ||
      count != static_cast<int64_t>(entries.size())) {
    return std::nullopt;
  }
  for (const auto& e : entries) {
    ListedNumber n{UnescapeListPart(e[0]), 0, UnescapeListPart(e.back())};
    if (with_time && !ReadDecimal(e[1], &n.added)) return std::nullopt;
    r.entries.push_back(std::move(n));
  }
  return r;
}

std::string SettingsReply::Build() const {
  return JoinFields({business_name, optout_number, optout_applies, own_number});
}

std::optional<SettingsReply> SettingsReply::Parse(std::string_view body) {
  const auto f = FieldsOf(body, kFields);
  if (!f) return std::nullopt;
  return SettingsReply{std::string((*f)[0]), std::string((*f)[1]), std::string((*f)[2]),
                       std::string((*f)[3])};
}

SettingRequest SettingRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(0), f.Text(1)};
}

std::string SettingRequest::Build() const { return JoinFields({name, value}); }

OptOutCheckRequest OptOutCheckRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f[0] == "1", f.Text(1), f.Text(2)};
}

std::string OptOutCheckRequest::Build() const {
  return JoinFields({advert ? "1" : "0", groups, numbers});
}

std::string OptOutCheckReply::Build() const {
  std::vector<std::string> entries;
  for (const OptedOutRecipient& r : listed) {
    entries.push_back(EscapeListPart(r.number) + "," + EscapeListPart(r.group));
  }
  return JoinFields(
      {std::to_string(recipients), std::to_string(opted_out), JoinParts(entries, kRowSep)});
}

std::optional<OptOutCheckReply> OptOutCheckReply::Parse(std::string_view body) {
  const auto f = FieldsOf(body, 3);
  OptOutCheckReply r;
  std::vector<std::vector<std::string_view>> entries;
  if (!f || !ReadDecimal((*f)[0], &r.recipients) || !ReadDecimal((*f)[1], &r.opted_out) ||
      !ReadEntries((*f)[2], 2, &entries)) {
    return std::nullopt;
  }
  for (const auto& e : entries)
    r.listed.push_back({UnescapeListPart(e[0]), UnescapeListPart(e[1])});
  return r;
}

}  // namespace parley::protocol
