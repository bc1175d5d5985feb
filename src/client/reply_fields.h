// Reading the engine's replies: splitting bodies into fields, texts for the screen, the web
// service's lists and the account figures that LOGIN and every send return.
#ifndef PARLEY_CLIENT_REPLY_FIELDS_H_
#define PARLEY_CLIENT_REPLY_FIELDS_H_

#include <string>
#include <string_view>
#include <vector>

#include "protocol/markup.h"

namespace parley {

using protocol::kFieldSep;

// The pieces of text between separators, empty pieces included ("a<QX><QX>b" gives "a", "",
// "b"; an empty text gives one empty piece).
std::vector<std::string> SplitOn(std::string_view text, std::string_view separator);

// The rest of text after its n-th separator (empty when it has fewer).
std::string AfterField(std::string_view text, size_t n);

// A CP949 text from the engine as UTF-8 for the screen: the web service's "&gacct;" becomes a
// backtick, "&comma;", "&lt;" and "&gt;" their characters, and line breaks a space.
std::string ScreenText(std::string_view cp949);

// The account figures: the six fields of the user information string, in UTF-8.
struct AccountInfo {
  std::string name;
  std::string grade;
  std::string amount;
  std::string sms_left;
  std::string lms_left;
  std::string mms_left;
};

// Takes the account figures from fields[first] to fields[first + 5] (CP949). False when there
// are fewer fields.
bool AccountFromFields(const std::vector<std::string>& fields, size_t first, AccountInfo* info);

// Takes the account figures from the last six "<QX>" fields of a CP949 reply body (the user
// information string ends every reply that carries it). False when the body has fewer fields.
bool ParseAccountTail(std::string_view body, AccountInfo* info);

// The rows and columns of a web service list: rows split at "<BR>", columns at "<COL>", each
// cell through ScreenText. An empty text has no rows.
std::vector<std::vector<std::string>> WebRows(std::string_view cp949);

}  // namespace parley

#endif  // PARLEY_CLIENT_REPLY_FIELDS_H_
