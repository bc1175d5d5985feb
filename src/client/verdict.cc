#include "client/verdict.h"

#include <string_view>

namespace parley {

std::string Word(Language language, const Verdict& verdict) {
  const std::vector<std::string>& v = verdict.values;
  auto at = [&](size_t i) { return i < v.size() ? std::string_view(v[i]) : std::string_view(); };
  // No message takes more than eight arguments.
  return Text(language, verdict.code, {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7)});
}

}  // namespace parley
