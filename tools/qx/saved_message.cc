#include "qx/saved_message.h"

#include <ostream>
#include <utility>
#include <vector>

#include "protocol/query_requests.h"
#include "qx/reply_text.h"
#include "text/cp949.h"

namespace parley {
namespace {

// A cell of a saved message as UTF-8 text to send: the web service's codes undone, line breaks
// kept.
std::string MessageCell(std::string_view cp949) {
  std::string text(cp949);
  for (const auto& [code, c] : {std::pair<std::string_view, std::string_view>{"&comma;", ","},
                                {"&lt;", "<"},
                                {"&gt;", ">"},
                                {"&gacct;", "`"}}) {
    for (size_t at = 0; (at = text.find(code, at)) != std::string::npos; at += c.size()) {
      text.replace(at, code.size(), c);
    }
  }
  return AnsiToUtf8(text);
}

// Saved messages asked for at once when looking one up.
constexpr int kLookupPageSize = 1000;

}  // namespace

bool FindSavedMessage(const LinkTarget& target, int number, SavedMessage* message,
                      Language language, std::ostream& err) {
  LinkSession session(target, err);
  if (!session.Open()) return false;
  const std::string wanted = std::to_string(number);
  // "CNT", SMS count, LMS count, then the SMS rows; "LMS" gives its count, then its rows.
  for (const auto& [kind, rows_after] : {std::pair<const char*, size_t>{"CNT", 3}, {"LMS", 1}}) {
    const std::string body =
        protocol::SavedMessagesRequest{kind, "1", std::to_string(kLookupPageSize)}.Build();
    std::string reply;
    if (!session.Ask("MYMSG", body, &reply)) return false;
    if (reply.empty()) {
      err << "qx send: --saved: " << Text(language, Msg::kEngineAnsweredNothing) << "\n";
      return false;
    }
    const std::string rows = AfterField(reply, rows_after);
    for (const std::string& row : SplitOn(rows, "<BR>")) {
      std::vector<std::string> cells = SplitOn(row, "<COL>");
      if (cells.size() < 3 || cells[0] != wanted) continue;
      message->subject = MessageCell(cells[1]);
      message->text = MessageCell(cells[2]);
      return true;
    }
  }
  err << "qx send: --saved: " << Text(language, Msg::kNoSavedMessage, {std::to_string(number)})
      << "\n";
  return false;
}

}  // namespace parley
