// The address-book group sends: one gateway job that sends a short text (SendGroupSms) or an SKN
// package (SendGroupMms) to every member of the named address-book groups, then to a list of
// individual numbers.
//
// The request is the ASEND body with every "<QX>" already replaced by a backtick. Fields:
//   0 kind, 1 count (groups plus individual numbers), 2 title, 3 reservation text, 4 group names
//   separated by commas, 5 individual numbers separated by commas, 6 callback number, 7 message
//   text escaped for the UI link, 8 "<IMG>" and picture names (MMS).
// Numbers and the callback are sent as given (hyphens stay); no report and no recent numbers.
#ifndef PARLEY_SEND_GROUP_SEND_H_
#define PARLEY_SEND_GROUP_SEND_H_

#include <cstdint>
#include <string>

#include <asio/awaitable.hpp>

#include "send/direct_send.h"

namespace parley {

class AddressBook;

// Sends the message text as one SMS per recipient: the members of each group of field 4 (in the
// order of the names, each group's members in stored order), then the individual numbers of
// field 5 with index below count minus the number of group names, waiting for an
// acknowledgement after those with index 50, 100, ... (its outcome is not tested). A name the
// address book does not know adds no recipient; a number holding a NUL byte or a line break is
// skipped. Returns the job id of the gateway's job reply, also when the job was refused (nothing
// is sent then); empty when the gateway did not answer, or the address book failed or the
// callback holds a NUL byte or a line break before the job was opened. A database error during a
// member query, or a lost connection, ends the job at once: the connection is closed and the
// failure logged.
asio::awaitable<std::string> SendGroupSms(const DirectSendSetup& setup, AddressBook& book,
                                          int64_t count, std::string request);

// As SendGroupSms, sending one SKN package (built as BuildJobPackage does, pictures from field 8)
// per recipient. The job sends the bytes it built itself. A package that BuildJobPackage refuses
// opens no job (empty result, the reason logged).
asio::awaitable<std::string> SendGroupMms(const DirectSendSetup& setup, AddressBook& book,
                                          int64_t count, std::string request);

}  // namespace parley

#endif  // PARLEY_SEND_GROUP_SEND_H_
