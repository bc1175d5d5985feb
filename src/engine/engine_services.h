// EngineServices: what the engine's commands talk to, built from the engine's configuration: the
// web client, the address book, the workbook cache and the gateway setup. One lives as long as
// the engine.
#ifndef PARLEY_ENGINE_ENGINE_SERVICES_H_
#define PARLEY_ENGINE_ENGINE_SERVICES_H_

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include <asio/any_io_executor.hpp>

#include "db/address_book.h"
#include "db/rules_book.h"
#include "engine/engine_config.h"
#include "engine/journal_recorder.h"
#include "engine/workbook_worker.h"
#include "excel/workbook_loader.h"
#include "journal/send_journal.h"
#include "send/gateway_job.h"
#include "web/web_service.h"

namespace parley {

class EngineSession;

class EngineServices {
 public:
  // Gateway jobs run on `executor`.
  EngineServices(asio::any_io_executor executor, EngineConfig config);
  // Tells a workbook load under way to stop, then waits for the worker.
  ~EngineServices();
  EngineServices(const EngineServices&) = delete;
  EngineServices& operator=(const EngineServices&) = delete;

  const EngineConfig& config() const { return config_; }
  // The engine directory with a trailing "/".
  std::string GetModuleDir() const { return config_.GetModuleDir(); }

  // The one client of the web service; its session cookies carry the login.
  WebService& web() { return web_; }
  // The address book, "QXBOOK.mdb" in the current directory; opened on first use.
  AddressBook& address_book() { return address_book_; }
  // Where the sending rules' data lives: the address book file, or the office's database.
  RulesStore& rules_store() { return *rules_store_; }
  // True when that is the office's database: a send whose rules cannot be read is then refused,
  // since the opt-out list others keep could not be applied.
  bool shared_rules_store() const { return shared_rules_; }
  // Why the office's database could not be opened at start-up (UTF-8); empty when it was.
  const std::string& database_error() const { return database_error_; }

  // The last workbook read, kept while its file is unchanged. Used on the workbook worker only.
  WorkbookCache& workbooks() { return workbooks_; }
  // The thread that loads and queries workbooks.
  WorkbookWorker& workbook_worker() { return workbook_worker_; }

  // The send journal, opened (or created) at start-up; null when it could not be, and then
  // journal_error() says why (UTF-8) and no send may go out.
  SendJournal* journal() { return journal_.get(); }
  bool has_journal() const { return journal_ != nullptr; }
  const std::string& journal_error() const { return journal_error_; }
  // What the user must be told of the journal (UTF-8), empty when nothing: that it cannot be
  // opened, that a damaged one was moved aside, or that jobs were interrupted.
  const std::string& journal_notice() const { return journal_notice_; }

  // Where and as whom the engine's sends go: the gateway of the configuration, the engine
  // directory, and the session's login id and password; the job reports to the session's job
  // record and to the journal (as coming from `source`), and stops when the session asks.
  SendSetup MakeSendSetup(EngineSession& session, JobSource source) const;
  // The journal id of the job last sent with setup (made by MakeSendSetup), once it has begun.
  static std::optional<int64_t> JournaledJob(const SendSetup& setup);

 private:
  asio::any_io_executor executor_;
  EngineConfig config_;
  WebService web_;
  AddressBook address_book_{AddressBook::kFileName};
  std::unique_ptr<RulesStore> rules_store_;
  bool shared_rules_ = false;
  std::string database_error_;
  std::atomic<bool> stopping_{false};  // read by workbook loads on the worker
  WorkbookCache workbooks_;
  std::unique_ptr<SendJournal> journal_;
  std::string journal_error_;
  std::string journal_notice_;
  // Last: destroyed first, so that no task outlives what it uses.
  WorkbookWorker workbook_worker_;
};

}  // namespace parley

#endif  // PARLEY_ENGINE_ENGINE_SERVICES_H_
