#include "engine/engine_services.h"

#ifdef PARLEY_HAVE_PGSTORE
#include "pgstore/pg_rules_store.h"
#endif

#include <algorithm>
#include <chrono>
#include <ctime>

#include <spdlog/spdlog.h>

#include "engine/engine_session.h"
#include "engine/journal_recorder.h"

namespace parley {
namespace {

// Connecting to the web service never takes longer than this, whatever the total time-out.
constexpr std::chrono::seconds kWebConnectTimeout(10);

WebTimeouts WebTimeoutsOf(const EngineConfig& config) {
  WebTimeouts t;
  t.total = std::chrono::seconds(config.web_timeout_seconds);
  t.connect = std::min<std::chrono::milliseconds>(kWebConnectTimeout, t.total);
  return t;
}

}  // namespace

EngineServices::EngineServices(asio::any_io_executor executor, EngineConfig config)
    : executor_(std::move(executor)),
      config_(std::move(config)),
      web_(config_.web_base, config_.web_port, WebTimeoutsOf(config_)) {
  workbooks_.SetStop(&stopping_);
  if (config_.database.starts_with("postgres")) {
#ifdef PARLEY_HAVE_PGSTORE
    auto store = std::make_unique<PgRulesStore>(config_.database);
    if (!store->Open(&database_error_)) {
      spdlog::error("the office database cannot be opened: {}; sends are refused until it can",
                    database_error_);
    }
    rules_store_ = std::move(store);
#else
    database_error_ = "this engine was built without PostgreSQL";
    spdlog::error("the office database cannot be opened: {}", database_error_);
    rules_store_ = std::make_unique<RulesBook>(address_book_);
#endif
    shared_rules_ = true;
  } else {
    rules_store_ = std::make_unique<RulesBook>(address_book_);
  }
  const std::filesystem::path path =
      config_.journal_path.empty() ? std::filesystem::path(kJournalFileName) : config_.journal_path;
  SendJournal::Opened opened = SendJournal::Open(path, std::time(nullptr));
  if (!opened.journal) {
    journal_error_ = "the send journal " + path.string() + " cannot be opened: " + opened.error;
    journal_notice_ = journal_error_ + "; nothing can be sent";
    spdlog::error("{}; sends are refused until it can be", journal_error_);
    return;
  }
  journal_ = std::move(opened.journal);
  if (!opened.moved_aside.empty()) {
    journal_notice_ = "the send journal " + path.string() + " was damaged; it was moved to " +
                      opened.moved_aside.string() + " and a new one started";
    spdlog::warn("{}", journal_notice_);
  }
  if (opened.interrupted > 0) {
    const std::string interrupted = std::to_string(opened.interrupted) +
                                    " jobs were interrupted when the engine last stopped; see "
                                    "the send journal";
    journal_notice_ += (journal_notice_.empty() ? "" : "; ") + interrupted;
    spdlog::warn("{}", interrupted);
  }
}

EngineServices::~EngineServices() {
  // The worker is the last member, destroyed first: a load it runs ends at its next read.
  stopping_ = true;
}

namespace {

// The session's record of the job and the journal's recorder of it, for this job alone.
struct Listeners : JobObservers {
  Listeners(JobProgress& progress, SendJournal* journal, JobSource source)
      : recorder(journal, std::move(source)) {
    Add(&progress);
    Add(&recorder);
  }
  JournalRecorder recorder;
};

}  // namespace

std::optional<int64_t> EngineServices::JournaledJob(const SendSetup& setup) {
  const auto* listeners = dynamic_cast<const Listeners*>(setup.observer.get());
  return listeners != nullptr ? listeners->recorder.last_job() : std::nullopt;
}

SendSetup EngineServices::MakeSendSetup(EngineSession& session, JobSource source) const {
  SendSetup setup;
  setup.executor = executor_;
  setup.gateway_host = config_.gateway_host;
  setup.gateway_port = config_.gateway_port;
  setup.timeout = std::chrono::seconds(config_.gateway_timeout_seconds);
  setup.module_dir = GetModuleDir();
  setup.login_id = session.login_id();
  setup.password = session.password();
  setup.observer = std::make_shared<Listeners>(session.job(), journal_.get(), std::move(source));
  setup.cancel = session.job().cancel_flag();
  return setup;
}

}  // namespace parley
