// The list fields of the extension replies: entries joined by "<Q>", each entry's parts joined by
// ",", every text part escaped so that no separator can appear in it.
#ifndef PARLEY_PROTOCOL_LIST_FIELDS_H_
#define PARLEY_PROTOCOL_LIST_FIELDS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parley::protocol {

// A text part of a list entry: "%" as "%25", "<" as "%3C", "," as "%2C"; and back.
std::string EscapeListPart(std::string_view text);
std::string UnescapeListPart(std::string_view text);

// The parts joined by sep.
std::string JoinParts(const std::vector<std::string>& parts, std::string_view sep);

// A whole decimal number (a sign allowed); false for anything else, *value then unspecified.
bool ReadDecimal(std::string_view text, int64_t* value);

// Appends the entries of a list field, each split at "," into exactly `parts` parts; false when
// one is not. An empty field has no entries.
bool ReadEntries(std::string_view field, size_t parts,
                 std::vector<std::vector<std::string_view>>* entries);

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_LIST_FIELDS_H_
