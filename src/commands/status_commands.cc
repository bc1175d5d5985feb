#include "commands/status_commands.h"

#include <filesystem>
#include <system_error>

#include <spdlog/spdlog.h>

#include "db/address_book.h"
#include "engine/engine.h"
#include "protocol/status_messages.h"
#include "text/cp949.h"

namespace parley {
namespace {

// The address book's file as the engine opens it (relative to the current directory), made
// absolute; as given when that fails.
std::string AddressBookPath() {
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::absolute(AddressBook::kFileName, ec);
  return ec ? std::string(AddressBook::kFileName) : path.string();
}

}  // namespace

std::string OnState(Engine& engine, const std::string&) {
  const EngineSession& session = engine.session();
  const JobProgress& job = session.job();
  protocol::StateReply r;
  r.version = kVersionText;
  r.home = Utf8ToAnsi(engine.services().GetModuleDir());
  r.address_book = Utf8ToAnsi(AddressBookPath());
  r.logged_in = session.logged_in();
  if (r.logged_in) r.login_id = session.login_id();
  r.job_number = job.job_number();
  r.command = job.command();
  r.kind = job.kind();
  r.state = job.state();
  r.total = job.total();
  r.sent = job.sent();
  r.acknowledged = job.acknowledged();
  r.job_id = job.job_id();
  r.journal_notice = Utf8ToAnsi(engine.services().journal_notice());
  return r.Build();
}

std::string OnCancel(Engine& engine, const std::string&) {
  const bool asked = engine.session().job().RequestCancel();
  if (asked) spdlog::info("CANCL: the running gateway job stops at its next acknowledgement");
  return protocol::CancelReply{asked}.Build();
}

}  // namespace parley
