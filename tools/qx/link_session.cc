#include "qx/link_session.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "link/message.h"
#include "qx/send_progress.h"

namespace parley {
namespace {

constexpr int64_t kPlainProgressEveryMs = 10000;
constexpr const char* kSpinner = "|/-\\";

// True when err is the process's standard error and that is a terminal.
bool IsTerminal(const std::ostream& err) { return &err == &std::cerr && ::isatty(2) == 1; }

}  // namespace

LinkSession::LinkSession(const LinkTarget& target, std::ostream& err)
    : target_(target), err_(err) {}

bool LinkSession::Open() {
  std::string error;
  if (!client_.Connect(target_.host, target_.port, &error)) {
    err_ << "qx: " << error << " (is the engine running? --port or QX_PORT names its port)\n";
    return false;
  }
  return true;
}

bool LinkSession::Ask(std::string_view code, std::string_view body, std::string* reply,
                      std::string_view progress_label) {
  std::string error;
  if (!client_.SendMessage(code, body, &error)) {
    err_ << "qx: " << error << "\n";
    return false;
  }
  const bool terminal = IsTerminal(err_);
  bool drawn = false;
  int64_t next_plain = kPlainProgressEveryMs;
  int tick = 0;
  auto on_wait = [&](int64_t elapsed_ms) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", static_cast<double>(elapsed_ms) / 1000.0);
    if (terminal) {
      err_ << "\r" << kSpinner[tick++ % 4] << " " << progress_label << " " << seconds << "   "
           << std::flush;
      drawn = true;
    } else if (elapsed_ms >= next_plain) {
      err_ << progress_label << " still waiting, " << seconds << "\n";
      next_plain += kPlainProgressEveryMs;
    }
  };
  RawMessage message;
  const bool ok =
      progress_label.empty()
          ? client_.ReadMessage(&message, target_.timeout_seconds * 1000, &error)
          : client_.ReadMessage(&message, target_.timeout_seconds * 1000, &error, on_wait);
  if (drawn) err_ << "\r\033[K" << std::flush;
  if (!ok) {
    err_ << "qx: " << code << ": " << error << "\n";
    return false;
  }
  *reply = std::move(message.body);
  return true;
}

bool LinkSession::AskSend(std::string_view code, std::string_view body, std::string* reply,
                          std::string_view progress_label, const SendWatch& watch, SendWait* wait) {
  using Clock = std::chrono::steady_clock;
  std::string error;
  if (!client_.SendMessage(code, body, &error)) {
    err_ << "qx: " << error << "\n";
    return false;
  }
  const bool terminal = IsTerminal(err_);
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::seconds(target_.timeout_seconds);
  auto next_poll = start + std::chrono::milliseconds(kProgressPollMs);
  bool state_pending = false;
  int outstanding = 0;  // STATE and CANCL asked on the way and not answered yet
  bool drawn = false;
  bool failed = false;
  int64_t next_plain = kPlainProgressEveryMs;
  auto on_wait = [&](int64_t) {
    const auto now = Clock::now();
    if (!wait->cancel_sent && watch.cancel_requested && watch.cancel_requested()) {
      wait->cancel_sent = true;
      ++outstanding;
      failed = failed || !client_.SendMessage("CANCL", "", &error);
    }
    if (watch.progress) {
      if (!state_pending && now >= next_poll) {
        state_pending = true;
        ++outstanding;
        next_poll = now + std::chrono::milliseconds(kProgressPollMs);
        failed = failed || !client_.SendMessage("STATE", "", &error);
      }
      return;
    }
    const int64_t elapsed_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
    if (!terminal && elapsed_ms >= next_plain) {
      err_ << progress_label << " still waiting, " << elapsed_ms / 1000 << " s\n";
      next_plain += kPlainProgressEveryMs;
    }
  };
  for (;;) {
    const int64_t left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    RawMessage message;
    if (failed || left <= 0 ||
        !client_.ReadMessage(&message, static_cast<int>(left), &error, on_wait)) {
      if (drawn) err_ << "\r\033[K" << std::flush;
      if (left <= 0) error = "no reply within " + std::to_string(target_.timeout_seconds) + " s";
      err_ << "qx: " << code << ": " << error << "\n";
      return false;
    }
    const std::string_view reply_code =
        std::string_view(message.header).substr(0, kCommandCodeSize);
    if (reply_code != code) --outstanding;
    if (reply_code == "STATE" && code != "STATE") {
      state_pending = false;
      if (ParseEngineState(message.body, &wait->last)) {
        wait->have_state = true;
        if (watch.progress) {
          const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
          err_ << "\r" << ProgressText(wait->last, elapsed, watch.language) << "\033[K"
               << std::flush;
          drawn = true;
        }
      }
      continue;
    }
    // CANCL's reply, and the empty INIT reply of an engine that does not know STATE or CANCL.
    if (reply_code != code) continue;
    if (drawn) err_ << "\r\033[K" << std::flush;
    *reply = std::move(message.body);
    // The replies still on the way, so that the next question on the session gets its own.
    constexpr int kDrainMs = 5000;
    for (; outstanding > 0; --outstanding) {
      if (!client_.ReadMessage(&message, kDrainMs, &error)) break;
    }
    return true;
  }
}

bool AskOnce(const LinkTarget& target, std::string_view code, std::string_view body,
             std::string* reply, std::ostream& err) {
  LinkSession session(target, err);
  return session.Open() && session.Ask(code, body, reply);
}

}  // namespace parley
