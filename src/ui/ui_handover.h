// UiHandover: one page for each engine. The engine serves one UI-link connection at a time, so a
// second parley-ui for the same link port (Parley started again: the second engine launches its
// UI program and ends) would wait behind the first for ever and serve a page that cannot work.
// Instead the parley-ui that serves the page holds a lock for its link port, and a later one
// asks it, over a Unix socket beside the lock, for an address that opens the page (and to open
// the browser there), says so and ends.
//
// The lock and the socket are in a folder of the user's own (mode 0700): $XDG_RUNTIME_DIR/
// parley-ui, else parley-ui-UID in the temporary folder; the socket answers the same user only.
// Without such a folder each parley-ui serves on its own, as if it held the lock.
#ifndef PARLEY_UI_UI_HANDOVER_H_
#define PARLEY_UI_UI_HANDOVER_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace parley {

class UiHandover {
 public:
  // Takes the lock of `link_port` when no other parley-ui of the user holds it.
  explicit UiHandover(uint16_t link_port);
  ~UiHandover();
  UiHandover(const UiHandover&) = delete;
  UiHandover& operator=(const UiHandover&) = delete;

  // True when this program serves the page of the link port.
  bool held() const { return held_; }

  // Once the page is served (held() only): answers each later parley-ui with `address(open)`, a
  // new address that opens the page once; `open` asks for the browser to be opened there too.
  void Serve(std::function<std::string(bool open)> address);

  // Stops answering (and gives the lock up); also on destruction.
  void Stop();

  // Asks the parley-ui that holds the lock for an address that opens its page (and, with
  // `open`, to open the browser there); empty when it does not answer within `timeout`.
  std::string AskHolder(bool open, std::chrono::milliseconds timeout) const;

 private:
  // The user's own folder for the lock and the socket; empty when there is none to trust.
  static std::filesystem::path Folder();

  std::filesystem::path lock_path_;
  std::filesystem::path socket_path_;
  int lock_fd_ = -1;
  int listen_fd_ = -1;
  bool held_ = false;
  std::atomic<bool> stopping_{false};
  std::thread server_;
};

}  // namespace parley

#endif  // PARLEY_UI_UI_HANDOVER_H_
