// The recent-numbers list: the five recipient numbers sent to most recently, most recent first.
// There is one list per process; it is stored per user in the address book after every send
// command and loaded again at each accepted login.
#ifndef PARLEY_COMMANDS_RECENT_NUMBERS_H_
#define PARLEY_COMMANDS_RECENT_NUMBERS_H_

#include <array>
#include <string>
#include <string_view>

namespace parley {

class CFlexLink;

// Five slots of at most 11 characters; the entries are the non-empty slots from slot 0 up to the
// first empty one.
class RecentNumberList {
 public:
  static constexpr int kSlots = 5;
  static constexpr size_t kMaxNumberLength = 11;

  // Puts `number` (cut to 11 characters) in front. The first entry that starts with it is
  // removed first, and the entry pushed past the fifth slot is dropped. An empty number changes
  // nothing.
  void Add(std::string_view number);
  // The text of slot i (0 to 4); empty for an empty slot or an index out of range.
  std::string At(int i) const;
  // "4<QX>" followed by each entry and ",": the ADDRB reply.
  std::string Text() const;
  // The entries each followed by ",", and their count: what the address book stores.
  std::string Joined(int* count) const;
  void Clear();

 private:
  std::array<std::string, kSlots> slots_;
};

// The process-wide list.
RecentNumberList& RecentNumbers();

// Shorthands on the process-wide list.
inline void AddRecentNumber(std::string_view number) { RecentNumbers().Add(number); }
inline std::string RecentNumberAt(int i) { return RecentNumbers().At(i); }
inline std::string RecentNumbersText() { return RecentNumbers().Text(); }

// Stores the list for the logged-in user in the address book. Runs after every send command;
// before any login there is no user and nothing is stored.
void SaveRecentList(CFlexLink& link);

// Adds the numbers stored for the logged-in user to the list (on top of what it holds), the
// number stored last ending in front. A database error is logged and adds nothing.
void LoadRecentList(CFlexLink& link);

}  // namespace parley

#endif  // PARLEY_COMMANDS_RECENT_NUMBERS_H_
