#include "send/skn_builder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "send/picture_file.h"

namespace parley {
namespace {

int TypeBit(std::string_view type) {
  if (type == "IMG") return 1;
  if (type == "MOV") return 2;
  if (type == "TXT") return 4;
  if (type == "ADO") return 8;
  return 0;
}

std::string_view CodeOfMask(int mask) {
  switch (mask) {
    case 1:
      return "IMG";
    case 2:
      return "MOV";
    case 4:
      return "TXT";
    case 5:
      return "IMT";
    case 8:
      return "ADO";
    case 9:
      return "IMA";
    case 12:
      return "TXA";
    case 13:
      return "ITA";
    case 14:
      return "MTA";
    default:
      return "";
  }
}

}  // namespace

CSKNBuilder::CSKNBuilder() { Reset(); }

void CSKNBuilder::SetSubject(std::string_view subject) { subject_ = subject; }

bool CSKNBuilder::AddItem(std::string_view type, std::string_view file_name,
                          std::string_view data) {
  if (file_name.empty()) {
    return Add(type, kSknTextItemName, std::make_shared<const std::string>(data));
  }
  if (items_.size() >= static_cast<size_t>(kSknMaxItems)) return false;
  PictureFile file = ReadPictureFile(std::filesystem::path(std::string(data)));
  if (file.status != PictureStatus::kOk) return false;
  return Add(type, file_name, std::make_shared<const std::string>(std::move(file.bytes)));
}

bool CSKNBuilder::AddFileBytes(std::string_view type, std::string_view file_name,
                               std::shared_ptr<const std::string> bytes) {
  if (file_name.empty() || bytes == nullptr) return false;
  return Add(type, file_name, std::move(bytes));
}

bool CSKNBuilder::Add(std::string_view type, std::string_view file_name,
                      std::shared_ptr<const std::string> bytes) {
  if (items_.size() >= static_cast<size_t>(kSknMaxItems)) return false;
  Item item;
  item.data = std::move(bytes);
  const int64_t size = static_cast<int64_t>(item.data->size());
  if (package_length_ + static_cast<int64_t>(kSknItemHeaderSize) + size > kSknMaxLength ||
      !BuildSknItemHeader(type, file_name, size, item.header)) {
    return false;
  }
  package_length_ += static_cast<int64_t>(kSknItemHeaderSize) + size;
  items_.push_back(std::move(item));
  AddItemType(type);
  return true;
}

void CSKNBuilder::AddItemType(std::string_view type) { type_mask_ |= TypeBit(type); }

std::string CSKNBuilder::TypeCode() const { return std::string(CodeOfMask(type_mask_)); }

std::string CSKNBuilder::BuildPackage() const {
  std::string package;
  package.reserve(static_cast<size_t>(package_length_));
  std::array<char, kSknHeaderSize> header;
  // The length and the count were checked as the items were added.
  BuildSknHeader(package_length_, item_count(), subject_, header);
  package.append(header.data(), header.size());
  for (const Item& item : items_) {
    package.append(item.header.data(), item.header.size());
    package.append(*item.data);
  }
  return package;
}

bool CSKNBuilder::WritePackage(const std::filesystem::path& path) const {
  const std::string package = BuildPackage();
  // A fresh name beside path: mkstemp creates it, and never through a link that is already there.
  std::string temp = path.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < package.size();) {
    const ssize_t n = ::write(fd, package.data() + done, package.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  // rename replaces whatever path names, a symbolic link included, and never writes through it.
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

void CSKNBuilder::Reset() {
  items_.clear();
  package_length_ = kSknHeaderSize;
  type_mask_ = 0;
  subject_ = kSknDefaultSubject;
}

}  // namespace parley
