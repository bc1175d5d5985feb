// A run of journal recipients packed into one value: for each recipient, the length of its
// number, the number, the length of its content and the content; lengths as little-endian
// base-128 varints. One stored value per batch keeps a 100,000-recipient job at a few
// milliseconds of writing instead of one row per recipient.
#ifndef PARLEY_JOURNAL_RECIPIENT_CHUNK_H_
#define PARLEY_JOURNAL_RECIPIENT_CHUNK_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal_types.h"

namespace parley {

// Appends value to *out as a base-128 varint (low bits first).
void PutVarint(uint64_t value, std::string* out);
// Reads a varint of at most 10 bytes at *pos; false when it runs past the end or is longer.
bool GetVarint(std::string_view in, size_t* pos, uint64_t* value);

// Appends recipients to *chunk.
void PackRecipients(std::span<const JournalRecipient> recipients, std::string* chunk);

// Unpacks chunk into *out (appending); false, with the whole recipients before the fault
// appended, when a length runs past the end or a varint is longer than 5 bytes.
bool UnpackRecipients(std::string_view chunk, std::vector<JournalRecipient>* out);

// The number of whole recipients packed in chunk, or -1 when it does not unpack whole.
int64_t CountRecipients(std::string_view chunk);

}  // namespace parley

#endif  // PARLEY_JOURNAL_RECIPIENT_CHUNK_H_
