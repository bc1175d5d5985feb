#include "engine/engine_config.h"

namespace parley {

std::string EngineConfig::GetModuleDir() const {
  std::string dir = home.string();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::filesystem::path EngineConfig::UiProgram() const {
  if (ui_program) return *ui_program;
  return std::filesystem::path(GetModuleDir()) / kUiProgramPath;
}

}  // namespace parley
