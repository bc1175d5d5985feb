// The test controls of the web service simulator, requested under /_sim/ without a session:
//
//   /_sim/stall?seconds=S&count=K        the next K page requests wait S seconds (a fraction
//                                        allowed, up to 3600) before they are answered
//   /_sim/fail?mode=close|500|garbage&count=K
//                                        the next K page requests are closed without a reply,
//                                        answered with HTTP 500 and an error page, or answered
//                                        with random bytes
//   /_sim/status?code=N&count=K          the next K page requests are answered with their own page
//                                        under HTTP status N (200 to 599)
//   /_sim/page?bytes=N&count=K           the next K page requests are answered with a page of N
//                                        letters "x" (up to 64 MiB) in place of their own
//   /_sim/reset                          faults cleared, the web service back to its start
//
// count defaults to 1, seconds to 60. A stall, a failure, a status and a page may all be
// pending: the request first waits, then fails; a request that does not fail gets the page
// and the status that are pending.
#ifndef PARLEY_WEBSIM_SIM_CONTROLS_H_
#define PARLEY_WEBSIM_SIM_CONTROLS_H_

#include <chrono>
#include <cstddef>
#include <optional>

#include "websim/http_message.h"
#include "websim/web_service.h"

namespace parley::websim {

enum class FailMode { kNone, kClose, kServerError, kGarbage };

class SimControls {
 public:
  // True when `request` is for a control (its path starts with "/_sim/").
  static bool IsControl(const HttpRequest& request);

  // Carries out a control and returns its answer: "OK" when it is understood, status 400 and
  // "ERROR" with the reason otherwise (nothing is changed then), 404 for an unknown control.
  HttpReply Handle(const HttpRequest& request, WebService& service);

  // For the next page request: how long it waits before it is answered (nothing for no wait),
  // and how it fails. Each call uses up one of the pending count.
  std::optional<std::chrono::milliseconds> TakeStall();
  FailMode TakeFail();
  // For a page request that did not fail: the status it is answered with and the size of the
  // filler page that replaces its own (nothing for the page's own).
  std::optional<int> TakeStatus();
  std::optional<size_t> TakeFiller();

 private:
  // A control's value for the next `count` page requests.
  template <typename T>
  struct Pending {
    int count = 0;
    T value{};
    std::optional<T> Take() {
      if (count == 0) return std::nullopt;
      --count;
      return value;
    }
  };

  Pending<std::chrono::milliseconds> stall_;
  Pending<FailMode> fail_;
  Pending<int> status_;
  Pending<size_t> filler_;
};

}  // namespace parley::websim

#endif  // PARLEY_WEBSIM_SIM_CONTROLS_H_
