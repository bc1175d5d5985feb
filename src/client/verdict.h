// A fact the client core found about what a user asked: a catalogue code, the values that
// explain it, and the item it concerns (the field of the request, the item as typed, its line and
// its place on that line). Front ends word a verdict in their own language (Word); the core never
// hands them a sentence to show.
#ifndef PARLEY_CLIENT_VERDICT_H_
#define PARLEY_CLIENT_VERDICT_H_

#include <string>
#include <utility>
#include <vector>

#include "client/messages.h"

namespace parley {

// The fields of a send request a verdict can concern.
inline constexpr char kFieldTo[] = "to";
inline constexpr char kFieldToFile[] = "to_file";      // a file of numbers, one a line
inline constexpr char kFieldToColumn[] = "to_column";  // a column of a workbook: line is the row
inline constexpr char kFieldCallback[] = "callback";
inline constexpr char kFieldText[] = "text";
inline constexpr char kFieldReserve[] = "reserve";
inline constexpr char kFieldPicture[] = "picture";
inline constexpr char kFieldGroup[] = "group";

struct Verdict {
  Verdict() = default;
  Verdict(Msg code_, std::vector<std::string> values_ = {}, std::string field_ = {},
          std::string item_ = {}, int line_ = 0, int position_ = 0)
      : code(code_),
        values(std::move(values_)),
        field(std::move(field_)),
        item(std::move(item_)),
        line(line_),
        position(position_) {}

  Msg code = Msg::kNumberEmpty;
  std::vector<std::string> values;  // the message's arguments, in order
  std::string field;                // one of the kField names
  std::string item;                 // the item as typed (a number, a file, a group, a text)
  int line = 0;                     // the item's line in its field or file (from 1; 0: none)
  int position = 0;                 // its place on that line (from 1; 0: none)
  std::string source;               // the typed list (its start) or the file it came from
};

// The verdict in words: the catalogue's message with its values.
std::string Word(Language language, const Verdict& verdict);

}  // namespace parley

#endif  // PARLEY_CLIENT_VERDICT_H_
