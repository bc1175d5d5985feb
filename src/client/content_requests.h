// The requests of the content commands as a front end asks for them: saved messages and the
// catalogue (MYMSG, EMOTN), results of past sends (SENDL) and usage statistics (CASHL).
#ifndef PARLEY_CLIENT_CONTENT_REQUESTS_H_
#define PARLEY_CLIENT_CONTENT_REQUESTS_H_

#include <string>
#include <utility>

#include "client/messages.h"

namespace parley {

struct MessagesOptions {
  std::string action;        // "saved", "save" or "catalogue", set by the sub-command parsed
  std::string type = "SMS";  // saved messages: SMS or LMS; catalogue: the category
  std::string group;         // catalogue group; empty: the first page with the group list
  int page = 1;
  int size = 10;
  std::string text;  // save
  std::string subject;
  Language language = Language::kEnglish;
};

// The MYMSG or EMOTN request of the action: {code, body}.
std::pair<std::string, std::string> MessagesRequest(const MessagesOptions& options);

struct ResultsOptions {
  std::string from;    // start date, e.g. 2024-03-01; empty: no bound
  std::string to;      // end date
  std::string kind;    // SMS, LMS, MMS; empty: all
  std::string result;  // result code; empty: all
  std::string phone;   // only jobs whose sender number contains this
  int page = 1;
  int size = 20;
  Language language = Language::kEnglish;
};

struct StatsOptions {
  std::string from;  // start month YYYY-MM; empty: no bound
  std::string to;    // end month
  Language language = Language::kEnglish;
};

// The SENDL body: selector 1 (totals and list), the dates, kind, result code, page, page size,
// an empty number flag and the phone.
std::string ResultsBody(const ResultsOptions& options);

// The CASHL body: start year, start month, end year, end month. False when a month is not
// YYYY-MM (or YYYYMM).
bool StatsBody(const StatsOptions& options, std::string* body);

}  // namespace parley

#endif  // PARLEY_CLIENT_CONTENT_REQUESTS_H_
