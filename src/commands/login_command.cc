#include "commands/login_command.h"

#include <spdlog/spdlog.h>

#include "commands/recent_numbers.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "text/cp949.h"
#include "web/account_calls.h"

namespace parley {
namespace {

// Bodies shorter than this ask for the saved login id ("a<QX>b" is the shortest login).
constexpr size_t kMinLoginBody = 7;

}  // namespace

std::string OnLogin(Engine& engine, const std::string& body) {
  if (body.size() < kMinLoginBody) {
    std::string saved;
    try {
      engine.services().address_book().OpenAddressBook();
      saved = engine.services().address_book().SaveIDLoad();
    } catch (const CDBException& e) {
      // A broken address book must not keep the user from logging in: no id is offered.
      spdlog::error("address book: cannot read the saved login id: {}", AnsiToUtf8(e.what()));
    }
    if (saved.empty() || saved == "NULL") return "1<QX>";
    return "1<QX>" + saved + "<QX>";
  }
  return DoLogin(engine, body) + "<QX>" + Utf8ToAnsi(engine.services().GetModuleDir()) + "<QX>";
}

std::string DoLogin(Engine& engine, const std::string& body) {
  LoginRequest request;
  const bool save = request.ParseLoginArgs(body);
  engine.session().SetLogin(request.login_id, request.password);
  request.BuildLogin(engine.services().config().web_base);
  engine.services().web().PostForm(request.form, request.target.server, request.target.object);
  const char c = CheckUser(engine.services().web().reply());
  if (c != '1') {
    // The id and password now in the engine were refused: no send may go out under them.
    engine.session().set_send_permission(0);
    std::string reply = "2<QX>";
    reply += c;  // a NUL byte for an empty reply, as the UI program expects
    reply += "<QX>";
    return reply;
  }
  std::string info = RefreshUserInfo(engine);
  AddressBook& book = engine.services().address_book();
  book.EnsureUserTable(engine.session().login_id());
  if (save) {
    book.SaveID(engine.session().login_id());
  } else {
    book.SaveID_Reset();
  }
  LoadRecentList(engine);
  return "2<QX>1" + info;
}

std::string RefreshUserInfo(Engine& engine) {
  LoginRequest request;
  request.BuildUserInfo(engine.services().config().web_base);
  engine.services().web().GetPage(request.target.server, request.target.object);
  return FormatUserInfo(engine.services().web().reply());
}

}  // namespace parley
