// RulesBook: the sending rules' own tables in the address book file, beside its groups: the
// numbers that opted out of advertising (OPTOUT_TB), the registered callback numbers
// (CALLBACK_TB) and the rules' settings (SETTING_TB, name and value). A table is created the
// first time something is written to it, so a book that never used them opens and stays as it
// was; reading a table that is not there gives an empty list.
//
// Numbers are stored as the digits the caller normalised (numbers/korean_number.h); texts are
// engine text (CP949), bound as parameters. Reads throw CDBException on a database error (a
// book that could not be opened included); writes answer false instead.
#ifndef PARLEY_DB_RULES_BOOK_H_
#define PARLEY_DB_RULES_BOOK_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace parley {

class AddressBook;

// A number on the opt-out list: its digits, when it was added (Unix seconds) and a note.
struct OptOutEntry {
  std::string number;
  int64_t added = 0;
  std::string note;
  bool operator==(const OptOutEntry&) const = default;
};

// A registered callback number and its label.
struct CallbackEntry {
  std::string number;
  std::string label;
  bool operator==(const CallbackEntry&) const = default;
};

// The setting names RulesBook keeps (any other name is refused).
inline constexpr std::string_view kBusinessNameSetting = "business_name";
inline constexpr std::string_view kOptOutNumberSetting = "optout_number";
inline constexpr std::string_view kOptOutAppliesSetting = "optout_applies";
inline constexpr std::string_view kOwnNumberSetting = "own_number";
inline constexpr std::string_view kSettingNames[] = {kBusinessNameSetting, kOptOutNumberSetting,
                                                     kOptOutAppliesSetting, kOwnNumberSetting};

// What adding numbers to a list did: how many were new and how many were there already.
struct ListAdded {
  bool ok = false;  // false: nothing was written
  int64_t added = 0;
  int64_t already = 0;
};

// Where the rules' data lives: the address book file of one engine (RulesBook), or a database an
// office shares (PostgreSQL, src/pgstore). Reads throw CDBException on a database error; writes
// answer false (or -1) instead. Numbers are digits; texts are engine text (CP949).
class RulesStore {
 public:
  virtual ~RulesStore() = default;
  // The opt-out list in the order of its numbers.
  virtual std::vector<OptOutEntry> OptOuts() = 0;
  // Adds each number not on the list yet with `added` and `note` (a number given twice counts
  // once); every number or none.
  virtual ListAdded AddOptOuts(const std::vector<std::string>& numbers, std::string_view note,
                               int64_t added) = 0;
  // Removes the numbers; how many were on the list, or -1 when nothing could be written.
  virtual int64_t RemoveOptOuts(const std::vector<std::string>& numbers) = 0;
  // The registered callbacks in the order of their numbers.
  virtual std::vector<CallbackEntry> Callbacks() = 0;
  virtual ListAdded AddCallbacks(const std::vector<std::string>& numbers,
                                 std::string_view label) = 0;
  virtual int64_t RemoveCallbacks(const std::vector<std::string>& numbers) = 0;
  // Every stored setting by name; a setting never set is absent.
  virtual std::map<std::string, std::string> Settings() = 0;
  // Stores value under name (one of kSettingNames); an empty value removes the setting. False for
  // another name or when nothing could be written.
  virtual bool SetSetting(std::string_view name, std::string_view value) = 0;
};

class RulesBook : public RulesStore {
 public:
  // REQUIRES: book outlives this object.
  explicit RulesBook(AddressBook& book) : book_(book) {}

  // The opt-out list in the order of its numbers.
  std::vector<OptOutEntry> OptOuts() override;
  // Adds each number not on the list yet with `added` and `note` (a number given twice counts
  // once); every number or none.
  ListAdded AddOptOuts(const std::vector<std::string>& numbers, std::string_view note,
                       int64_t added) override;
  // Removes the numbers; how many were on the list, or -1 when nothing could be written.
  int64_t RemoveOptOuts(const std::vector<std::string>& numbers) override;

  // The registered callbacks in the order of their numbers.
  std::vector<CallbackEntry> Callbacks() override;
  ListAdded AddCallbacks(const std::vector<std::string>& numbers, std::string_view label) override;
  int64_t RemoveCallbacks(const std::vector<std::string>& numbers) override;

  // Every stored setting by name; a setting never set is absent.
  std::map<std::string, std::string> Settings() override;
  // Stores value under name (one of kSettingNames); an empty value removes the setting. False for
  // another name or when nothing could be written.
  bool SetSetting(std::string_view name, std::string_view value) override;

 private:
  // True when table exists in the book (which is opened first).
  bool HasTable(std::string_view table);
  // Inserts each number as a row of table (with extra bound values) unless it is there.
  ListAdded AddNumbers(std::string_view table, std::string_view schema, std::string_view columns,
                       std::string_view values, const std::vector<std::string>& numbers,
                       const std::vector<std::string>& extra);
  int64_t RemoveNumbers(std::string_view table, const std::vector<std::string>& numbers);

  AddressBook& book_;
};

}  // namespace parley

#endif  // PARLEY_DB_RULES_BOOK_H_
