#include "commands/login_command.h"

#include <spdlog/spdlog.h>

#include "commands/recent_numbers.h"
#include "db/db_exception.h"
#include "link/flex_link.h"
#include "text/cp949.h"
#include "web/account_calls.h"

namespace parley {
namespace {

// Bodies shorter than this ask for the saved login id ("a<QX>b" is the shortest login).
constexpr size_t kMinLoginBody = 7;

}  // namespace

std::string OnLogin(CFlexLink& link, const std::string& body) {
  if (body.size() < kMinLoginBody) {
    std::string saved;
    try {
      link.address_book.OpenAddressBook();
      saved = link.address_book.SaveIDLoad();
    } catch (const CDBException& e) {
      // A broken address book must not keep the user from logging in: no id is offered.
      spdlog::error("address book: cannot read the saved login id: {}", AnsiToUtf8(e.what()));
    }
    if (saved.empty() || saved == "NULL") return "1<QX>";
    return "1<QX>" + saved + "<QX>";
  }
  return DoLogin(link, body) + "<QX>" + Utf8ToAnsi(link.GetModuleDir()) + "<QX>";
}

std::string DoLogin(CFlexLink& link, const std::string& body) {
  LoginRequest request;
  const bool save = request.ParseLoginArgs(body);
  link.login_id = request.login_id;
  link.password = request.password;
  request.BuildLogin(link.config().web_base);
  link.web.PostForm(request.form, request.target.server, request.target.object);
  const char c = CheckUser(link.web.reply());
  if (c != '1') {
    // The id and password now in the engine were refused: no send may go out under them.
    link.send_permission = 0;
    std::string reply = "2<QX>";
    reply += c;  // a NUL byte for an empty reply, as the UI program expects
    reply += "<QX>";
    return reply;
  }
  std::string info = RefreshUserInfo(link);
  AddressBook& book = link.address_book;
  book.EnsureUserTable(link.login_id);
  if (save) {
    book.SaveID(link.login_id);
  } else {
    book.SaveID_Reset();
  }
  LoadRecentList(link);
  return "2<QX>1" + info;
}

std::string RefreshUserInfo(CFlexLink& link) {
  LoginRequest request;
  request.BuildUserInfo(link.config().web_base);
  link.web.GetPage(request.target.server, request.target.object);
  return FormatUserInfo(link.web.reply());
}

}  // namespace parley
