#include "commands/recent_numbers.h"

#include <vector>

#include <spdlog/spdlog.h>

#include "db/db_exception.h"
#include "link/flex_link.h"
#include "text/cp949.h"
#include "text/mbcs.h"

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

RecentNumberList& RecentNumbers() {
  static RecentNumberList list;
  return list;
}

void SaveRecentList(CFlexLink& link) {
  if (link.login_id.empty()) return;
  int count = 0;
  std::string numbers = RecentNumbers().Joined(&count);
  link.address_book.SaveRecentNumbers(count, link.login_id, numbers);
}

void LoadRecentList(CFlexLink& link) {
  std::string stored;
  try {
    stored = link.address_book.LoadRecentNumbers(link.login_id);
  } catch (const CDBException& e) {
    spdlog::error("address book: cannot load the recent numbers: {}", AnsiToUtf8(e.what()));
    return;
  }
  if (stored.empty() || stored == ",") return;
  std::vector<std::string_view> fields = SplitFields(stored, ',');
  for (size_t i = 0; i < fields.size() && i < RecentNumberList::kSlots; ++i) {
    if (fields[i].empty()) break;
    AddRecentNumber(fields[i]);
  }
}

}  // namespace parley
