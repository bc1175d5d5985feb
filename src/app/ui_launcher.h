// Launching the UI program and looking for it among the running processes.
#ifndef PARLEY_APP_UI_LAUNCHER_H_
#define PARLEY_APP_UI_LAUNCHER_H_

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace parley {

// Starts `program` detached from the engine: it inherits no descriptor but the standard ones,
// and the engine never has to reap it; PARLEY_LINK_PORT in its environment names the UI-link port
// (a UI program that knows only the built-in port ignores it). A missing or non-executable
// program is ignored (logged at debug level); an empty path launches nothing. Returns true when a
// process was started.
bool LaunchUiProgram(const std::filesystem::path& program, uint16_t link_port);

// True when a process whose name is exactly `name` (case-sensitive) is running. The system keeps
// the first 15 bytes of a process name, so only those of `name` are compared.
bool IsProcessRunning(std::string_view name);

}  // namespace parley

#endif  // PARLEY_APP_UI_LAUNCHER_H_
