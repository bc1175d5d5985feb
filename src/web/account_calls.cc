#include "web/account_calls.h"

#include <array>
#include <vector>

#include "text/mbcs.h"
#include "text/text_codes.h"
#include "web/reply_text.h"

namespace parley {
namespace {

constexpr char kSaveFlag[] = "SAVE";
constexpr char kLogoutObject[] = "/Member/logout.asp?lmode=QX";
constexpr char kUnlimitedAmount[] = "9999999999";
constexpr std::array<std::string_view, 3> kCountTags = {"SMS:", "TXT:", "IMT:"};
constexpr long kTagSize = 4;

// FindText with signed positions: -1 for "none", and for a start outside the text.
long Find(std::string_view text, std::string_view what, long from) {
  if (from < 0 || static_cast<size_t>(from) > text.size()) return -1;
  const size_t found = FindText(text, what, static_cast<size_t>(from));
  return found == std::string_view::npos ? -1 : static_cast<long>(found);
}

std::string Amount(std::string amount, std::string_view unit_field) {
  if (unit_field == "0") return kUnlimitedAmount;
  const long dot = Find(amount, ".", 0);
  if (dot > 0 && amount.size() - static_cast<size_t>(dot) - 1 >= 2) {
    amount.resize(static_cast<size_t>(dot) + 1);  // the "." stays, the decimals go
  }
  return amount;
}

}  // namespace

bool LoginRequest::ParseLoginArgs(std::string_view args) {
  QxFields fields(args);
  login_id = std::string(fields[0]);
  password = std::string(fields[1]);
  return fields[2] == kSaveFlag;
}

void LoginRequest::BuildLogin(std::string_view base_url) {
  target = TargetOf(std::string(base_url) + "/QX/loginok.asp");
  form = FormBody({{"loginid", login_id},
                   {"loginpass", password},
                   {"lmode", "QX"},
                   {"Ver", kEngineVersionText}});
}

void LoginRequest::BuildUserInfo(std::string_view base_url) {
  target = TargetOf(std::string(base_url) + ":443/Ajax/GetUserInfo.asp");
}

char CheckUser(std::string_view reply) { return reply.empty() ? '\0' : reply.front(); }

std::string FormatUserInfo(std::string_view reply) {
  const std::string text = Replaced(reply, "<COL>", "`");
  const std::vector<std::string_view> fields = SplitFields(text, '`');
  auto field = [&fields](size_t i) {
    return i < fields.size() ? std::string(fields[i]) : std::string();
  };
  std::string out = "<QX>" + field(5) + "<QX>" + field(10) + "<QX>" + Amount(field(4), field(6));

  long start = 0;
  for (std::string_view tag : kCountTags) {
    const long at = Find(text, tag, start);
    // Without the tag the comma search still starts at -1 + 4.
    const long comma = Find(text, ",", at + kTagSize);
    std::string value;
    if (at < 0) {
      value = "0";
    } else if (comma - at - kTagSize > 0) {
      value = text.substr(static_cast<size_t>(at + kTagSize),
                          static_cast<size_t>(comma - at - kTagSize));
    }
    out += "<QX>" + value;
    start = comma;
  }
  return out;
}

WebTarget BuildLogout(std::string_view base_url) {
  WebTarget target = TargetOf(base_url);
  target.object = kLogoutObject;
  return target;
}

}  // namespace parley
