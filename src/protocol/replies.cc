#include "protocol/replies.h"

#include "protocol/markup.h"
#include "protocol/send_requests.h"
#include "text/mbcs.h"

#include <algorithm>

namespace parley::protocol {

namespace {

constexpr std::string_view kNoSavedId = "NULL";

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

// "n<QX>": the prefix of a reply that repeats its sub-command's number.
std::string NumberedPrefix(int n) { return std::to_string(n) + std::string(kFieldSep); }

}  // namespace

std::string UserInfoText(const AccountFigures& f) {
  return Concat({kFieldSep, f.name, kFieldSep, f.grade, kFieldSep, f.amount, kFieldSep, f.sms_left,
                 kFieldSep, f.lms_left, kFieldSep, f.mms_left});
}

std::string SavedIdReply(std::string_view saved_id) {
  if (saved_id.empty() || saved_id == kNoSavedId) return NumberedPrefix(1);
  return Concat({NumberedPrefix(1), saved_id, kFieldSep});
}

std::string LoginAcceptedReply(const AccountFigures& figures, std::string_view home) {
  return Concat({NumberedPrefix(2), "1", UserInfoText(figures), kFieldSep, home, kFieldSep});
}

std::string LoginRefusedReply(char code, std::string_view home) {
  return Concat(
      {NumberedPrefix(2), std::string_view(&code, 1), kFieldSep, kFieldSep, home, kFieldSep});
}

std::string SendCheckReply(std::string_view answer, const SendCheckRequest& request,
                           const AccountFigures& figures) {
  return Concat({kSendCheckTag, kFieldSep, answer, kFieldSep, request.kind, kFieldSep,
                 request.count, UserInfoText(figures)});
}

std::string SendReply(std::string_view result, const AccountFigures& figures) {
  return std::string(result) + UserInfoText(figures);
}

std::string ExcelReply(ExcelQuery query, std::string_view answer) {
  const int n = query == ExcelQuery::kListing ? 1 : query == ExcelQuery::kCount ? 2 : 3;
  return NumberedPrefix(n) + std::string(answer);
}

std::string GroupListReply(const std::vector<AddressGroup>& groups) {
  std::string text = NumberedPrefix(AddressRequest::kGroups);
  for (const AddressGroup& g : groups) {
    text += Concat(
        {kGroupTag, g.name, kGroupPartSep, g.count, kGroupPartSep, g.level, kGroupPartSep, g.key});
  }
  text += kFieldSep;
  return text;
}

namespace {

// A listing value with the characters the listing's own markup uses coded.
std::string ListingValue(std::string text) {
  ReplaceAll(text, ",", "&comma;");
  ReplaceAll(text, ">", "&gt;");
  ReplaceAll(text, "<", "&lt;");
  return text;
}

// Inserts "-" before position pos of text (at its end when it is shorter).
void InsertHyphen(std::string& text, size_t pos) { text.insert(std::min(pos, text.size()), "-"); }

}  // namespace

std::string SheetListingReply(const std::vector<SheetListing>& sheets) {
  std::string text;
  for (const SheetListing& sheet : sheets) {
    text += sheet.name;
    text += kFieldSep;
    if (sheet.row_count) text += std::to_string(*sheet.row_count) + std::string(kFieldSep);
    for (size_t i = 0; i < sheet.columns.size(); ++i) {
      if (i > 0) text += ',';
      text += ListingValue(sheet.columns[i]);
    }
    text += kFieldSep;
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
      if (r > 0) text += kRowSep;
      for (const std::string& cell : sheet.rows[r]) text += ListingValue(cell) + ",";
    }
    text += kFieldSep;
  }
  return text;
}

std::string PreviewLine(PreviewRow row) {
  std::string& a = row.phone;
  std::string& b = row.number;
  std::string& c = row.text;
  ReplaceAll(c, ",", "&comma;");
  ReplaceAll(c, "<", "&lt;");
  ReplaceAll(c, ">", "&gt;");
  if (a.find('-') == std::string::npos) {
    if (a.size() == 10) {
      InsertHyphen(a, 6);
      InsertHyphen(a, 3);
    } else {
      InsertHyphen(a, 7);
      InsertHyphen(a, 3);
    }
  }
  if (b.find('-') == std::string::npos) {
    if (b.size() >= 10) {
      InsertHyphen(b, b.size() == 10 ? 6 : 7);
      InsertHyphen(b, 3);
    }
  }
  return Concat({a, ",", b, ",", c, kFieldSep});
}

std::string PreviewLines(const std::vector<PreviewRow>& rows) {
  std::string text;
  for (const PreviewRow& row : rows) text += PreviewLine(row);
  return text;
}

std::vector<AddressGroup> ParseGroupList(std::string_view reply) {
  std::vector<AddressGroup> groups;
  size_t at = reply.find(kGroupTag);
  while (at != std::string_view::npos) {
    const size_t start = at + kGroupTag.size();
    const size_t next = reply.find(kGroupTag, start);
    std::string_view entry =
        reply.substr(start, next == std::string_view::npos ? next : next - start);
    entry = entry.substr(0, entry.find(kFieldSep));
    std::string_view parts[4];
    size_t n = 0;
    for (; n < 4; ++n) {
      const size_t sep = entry.find(kGroupPartSep);
      parts[n] = entry.substr(0, sep);
      if (sep == std::string_view::npos) {
        ++n;
        break;
      }
      entry.remove_prefix(sep + kGroupPartSep.size());
    }
    if (n >= 2) {
      groups.push_back({std::string(parts[0]), std::string(parts[1]), std::string(parts[2]),
                        std::string(parts[3])});
    }
    at = next;
  }
  return groups;
}

std::string AddressListReply(const std::vector<Address>& addresses) {
  std::string text = NumberedPrefix(AddressRequest::kAddresses);
  for (const Address& a : addresses) text += Concat({kAddressTag, a.name, " ", a.phone});
  return text;
}

std::string RecentNumbersReply(const std::vector<std::string>& numbers) {
  std::string text = NumberedPrefix(AddressRequest::kRecent);
  for (const std::string& n : numbers) text += n + ",";
  return text;
}

std::string SavedCountsReply(std::string_view sms_count, std::string_view lms_count,
                             std::string_view page) {
  return Concat({"CNT", kFieldSep, sms_count, kFieldSep, lms_count, kFieldSep, page});
}

std::string SavedPageReply(std::string_view kind, std::string_view page) {
  return Concat({kind, kFieldSep, page});
}

std::string SaveMessageReply(std::string_view message) {
  return Concat({SaveMessageRequest::kKind, kFieldSep, message});
}

std::string CatalogueFirstReply(std::string_view categories, std::string_view count,
                                std::string_view page) {
  return Concat({kFirstPageTag, categories, kFieldSep, count, kFieldSep, page});
}

std::string CataloguePageReply(std::string_view count, std::string_view page) {
  return Concat({count, kFieldSep, page});
}

std::string ResultTotalsLine(int selector, const std::vector<std::string>& totals) {
  const std::string head = NumberedPrefix(selector);
  if (totals.size() == 1) {
    const std::string& v = totals[0];
    if (selector == 3) return Concat({head, v, ",0,0,", v, kDataTag});
    return Concat({head, "0,0,0,", v, kDataTag});
  }
  auto at = [&totals](size_t i) { return i < totals.size() ? std::string_view(totals[i]) : ""; };
  return Concat({head, at(0), ",", at(1), ",", at(2), ",", at(3), kDataTag});
}

std::string SendResultsReply(int selector, std::string_view totals_line,
                             const std::vector<SentJob>& jobs) {
  std::string text = selector == 2 ? Concat({"2", kDataTag}) : std::string(totals_line);
  for (const SentJob& j : jobs) {
    text += Concat({j.number, kFieldSep, j.time, kFieldSep, j.type, kFieldSep, j.callback,
                    kFieldSep, j.title, kFieldSep, j.result, kFieldSep, j.count, kRowEnd});
  }
  return text;
}

std::optional<SendResults> ParseSendResults(std::string_view reply) {
  const size_t data = reply.find(kDataTag);
  if (data == std::string_view::npos) return std::nullopt;
  SendResults results;
  const std::vector<std::string_view> head = SplitAt(reply.substr(0, data), kFieldSep);
  if (head.size() > 1) {
    for (const std::string_view total : SplitAt(head[1], ",")) results.totals.emplace_back(total);
  }
  results.totals.resize(4);
  for (const std::string_view row : SplitAt(reply.substr(data + kDataTag.size()), kRowEnd)) {
    if (row.empty()) continue;
    std::vector<std::string_view> f = SplitAt(row, kFieldSep);
    f.resize(7);
    results.jobs.push_back({std::string(f[0]), std::string(f[1]), std::string(f[2]),
                            std::string(f[3]), std::string(f[4]), std::string(f[5]),
                            std::string(f[6])});
  }
  return results;
}

}  // namespace parley::protocol
