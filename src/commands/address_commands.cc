#include "commands/address_commands.h"

#include "commands/recent_numbers.h"
#include "link/flex_link.h"
#include "text/mbcs.h"

namespace parley {

std::string OnAddrB(CFlexLink& link, const std::string& body) {
  const std::string args = Replaced(body, "<QX>", "`");
  switch (Atoi(ExtractSubString(args, 0, '`'))) {
    case 2:
      return link.address_book.SendFirstAddrData(2);
    case 3:
      return link.address_book.SendAddrData(3, args);
    case 4:
      return RecentNumbersText();
    default:
      return std::string();
  }
}

}  // namespace parley
