// parley: the engine. See README.md.
#include "app/engine.h"
#include "app/options.h"

int main(int argc, char** argv) {
  int status = 0;
  auto options = parley::ParseOptions(argc, argv, parley::ExecutableDir(), &status);
  if (!options) return status;
  return parley::RunEngine(*options);
}
