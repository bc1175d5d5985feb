// The door of the local web UI: parley-ui serves the user's account to whoever can reach its
// port, so every request proves it comes from the browser the user opened. The address printed
// at start carries a random token; the first request with it gets a cookie (HttpOnly,
// SameSite=Strict), and every later request must carry that cookie. The Host header must name the
// loopback address and the port (a page on another site that rebinds its name to 127.0.0.1 sends
// its own name), and a request that changes anything must come with an Origin of the same kind.
// These are pure checks, without the HTTP library.
#ifndef PARLEY_UI_UI_GUARD_H_
#define PARLEY_UI_UI_GUARD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parley {

// The cookie that carries the token.
inline constexpr char kUiCookieName[] = "parley_ui";

// The headers every answer carries: a strict Content-Security-Policy (only this server's own
// scripts, styles and pictures; no frames, no plugins, no form posts elsewhere), no sniffing, no
// referrer, no caching.
inline constexpr char kContentSecurityPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
    "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'";

// 32 random hex digits from the system's random source; nullopt when it cannot be read.
std::optional<std::string> NewUiToken();

// True for "127.0.0.1:PORT" and "localhost:PORT" (the port this server listens on).
bool HostAllowed(std::string_view host, uint16_t port);

// True for "http://127.0.0.1:PORT" and "http://localhost:PORT".
bool OriginAllowed(std::string_view origin, uint16_t port);

// The value of cookie `name` in a Cookie header, empty when it is not there.
std::string CookieValue(std::string_view header, std::string_view name);

// Compares two tokens in time that does not depend on where they differ.
bool TokensEqual(std::string_view a, std::string_view b);

// The Set-Cookie value that hands the token to the browser.
std::string TokenCookie(std::string_view token);

}  // namespace parley

#endif  // PARLEY_UI_UI_GUARD_H_
