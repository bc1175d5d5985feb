#include "ui/ui_guard.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace parley {
namespace {

bool RandomBytes(unsigned char* bytes, size_t size) {
  std::ifstream random("/dev/urandom", std::ios::binary);
  return static_cast<bool>(random.read(reinterpret_cast<char*>(bytes), size));
}

}  // namespace

std::optional<std::string> NewUiToken() {
  unsigned char bytes[16];
  if (!RandomBytes(bytes, sizeof bytes)) return std::nullopt;
  std::string token;
  char hex[3];
  for (const unsigned char b : bytes) {
    std::snprintf(hex, sizeof hex, "%02x", b);
    token += hex;
  }
  return token;
}

std::optional<std::string> RandomLoopbackAddress() {
  unsigned char bytes[3];
  if (!RandomBytes(bytes, sizeof bytes)) return std::nullopt;
  // 127.1.1.1 to 127.254.254.254: no network or broadcast-like parts, never 127.0.x.y.
  auto part = [](unsigned char b) { return std::to_string(1 + b % 254); };
  return "127." + part(bytes[0]) + "." + part(bytes[1]) + "." + part(bytes[2]);
}

bool IsLoopbackAddress(std::string_view address) {
  int parts[4];
  char end = 0;
  const std::string text(address);
  if (std::sscanf(text.c_str(), "%d.%d.%d.%d%c", &parts[0], &parts[1], &parts[2], &parts[3],
                  &end) != 4) {
    return false;
  }
  const bool in_range = std::all_of(parts, parts + 4, [](int p) { return p >= 0 && p <= 255; });
  // The canonical form only (no leading zeros, signs or spaces).
  return in_range && parts[0] == 127 &&
         text == "127." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
                     std::to_string(parts[3]);
}

bool HostAllowed(std::string_view host, std::string_view address, uint16_t port) {
  const std::string suffix = ":" + std::to_string(port);
  if (host == std::string(address) + suffix) return true;
  return address == "127.0.0.1" && host == "localhost" + suffix;
}

bool OriginAllowed(std::string_view origin, std::string_view address, uint16_t port) {
  constexpr std::string_view kScheme = "http://";
  return origin.starts_with(kScheme) && HostAllowed(origin.substr(kScheme.size()), address, port);
}

std::string CookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const size_t end = header.find(';');
    std::string_view pair = header.substr(0, end);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    const size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name) {
      return std::string(pair.substr(eq + 1));
    }
    if (end == std::string_view::npos) break;
    header.remove_prefix(end + 1);
  }
  return {};
}

bool TokensEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char differ = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    differ |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return differ == 0;
}

std::string SessionCookie(std::string_view session) {
  return std::string(kUiCookieName) + "=" + std::string(session) +
         "; Path=/; HttpOnly; SameSite=Strict";
}

std::optional<std::string> UiDoor::IssueToken() {
  std::optional<std::string> token = NewUiToken();
  if (!token) return std::nullopt;
  std::lock_guard lock(mutex_);
  tokens_.push_back(*token);
  return token;
}

std::optional<std::string> UiDoor::Redeem(std::string_view token) {
  std::optional<std::string> session = NewUiToken();
  std::lock_guard lock(mutex_);
  // Every token is compared, each in constant time.
  auto found = tokens_.end();
  for (auto it = tokens_.begin(); it != tokens_.end(); ++it) {
    if (TokensEqual(*it, token) && !token.empty()) found = it;
  }
  if (found == tokens_.end() || !session) return std::nullopt;
  tokens_.erase(found);
  sessions_.push_back(*session);
  return session;
}

bool UiDoor::Admits(std::string_view session) const {
  std::lock_guard lock(mutex_);
  bool admitted = false;
  for (const std::string& s : sessions_) admitted |= !session.empty() && TokensEqual(s, session);
  return admitted;
}

}  // namespace parley
