// Streams out of a compound file (the OLE2 container of .xls workbooks): the header, the sector
// allocation table with its DIFAT extension, the directory and the mini stream, for sectors of 512
// or 4096 bytes. Every chain walk is bounded by the file's sector count and checked for loops.
#ifndef PARLEY_EXCEL_COMPOUND_FILE_H_
#define PARLEY_EXCEL_COMPOUND_FILE_H_

#include <initializer_list>
#include <string>
#include <string_view>

namespace parley {

enum class CompoundStatus {
  kFound,        // *stream holds the stream's bytes
  kMissing,      // a sound compound file without any of the streams named
  kNotCompound,  // no compound file header
  kDamaged,      // a chain leaves the file, loops, or the directory cannot be read
};

// Looks for the first of names (ASCII, compared without regard to case) among the streams at the
// top of file's directory, and reads it into *stream. A stream whose chain is shorter than its
// recorded size is read as far as its chain goes.
CompoundStatus ReadCompoundStream(std::string_view file,
                                  std::initializer_list<std::string_view> names,
                                  std::string* stream);

}  // namespace parley

#endif  // PARLEY_EXCEL_COMPOUND_FILE_H_
