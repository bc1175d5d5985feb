// Conversion between the engine's CP949 ("UHC") byte strings and UTF-8.
//
// Every string inside the engine is CP949. UTF-8 only appears at the edges:
// UI-link input arrives as UTF-8, and file paths, logs and SQLite take UTF-8.

#ifndef PARLEY_TEXT_CP949_H_
#define PARLEY_TEXT_CP949_H_

#include <string>
#include <string_view>

namespace parley {

// Returns utf8 converted to CP949. Never fails and never stops early: a
// character CP949 cannot represent becomes one "?", each maximal invalid
// UTF-8 subpart becomes one "?", and a sequence cut off at the end becomes
// one "?". ASCII, NUL included, passes through unchanged.
// Throws std::runtime_error only if the system has no CP949 converter.
std::string Utf8ToAnsi(std::string_view utf8);

// Returns ansi (CP949) converted to UTF-8. Never fails and never stops early:
// a byte that starts no valid character, a lead byte whose two-byte pair is
// unmapped, and a lone lead byte at the end each become one "?". When the
// byte after a bad lead byte is ASCII, it is decoded on its own, so ASCII is
// never lost. Throws std::runtime_error only if the system has no CP949
// converter.
std::string AnsiToUtf8(std::string_view ansi);

}  // namespace parley

#endif  // PARLEY_TEXT_CP949_H_
