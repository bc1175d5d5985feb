// The address book (QXBOOK.mdb) kept by hand: groups and their addresses added, removed,
// imported from CSV or a workbook and exported. The engine only reads groups and addresses; these
// operations are how a front end puts them there. Text in and out is UTF-8; the file holds it
// through the database layer, so Korean names read back as written.
#ifndef PARLEY_CLIENT_BOOK_FILE_H_
#define PARLEY_CLIENT_BOOK_FILE_H_

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parley {

class AddressBook;

// One row of GROUPADDR_TB, text in UTF-8.
struct BookGroup {
  std::string name;
  int64_t lev = 0;
  int64_t addrnum = 0;  // the number of the group's addresses
  int64_t orgseq = 0;   // the key ADDRESS_TB.GPSEQ refers to
};

// The first two columns of the first sheet of a workbook (.xlsx, .xls, .ods or .csv), the heading
// line first: names and phone numbers as the cells hold them (a number cell's lost leading zero put
// back). False with *error when the file cannot be read or has no sheet.
bool ReadContactRows(const std::filesystem::path& path, std::vector<std::vector<std::string>>* rows,
                     std::string* error);

// One contact of a group, text in UTF-8; id is its row's key in the file.
struct BookContact {
  int64_t id = 0;
  std::string name;
  std::string phone;
};

// An address book file opened for editing. Every operation returns false with *error set (UTF-8)
// on failure and leaves the file as it was.
class BookFile {
 public:
  BookFile();
  ~BookFile();
  BookFile(const BookFile&) = delete;
  BookFile& operator=(const BookFile&) = delete;

  // Opens path; a missing file is created as an empty address book when create is set, and is an
  // error otherwise. A file that is not an SQLite database is refused and left untouched.
  bool Open(const std::filesystem::path& path, std::string* error, bool create = true);

  // The groups in stored order.
  bool Groups(std::vector<BookGroup>* groups, std::string* error);

  // Adds an empty group with the next free key. Refuses an empty name or one already taken.
  bool AddGroup(std::string_view name, std::string* error);

  // Removes the group and its addresses. Refuses a name no group has.
  bool RemoveGroup(std::string_view name, std::string* error);

  // Adds the contacts of a CSV text (one "name,phone" per line; a name holding a comma is
  // written in double quotes) to the group, and brings its ADDRNUM up to date. A UTF-8 byte order
  // mark, blank lines and lines whose phone is not a number (a heading line, for instance) are
  // skipped, each skipped line noted on *warnings when given. Phone numbers lose their hyphens
  // and blanks. *added is the number of contacts added. All or nothing.
  bool Import(std::string_view group, std::istream& csv, int* added, std::string* error,
              std::ostream* warnings = nullptr);

  // Adds the contacts of a workbook (.xlsx, .xls, .ods or .csv): the first two columns of its
  // first sheet, names and phone numbers, the heading line included when its second cell is a
  // phone number. Otherwise as Import.
  bool ImportWorkbook(std::string_view group, const std::filesystem::path& path, int* added,
                      std::string* error, std::ostream* warnings = nullptr);

  // Writes the group's contacts as CSV lines "name,phone", in stored order.
  bool Export(std::string_view group, std::ostream& out, std::string* error);

  // The group's contacts in stored order, each with the key the calls below take.
  bool Members(std::string_view group, std::vector<BookContact>* contacts, std::string* error);
  // Adds one contact to the group; the phone loses its hyphens and blanks (a phone that is no
  // number is refused).
  bool AddContact(std::string_view group, std::string_view name, std::string_view phone,
                  std::string* error);
  // Changes a contact's name and phone.
  bool UpdateContact(int64_t id, std::string_view name, std::string_view phone, std::string* error);
  // Moves a contact to another group; both groups' counts follow.
  bool MoveContact(int64_t id, std::string_view group, std::string* error);
  // Removes a contact; its group's count follows.
  bool RemoveContact(int64_t id, std::string* error);

 private:
  // The group's key; false with *error when there is no such group.
  bool FindKey(std::string_view name, int64_t* key, std::string* error);

  std::unique_ptr<AddressBook> book_;
};

}  // namespace parley

#endif  // PARLEY_CLIENT_BOOK_FILE_H_
