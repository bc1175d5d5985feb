// CSKNBuilder: collects the text and the pictures of one MMS or long-text message and builds its
// SKN package (layout in skn_package.h).
//
// Calling order: SetSubject -> AddItem for the text -> AddItem for each picture -> TypeCode ->
// BuildPackage or WritePackage; Reset before the next package.
//
// A file item is read whole when it is added, so the package always holds the bytes its headers
// announce, however the file changes later.
#ifndef PARLEY_SEND_SKN_BUILDER_H_
#define PARLEY_SEND_SKN_BUILDER_H_

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "send/skn_package.h"

namespace parley {

class CSKNBuilder {
 public:
  CSKNBuilder();

  // Replaces the subject (CP949). An empty subject is written as "제목없음"; one over 100 bytes
  // is cut at a character boundary.
  void SetSubject(std::string_view subject);

  // Adds one item of `type` ("TXT", "IMG", "MOV" or "ADO"). An empty file_name makes a text item
  // whose bytes are `data` (CP949), named "BODY.TXT" in the package; otherwise `data` is the path
  // (UTF-8) of a file whose bytes become the item, named file_name (CP949), read as
  // ReadPictureFile reads it (a regular file of at most kMaxPictureBytes, no symbolic link).
  // Returns false, adding nothing, when nine items are held, the file cannot be read that way,
  // type is over 3 bytes or file_name over 100 bytes, or the package would reach 1000 million
  // bytes.
  bool AddItem(std::string_view type, std::string_view file_name, std::string_view data);

  // As AddItem for a file item whose bytes the caller has read already (ReadPictureFile); the
  // bytes are shared, not copied, so one picture can go into many packages.
  bool AddFileBytes(std::string_view type, std::string_view file_name,
                    std::shared_ptr<const std::string> bytes);

  // Adds the bit of type ("IMG" 1, "MOV" 2, "TXT" 4, "ADO" 8; any other text adds nothing) to the
  // set of item types of the package. Every item added records its type this way already.
  void AddItemType(std::string_view type);

  // The package type code of the item types recorded so far: "IMG", "MOV", "TXT", "IMT"
  // (TXT+IMG), "ADO", "IMA" (IMG+ADO), "TXA" (TXT+ADO), "ITA" (TXT+IMG+ADO), "MTA"
  // (TXT+MOV+ADO); an empty text for any other set.
  std::string TypeCode() const;

  // Returns the package bytes: header, then each item header and its bytes.
  std::string BuildPackage() const;

  // Writes the package to path (UTF-8), replacing any file of that name: the bytes go to a new
  // file in the same folder, which is then renamed over path, so a symbolic link at path is
  // replaced, never followed. Returns false, path unchanged, when the new file cannot be created,
  // written or renamed; it is removed then.
  bool WritePackage(const std::filesystem::path& path) const;

  // Makes the builder ready for the next package: subject "제목없음", no items, no item types.
  void Reset();

  int item_count() const { return static_cast<int>(items_.size()); }
  // The length of the package as BuildPackage would return it now.
  int64_t package_length() const { return package_length_; }

 private:
  // Adds an item of type named file_name holding bytes; false, adding nothing, as AddItem.
  bool Add(std::string_view type, std::string_view file_name,
           std::shared_ptr<const std::string> bytes);

  struct Item {
    std::array<char, kSknItemHeaderSize> header;
    std::shared_ptr<const std::string> data;
  };

  std::vector<Item> items_;
  int64_t package_length_ = kSknHeaderSize;
  int type_mask_ = 0;
  std::string subject_;
};

}  // namespace parley

#endif  // PARLEY_SEND_SKN_BUILDER_H_
