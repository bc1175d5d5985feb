#include "commands/login_command.h"

#include <spdlog/spdlog.h>

#include "commands/recent_numbers.h"
#include "commands/sent_reports.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "protocol/replies.h"
#include "text/cp949.h"
#include "web/web_service.h"

namespace parley {

asio::awaitable<std::string> OnLogin(Engine& engine, std::string body) {
  if (protocol::LoginRequest::AsksSavedId(body)) {
    std::string saved;
    try {
      engine.services().address_book().OpenAddressBook();
      saved = engine.services().address_book().SaveIDLoad();
    } catch (const CDBException& e) {
      // A broken address book must not keep the user from logging in: no id is offered.
      spdlog::error("address book: cannot read the saved login id: {}", AnsiToUtf8(e.what()));
    }
    co_return protocol::SavedIdReply(saved);
  }
  co_return co_await DoLogin(engine, protocol::LoginRequest::Parse(body));
}

asio::awaitable<std::string> DoLogin(Engine& engine, protocol::LoginRequest request) {
  const std::string home = Utf8ToAnsi(engine.services().GetModuleDir());
  engine.session().SetLogin(request.id, request.password);
  const char code = co_await engine.services().web().Login(request.id, request.password);
  if (code != '1') {
    // The id and password now in the engine were refused: no send may go out under them.
    engine.session().set_send_permission(0);
    engine.session().set_logged_in(false);
    co_return protocol::LoginRefusedReply(code, home);
  }
  engine.session().set_logged_in(true);
  const protocol::AccountFigures figures = co_await RefreshUserInfo(engine);
  AddressBook& book = engine.services().address_book();
  book.EnsureUserTable(engine.session().login_id());
  if (request.save) {
    book.SaveID(engine.session().login_id());
  } else {
    book.SaveID_Reset();
  }
  LoadRecentList(engine);
  // Sent reports that earlier sends could not post go now, under this login.
  co_await PostSentReports(engine, {});
  co_return protocol::LoginAcceptedReply(figures, home);
}

asio::awaitable<protocol::AccountFigures> RefreshUserInfo(Engine& engine) {
  co_return co_await engine.services().web().UserInfo();
}

}  // namespace parley
