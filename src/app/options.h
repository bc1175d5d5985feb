// The engine's command line.
#ifndef PARLEY_APP_OPTIONS_H_
#define PARLEY_APP_OPTIONS_H_

#include <optional>
#include <string>

#include "engine/engine_config.h"

namespace parley {

struct EngineOptions {
  EngineConfig config;
  std::string log_level = "info";
};

// Parses the command line. Returns the options, or an exit status when the program should end at
// once (after --help or --version, 0; after an invalid argument, with the message printed, 2).
// `executable_dir` is the default engine directory.
std::optional<EngineOptions> ParseOptions(int argc, char** argv, const std::string& executable_dir,
                                          int* exit_status);

// Splits "HOST:PORT"; false when the port is missing or not a number from 1 to 65535.
bool SplitHostPort(const std::string& text, std::string* host, uint16_t* port);

// The directory of the running executable, or "." when it cannot be told.
std::string ExecutableDir();

}  // namespace parley

#endif  // PARLEY_APP_OPTIONS_H_
