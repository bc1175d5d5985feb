// Reading one entry of a zip archive inflated, a piece at a time. Deflated entries are inflated
// by ISA-L from the raw stream (about twice as fast as zlib), others by libzip.
#ifndef PARLEY_EXCEL_ZIP_ENTRY_READER_H_
#define PARLEY_EXCEL_ZIP_ENTRY_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct zip;
struct zip_file;

namespace parley {

class ZipEntryReader {
 public:
  ~ZipEntryReader();
  ZipEntryReader(const ZipEntryReader&) = delete;
  ZipEntryReader& operator=(const ZipEntryReader&) = delete;

  // Opens entry `index` (named `name` in reasons) of archive, which outlives the reader. Null
  // with a readable reason in *error when it cannot be read.
  static std::unique_ptr<ZipEntryReader> Open(zip* archive, uint64_t index, const std::string& name,
                                              std::string* error);

  // Fills buffer with up to capacity inflated bytes; returns how many, 0 once the entry is read
  // whole (its size and CRC-32 then checked against the archive's directory), or -1 with a
  // reason in *error when the entry is damaged.
  int64_t Read(void* buffer, size_t capacity, std::string* error);

 private:
  struct State;
  explicit ZipEntryReader(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace parley

#endif  // PARLEY_EXCEL_ZIP_ENTRY_READER_H_
