// The simulated web service: the pages the engine requests under /QX/, /Ajax/ and /Member/,
// answered in the service's markup ("<COL>" between columns, "<BR>" between rows) from the
// accounts, sent jobs, saved messages and catalogue of web_content.h. No sockets here.
//
// The login sets a session cookie; every other page needs it and answers "2" without it, as
// the real service does. Paths are matched exactly. POST pages read their values from the form
// body only, GET pages from the query only; values are percent-decoded, "+" is kept.
#ifndef PARLEY_WEBSIM_WEB_SERVICE_H_
#define PARLEY_WEBSIM_WEB_SERVICE_H_

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "websim/http_message.h"
#include "websim/web_content.h"

namespace parley::websim {

class WebService {
 public:
  // Serves the built-in account plus `extra_accounts` (a later account with the id of an
  // earlier one replaces it). The session cookie is given out for cookie_path and below.
  explicit WebService(std::vector<Account> extra_accounts = {}, std::string cookie_path = "/");

  // Answers one request for a page of the service; an unknown path gets a 404 page.
  HttpReply Handle(const HttpRequest& request);

  // Back to the starting state: balances, sent jobs and saved messages as at start, and no
  // session (cookies given out before are no longer valid).
  void Reset();

  // The session cookie's name, "ASPSESSIONID" and eight letters chosen at start.
  const std::string& cookie_name() const { return cookie_name_; }

 private:
  using Form = std::map<std::string, std::string>;

  HttpReply Login(const HttpRequest& request);
  HttpReply Logout(const std::string& session);
  HttpReply UserInfo(const Account& account) const;
  HttpReply SendableCheck(const Account& account, const Form& form) const;
  HttpReply Sended(Account& account, const Form& form);
  HttpReply CatText(const Form& query) const;
  HttpReply EmoticonCount(const Account& account, const Form& query) const;
  HttpReply Emoticons(const Account& account, const Form& query) const;
  HttpReply SaveEmoticon(const Account& account, const Form& form);
  HttpReply SendResultCount(const Account& account, const Form& query) const;
  HttpReply SendStatCount(const Account& account, const Form& query) const;
  HttpReply SendStat(const Account& account, const Form& query) const;
  HttpReply DailyStat(const Account& account, const Form& query) const;

  // The catalogue group `gseq` names, its first group for an empty one; null when unknown.
  const CatalogueGroup* FindGroup(std::string_view gseq) const;
  // The account's jobs that pass the statistics filters of `query`, newest first.
  std::vector<const SentJob*> FilteredJobs(const Account& account, const Form& query) const;
  std::string RandomLetters(size_t n);

  std::vector<Account> initial_accounts_;
  std::vector<CatalogueGroup> catalogue_;
  std::string cookie_path_;
  std::mt19937_64 random_;
  std::string cookie_name_;

  std::map<std::string, Account> accounts_;      // by id
  std::map<std::string, std::string> sessions_;  // cookie value -> account id
  std::vector<SentJob> jobs_;                    // oldest first
  std::vector<SavedMessage> saved_;              // oldest first
  int64_t next_job_seq_ = 1;
  int64_t next_saved_seq_ = 1;
};

}  // namespace parley::websim

#endif  // PARLEY_WEBSIM_WEB_SERVICE_H_
