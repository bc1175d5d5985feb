#include "commands/recent_numbers.h"

namespace parley {

void SaveRecentList(CFlexLink& /*link*/) {}

}  // namespace parley
