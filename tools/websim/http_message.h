// The HTTP/1.x messages of the web service simulator: parsing a request head as its bytes
// arrive, reading form and query values, and writing a reply. One request per connection; no
// chunked bodies.
#ifndef PARLEY_WEBSIM_HTTP_MESSAGE_H_
#define PARLEY_WEBSIM_HTTP_MESSAGE_H_

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parley::websim {

// Largest request head (request line and headers, blank line included) and largest body taken;
// anything bigger is refused with 413.
constexpr size_t kMaxHeadSize = 1 << 20;
constexpr size_t kMaxBodySize = 1 << 20;

struct HttpRequest {
  std::string method;                                        // "GET", "POST", ...
  std::string target;                                        // as sent: path and query
  std::string version;                                       // "HTTP/1.0" or "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // in arrival order, values trimmed
  size_t content_length = 0;
  std::string body;

  // The target up to "?" and the text after it (empty without "?").
  std::string_view path() const;
  std::string_view query() const;
  // The value of the first header named `name` (case-insensitive), or nothing.
  std::optional<std::string_view> Header(std::string_view name) const;
  // The value of cookie `name` among all Cookie headers, or nothing.
  std::optional<std::string> Cookie(std::string_view name) const;
};

enum class HeadStatus {
  kIncomplete,  // no blank line yet and still within kMaxHeadSize
  kComplete,    // *request filled (body empty), *head_size set
  kBad,         // not an HTTP/1.x request head: answer 400
  kTooLarge,    // head or declared body over the caps: answer 413
  kUnsupported  // a Transfer-Encoding body: answer 501
};

// Looks for a whole request head at the start of `bytes`. On kComplete, *request holds the
// request line, the headers and the declared Content-Length, and *head_size the bytes up to
// and including the blank line; on any other status both are left unspecified.
HeadStatus ParseHead(std::string_view bytes, HttpRequest* request, size_t* head_size);

// Percent-decodes %XX sequences (an incomplete or non-hex one stays as it is). "+" stays "+":
// the engine sends its values unencoded apart from its own %25, %26 and %3D codes.
std::string PercentDecode(std::string_view text);

// Splits "a=1&b=2" at "&" and each part at its first "=", decoding keys and values. A part
// without "=" is a key with an empty value; the first of repeated keys wins.
std::map<std::string, std::string> ParseForm(std::string_view text);

struct HttpReply {
  int status = 200;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // besides the standard ones
};

// The reply's bytes: status line (HTTP/1.1), Content-Type (text/html, charset euc-kr),
// Content-Length, Connection: close, the extra headers, blank line, body.
std::string SerializeReply(const HttpReply& reply);

}  // namespace parley::websim

#endif  // PARLEY_WEBSIM_HTTP_MESSAGE_H_
