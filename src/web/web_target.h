// The target of a web request: which server and which object a URL names.
#ifndef PARLEY_WEB_WEB_TARGET_H_
#define PARLEY_WEB_WEB_TARGET_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace parley {

// The scheme a URL names. Requests never read it: every request is plain HTTP.
enum class UrlScheme : uint32_t {
  kUnknown = 0,
  kHttp = 1,
  kHttps = 2,
};

struct WebTarget {
  std::string server;  // the host name, without port or brackets
  // The port the URL names: 80 for http, 443 for https or where the URL says ":443". Requests
  // never read it; they all go to the web client's port.
  uint16_t port = 0;
  UrlScheme service = UrlScheme::kUnknown;
  std::string object;  // the path with its query, always starting with "/"
};

// Splits "scheme://[user@]host[:port][/path][?query]" into *target. The object is everything
// after the host and port, byte for byte; an empty one becomes "/" and one that starts with "?"
// gets a "/" in front. Returns false, with *target cleared, when the URL has no "http://" or
// "https://" (either case), no host, or a port that is not a number from 1 to 65535.
bool ParseUrl(std::string_view url, WebTarget* target);

// ParseUrl for the request builders, which leave a URL they cannot split to fail at the request
// (an empty server): returns the target, cleared on failure.
WebTarget TargetOf(std::string_view url);

}  // namespace parley

#endif  // PARLEY_WEB_WEB_TARGET_H_
