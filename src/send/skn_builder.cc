#include "send/skn_builder.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>

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

// Returns the whole contents of the file at path, or nothing when it cannot be read or holds
// more than kSknMaxLength bytes.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code ec;
  uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > static_cast<uintmax_t>(kSknMaxLength)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || bytes.size() > static_cast<size_t>(kSknMaxLength)) return std::nullopt;
  return bytes;
}

}  // namespace

CSKNBuilder::CSKNBuilder() { Reset(); }

void CSKNBuilder::SetSubject(std::string_view subject) { subject_ = subject; }

bool CSKNBuilder::AddItem(std::string_view type, std::string_view file_name,
                          std::string_view data) {
  if (items_.size() >= static_cast<size_t>(kSknMaxItems)) return false;
  Item item;
  if (file_name.empty()) {
    item.data = data;
    file_name = kSknTextItemName;
  } else {
    std::optional<std::string> bytes = ReadWholeFile(std::filesystem::path(std::string(data)));
    if (!bytes) return false;
    item.data = std::move(*bytes);
  }
  int64_t size = static_cast<int64_t>(item.data.size());
  if (package_length_ + static_cast<int64_t>(kSknItemHeaderSize) + size > kSknMaxLength ||
      !BuildSknItemHeader(type, file_name, size, item.header)) {
    return false;
  }
  package_length_ += static_cast<int64_t>(kSknItemHeaderSize) + size;
  items_.push_back(std::move(item));
  GetTypeCode(type);
  return true;
}

std::string CSKNBuilder::GetTypeCode(std::string_view type) {
  type_mask_ |= TypeBit(type);
  return std::string(CodeOfMask(type_mask_));
}

std::string CSKNBuilder::BuildPackage() const {
  std::string package;
  package.reserve(static_cast<size_t>(package_length_));
  std::array<char, kSknHeaderSize> header;
  // The length and the count were checked as the items were added.
  BuildSknHeader(package_length_, item_count(), subject_, header);
  package.append(header.data(), header.size());
  for (const Item& item : items_) {
    package.append(item.header.data(), item.header.size());
    package.append(item.data);
  }
  return package;
}

bool CSKNBuilder::WritePackage(const std::filesystem::path& path) const {
  std::string package = BuildPackage();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(package.data(), static_cast<std::streamsize>(package.size()));
    out.close();
    if (out) return true;
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  return false;
}

void CSKNBuilder::Reset() {
  items_.clear();
  package_length_ = kSknHeaderSize;
  type_mask_ = 0;
  subject_ = kSknDefaultSubject;
}

}  // namespace parley
