#include "link/flex_link.h"

#include <chrono>

#include <spdlog/spdlog.h>
#include <asio/experimental/as_tuple.hpp>
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

#include "link/link_server.h"

namespace parley {
namespace {
// The final reply gets this long to leave before the engine ends.
constexpr std::chrono::milliseconds kExitDelay(1500);
}  // namespace

CFlexLink::CFlexLink(asio::io_context& io, LinkConfig config)
    : io_(io), config_(std::move(config)) {
  server_ = std::make_unique<LinkServer>(
      io_,
      [this](std::string header, std::string body, std::string sent_body,
             LinkServer::ReplyRoom room) -> asio::awaitable<std::string> {
        return dispatcher_.Dispatch(std::move(header),
                                    CommandBody{std::move(body), std::move(sent_body)},
                                    std::move(room));
      },
      config_.message_timeout);
  server_->SetOnClosed([this] { LaunchUi(); });
}

CFlexLink::~CFlexLink() = default;

std::error_code CFlexLink::CreateServer() {
  std::error_code ec = server_->Listen(config_.address, config_.port);
  if (!ec) server_->Start();
  return ec;
}

uint16_t CFlexLink::link_port() const { return server_->port(); }

void CFlexLink::LaunchUi() {
  if (launch_ui_) launch_ui_();
}

void CFlexLink::SendToUi(std::string message) { server_->Send(std::move(message)); }

asio::awaitable<void> CFlexLink::EndEngine() {
  server_->StopHandling();
  spdlog::info("ending the engine");
  asio::steady_timer timer(io_, kExitDelay);
  co_await timer.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
  if (on_exit_) on_exit_();
  // The caller's reply must never be sent: wait for good. The loop has stopped by now.
  timer.expires_at(asio::steady_timer::time_point::max());
  co_await timer.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
}

}  // namespace parley
