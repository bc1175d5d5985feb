#include "commands/asend_command.h"

#include <string_view>
#include <vector>

#include "commands/dsend_command.h"
#include "commands/login_command.h"
#include "db/address_book.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "send/group_send.h"
#include "text/mbcs.h"
#include "text/text_codes.h"

namespace parley {
namespace {

constexpr std::string_view kSep = "<QX>";

enum ASendMode { kModeSms = 1, kModeLongText = 2, kModePicture = 3 };

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

// The entries of a comma-separated list; none for an empty list.
std::vector<std::string> ListEntries(std::string_view list) {
  if (list.empty()) return {};
  const std::vector<std::string_view> entries = SplitFields(list, ',');
  return std::vector<std::string>(entries.begin(), entries.end());
}

// The order of an ASEND send from its body, "<QX>" replaced by backticks. Fields: 0 mode,
// 1 count (group names plus numbers), 2 title, 3 reservation, 4 group names separated by commas,
// 5 individual numbers separated by commas, 6 callback, 7 text escaped for the UI link, 8 (MMS)
// "<IMG>" and picture names.
GroupOrder ReadGroupOrder(const std::string& body, int mode) {
  const BodyFields f(body);
  GroupOrder order;
  ReadOrderHead(f, mode, &order);
  order.groups = ListEntries(f[4]);
  order.numbers = ListEntries(f[5]);
  order.callback = f[6];
  order.text = DecodeUiText(f[7]);
  if (order.kind == SendKind::kMms) order.pictures = PictureList(body, 8);
  return order;
}

}  // namespace

asio::awaitable<std::string> OnASend(Engine& engine, std::string body) {
  ReplaceAll(body, kSep, "`");
  const int mode = Atoi(ExtractSubString(body, 0, '`'));
  // The group send runs no send check (kGroupJob.send_check).
  if (mode == kModeSms || mode == kModeLongText || mode == kModePicture) {
    BookGroups groups(engine.services().address_book());
    // The job id is only logged by the pipeline; the UI program gets the account figures.
    co_await SendGroup(engine.services().MakeSendSetup(engine.session()), groups,
                       ReadGroupOrder(body, mode));
  }
  co_return RefreshUserInfo(engine);
}

}  // namespace parley
