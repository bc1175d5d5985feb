#include "commands/address_commands.h"

#include "commands/recent_numbers.h"
#include "link/flex_link.h"
#include "text/mbcs.h"

namespace parley {

std::string OnAddrB(CFlexLink& link, const std::string& body) {
  const std::string args = Replaced(body, "<QX>", "`");
  // A book that cannot be opened (its error is logged once) has no groups and no addresses;
  // the UI program gets the empty list rather than no reply.
  const bool book = link.address_book.OpenAddressBook();
  switch (Atoi(ExtractSubString(args, 0, '`'))) {
    case 2:
      return book ? link.address_book.SendFirstAddrData(2) : "2<QX><QX>";
    case 3:
      return book ? link.address_book.SendAddrData(3, args) : "3<QX>";
    case 4:
      return RecentNumbersText();
    default:
      return std::string();
  }
}

}  // namespace parley
