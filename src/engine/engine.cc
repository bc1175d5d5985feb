#include "engine/engine.h"

#include <asio/io_context.hpp>

namespace parley {
namespace {

LinkConfig LinkConfigOf(const EngineConfig& config) {
  LinkConfig link;
  link.address = config.link_address;
  link.port = config.link_port;
  link.message_timeout = std::chrono::seconds(config.link_message_timeout_seconds);
  return link;
}

}  // namespace

Engine::Engine(asio::io_context& io, const EngineConfig& config)
    : services_(io.get_executor(), config), link_(io, LinkConfigOf(config)) {}

}  // namespace parley
