// Fuzzes what the engine makes of web service replies: the reply text of a POST and of a GET,
// the character-aware search, and the formatters of the account and statistics replies.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "web/endpoints.h"
#include "web/reply_data.h"
#include "web/reply_text.h"

namespace {

using namespace parley;

void CheckReplyText(const std::string& body, std::string_view what, size_t from) {
  const std::string line = FirstLine(body);
  FUZZ_CHECK(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
  FUZZ_CHECK(line.size() <= body.size());

  const std::string normalized = NormalizeGetReply(body);
  if (body == "2") FUZZ_CHECK(normalized.empty());
  // Entities only ever shrink the text; backticks grow it by at most "&gacct;" each.
  FUZZ_CHECK(normalized.size() <= body.size() * 7);

  const size_t found = FindText(body, what, from);
  if (found != std::string::npos) {
    FUZZ_CHECK(found >= from && found + what.size() <= body.size());
    FUZZ_CHECK(std::string_view(body).substr(found, what.size()) == what);
  }
}

void CheckFormatters(FuzzedDataProvider& in, const std::string& reply) {
  const int n = in.ConsumeIntegral<int>();
  const std::string page_size = in.ConsumeRandomLengthString(12);
  const std::string args = in.ConsumeRandomLengthString(64);

  (void)parley::protocol::UserInfoText(ParseUserInfo(reply));
  (void)LoginCode(reply);
  const std::string count = parley::protocol::ResultTotalsLine(n, ParseTotals(reply));
  FUZZ_CHECK(count.ends_with("<DATA>"));

  (void)parley::protocol::SendResultsReply(n, count, ParseSentJobs(reply, page_size));
  (void)NullToEmpty(reply);

  const auto r = parley::protocol::SendResultsRequest::Parse(args);
  (void)RequestFor("http://127.0.0.1", Endpoint::kStatPage,
                   {r.from, r.to, r.type, r.result, r.number_flag, r.phone, r.page, r.page_size});
  const auto u = parley::protocol::UsageRequest::Parse(args);
  (void)RequestFor("http://127.0.0.1", Endpoint::kDailyStat,
                   {u.start_year, u.start_month, u.end_year, u.end_month});
  const auto login = parley::protocol::LoginRequest::Parse(args);
  (void)RequestFor("http://127.0.0.1", Endpoint::kLogin, {login.id, login.password});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const size_t from = in.ConsumeIntegralInRange<size_t>(0, 64);
  const std::string what = in.ConsumeRandomLengthString(8);
  const std::string body = in.ConsumeRandomLengthString(size);
  CheckReplyText(body, what, from);
  CheckFormatters(in, body);
  CheckFormatters(in, NormalizeGetReply(body));
  return 0;
}
