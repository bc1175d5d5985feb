// The recent-numbers list: the five recipient numbers sent to most recently, most recent first.
// The engine session owns one; it is stored per user in the address book after every send
// command and loaded again at each accepted login.
#ifndef PARLEY_ENGINE_RECENT_NUMBER_LIST_H_
#define PARLEY_ENGINE_RECENT_NUMBER_LIST_H_

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace parley {

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

}  // namespace parley

#endif  // PARLEY_ENGINE_RECENT_NUMBER_LIST_H_
