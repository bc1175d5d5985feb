// Korean phone numbers as people type them and spreadsheets hold them, normalised to the digits
// the engine and the gateway take ("01012345678").
//
// What is accepted: digits with hyphens, dots, spaces and parentheses between them; a "+82" or
// "82" country prefix (the 0 after it put back, "+82 (0)10..." too); a leading 0 a spreadsheet
// dropped (9 or 10 digits that form a valid number once a 0 is put in front: 1012345678), and a
// trailing ".0" of a number stored as a float ("1012345678.0"). Anything else (letters, other
// signs) is refused.
//
// Which numbers are valid:
//   mobile          010 + 8 digits; 011, 016, 017, 018, 019 + 7 or 8 digits
//   area code       02 + 7 or 8 digits; 031-033, 041-044, 051-055, 061-064 + 7 or 8 digits;
//                   070 + 8 digits; 080 + 7 or 8 digits
//   representative  15xx, 16xx, 18xx + 4 digits (8 digits in all)
// A recipient must be a mobile number; a callback may be any of the three.
#ifndef PARLEY_CLIENT_PHONE_NUMBER_H_
#define PARLEY_CLIENT_PHONE_NUMBER_H_

#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"

namespace parley {

enum class NumberUse { kRecipient, kCallback };

// A normalised number, or the reason it was refused (number is empty then).
struct NumberResult {
  std::string number;
  Msg reason = Msg::kNumberEmpty;
  bool ok() const { return !number.empty(); }
};

NumberResult NormalizeNumber(std::string_view text, NumberUse use);

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

// A refused list item and its reason, in the language the list was checked for.
struct RefusedNumber {
  ListItem item;
  std::string reason;
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
RecipientList CheckRecipients(const std::vector<ListItem>& items, bool keep_duplicates,
                              Language language);

}  // namespace parley

#endif  // PARLEY_CLIENT_PHONE_NUMBER_H_
