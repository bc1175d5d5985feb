#include "engine/recent_number_list.h"

#include <vector>

namespace parley {

void RecentNumberList::Add(std::string_view number) {
  if (number.empty()) return;
  std::string n(number.substr(0, kMaxNumberLength));
  std::vector<std::string> entries;
  bool removed = false;
  for (const std::string& slot : slots_) {
    if (slot.empty()) break;
    if (!removed && slot.compare(0, n.size(), n) == 0) {
      removed = true;  // an entry that starts with the number counts as the number
      continue;
    }
    entries.push_back(slot);
  }
  slots_ = {};
  slots_[0] = std::move(n);
  for (size_t i = 0; i < entries.size() && i + 1 < slots_.size(); ++i) slots_[i + 1] = entries[i];
}

std::string RecentNumberList::At(int i) const {
  if (i < 0 || i >= kSlots) return std::string();
  return slots_[static_cast<size_t>(i)];
}

std::string RecentNumberList::Joined(int* count) const {
  std::string text;
  int n = 0;
  for (const std::string& slot : slots_) {
    if (slot.empty()) break;
    text += slot;
    text += ',';
    ++n;
  }
  if (count) *count = n;
  return text;
}

std::string RecentNumberList::Text() const { return "4<QX>" + Joined(nullptr); }

void RecentNumberList::Clear() { slots_ = {}; }

}  // namespace parley
