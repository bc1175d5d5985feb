// Engine: the engine's parts in one object, created at start-up and living until the process
// ends: the session state, the services and the UI link.
#ifndef PARLEY_ENGINE_ENGINE_H_
#define PARLEY_ENGINE_ENGINE_H_

#include "engine/engine_config.h"
#include "engine/engine_services.h"
#include "engine/engine_session.h"
#include "link/flex_link.h"

namespace asio {
class io_context;
}

namespace parley {

class Engine {
 public:
  Engine(asio::io_context& io, const EngineConfig& config);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  EngineSession& session() { return session_; }
  const EngineSession& session() const { return session_; }
  EngineServices& services() { return services_; }
  const EngineServices& services() const { return services_; }
  CFlexLink& link() { return link_; }

 private:
  EngineSession session_;
  EngineServices services_;
  CFlexLink link_;
};

}  // namespace parley

#endif  // PARLEY_ENGINE_ENGINE_H_
