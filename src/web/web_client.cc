#include "web/web_client.h"

#include <curl/curl.h>

#include <mutex>

#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include <spdlog/spdlog.h>

#include "text/cp949.h"
#include "text/text_codes.h"
#include "web/curl_loop.h"
#include "web/reply_text.h"

namespace parley {
namespace {

// The two request headers of a form POST, as the web service has always received them.
constexpr char kFormContentType[] = "Content-Type: application/x-www-form-urlencoded";
constexpr char kFormUserAgent[] =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)";
// A GET names the application.
constexpr char kPageUserAgent[] = "Parley";
// libcurl's own headers that the web service never got from us; an empty value removes one.
constexpr char kNoAccept[] = "Accept:";
constexpr char kNoExpect[] = "Expect:";
// The statuses of a reply that answers the request; any other one fails it.
constexpr long kFirstOkStatus = 200;
constexpr long kLastOkStatus = 299;

CURL* Handle(void* p) { return static_cast<CURL*>(p); }

// Collects the response body. For a POST only the first line matters: reading stops after it.
struct BodySink {
  std::string* body;
  bool first_line_only = false;
  bool got_line = false;
  bool too_long = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  std::string_view chunk(data, size * count);
  if (sink->first_line_only) {
    const size_t lf = chunk.find('\n');
    if (lf != std::string_view::npos) {
      chunk = chunk.substr(0, lf + 1);
      sink->got_line = true;
    }
  }
  if (sink->body->size() + chunk.size() > kMaxWebReplyBytes) {
    sink->too_long = true;
    return 0;
  }
  sink->body->append(chunk);
  // Returning less than was offered ends the transfer; after the first line of a POST that is
  // the point.
  return sink->got_line ? 0 : size * count;
}

// The object as it goes into the request line. Bytes that would break the line (white space,
// control characters, DEL) are percent-encoded; everything else, CP949 included, goes as it is.
std::string RequestTarget(std::string_view object) {
  std::string out = PercentEncoded(object, [](unsigned char c) { return c <= 0x20 || c == 0x7F; });
  if (out.empty() || out.front() != '/') out.insert(out.begin(), '/');
  return out;
}

std::string ServerUrl(std::string_view server, uint16_t port) {
  std::string host(server);
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return "http://" + host + ":" + std::to_string(port);
}

// The URL libcurl is given: the server and the path of the request target (the query left
// out), so that the cookie engine sends the cookies whose path covers the request, as a browser
// does. The request line itself carries the target as it is (CURLOPT_REQUEST_TARGET); here bytes
// a URL cannot hold are percent-encoded.
std::string CookieUrl(const std::string& server_url, std::string_view target) {
  return server_url + PercentEncoded(target.substr(0, target.find('?')),
                                     [](unsigned char c) { return c >= 0x80 || c == '#'; });
}

// Frees a header list when the request ends.
struct HeaderList {
  curl_slist* list = nullptr;
  ~HeaderList() { curl_slist_free_all(list); }
  void Add(const char* line) { list = curl_slist_append(list, line); }
};

}  // namespace

CWebClient::CWebClient(uint16_t port, WebTimeouts timeouts)
    : curl_(nullptr), port_(port), timeouts_(timeouts) {
  static std::once_flag global_init;
  std::call_once(global_init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  curl_ = curl_easy_init();
  if (curl_ == nullptr) {
    spdlog::error("web client: libcurl could not create a handle");
    return;
  }
  // The cookie engine, in memory only, for the life of the handle. Enabled once: with
  // curl_easy_reset between requests libcurl 7.88 drops the file list of every earlier
  // CURLOPT_COOKIEFILE without freeing it, a leak that grows with every request.
  curl_easy_setopt(Handle(curl_), CURLOPT_COOKIEFILE, "");
}

CWebClient::~CWebClient() {
  if (curl_ == nullptr) return;
  if (loop_) loop_->Forget(curl_);
  curl_easy_cleanup(Handle(curl_));
}

asio::awaitable<bool> CWebClient::Perform(Method method, std::string_view server,
                                          std::string_view object, std::string_view form,
                                          std::string* body) {
  const char* verb = method == Method::kPost ? "POST" : "GET";
  const std::string url = ServerUrl(server, port_);
  const std::string target = RequestTarget(object);
  if (curl_ == nullptr) {
    spdlog::error("web {} {}{} failed: no libcurl handle", verb, AnsiToUtf8(url),
                  AnsiToUtf8(target));
    co_return false;
  }
  if (busy_) {
    spdlog::error("web {} {}{} failed: another request is under way", verb, AnsiToUtf8(url),
                  AnsiToUtf8(target));
    co_return false;
  }
  if (!loop_) loop_ = std::make_unique<CurlLoop>(co_await asio::this_coro::executor);
  CURL* h = Handle(curl_);
  // Options stick to the handle: every option a request depends on is set again below, and
  // the method-specific ones are set or cleared for both methods.

  char error[CURL_ERROR_SIZE] = {};
  BodySink sink{body};
  sink.first_line_only = method == Method::kPost;
  HeaderList headers;

  const std::string cookie_url = CookieUrl(url, target);
  curl_easy_setopt(h, CURLOPT_URL, cookie_url.c_str());
  curl_easy_setopt(h, CURLOPT_REQUEST_TARGET, target.c_str());
  // The request line is the origin form, which no proxy takes: proxies from the environment
  // (http_proxy, ALL_PROXY) are not used.
  curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.total.count()));
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  if (method == Method::kPost) {
    headers.Add(kFormContentType);
    headers.Add(kFormUserAgent);
    headers.Add(kNoAccept);
    headers.Add(kNoExpect);
    curl_easy_setopt(h, CURLOPT_USERAGENT, nullptr);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(form.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, form.empty() ? "" : form.data());
  } else {
    headers.Add(kNoAccept);
    curl_easy_setopt(h, CURLOPT_USERAGENT, kPageUserAgent);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  }
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.list);

  busy_ = true;
  const auto rc = static_cast<CURLcode>(co_await loop_->Perform(h));
  busy_ = false;
  // Nothing may keep pointing at this call's buffers once it returns.
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);

  const bool stopped_after_line = rc == CURLE_WRITE_ERROR && sink.got_line && !sink.too_long;
  if (rc != CURLE_OK && !stopped_after_line) {
    std::string why =
        sink.too_long ? "the reply is longer than " + std::to_string(kMaxWebReplyBytes) + " bytes"
                      : std::string(error[0] != '\0' ? error : curl_easy_strerror(rc));
    spdlog::error("web {} {}{} failed: {}", verb, AnsiToUtf8(url), AnsiToUtf8(target), why);
    co_return false;
  }
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  // An error page is no answer of the service, whatever its body says.
  if (status < kFirstOkStatus || status > kLastOkStatus) {
    spdlog::error("web {} {}{} failed: HTTP status {}", verb, AnsiToUtf8(url), AnsiToUtf8(target),
                  status);
    co_return false;
  }
  spdlog::debug("web {} {}{}: status {}, {} bytes", verb, AnsiToUtf8(url), AnsiToUtf8(target),
                status, body->size());
  co_return true;
}

asio::awaitable<bool> CWebClient::PostForm(std::string_view form, std::string_view server,
                                           std::string_view object) {
  std::string body;
  const bool ok = co_await Perform(Method::kPost, server, object, form, &body);
  reply_ = ok ? FirstLine(body) : std::string();
  co_return ok;
}

asio::awaitable<bool> CWebClient::GetPage(std::string_view server, std::string_view object) {
  std::string body;
  const bool ok = co_await Perform(Method::kGet, server, object, std::string_view(), &body);
  reply_ = ok ? NormalizeGetReply(std::move(body)) : std::string();
  co_return ok;
}

}  // namespace parley
