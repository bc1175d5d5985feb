// The client core writes its refusals as plain lines; qx says which command speaks, as a
// terminal program does ("qx send: ..."). Lines written to stream() reach `to`, each behind the
// prefix, when the PrefixedLines goes out of scope.
#ifndef PARLEY_QX_PREFIXED_LINES_H_
#define PARLEY_QX_PREFIXED_LINES_H_

#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

namespace parley {

class PrefixedLines {
 public:
  PrefixedLines(std::string_view prefix, std::ostream& to) : prefix_(prefix), to_(to) {}
  ~PrefixedLines() {
    std::istringstream lines(text_.str());
    for (std::string line; std::getline(lines, line);) to_ << prefix_ << line << "\n";
  }
  PrefixedLines(const PrefixedLines&) = delete;
  PrefixedLines& operator=(const PrefixedLines&) = delete;

  std::ostream& stream() { return text_; }

 private:
  std::string prefix_;
  std::ostream& to_;
  std::ostringstream text_;
};

}  // namespace parley

#endif  // PARLEY_QX_PREFIXED_LINES_H_
