#include "web/curl_loop.h"

#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <map>
#include <tuple>

#include <asio/experimental/as_tuple.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

namespace parley {
namespace {

// One socket libcurl asked to watch, and which directions have a wait pending.
struct Watch {
  explicit Watch(asio::posix::stream_descriptor d) : descriptor(std::move(d)) {}
  asio::posix::stream_descriptor descriptor;
  int wanted = 0;  // CURL_POLL_IN / CURL_POLL_OUT bits
  bool reading = false;
  bool writing = false;
  bool removed = false;
};

// The end of one transfer: its code, and the timer its awaiter sleeps on until then.
struct Completion {
  explicit Completion(asio::any_io_executor ex) : wake(ex, asio::steady_timer::time_point::max()) {}
  asio::steady_timer wake;
  CURLcode code = CURLE_OK;
  bool done = false;
};

}  // namespace

struct CurlLoop::State : std::enable_shared_from_this<CurlLoop::State> {
  explicit State(asio::any_io_executor ex) : executor(ex), timer(ex) {
    multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &State::OnSocket);
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &State::OnTimer);
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
  }

  ~State() {
    for (auto& [easy, completion] : transfers) curl_multi_remove_handle(multi, easy);
    ReleaseAll();
    curl_multi_cleanup(multi);
  }

  // Gives every watched descriptor back to libcurl, which closes its sockets itself.
  void ReleaseAll() {
    for (auto& [fd, watch] : watches) {
      watch->removed = true;
      std::error_code ignored;
      watch->descriptor.cancel(ignored);
      watch->descriptor.release();
    }
    watches.clear();
  }

  static int OnSocket(CURL*, curl_socket_t fd, int what, void* user, void*) {
    auto* self = static_cast<State*>(user);
    auto it = self->watches.find(fd);
    if (what == CURL_POLL_REMOVE) {
      if (it != self->watches.end()) {
        it->second->removed = true;
        std::error_code ignored;
        it->second->descriptor.cancel(ignored);
        it->second->descriptor.release();
        self->watches.erase(it);
      }
      return 0;
    }
    if (it == self->watches.end()) {
      auto watch = std::make_shared<Watch>(asio::posix::stream_descriptor(self->executor, fd));
      it = self->watches.emplace(fd, std::move(watch)).first;
    }
    it->second->wanted = what;
    self->Arm(fd, it->second);
    return 0;
  }

  static int OnTimer(CURLM*, long timeout_ms, void* user) {
    auto* self = static_cast<State*>(user);
    self->timer.cancel();
    if (timeout_ms < 0) return 0;
    self->timer.expires_after(std::chrono::milliseconds(timeout_ms));
    self->timer.async_wait([weak = self->weak_from_this()](std::error_code ec) {
      auto state = weak.lock();
      if (ec || !state) return;
      state->Act(CURL_SOCKET_TIMEOUT, 0);
    });
    return 0;
  }

  void Arm(curl_socket_t fd, const std::shared_ptr<Watch>& watch) {
    using Base = asio::posix::descriptor_base;
    if ((watch->wanted & CURL_POLL_IN) && !watch->reading) {
      watch->reading = true;
      watch->descriptor.async_wait(Base::wait_read, Ready(fd, watch, CURL_CSELECT_IN));
    }
    if ((watch->wanted & CURL_POLL_OUT) && !watch->writing) {
      watch->writing = true;
      watch->descriptor.async_wait(Base::wait_write, Ready(fd, watch, CURL_CSELECT_OUT));
    }
  }

  std::function<void(std::error_code)> Ready(curl_socket_t fd, std::shared_ptr<Watch> watch,
                                             int direction) {
    return [weak = weak_from_this(), fd, watch, direction](std::error_code ec) {
      (direction == CURL_CSELECT_IN ? watch->reading : watch->writing) = false;
      auto state = weak.lock();
      if (!state || watch->removed || ec == asio::error::operation_aborted) return;
      state->Act(fd, ec ? CURL_CSELECT_ERR : direction);
      if (!watch->removed) state->Arm(fd, watch);
    };
  }

  // Lets libcurl work on `fd` (or on its time-outs) and hands finished transfers to their
  // awaiters.
  void Act(curl_socket_t fd, int events) {
    int running = 0;
    curl_multi_socket_action(multi, fd, events, &running);
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
      if (msg->msg != CURLMSG_DONE) continue;
      CURL* easy = msg->easy_handle;
      const CURLcode code = msg->data.result;
      curl_multi_remove_handle(multi, easy);
      auto it = transfers.find(easy);
      if (it == transfers.end()) continue;
      it->second->code = code;
      it->second->done = true;
      it->second->wake.cancel();
      transfers.erase(it);
    }
  }

  asio::any_io_executor executor;
  CURLM* multi = nullptr;
  asio::steady_timer timer;
  std::map<curl_socket_t, std::shared_ptr<Watch>> watches;
  std::map<CURL*, std::shared_ptr<Completion>> transfers;
};

CurlLoop::CurlLoop(asio::any_io_executor executor)
    : state_(std::make_shared<State>(std::move(executor))) {}

CurlLoop::~CurlLoop() = default;

asio::awaitable<int> CurlLoop::Perform(void* easy) {
  CURL* handle = static_cast<CURL*>(easy);
  auto completion = std::make_shared<Completion>(state_->executor);
  state_->transfers[handle] = completion;
  const CURLMcode added = curl_multi_add_handle(state_->multi, handle);
  if (added != CURLM_OK) {
    state_->transfers.erase(handle);
    co_return static_cast<int>(CURLE_FAILED_INIT);
  }
  while (!completion->done) {
    co_await completion->wake.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
  }
  co_return static_cast<int>(completion->code);
}

void CurlLoop::Forget(void* easy) {
  CURL* handle = static_cast<CURL*>(easy);
  if (state_->transfers.erase(handle) > 0) curl_multi_remove_handle(state_->multi, handle);
}

}  // namespace parley
