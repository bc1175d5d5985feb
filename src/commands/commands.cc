#include "commands/commands.h"

#include "commands/address_commands.h"
#include "commands/asend_command.h"
#include "commands/content_commands.h"
#include "commands/dsend_command.h"
#include "commands/end_command.h"
#include "commands/excel_commands.h"
#include "commands/journal_commands.h"
#include "commands/login_command.h"
#include "commands/recent_numbers.h"
#include "commands/rules_commands.h"
#include "commands/status_commands.h"
#include "engine/engine.h"

namespace parley {
namespace {

// A send command's handler followed by storing the recent numbers, whatever it answered.
CommandHandler ThenSaveRecentList(Engine& engine, CommandHandler send) {
  return [&engine, send = std::move(send)](CommandBody b) -> asio::awaitable<std::string> {
    std::string reply = co_await send(std::move(b));
    SaveRecentList(engine);
    co_return reply;
  };
}

}  // namespace

void InstallCommandHandlers(Engine& engine) {
  CommandDispatcher& d = engine.link().dispatcher();
  auto sync = [&engine](std::string (*handler)(Engine&, const std::string&)) {
    return SyncHandler(
        [&engine, handler](const std::string& text) { return handler(engine, text); });
  };
  // The handlers that await the web service.
  auto web = [&engine](asio::awaitable<std::string> (*handler)(EngineServices&, std::string)) {
    return
        [&engine, handler](CommandBody b) { return handler(engine.services(), std::move(b.text)); };
  };
  d.SetHandler(kCmdLogin, [&engine](CommandBody b) { return OnLogin(engine, std::move(b.text)); });
  d.SetHandler(kCmdAddrB, sync(&OnAddrB));
  d.SetHandler(kCmdMyMsg, web(&OnMyMsg));
  d.SetHandler(kCmdEmotn, web(&OnEmotn));
  d.SetHandler(kCmdSendL, web(&OnSendL));
  d.SetHandler(kCmdCashL, web(&OnCashL));
  d.SetHandler(kCmdDSend, ThenSaveRecentList(engine, [&engine](CommandBody b) {
                 return OnDSend(engine, std::move(b.text));
               }));
  d.SetHandler(kCmdASend, ThenSaveRecentList(engine, [&engine](CommandBody b) {
                 return OnASend(engine, std::move(b.text));
               }));
  d.SetHandler(kCmdExcel, [&engine](CommandBody b) { return OnExcel(engine, std::move(b)); });
  d.SetHandler(kCmdESend, ThenSaveRecentList(engine, [&engine](CommandBody b) {
                 return OnESend(engine, std::move(b.text));
               }));
  d.SetHandler(kCmdExChk,
               [&engine](CommandBody b) { return OnExCheck(engine, std::move(b.text)); });
  d.SetHandler(kCmdState, sync(&OnState));
  d.SetHandler(kCmdCancl, sync(&OnCancel));
  d.SetHandler(kCmdJobLs, sync(&OnJobList));
  d.SetHandler(kCmdJobEx, [&engine](CommandBody b) { return OnJobExport(engine, std::move(b)); });
  d.SetHandler(kCmdJobSh, sync(&OnJobShow));
  d.SetHandler(kCmdJobFg, sync(&OnJobForget));
  d.SetHandler(kCmdJobRs,
               [&engine](CommandBody b) { return OnJobResend(engine, std::move(b.text)); });
  d.SetHandler(kCmdOptLs, sync(&OnOptOutList));
  d.SetHandler(kCmdOptAd, sync(&OnOptOutAdd));
  d.SetHandler(kCmdOptRm, sync(&OnOptOutRemove));
  d.SetHandler(kCmdCbkLs, sync(&OnCallbackList));
  d.SetHandler(kCmdCbkAd, sync(&OnCallbackAdd));
  d.SetHandler(kCmdCbkRm, sync(&OnCallbackRemove));
  d.SetHandler(kCmdSetGt, sync(&OnSettingsGet));
  d.SetHandler(kCmdSetPt, sync(&OnSettingsPut));
  d.SetHandler(kCmdOptCk, sync(&OnOptOutCheck));
  d.SetEndHandler([&engine](int value) { return OnEnd(engine, value); });
}

}  // namespace parley
