// The message catalogue, the emoticons and the user's own saved messages.
//
// Each builder formats its URL with the base URL ("http://" and the host, no trailing slash) and
// the values exactly as given, without any encoding, and returns the request target. The five
// GETs are sent with CWebClient::GetPage, SaveEmoticon's form with CWebClient::PostForm.
#ifndef PARLEY_WEB_CATALOGUE_CALLS_H_
#define PARLEY_WEB_CATALOGUE_CALLS_H_

#include <string>
#include <string_view>

#include "web/reply_data.h"
#include "web/web_target.h"

namespace parley {

// "<base>:443/Ajax/GetCatText.asp?type=<type>&gubun=1"
WebTarget GetCatText(std::string_view base_url, std::string_view type);

// "<base>/Ajax/GetEmoticonCNT.asp?gseq=<group>&type=<type>&mode="
WebTarget GetEmoticonCNT(std::string_view base_url, std::string_view group, std::string_view type);

// "<base>/Ajax/GetEmoticon.asp?gseq=<group>&type=<type>&mode=&pg=<page>&ps=<page size>"
WebTarget GetEmoticon(std::string_view base_url, std::string_view group, std::string_view type,
                      std::string_view page, std::string_view page_size);

// The user's own messages: "<base>:443/Ajax/GetEmoticonCNT.asp?mode=user&type=<type>"
WebTarget GetUserEmoticonCNT(std::string_view base_url, std::string_view type);

// The user's own messages, page size before page:
// "<base>:443/Ajax/GetEmoticon.asp?mode=user&type=<type>&ps=<page size>&pg=<page>"
WebTarget GetUserEmoticon(std::string_view base_url, std::string_view type,
                          std::string_view page_size, std::string_view page);

// Saves a message of the user's: sets *target to "<base>:443/Ajax/SaveEmoticon.asp" and returns
// the form "msg=<message>&subject=<subject>&msgtype=<message type>", built with FormBody.
std::string SaveEmoticon(std::string_view base_url, std::string_view message,
                         std::string_view subject, std::string_view message_type,
                         WebTarget* target);

}  // namespace parley

#endif  // PARLEY_WEB_CATALOGUE_CALLS_H_
