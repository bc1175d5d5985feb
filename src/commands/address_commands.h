// ADDRB: the address-book groups, the addresses of a group, and the recent numbers.
#ifndef PARLEY_COMMANDS_ADDRESS_COMMANDS_H_
#define PARLEY_COMMANDS_ADDRESS_COMMANDS_H_

#include <string>

namespace parley {

class Engine;

// The ADDRB handler. Field 0 selects: 2 the group list ("2<QX>..."), 3 the addresses of the
// group whose key is field 1 ("3<QX>..."), 4 the recent numbers ("4<QX>..."); anything else an
// empty reply. A database error while reading passes up as CDBException.
std::string OnAddrB(Engine& engine, const std::string& body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_ADDRESS_COMMANDS_H_
