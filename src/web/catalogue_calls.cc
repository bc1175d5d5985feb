#include "web/catalogue_calls.h"

#include <initializer_list>

#include "text/text_codes.h"
#include "web/reply_text.h"

namespace parley {
namespace {

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

}  // namespace

WebTarget GetCatText(std::string_view base_url, std::string_view type) {
  return TargetOf(Join({base_url, ":443/Ajax/GetCatText.asp?type=", type, "&gubun=1"}));
}

WebTarget GetEmoticonCNT(std::string_view base_url, std::string_view group, std::string_view type) {
  return TargetOf(
      Join({base_url, "/Ajax/GetEmoticonCNT.asp?gseq=", group, "&type=", type, "&mode="}));
}

WebTarget GetEmoticon(std::string_view base_url, std::string_view group, std::string_view type,
                      std::string_view page, std::string_view page_size) {
  return TargetOf(Join({base_url, "/Ajax/GetEmoticon.asp?gseq=", group, "&type=", type,
                        "&mode=&pg=", page, "&ps=", page_size}));
}

WebTarget GetUserEmoticonCNT(std::string_view base_url, std::string_view type) {
  return TargetOf(Join({base_url, ":443/Ajax/GetEmoticonCNT.asp?mode=user&type=", type}));
}

WebTarget GetUserEmoticon(std::string_view base_url, std::string_view type,
                          std::string_view page_size, std::string_view page) {
  return TargetOf(Join({base_url, ":443/Ajax/GetEmoticon.asp?mode=user&type=", type,
                        "&ps=", page_size, "&pg=", page}));
}

std::string SaveEmoticon(std::string_view base_url, std::string_view message,
                         std::string_view subject, std::string_view message_type,
                         WebTarget* target) {
  *target = TargetOf(Join({base_url, ":443/Ajax/SaveEmoticon.asp"}));
  return FormBody({{"msg", message}, {"subject", subject}, {"msgtype", message_type}});
}

}  // namespace parley
