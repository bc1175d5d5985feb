#include "web/reply_data.h"

#include <array>

#include "text/mbcs.h"
#include "web/reply_text.h"

namespace parley {

namespace {

constexpr char kUnlimitedAmount[] = "9999999999";
constexpr std::array<std::string_view, 3> kCountTags = {"SMS:", "TXT:", "IMT:"};
constexpr long kTagSize = 4;
constexpr std::string_view kColumnSep = "<COL>";
constexpr std::string_view kRowSep = "<BR>";

// The fields of `text` between the separators `sep`, split the way the engine has always split
// them (at the start of a character only).
std::vector<std::string> SplitAt(std::string_view text, std::string_view sep) {
  const std::string marked = Replaced(text, sep, "`");
  std::vector<std::string> out;
  for (std::string_view f : SplitFields(marked, '`')) out.emplace_back(f);
  return out;
}

std::string At(const std::vector<std::string>& v, size_t i) {
  return i < v.size() ? v[i] : std::string();
}

// FindText with signed positions: -1 for "none", and for a start outside the text.
long Find(std::string_view text, std::string_view what, long from) {
  if (from < 0 || static_cast<size_t>(from) > text.size()) return -1;
  const size_t found = FindText(text, what, static_cast<size_t>(from));
  return found == std::string_view::npos ? -1 : static_cast<long>(found);
}

std::string Amount(std::string amount, std::string_view unit_field) {
  if (unit_field == "0") return kUnlimitedAmount;
  const long dot = Find(amount, ".", 0);
  if (dot > 0 && amount.size() - static_cast<size_t>(dot) - 1 >= 2) {
    amount.resize(static_cast<size_t>(dot) + 1);  // the "." stays, the decimals go
  }
  return amount;
}

}  // namespace

char LoginCode(std::string_view reply) { return reply.empty() ? '\0' : reply.front(); }

protocol::AccountFigures ParseUserInfo(std::string_view reply) {
  const std::string text = Replaced(reply, kColumnSep, "`");
  const std::vector<std::string> fields = SplitAt(reply, kColumnSep);
  protocol::AccountFigures figures;
  figures.name = At(fields, 5);
  figures.grade = At(fields, 10);
  figures.amount = Amount(At(fields, 4), At(fields, 6));
  std::string* counts[] = {&figures.sms_left, &figures.lms_left, &figures.mms_left};
  long start = 0;
  for (size_t i = 0; i < kCountTags.size(); ++i) {
    const long at = Find(text, kCountTags[i], start);
    // Without the tag the comma search still starts at -1 + 4.
    const long comma = Find(text, ",", at + kTagSize);
    std::string value;
    if (at < 0) {
      value = "0";
    } else if (comma - at - kTagSize > 0) {
      value = text.substr(static_cast<size_t>(at + kTagSize),
                          static_cast<size_t>(comma - at - kTagSize));
    }
    counts[i]->swap(value);
    start = comma;
  }
  return figures;
}

std::string ExtractQuotedText(std::string_view reply) {
  const size_t first = FindText(reply, "'");
  const size_t from = first == std::string_view::npos ? 0 : first + 1;
  const size_t second = FindText(reply, "'", from);
  if (first == std::string_view::npos || second == std::string_view::npos) return std::string();
  return std::string(reply.substr(first + 1, second - first - 1));
}

std::string NullToEmpty(std::string_view text) {
  return text == "NULL" ? std::string() : std::string(text);
}

std::vector<std::string> ParseTotals(std::string_view reply) {
  std::string text(reply);
  if (ReplaceAll(text, kColumnSep, "`") == 0) return {std::string(reply)};
  return SplitAt(reply, kColumnSep);
}

std::vector<protocol::SentJob> ParseSentJobs(std::string_view reply, std::string_view page_size) {
  const std::vector<std::string> rows = SplitAt(reply, kRowSep);
  const int limit = Atoi(page_size);
  std::vector<protocol::SentJob> jobs;
  for (size_t i = 0; static_cast<long>(i) < limit && i < rows.size() && !rows[i].empty(); ++i) {
    const std::vector<std::string> c = SplitAt(rows[i], kColumnSep);
    jobs.push_back({At(c, 0), At(c, 3), At(c, 4), At(c, 5), At(c, 6), At(c, 12), At(c, 13)});
  }
  return jobs;
}

}  // namespace parley
