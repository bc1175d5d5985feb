#include "commands/recent_numbers.h"

#include <vector>

#include <spdlog/spdlog.h>

#include "db/db_exception.h"
#include "engine/engine.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {

void SaveRecentList(Engine& engine) {
  if (engine.session().login_id().empty()) return;
  int count = 0;
  std::string numbers = engine.session().recent_numbers().Joined(&count);
  engine.services().address_book().SaveRecentNumbers(count, engine.session().login_id(), numbers);
}

void LoadRecentList(Engine& engine) {
  std::string stored;
  try {
    stored = engine.services().address_book().LoadRecentNumbers(engine.session().login_id());
  } catch (const CDBException& e) {
    spdlog::error("address book: cannot load the recent numbers: {}", AnsiToUtf8(e.what()));
    return;
  }
  if (stored.empty() || stored == ",") return;
  std::vector<std::string_view> fields = SplitFields(stored, ',');
  for (size_t i = 0; i < fields.size() && i < RecentNumberList::kSlots; ++i) {
    if (fields[i].empty()) break;
    engine.session().recent_numbers().Add(fields[i]);
  }
}

}  // namespace parley
