// Korean phone numbers as a front end checks them: the engine's one rule (numbers/korean_number.h)
// with its problems as catalogue messages, and lists of numbers as people type them.
#ifndef PARLEY_CLIENT_PHONE_NUMBER_H_
#define PARLEY_CLIENT_PHONE_NUMBER_H_

#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"
#include "client/verdict.h"
#include "numbers/korean_number.h"

namespace parley {

// A normalised number, or the reason it was refused (number is empty then).
struct NumberResult {
  std::string number;
  Msg reason = Msg::kNumberEmpty;
  bool ok() const { return !number.empty(); }
};

NumberResult NormalizeNumber(std::string_view text, NumberUse use);

// The catalogue message of a number's problem (kNumberEmpty for kNone).
Msg NumberProblemMsg(NumberProblem problem);

// One item of a recipient list, with where it came from: its line (from 1) and its place on
// that line (from 1).
struct ListItem {
  std::string text;
  int line = 0;
  int item = 0;
};

// Splits a list of numbers. Commas, semicolons, tabs and line breaks separate numbers; spaces
// inside an item are part of that number ("010 5555 1212" is one number). Items that are empty
// or only blanks are left out, so ",," is no number at all.
std::vector<ListItem> SplitNumberList(std::string_view text);

// A refused list item and why (its field is "to", its item, line and position the list item's).
struct RefusedNumber {
  ListItem item;
  Verdict verdict;
};

// The checked recipients of a send: the normalised numbers in the order given, the count of
// duplicates removed, and the items refused.
struct RecipientList {
  std::vector<std::string> numbers;
  size_t duplicates_removed = 0;
  std::vector<RefusedNumber> refused;
};

// Checks every item as a recipient (a mobile number). Duplicates (after normalisation) are
// removed unless keep_duplicates, the first one staying in place.
RecipientList CheckRecipients(const std::vector<ListItem>& items, bool keep_duplicates);

}  // namespace parley

#endif  // PARLEY_CLIENT_PHONE_NUMBER_H_
