// The door of the local web UI: parley-ui serves the user's account to whoever can reach its
// port, so every request proves it comes from the browser the user opened.
//
// Each launch serves the page on a loopback address of its own (127.x.y.z, chosen at random):
// a browser keeps cookies per host name, not per port, so the page's cookie never goes to
// another web server on the machine (every other local server is on another address). An
// address to open carries a one-time token: the first request with it is answered with a
// session cookie (HttpOnly, SameSite=Strict) that is not the token, and the token is spent, so
// an address read from a log or a terminal after it was opened lets nobody in. The Host header
// must name the page's address and port (a page on another site that rebinds its name to the
// loopback address sends its own name; "localhost" only when the page is on 127.0.0.1), and a
// request that changes anything must come with an Origin of the same kind.
#ifndef PARLEY_UI_UI_GUARD_H_
#define PARLEY_UI_UI_GUARD_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parley {

// The cookie that carries the session.
inline constexpr char kUiCookieName[] = "parley_ui";

// The headers every answer carries: a strict Content-Security-Policy (only this server's own
// scripts, styles and pictures; no frames, no plugins, no form posts elsewhere), no sniffing, no
// referrer, no caching.
inline constexpr char kContentSecurityPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
    "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'";

// 32 random hex digits from the system's random source; nullopt when it cannot be read.
std::optional<std::string> NewUiToken();

// A loopback address of 127.0.0.0/8 chosen at random, never one of 127.0.x.y (127.0.0.1 is
// where other local servers are); nullopt without a random source.
std::optional<std::string> RandomLoopbackAddress();

// True for an IPv4 address of 127.0.0.0/8 in dotted form.
bool IsLoopbackAddress(std::string_view address);

// True for "ADDRESS:PORT", the page's own address and port, and for "localhost:PORT" when the
// address is 127.0.0.1.
bool HostAllowed(std::string_view host, std::string_view address, uint16_t port);

// True for "http://" followed by a host HostAllowed takes.
bool OriginAllowed(std::string_view origin, std::string_view address, uint16_t port);

// The value of cookie `name` in a Cookie header, empty when it is not there.
std::string CookieValue(std::string_view header, std::string_view name);

// Compares two tokens in time that does not depend on where they differ.
bool TokensEqual(std::string_view a, std::string_view b);

// The Set-Cookie value that hands a session to the browser (for this host only, gone when the
// browser closes).
std::string SessionCookie(std::string_view session);

// The one-time tokens of the addresses handed out and the sessions they were exchanged for.
// Thread-safe.
class UiDoor {
 public:
  // A new one-time token; nullopt without a random source.
  std::optional<std::string> IssueToken();
  // Spends `token`: a new session when it was issued and not spent yet, else nullopt.
  std::optional<std::string> Redeem(std::string_view token);
  // True for a session Redeem made.
  bool Admits(std::string_view session) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> tokens_;    // issued, not spent
  std::vector<std::string> sessions_;  // in the order they began
};

}  // namespace parley

#endif  // PARLEY_UI_UI_GUARD_H_
