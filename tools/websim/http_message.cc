#include "websim/http_message.h"

#include <algorithm>
#include <cctype>

namespace parley::websim {
namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Fills the request line fields; false when it is not "METHOD TARGET HTTP/1.x".
bool ParseRequestLine(std::string_view line, HttpRequest* request) {
  size_t first = line.find(' ');
  size_t last = line.rfind(' ');
  if (first == std::string_view::npos || first == 0 || last == first) return false;
  request->method = std::string(line.substr(0, first));
  std::string_view target = line.substr(first + 1, last - first - 1);
  request->version = std::string(line.substr(last + 1));
  if (request->version != "HTTP/1.0" && request->version != "HTTP/1.1") return false;
  // An absolute target ("http://host/path", as sent to a proxy) is reduced to its path.
  if (target.starts_with("http://")) {
    size_t slash = target.find('/', 7);
    target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
  }
  if (target.empty() || target.front() != '/' || target.find(' ') != std::string_view::npos) {
    return false;
  }
  request->target = std::string(target);
  return std::all_of(request->method.begin(), request->method.end(),
                     [](char c) { return std::isupper(static_cast<unsigned char>(c)); });
}

}  // namespace

std::string_view HttpRequest::path() const {
  std::string_view t = target;
  return t.substr(0, t.find('?'));
}

std::string_view HttpRequest::query() const {
  std::string_view t = target;
  size_t mark = t.find('?');
  return mark == std::string_view::npos ? std::string_view() : t.substr(mark + 1);
}

std::optional<std::string_view> HttpRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoreCase(key, name)) return std::string_view(value);
  }
  return std::nullopt;
}

std::optional<std::string> HttpRequest::Cookie(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (!EqualsIgnoreCase(key, "Cookie")) continue;
    std::string_view rest = value;
    while (!rest.empty()) {
      size_t semi = rest.find(';');
      std::string_view pair = Trim(rest.substr(0, semi));
      rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
      size_t eq = pair.find('=');
      if (eq != std::string_view::npos && pair.substr(0, eq) == name) {
        return std::string(pair.substr(eq + 1));
      }
    }
  }
  return std::nullopt;
}

HeadStatus ParseHead(std::string_view bytes, HttpRequest* request, size_t* head_size) {
  // Lines end in CR LF; a bare LF is accepted too. The head ends at the first empty line.
  std::vector<std::string_view> lines;
  size_t pos = 0;
  for (;;) {
    size_t nl = bytes.find('\n', pos);
    if (nl == std::string_view::npos || nl >= kMaxHeadSize) {
      return bytes.size() >= kMaxHeadSize ? HeadStatus::kTooLarge : HeadStatus::kIncomplete;
    }
    std::string_view line = bytes.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = nl + 1;
    if (line.empty()) break;
    lines.push_back(line);
  }
  *request = HttpRequest();
  if (lines.empty() || !ParseRequestLine(lines[0], request)) return HeadStatus::kBad;
  std::optional<size_t> length;
  for (size_t i = 1; i < lines.size(); ++i) {
    size_t colon = lines[i].find(':');
    if (colon == std::string_view::npos || colon == 0) return HeadStatus::kBad;
    std::string name(Trim(lines[i].substr(0, colon)));
    std::string value(Trim(lines[i].substr(colon + 1)));
    if (EqualsIgnoreCase(name, "Transfer-Encoding")) return HeadStatus::kUnsupported;
    if (EqualsIgnoreCase(name, "Content-Length")) {
      if (value.empty() || value.size() > 12 ||
          !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return HeadStatus::kBad;
      }
      size_t n = std::stoull(value);
      if (length && *length != n) return HeadStatus::kBad;
      length = n;
    }
    request->headers.emplace_back(std::move(name), std::move(value));
  }
  request->content_length = length.value_or(0);
  if (request->content_length > kMaxBodySize) return HeadStatus::kTooLarge;
  *head_size = pos;
  return HeadStatus::kComplete;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::map<std::string, std::string> ParseForm(std::string_view text) {
  std::map<std::string, std::string> form;
  while (!text.empty()) {
    size_t amp = text.find('&');
    std::string_view part = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (part.empty()) continue;
    size_t eq = part.find('=');
    std::string key = PercentDecode(part.substr(0, eq));
    std::string value =
        eq == std::string_view::npos ? std::string() : PercentDecode(part.substr(eq + 1));
    form.emplace(std::move(key), std::move(value));  // keeps the first of repeated keys
  }
  return form;
}

std::string SerializeReply(const HttpReply& reply) {
  std::string_view reason;
  switch (reply.status) {
    case 200:
      reason = "OK";
      break;
    case 400:
      reason = "Bad Request";
      break;
    case 404:
      reason = "Not Found";
      break;
    case 413:
      reason = "Request Entity Too Large";
      break;
    case 500:
      reason = "Internal Server Error";
      break;
    case 501:
      reason = "Not Implemented";
      break;
    default:
      reason = "Status";
      break;
  }
  std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + std::string(reason) +
                    "\r\nServer: Microsoft-IIS/6.0\r\nContent-Type: text/html; charset=euc-kr" +
                    "\r\nContent-Length: " + std::to_string(reply.body.size()) +
                    "\r\nConnection: close\r\n";
  for (const auto& [name, value] : reply.headers) out += name + ": " + value + "\r\n";
  out += "\r\n";
  out += reply.body;
  return out;
}

}  // namespace parley::websim
