#include "commands/address_commands.h"

#include "commands/recent_numbers.h"
#include "engine/engine.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"

namespace parley {

std::string OnAddrB(Engine& engine, const std::string& body) {
  const protocol::AddressRequest request = protocol::AddressRequest::Parse(body);
  AddressBook& book = engine.services().address_book();
  // A book that cannot be opened (its error is logged once) has no groups and no addresses;
  // the UI program gets the empty list rather than no reply.
  const bool open = book.OpenAddressBook();
  switch (request.kind) {
    case protocol::AddressRequest::kGroups:
      return protocol::GroupListReply(open ? book.Groups() : std::vector<protocol::AddressGroup>());
    case protocol::AddressRequest::kAddresses:
      return protocol::AddressListReply(open ? book.Addresses(request.group_key)
                                             : std::vector<protocol::Address>());
    case protocol::AddressRequest::kRecent:
      return engine.session().recent_numbers().Text();
    default:
      return std::string();
  }
}

}  // namespace parley
