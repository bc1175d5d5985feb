// Helpers for building SQL text safely: values travel as bound parameters, names as quoted
// identifiers; neither is ever spliced into a statement as it came in.
#ifndef PARLEY_DB_SQL_TEXT_H_
#define PARLEY_DB_SQL_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace parley {

// One value bound to a "?" marker of a statement: NULL, an integer, or engine text (CP949, stored
// as UTF-8).
using SqlParam = std::variant<std::monostate, int64_t, std::string>;
using SqlParams = std::vector<SqlParam>;

// Returns name as an SQL identifier: wrapped in double quotes, every double quote in it doubled.
// Any name comes out as exactly that name, whatever brackets, quotes or semicolons it holds.
std::string QuoteIdentifier(std::string_view name);

}  // namespace parley

#endif  // PARLEY_DB_SQL_TEXT_H_
