#include "ui/ui_guard.h"

#include <cstdio>
#include <fstream>

namespace parley {

std::optional<std::string> NewUiToken() {
  std::ifstream random("/dev/urandom", std::ios::binary);
  unsigned char bytes[16];
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes)) return std::nullopt;
  std::string token;
  char hex[3];
  for (const unsigned char b : bytes) {
    std::snprintf(hex, sizeof hex, "%02x", b);
    token += hex;
  }
  return token;
}

bool HostAllowed(std::string_view host, uint16_t port) {
  const std::string suffix = ":" + std::to_string(port);
  return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

bool OriginAllowed(std::string_view origin, uint16_t port) {
  constexpr std::string_view kScheme = "http://";
  return origin.starts_with(kScheme) && HostAllowed(origin.substr(kScheme.size()), port);
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

std::string TokenCookie(std::string_view token) {
  return std::string(kUiCookieName) + "=" + std::string(token) +
         "; Path=/; HttpOnly; SameSite=Strict";
}

}  // namespace parley
