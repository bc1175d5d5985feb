// The sending rules' extension commands of the UI link: the opt-out list (OPTLS, OPTAD, OPTRM),
// the registered callback numbers (CBKLS, CBKAD, CBKRM), the rules' settings (SETGT, SETPT) and
// the opt-out check of a planned send (OPTCK). One request and one reply type each, parsed from
// and built to the same bytes: fields joined by "<QX>", lists' entries by "<Q>", an entry's parts
// by "," with every text part escaped (EscapeListPart). Texts are CP949.
#ifndef PARLEY_PROTOCOL_RULES_MESSAGES_H_
#define PARLEY_PROTOCOL_RULES_MESSAGES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parley::protocol {

// The items of a list of numbers as a user gives them: split at ",", ";", tabs and line feeds
// (a carriage return before a line feed dropped); empty items are dropped.
std::vector<std::string> NumberItems(std::string_view list);

// OPTAD and CBKAD "numbers<QX>note": the numbers to add (NumberItems) and one note (opt-out) or
// label (callback) for all of them.
struct NumbersAddRequest {
  std::vector<std::string> numbers;
  std::string note;

  static NumbersAddRequest Parse(std::string_view body);
  std::string Build() const;  // the numbers joined by ","
  bool operator==(const NumbersAddRequest&) const = default;
};

// OPTRM and CBKRM "numbers".
struct NumbersRemoveRequest {
  std::vector<std::string> numbers;

  static NumbersRemoveRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const NumbersRemoveRequest&) const = default;
};

// An item refused as no number of its list, with the problem's token ("empty", "not-digits",
// "not-mobile", "not-callback").
struct RefusedItem {
  std::string item;
  std::string problem;
  bool operator==(const RefusedItem&) const = default;
};

// OPTAD and CBKAD reply "added<QX>already<QX>refused": numbers new on the list, numbers that
// were there, and the items refused as "item,problem" entries.
struct NumbersAddReply {
  int64_t added = 0;
  int64_t already = 0;
  std::vector<RefusedItem> refused;

  std::string Build() const;
  static std::optional<NumbersAddReply> Parse(std::string_view body);
  bool operator==(const NumbersAddReply&) const = default;
};

// OPTRM and CBKRM reply "removed<QX>absent": numbers taken off, numbers that were not on it
// (items that are no number count as absent).
struct NumbersRemoveReply {
  int64_t removed = 0;
  int64_t absent = 0;

  std::string Build() const;
  static std::optional<NumbersRemoveReply> Parse(std::string_view body);
  bool operator==(const NumbersRemoveReply&) const = default;
};

// One entry of a listed number: its digits, a time (Unix seconds; 0 for callbacks) and its note or
// label.
struct ListedNumber {
  std::string number;
  int64_t added = 0;
  std::string note;
  bool operator==(const ListedNumber&) const = default;
};

// OPTLS reply "count<QX>number,added,note<Q>..." and CBKLS reply "count<QX>number,label<Q>...":
// every entry, in number order.
struct NumberListReply {
  bool with_time = true;  // OPTLS entries carry the time added; CBKLS entries do not
  std::vector<ListedNumber> entries;

  std::string Build() const;
  static std::optional<NumberListReply> Parse(std::string_view body, bool with_time);
  bool operator==(const NumberListReply&) const = default;
};

// SETGT reply (and SETPT's, after the change)
// "business_name<QX>optout_number<QX>optout_applies<QX>own_number": an unset setting is empty,
// except optout_applies, which is "ad" unless set to "all".
struct SettingsReply {
  static constexpr size_t kFields = 4;
  std::string business_name;
  std::string optout_number;
  std::string optout_applies = "ad";
  std::string own_number;

  std::string Build() const;
  static std::optional<SettingsReply> Parse(std::string_view body);
  bool operator==(const SettingsReply&) const = default;
};

// SETPT "name<QX>value": one setting; an empty value clears it.
struct SettingRequest {
  std::string name;
  std::string value;

  static SettingRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const SettingRequest&) const = default;
};

// OPTCK "ad<QX>groups<QX>numbers": a planned direct or group send: ad "1" for advertising
// (anything else: not), the group names and the typed numbers separated by ",".
struct OptOutCheckRequest {
  bool advert = false;
  std::string groups;
  std::string numbers;

  static OptOutCheckRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const OptOutCheckRequest&) const = default;
};

// A recipient on the opt-out list: its digits and where it came from (a group's name; empty for
// a typed number).
struct OptedOutRecipient {
  std::string number;
  std::string group;
  bool operator==(const OptedOutRecipient&) const = default;
};

// OPTCK reply "recipients<QX>left out<QX>number,group<Q>...": the recipients the send would
// reach before the list, how many of them the list leaves out, and the first kListed of those.
struct OptOutCheckReply {
  static constexpr size_t kListed = 100;
  int64_t recipients = 0;
  int64_t opted_out = 0;
  std::vector<OptedOutRecipient> listed;

  std::string Build() const;
  static std::optional<OptOutCheckReply> Parse(std::string_view body);
  bool operator==(const OptOutCheckReply&) const = default;
};

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_RULES_MESSAGES_H_
