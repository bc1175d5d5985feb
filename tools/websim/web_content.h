// The web service simulator's data: accounts, the sent jobs behind the statistics, the users'
// saved messages and the shared catalogue of ready-made texts, with the starting content.
// All texts are CP949.
#ifndef PARLEY_WEBSIM_WEB_CONTENT_H_
#define PARLEY_WEBSIM_WEB_CONTENT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parley::websim {

// What a message of each kind costs from an account's balance, counted in short messages.
constexpr int64_t kSmsCost = 1;
constexpr int64_t kLmsCost = 3;
constexpr int64_t kMmsCost = 10;

struct Account {
  std::string id;
  std::string password;
  int64_t balance = 0;     // short messages left
  bool flat_rate = false;  // unlimited account: never refused, balance untouched
};

// The account every simulator has: "qxuser", password "qxpass", 10000 messages.
Account BuiltInAccount();

// Parses "ID:PASS:BALANCE", BALANCE being a count of short messages or "flat" for an unlimited
// account. Returns nothing when a part is missing or empty, or BALANCE is neither.
std::optional<Account> ParseAccount(std::string_view text);

// The cost of one message of `type` ("SMS", "LMS", "MMS"); nothing for another type.
std::optional<int64_t> MessageCost(std::string_view type);

// Result codes of a sent job, as the statistics filter them ("rsltcode").
inline constexpr std::string_view kResultDone = "0";
inline constexpr std::string_view kResultFailed = "1";
inline constexpr std::string_view kResultWaiting = "2";

struct SentJob {
  int64_t seq = 0;   // unique, increasing in order of arrival
  std::string time;  // "YYYY-MM-DD HH:MM:SS"
  std::string account;
  std::string jobid;
  std::string type;
  int64_t count = 0;
  std::string title;
  std::string msg;
  std::string resflag;
  std::string reserdate;
  std::string fromnumber;
  std::string result;  // kResultDone, kResultFailed or kResultWaiting
};

struct SavedMessage {
  int64_t seq = 0;
  std::string account;
  std::string msgtype;
  std::string subject;
  std::string msg;
  std::string time;
};

struct CatalogueGroup {
  std::string gseq;
  std::string name;
  std::vector<std::string> texts;
};

// The shared catalogue, the same for every category; the first group's first page holds a text
// with a backtick and one with the entity "&#39;".
std::vector<CatalogueGroup> BuildCatalogue();

// The send history a fresh simulator holds for `account`: 23 jobs in March 2024, oldest first,
// numbered from 1, of every type and result.
std::vector<SentJob> SeedHistory(const std::string& account);

// The saved messages a fresh simulator holds for `account`: 12 of type "SMS" and 3 of type
// "LMS", oldest first, numbered from 1.
std::vector<SavedMessage> SeedSavedMessages(const std::string& account);

// The local time now as "YYYY-MM-DD HH:MM:SS".
std::string NowText();

// The Korean text `utf8` in CP949.
std::string Ko(std::string_view utf8);

}  // namespace parley::websim

#endif  // PARLEY_WEBSIM_WEB_CONTENT_H_
