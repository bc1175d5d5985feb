#include "commands/asend_command.h"

#include <string_view>
#include <vector>

#include "commands/login_command.h"
#include "commands/send_orders.h"
#include "db/address_book.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "send/group_send.h"

namespace parley {
namespace {

// The group lookups of a group send, answered by the address book; a database failure becomes
// the lookup's error.
class BookGroups : public GroupDirectory {
 public:
  explicit BookGroups(AddressBook& book) : book_(book) {}

  bool FindGroup(std::string_view name, std::string* key, std::string* error) override {
    return Answered([&] { *key = book_.FindGroupSeq(name); }, error);
  }

  bool Members(const std::string& key, std::vector<std::string>* numbers,
               std::string* error) override {
    return Answered([&] { *numbers = book_.GroupMembers(key); }, error);
  }

 private:
  // Runs query; false, with the database's reason in *error, when it fails.
  template <typename Query>
  static bool Answered(Query query, std::string* error) {
    try {
      query();
      return true;
    } catch (const CDBException& e) {
      *error = e.what();
      return false;
    }
  }

  AddressBook& book_;
};

}  // namespace

asio::awaitable<std::string> OnASend(Engine& engine, std::string body) {
  const int mode = protocol::SendModeOf(body);
  // The group send runs no send check (kGroupJob.send_check).
  if (protocol::IsSendingMode(mode)) {
    BookGroups groups(engine.services().address_book());
    // The job id is only logged by the pipeline; the UI program gets the account figures.
    GroupOrder order = GroupOrderOf(protocol::GroupSendRequest::Parse(body));
    JobSource source{"groups"};
    for (const std::string& group : order.groups) source.description += " " + group;
    if (!order.numbers.empty()) source.description += " and typed numbers";
    SendSetup setup = engine.services().MakeSendSetup(engine.session(), std::move(source));
    co_await engine.link().dispatcher().turn().Aside(SendGroup(setup, groups, std::move(order)));
  }
  co_return protocol::SendReply("", co_await RefreshUserInfo(engine));
}

}  // namespace parley
