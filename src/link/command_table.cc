#include "link/command_table.h"

namespace parley {

int FindCommand(std::string_view header) {
  std::string_view code = header.substr(0, 5);
  for (int n = 1; n < kCommandCount; ++n) {
    if (code == kCommandCodes[static_cast<size_t>(n)]) return n;
  }
  return kCmdInit;
}

}  // namespace parley
