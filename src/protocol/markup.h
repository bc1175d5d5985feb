// The markup of the UI link: the tokens that separate and tag the parts of a message body, and
// the "Exception:[...]" text of a failed workbook query. Every body the engine reads or writes,
// and every body a front end builds, uses these.
#ifndef PARLEY_PROTOCOL_MARKUP_H_
#define PARLEY_PROTOCOL_MARKUP_H_

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace parley::protocol {

inline constexpr std::string_view kFieldSep = "<QX>";         // between the fields of a body
inline constexpr std::string_view kRowSep = "<Q>";            // between listing rows; in templates
inline constexpr std::string_view kRowEnd = "<END>";          // after each row of a results list
inline constexpr std::string_view kDataTag = "<DATA>";        // after the totals of a results list
inline constexpr std::string_view kGroupTag = "<GROUP>";      // before each address-book group
inline constexpr std::string_view kAddressTag = "<ADDR>";     // before each address of a group
inline constexpr std::string_view kImageTag = "<IMG>";        // before a send's picture names
inline constexpr std::string_view kOverlapTag = "<OVERLAP>";  // before a deduplicated column
inline constexpr std::string_view kOnceTag = "<ONCE>";  // before a phone column: each number once
// Extensions at the start of a send's title, in any order: the send is advertising, and every
// recipient consented apart to advertising at night.
inline constexpr std::string_view kAdvertTag = "<AD>";
inline constexpr std::string_view kNightConsentTag = "<NIGHT>";
inline constexpr std::string_view kFirstPageTag = "<FIRST>";  // catalogue request and reply
inline constexpr std::string_view kSendCheckTag = "QXSENDABLECHECK";
inline constexpr std::string_view kSaveFlag = "SAVE";  // LOGIN: remember the id
// Separates the parts of a group entry ("name::count::level::key").
inline constexpr std::string_view kGroupPartSep = "::";
inline constexpr std::string_view kExceptionOpen = "Exception:[";
inline constexpr std::string_view kExceptionClose = "]";

// "Exception:[" + reason + "]": a workbook query or Excel send that failed.
std::string ExceptionText(std::string_view reason);

// True when text starts with "Exception:[".
bool IsExceptionText(std::string_view text);

// The parts joined by "<QX>".
std::string JoinFields(std::initializer_list<std::string_view> fields);

// text cut at every separator (a backtick is an ordinary byte here); an empty text is one empty
// part. The parts point into text.
std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separator);

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_MARKUP_H_
