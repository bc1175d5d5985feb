#include "qx/terminal.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace parley {

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

bool AnswerIsYes(std::string_view prompt, std::istream& in, std::ostream& out) {
  out << prompt << std::flush;
  std::string line;
  if (!std::getline(in, line)) return false;
  std::string answer;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r') continue;
    answer += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return answer == "y" || answer == "yes" || answer == "예" || answer == "네" || answer == "ㅇ";
}

bool ReadHiddenLine(std::string_view prompt, std::string* line, std::ostream& out) {
  out << prompt << std::flush;
  termios old_mode{};
  const bool terminal = ::tcgetattr(STDIN_FILENO, &old_mode) == 0;
  if (terminal) {
    termios quiet = old_mode;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  const bool read = static_cast<bool>(std::getline(std::cin, *line));
  if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old_mode);
  out << "\n";
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return read;
}

}  // namespace parley
