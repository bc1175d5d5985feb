// qx book: keeping the address book (QXBOOK.mdb) by hand from the command line, through the
// client core's BookFile (client/book_file.h).
#ifndef PARLEY_QX_BOOK_COMMAND_H_
#define PARLEY_QX_BOOK_COMMAND_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "client/book_file.h"
#include "client/messages.h"

namespace parley {

// What a "qx book" command line asks for.
struct BookOptions {
  std::string action;  // groups, add-group, remove-group, import or export
  std::string file = "QXBOOK.mdb";
  bool file_given = false;  // --file was on the command line
  std::string group;        // add-group, remove-group, import, export
  std::string csv;          // import: a CSV or workbook file
  Language language = Language::kEnglish;
};

// Runs the action on options.file (add-group and import create a missing file, and say so on
// err, since the engine reads the book in its own working directory). Listings and exports go to
// out; a failure is a "qx book: ..." line on err and status 1.
int RunBookCommand(const BookOptions& options, std::ostream& out, std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_BOOK_COMMAND_H_
