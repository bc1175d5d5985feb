// CWebClient: the engine's one HTTP client for the web service.
//
// One client lives as long as the engine. It keeps a single libcurl handle, so the session
// cookies that the web service sets at login go with every later request. Requests are awaited:
// they run on the executor of their caller through a CurlLoop, one at a time. Each request opens a
// fresh connection to the client's port on the named server, whatever port the URL named, in
// plain HTTP/1.0, and is bounded by the connect and total time-outs. Only a 2xx reply answers a
// request: an error page fails it as a lost connection does.
#ifndef PARLEY_WEB_WEB_CLIENT_H_
#define PARLEY_WEB_WEB_CLIENT_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <asio/awaitable.hpp>

namespace parley {

class CurlLoop;

struct WebTimeouts {
  std::chrono::milliseconds connect{10000};
  std::chrono::milliseconds total{30000};
};

// The longest response body the client takes in; a longer one fails the request.
inline constexpr size_t kMaxWebReplyBytes = 16 * 1024 * 1024;

class CWebClient {
 public:
  explicit CWebClient(uint16_t port = 80, WebTimeouts timeouts = {});
  ~CWebClient();
  CWebClient(const CWebClient&) = delete;
  CWebClient& operator=(const CWebClient&) = delete;

  // Posts `form` (CP949 bytes, sent whole, any length) as application/x-www-form-urlencoded to
  // `object` on `server`. On success the reply text is the first line of the response body
  // (FirstLine) and the result is true. On a transport error, a time-out or an HTTP status other
  // than 2xx one error line is logged, the reply text is empty and the result is false.
  // A request made while another is under way fails the same way.
  asio::awaitable<bool> PostForm(std::string_view form, std::string_view server,
                                 std::string_view object);

  // Gets `object` from `server`. On success the reply text is the response body after
  // NormalizeGetReply and the result is true. On a transport error, a time-out or an HTTP status
  // other than 2xx one error line is logged, the reply text is empty and the result is false.
  asio::awaitable<bool> GetPage(std::string_view server, std::string_view object);

  // The reply text of the last request; empty before the first.
  const std::string& reply() const { return reply_; }
  std::string GetReply() const { return reply_; }
  // For the callers that rewrite the reply text in place.
  std::string* mutable_reply() { return &reply_; }

  uint16_t port() const { return port_; }

 private:
  enum class Method { kGet, kPost };
  // Runs one request; on success *body holds the response body as read (for a POST, up to and
  // including the first LF). Logs and returns false on failure.
  asio::awaitable<bool> Perform(Method method, std::string_view server, std::string_view object,
                                std::string_view form, std::string* body);

  void* curl_;                      // the libcurl easy handle, owned; kept for the cookies it holds
  std::unique_ptr<CurlLoop> loop_;  // made on the first request, on its caller's executor
  bool busy_ = false;               // a request is under way
  uint16_t port_;
  WebTimeouts timeouts_;
  std::string reply_;
};

}  // namespace parley

#endif  // PARLEY_WEB_WEB_CLIENT_H_
