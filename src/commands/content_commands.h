// MYMSG, EMOTN, SENDL and CASHL: what the web service holds for the user, fetched for the UI
// program. Each handler takes the message body (CP949, fields separated by "<QX>") and returns
// the reply body; it asks the web service one to three questions through the engine's web client
// and awaits their answers (each at most the web time-out). A failed request leaves its place in
// the reply empty; the handlers report nothing else.
#ifndef PARLEY_COMMANDS_CONTENT_COMMANDS_H_
#define PARLEY_COMMANDS_CONTENT_COMMANDS_H_

#include <string>

#include <asio/awaitable.hpp>

namespace parley {

class EngineServices;

// The user's saved messages. "CNT", page, page size: "CNT<QX>" SMS count "<QX>" LMS count "<QX>"
// that page of SMS messages. "SMS" or "LMS", page, page size: the sub-command, "<QX>", that page.
// "SAVE", message, subject, message type: saves it and answers "SAVE<QX>" and the quoted text of
// the save reply. Any other sub-command (compared exactly): empty.
asio::awaitable<std::string> OnMyMsg(EngineServices& services, std::string body);

// The catalogue. "<FIRST>" then type, page, page size: "<FIRST>" categories "<QX>" count "<QX>"
// the first group's page. Otherwise type, group, page, page size: count "<QX>" page.
asio::awaitable<std::string> OnEmotn(EngineServices& services, std::string body);

// Send results. Selector, start date, end date and the list fields. Selector 1: the count line
// of the result totals with 1, then the list. Selector 2: "2<DATA>" and the list. Any other n:
// the count line of the statistics totals with n, then the list.
asio::awaitable<std::string> OnSendL(EngineServices& services, std::string body);

// Daily usage: start year, start month, end year, end month; the web service's text unchanged.
asio::awaitable<std::string> OnCashL(EngineServices& services, std::string body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_CONTENT_COMMANDS_H_
