#include "commands/address_commands.h"

#include "commands/recent_numbers.h"
#include "engine/engine.h"
#include "text/mbcs.h"

namespace parley {

std::string OnAddrB(Engine& engine, const std::string& body) {
  const std::string args = Replaced(body, "<QX>", "`");
  // A book that cannot be opened (its error is logged once) has no groups and no addresses;
  // the UI program gets the empty list rather than no reply.
  const bool book = engine.services().address_book().OpenAddressBook();
  switch (Atoi(ExtractSubString(args, 0, '`'))) {
    case 2:
      return book ? engine.services().address_book().SendFirstAddrData(2) : "2<QX><QX>";
    case 3:
      return book ? engine.services().address_book().SendAddrData(3, args) : "3<QX>";
    case 4:
      return engine.session().recent_numbers().Text();
    default:
      return std::string();
  }
}

}  // namespace parley
