// What qx asks a person at a terminal: a yes/no confirmation and a password typed without echo.
// Both are asked only when standard input is a terminal; scripts and pipes are never prompted.
#ifndef PARLEY_QX_TERMINAL_H_
#define PARLEY_QX_TERMINAL_H_

#include <iosfwd>
#include <string>
#include <string_view>

namespace parley {

// True when standard input is a terminal.
bool StdinIsTerminal();

// Writes prompt to out and reads one line from in: true for "y", "yes", "예", "네" or "ㅇ"
// (any case, blanks ignored); false for anything else, an empty line or the end of input.
bool AnswerIsYes(std::string_view prompt, std::istream& in, std::ostream& out);

// Writes prompt to out and reads one line from standard input with echo turned off (restored
// afterwards). False at the end of input.
bool ReadHiddenLine(std::string_view prompt, std::string* line, std::ostream& out);

}  // namespace parley

#endif  // PARLEY_QX_TERMINAL_H_
