// UiLink: the UI program's one connection to the engine's UI link, shared by the web server's
// threads. The engine serves one connection at a time and answers STATE and CANCL while a send
// waits, so requests of different codes may wait at once on the same connection; requests of the
// same code go one after another, and each reply is matched to its request by its code.
//
// A reply carries nothing but its code, so a request that gives up (its time ran out) leaves its
// code owed: the engine answers every message it was sent, and that late reply is the next one of
// the code to arrive. Until it has arrived (and been dropped), no other request of the code is
// sent: a new one waits for it within its own time and, when it does not come, fails without
// having been sent. So the late reply of a request that gave up can never answer another one
// (a send never takes the reply of a check that gave up as its own). A new connection owes
// nothing, as the old one's replies cannot reach it.
#ifndef PARLEY_UI_UI_LINK_H_
#define PARLEY_UI_UI_LINK_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "client/link_client.h"

namespace parley {

class UiLink {
 public:
  UiLink(std::string host, uint16_t port) : host_(std::move(host)), port_(port) {}
  ~UiLink();
  UiLink(const UiLink&) = delete;
  UiLink& operator=(const UiLink&) = delete;

  // Sends code and body (UTF-8, as the UI program sends) and waits at most `timeout` for the
  // reply of that code; its body (CP949). Connects first when not connected. nullopt when the
  // engine cannot be reached, the connection drops or no reply comes in time (also when the
  // reply of an earlier request of the code that gave up has not come in that time: then
  // nothing is sent).
  std::optional<std::string> Ask(std::string_view code, std::string_view body,
                                 std::chrono::milliseconds timeout);

  // True when the engine answers a connection now (connecting when not connected).
  bool Reachable();

 private:
  // Connects unless connected; the caller holds mutex_.
  bool ConnectLocked();
  void ReadReplies();
  void Disconnect();

  const std::string host_;
  const uint16_t port_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::shared_ptr<LinkClient> client_;  // set while connected; a writer holds its own copy
  std::thread reader_;
  std::mutex write_mutex_;
  std::set<std::string> busy_;  // codes with a request waiting
  std::set<std::string> owed_;  // codes whose request gave up before its reply came
  std::map<std::string, std::optional<std::string>> replies_;  // code -> reply, once it came
  uint64_t connection_ = 0;  // counts connections; a request fails when its connection ends
};

}  // namespace parley

#endif  // PARLEY_UI_UI_LINK_H_
