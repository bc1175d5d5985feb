// The test controls of the web service simulator, requested under /_sim/ without a session:
//
//   /_sim/stall?seconds=S&count=K        the next K page requests wait S seconds (a fraction
//                                        allowed, up to 3600) before they are answered
//   /_sim/fail?mode=close|500|garbage&count=K
//                                        the next K page requests are closed without a reply,
//                                        answered with HTTP 500 and an error page, or answered
//                                        with random bytes
//   /_sim/reset                          faults cleared, the web service back to its start
//
// count defaults to 1, seconds to 60. A stall and a failure may both be pending: the request
// first waits, then fails.
#ifndef PARLEY_WEBSIM_SIM_CONTROLS_H_
#define PARLEY_WEBSIM_SIM_CONTROLS_H_

#include <chrono>
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

 private:
  int stall_count_ = 0;
  std::chrono::milliseconds stall_{0};
  int fail_count_ = 0;
  FailMode fail_mode_ = FailMode::kNone;
};

}  // namespace parley::websim

#endif  // PARLEY_WEBSIM_SIM_CONTROLS_H_
