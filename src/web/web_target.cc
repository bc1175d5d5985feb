#include "web/web_target.h"

#include <cctype>

namespace parley {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return true;
}

// Parses the digits of a port; false unless it is 1 to 65535.
bool ParsePort(std::string_view digits, uint16_t* port) {
  if (digits.empty() || digits.size() > 5) return false;
  unsigned value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

bool ParseUrl(std::string_view url, WebTarget* target) {
  *target = WebTarget();
  WebTarget t;
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return false;
  const std::string_view scheme = url.substr(0, scheme_end);
  if (EqualsNoCase(scheme, "http")) {
    t.service = UrlScheme::kHttp;
    t.port = 80;
  } else if (EqualsNoCase(scheme, "https")) {
    t.service = UrlScheme::kHttps;
    t.port = 443;
  } else {
    return false;
  }

  std::string_view rest = url.substr(scheme_end + 3);
  const size_t authority_end = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, authority_end);
  const std::string_view object =
      authority_end == std::string_view::npos ? std::string_view() : rest.substr(authority_end);

  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host = authority;
  std::string_view port_text;
  bool has_port = false;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(1, close - 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return false;
      has_port = true;
      port_text = after.substr(1);
    }
  } else {
    const size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      has_port = true;
      port_text = authority.substr(colon + 1);
    }
  }
  if (host.empty()) return false;
  // "host:" with nothing after the colon keeps the scheme's port.
  if (has_port && !port_text.empty() && !ParsePort(port_text, &t.port)) return false;

  t.server = std::string(host);
  if (object.empty()) {
    t.object = "/";
  } else if (object.front() != '/') {
    t.object = "/" + std::string(object);
  } else {
    t.object = std::string(object);
  }
  *target = std::move(t);
  return true;
}

WebTarget TargetOf(std::string_view url) {
  WebTarget target;
  ParseUrl(url, &target);
  return target;
}

}  // namespace parley
