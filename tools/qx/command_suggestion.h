// The command a mistyped word most likely meant ("sned" -> "send").
#ifndef PARLEY_QX_COMMAND_SUGGESTION_H_
#define PARLEY_QX_COMMAND_SUGGESTION_H_

#include <string>
#include <string_view>
#include <vector>

namespace parley {

// The name nearest to word by edit distance (insertions, deletions, substitutions and swaps of
// two neighbouring letters each count one), if it is at most two edits away and word is not a
// name itself; the first such name on a tie; "" otherwise.
std::string NearestCommand(const std::vector<std::string>& names, std::string_view word);

}  // namespace parley

#endif  // PARLEY_QX_COMMAND_SUGGESTION_H_
