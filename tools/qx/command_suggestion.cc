#include "qx/command_suggestion.h"

#include <algorithm>

namespace parley {
namespace {

constexpr size_t kMaxEdits = 2;

// Optimal string alignment distance: edits with swaps of neighbours.
size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::string NearestCommand(const std::vector<std::string>& names, std::string_view word) {
  std::string best;
  size_t best_distance = kMaxEdits + 1;
  for (const std::string& name : names) {
    const size_t distance = Distance(word, name);
    if (distance == 0) return "";
    if (distance < best_distance) {
      best_distance = distance;
      best = name;
    }
  }
  return best;
}

}  // namespace parley
