// The page's address book: the engine's own book file (its path from STATE), its groups and their
// contacts added, edited, moved, removed, imported from a spreadsheet and exported. Every
// refusal is a verdict; a contact's phone follows the one number rule.
#ifndef PARLEY_UI_BOOK_API_H_
#define PARLEY_UI_BOOK_API_H_

#include <memory>
#include <optional>
#include <string>

#include "ui/api_reply.h"

namespace parley {

class BookFile;
class UiLink;

class BookApi {
 public:
  explicit BookApi(UiLink& link) : link_(link) {}

  // The groups: name and contacts.
  ApiReply Groups();
  // One group's contacts (group): id, name, phone.
  ApiReply Members(const ApiFields& fields);
  // A group added or removed (name); removing takes its contacts with it.
  ApiReply AddGroup(const ApiFields& fields);
  ApiReply RemoveGroup(const ApiFields& fields);
  // A contact added (group, name, phone), changed (id, name, phone), moved (id, group) or
  // removed (id).
  ApiReply AddContact(const ApiFields& fields);
  ApiReply UpdateContact(const ApiFields& fields);
  ApiReply MoveContact(const ApiFields& fields);
  ApiReply RemoveContact(const ApiFields& fields);
  // The contacts of an uploaded spreadsheet (its first two columns: name, phone) added to a group
  // (group): how many were added, and each row left out (no mobile number) as a verdict.
  ApiReply Import(const ApiFields& fields, const std::string& path);
  // The group's contacts as CSV ("name,phone" lines, UTF-8); nullopt with *refused set when the
  // group cannot be read.
  std::optional<std::string> Export(const ApiFields& fields, ApiReply* refused);

 private:
  // The engine's book, open; null with *failure set when it cannot be.
  std::unique_ptr<BookFile> Open(ApiReply* failure);

  UiLink& link_;
};

}  // namespace parley

#endif  // PARLEY_UI_BOOK_API_H_
