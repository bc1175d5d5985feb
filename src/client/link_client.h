// A blocking client of the UI link, for the front ends (qx, parley-ui) and the tests.
#ifndef PARLEY_CLIENT_LINK_CLIENT_H_
#define PARLEY_CLIENT_LINK_CLIENT_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/message.h"

namespace parley {

class LinkClient {
 public:
  LinkClient() = default;
  ~LinkClient();
  LinkClient(const LinkClient&) = delete;
  LinkClient& operator=(const LinkClient&) = delete;

  // Connects to an IPv4 or IPv6 address and port. On failure returns false with *error set.
  bool Connect(const std::string& address, uint16_t port, std::string* error);

  // Writes all of `bytes`. On failure returns false with *error set.
  bool Write(std::string_view bytes, std::string* error);

  // Writes a message with `code` and `body` (sent as given: the UI program sends UTF-8).
  bool SendMessage(std::string_view code, std::string_view body, std::string* error);

  // Reads the next whole message, waiting at most timeout_ms milliseconds in all (negative:
  // forever). Returns false with *error set on a time-out, a closed connection or a framing
  // error. While it waits, on_wait (when set) is called about every 125 ms with the milliseconds
  // waited so far.
  bool ReadMessage(RawMessage* out, int timeout_ms, std::string* error,
                   const std::function<void(int64_t)>& on_wait = {});

  // True when the peer has closed the connection within timeout_ms and sent nothing more.
  bool WaitForClose(int timeout_ms);

  void Close();
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  FrameParser parser_;
};

}  // namespace parley

#endif  // PARLEY_CLIENT_LINK_CLIENT_H_
