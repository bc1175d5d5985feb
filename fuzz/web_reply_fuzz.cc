// Fuzzes what the engine makes of web service replies: the reply text of a POST and of a GET,
// the character-aware search, and the formatters of the account and statistics replies.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "web/account_calls.h"
#include "web/reply_text.h"
#include "web/stat_calls.h"

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

  (void)FormatUserInfo(reply);
  (void)CheckUser(reply);
  const std::string count = FormatResultCount(reply, n);
  FUZZ_CHECK(count.ends_with("<DATA>"));

  StatRequest request;
  request.page_size = page_size;
  (void)FormatSendStatRows(request, reply);
  (void)FormatStatRow(reply);
  (void)NullToEmpty(reply);

  request.GetSendStat("http://127.0.0.1", "20260101", "20261231", args);
  request.GetSendStatCNT("http://127.0.0.1", "20260101", "20261231", args);
  request.GetDailyStat("http://127.0.0.1", args);
  LoginRequest login;
  (void)login.ParseLoginArgs(args);
  login.BuildLogin("http://127.0.0.1");
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
