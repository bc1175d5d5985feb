// The one rule for Korean phone numbers, as people type them and spreadsheets hold them: what a
// text normalises to ("01012345678") and whether it can be a recipient or a callback. The
// engine applies it to the numbers it expands itself (sheet rows, callbacks); the client core
// applies it to what a user types, so both always agree.
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
#ifndef PARLEY_NUMBERS_KOREAN_NUMBER_H_
#define PARLEY_NUMBERS_KOREAN_NUMBER_H_

#include <string>
#include <string_view>

namespace parley {

enum class NumberUse { kRecipient, kCallback };

// Why a text is not a number of its use.
enum class NumberProblem {
  kNone,
  kEmpty,        // nothing but blanks
  kNotDigits,    // letters or other signs, or another country's prefix
  kNotMobile,    // digits, but no mobile number (a recipient)
  kNotCallback,  // digits, but no number a reply can reach (a callback)
};

// A normalised number (digits only), or the problem (digits is empty then).
struct CheckedNumber {
  std::string digits;
  NumberProblem problem = NumberProblem::kEmpty;
  bool ok() const { return problem == NumberProblem::kNone; }
};

// Normalises text (ASCII; any other byte makes it kNotDigits) and checks it for use.
CheckedNumber CheckKoreanNumber(std::string_view text, NumberUse use);

// The problem's token as the UI link names it: "empty", "not-digits", "not-mobile",
// "not-callback"; "" for kNone. ProblemFromToken reads it back (kNotDigits for an unknown one).
std::string_view ProblemToken(NumberProblem problem);
NumberProblem ProblemFromToken(std::string_view token);

}  // namespace parley

#endif  // PARLEY_NUMBERS_KOREAN_NUMBER_H_
