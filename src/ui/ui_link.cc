#include "ui/ui_link.h"

#include <sys/socket.h>

#include "link/message.h"

namespace parley {

UiLink::~UiLink() { Disconnect(); }

void UiLink::Disconnect() {
  std::thread reader;
  {
    std::lock_guard lock(mutex_);
    if (client_ != nullptr) ::shutdown(client_->fd(), SHUT_RDWR);
    reader = std::move(reader_);
  }
  if (reader.joinable()) reader.join();
}

bool UiLink::ConnectLocked() {
  if (client_ != nullptr) return true;
  if (reader_.joinable()) {
    // The reader of a lost connection has ended (it cleared client_ on its way out).
    std::thread old = std::move(reader_);
    mutex_.unlock();
    old.join();
    mutex_.lock();
    if (client_ != nullptr) return true;
  }
  auto client = std::make_shared<LinkClient>();
  std::string error;
  if (!client->Connect(host_, port_, &error)) return false;
  client_ = std::move(client);
  ++connection_;
  reader_ = std::thread([this] { ReadReplies(); });
  return true;
}

bool UiLink::Reachable() {
  std::lock_guard lock(mutex_);
  return ConnectLocked();
}

void UiLink::ReadReplies() {
  std::shared_ptr<LinkClient> client;
  {
    std::lock_guard lock(mutex_);
    client = client_;
  }
  RawMessage m;
  std::string error;
  while (client->ReadMessage(&m, -1, &error)) {
    std::lock_guard lock(mutex_);
    // The late reply of a request that gave up is dropped, and the code is free again; so is a
    // reply nobody waits for.
    const std::string code = m.header.substr(0, kCommandCodeSize);
    if (owed_.erase(code) == 0 && busy_.contains(code)) replies_[code] = std::move(m.body);
    changed_.notify_all();
  }
  std::lock_guard lock(mutex_);
  client_.reset();
  owed_.clear();
  changed_.notify_all();
}

std::optional<std::string> UiLink::Ask(std::string_view code, std::string_view body,
                                       std::chrono::milliseconds timeout) {
  const std::string key(code);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !busy_.contains(key); });
  busy_.insert(key);
  replies_.erase(key);
  std::optional<std::string> reply;
  // An earlier request of this code gave up: its reply is still to come and would be taken for
  // this one's. Wait for it (it is dropped as it comes, or the connection ends).
  const bool free = changed_.wait_until(lock, deadline, [&] { return !owed_.contains(key); });
  if (free && ConnectLocked()) {
    const uint64_t connection = connection_;
    const std::shared_ptr<LinkClient> client = client_;
    lock.unlock();
    bool written = false;
    {
      std::lock_guard write(write_mutex_);
      std::string error;
      written = client->SendMessage(code, body, &error);
    }
    lock.lock();
    if (written) {
      changed_.wait_until(lock, deadline, [&] {
        return replies_.contains(key) || client_ == nullptr || connection_ != connection;
      });
      if (auto it = replies_.find(key); it != replies_.end()) {
        reply = std::move(it->second);
      } else if (client_ != nullptr && connection_ == connection) {
        owed_.insert(key);  // given up; its reply will still come on this connection
      }
    }
  }
  replies_.erase(key);
  busy_.erase(key);
  changed_.notify_all();
  return reply;
}

}  // namespace parley
