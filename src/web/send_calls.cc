#include "web/send_calls.h"

#include "text/mbcs.h"
#include "text/text_codes.h"
#include "web/web_client.h"
#include "web/web_target.h"

namespace parley {

std::string_view SendCheckKind(std::string_view kind_code) {
  if (kind_code == "1") return "SMS";
  if (kind_code == "2") return "LMS";
  return "MMS";
}

bool CheckSendable(CWebClient& web, std::string_view base_url, std::string_view kind_code,
                   std::string_view count, std::string_view reserve_date, std::string* answer) {
  const WebTarget target = TargetOf(std::string(base_url) + "/QX/sendablecheck.asp");
  const std::string form = FormBody(
      {{"type", SendCheckKind(kind_code)}, {"totcnt", count}, {"reserdate", reserve_date}});
  web.PostForm(form, target.server, target.object);
  std::string* reply = web.mutable_reply();
  ReplaceAll(*reply, "<COL>", "<QX>");
  ReplaceAll(*reply, "<BR>", "\n");
  *answer = *reply;
  return !answer->empty() && answer->front() == '1';
}

bool ReportSent(CWebClient& web, std::string_view base_url, std::string_view report) {
  const WebTarget target = TargetOf(std::string(base_url) + "/QX/sended.asp");
  web.PostForm(report, target.server, target.object);
  return true;
}

}  // namespace parley
