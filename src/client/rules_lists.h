// The engine's opt-out list and registered callback numbers as a front end keeps them: the
// verdicts of its answers to an addition, a removal and the opt-out check of a planned send, and
// the lists read from and written to files. Text in and out is UTF-8.
#ifndef PARLEY_CLIENT_RULES_LISTS_H_
#define PARLEY_CLIENT_RULES_LISTS_H_

#include <optional>
#include <string>
#include <vector>

#include "client/send_request.h"
#include "client/verdict.h"
#include "protocol/rules_messages.h"

namespace parley {

// The verdict of an item the engine refused to list: kNumberEmpty, kNumberNotDigits,
// kNumberNotMobile or kNumberNotCallback (item), the item as typed.
Verdict RefusedItemVerdict(const protocol::RefusedItem& refused);

// An addition's outcome: kListAdded (added, already).
Verdict AddedVerdict(const protocol::NumbersAddReply& reply);

// A removal's outcome: kListRemoved (removed, absent).
Verdict RemovedVerdict(const protocol::NumbersRemoveReply& reply);

// The OPTCK body of a planned send (its options as the plan checked them).
std::string OptOutCheckBody(const SendOptions& checked);

// What the opt-out list does to a planned send: kOptedOutLeftOut (count), or kAllOptedOut
// (count) when it leaves nobody to send to (that verdict stops the send).
Verdict OptOutVerdict(const protocol::OptOutCheckReply& reply);

// The items of a file of numbers for a list: one a line, or the first column of a CSV, xlsx,
// xls or ods file; a first line without a digit is a heading and left out. The verdict when the
// file cannot be read (kFileUnreadable, kWorkbookUnreadable) or holds no item (kListFileEmpty).
std::optional<Verdict> ItemsOfListFile(const std::string& path, std::vector<std::string>* items);

// A list as a file: one number a line, followed by ",note" (CSV-quoted when needed) when the
// entry has a note or label, so that ItemsOfListFile reads the numbers back.
std::string ListFileText(const protocol::NumberListReply& list);

}  // namespace parley

#endif  // PARLEY_CLIENT_RULES_LISTS_H_
