// The address-book group sends (ASEND): one gateway job that sends a short text
// (SendKind::kSms) or an SKN package (kMms) to every member of the named address-book groups,
// then to a list of individual numbers, as kGroupJob says: numbers and callback sent as given, a
// negative acknowledgement logged but not stopping the job, a number that cannot be one skipped,
// no sent report, no recent numbers.
#ifndef PARLEY_SEND_GROUP_SEND_H_
#define PARLEY_SEND_GROUP_SEND_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <asio/awaitable.hpp>

#include "send/gateway_job.h"
#include "send/send_result.h"

namespace parley {

// The address-book lookups of a group send, made by the caller. Each returns false on a
// database failure, with its reason (CP949) in *error.
class GroupDirectory {
 public:
  virtual ~GroupDirectory() = default;
  // The key of the group called name in *key; empty when there is none.
  virtual bool FindGroup(std::string_view name, std::string* key, std::string* error) = 0;
  // The member numbers of group key, in stored order.
  virtual bool Members(const std::string& key, std::vector<std::string>* numbers,
                       std::string* error) = 0;
};

// A group send as the user ordered it.
struct GroupOrder {
  SendKind kind = SendKind::kSms;
  int64_t count = 0;                  // group names plus individual numbers; the job announces it
  std::string title;                  // empty: the policy's default title
  std::string reserve_date;           // empty: send now
  std::vector<std::string> groups;    // group names, as listed
  std::vector<std::string> numbers;   // individual numbers, as listed
  std::string callback;               // as given
  std::string text;                   // decoded
  std::vector<std::string> pictures;  // MMS: picture names in TempIMG (at most three)
};

// Sends order: the members of each group (the names up to the first empty one, in order; each
// group's members in stored order), then the individual numbers with index below count minus the
// number of group names, waiting for an acknowledgement after those with index 50, 100, ... (a
// negative one is logged, the job goes on). A name the directory does not know adds no
// recipient; an empty number, one holding a NUL byte or a line break or one over 19 bytes is
// skipped. Refused (nothing sent, no job opened) when the directory fails looking up a name, the
// callback holds a NUL byte or a line break or is over 19 bytes, or the package of an MMS is
// refused (BuildJobPackage). A directory failure while reading members, or a lost connection,
// ends the job at once: the messages before it go out, the connection is closed, the failure is
// logged. The result carries the job id once the gateway answered.
asio::awaitable<SendResult> SendGroup(const SendSetup& setup, GroupDirectory& directory,
                                      GroupOrder order);

}  // namespace parley

#endif  // PARLEY_SEND_GROUP_SEND_H_
