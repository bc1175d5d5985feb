// The web UI's calls: each is one or more UI-link commands through the one UiLink, with the
// client core's checks before anything reaches the engine (the same plan as qx: PlanSend, the
// groups, the workbook's full check); each answers JSON (UTF-8) with facts and codes, and every
// verdict in both of the page's languages ({"code", "field", "item", "line", "position",
// "text": {"ko", "en"}}), so that the page words nothing itself and switching asks nothing.
#ifndef PARLEY_UI_UI_API_H_
#define PARLEY_UI_UI_API_H_

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "client/message_text.h"
#include "client/messages.h"
#include "client/reply_fields.h"
#include "client/workbook_request.h"
#include "ui/api_reply.h"

namespace parley {

class UiLink;

class UiApi {
 public:
  explicit UiApi(UiLink& link) : link_(link) {}

  // The engine's state (STATE): login, the current or last job, the journal's notice, and the
  // account figures last seen while logged in (so that a page opened again shows them at once).
  ApiReply State(Language language);
  // The id the engine remembers (LOGIN's short form).
  ApiReply SavedId();
  // Logs in (id, password, save); refused with the reason, or the account figures.
  ApiReply Login(const ApiFields& fields, Language language);
  // ENDQX 0 and ENDQX 1.
  ApiReply Logout();
  ApiReply Quit();
  // The web service's send check (DSEND or, with workbook=1, ESEND mode 4) for count messages of
  // mode (1 SMS, 2 LMS, 3 MMS) and the reservation: whether it passed and its verdict, for the
  // confirmation.
  // A direct or group send (the compose fields) also says how many recipients the opt-out list
  // leaves out (opted_out), and every send what it will cost (cost); a send over the balance is
  // refused before the service is asked, with both figures.
  ApiReply Check(const ApiFields& fields, Language language);
  // The text made an advertising one (text): the marker and business name before it and the
  // free opt-out line after it, each only when missing; notes when that makes it an LMS or no
  // business name is set.
  ApiReply AdvertisingText(const ApiFields& fields);
  // Checks a send without sending: its recipients (normalised, duplicates removed), the counts of
  // the number box (typed, valid, duplicates, invalid), the text's bytes and kind, and every
  // verdict.
  ApiReply Compose(const ApiFields& fields, Language language);
  // Checks, asks the send check and sends: DSEND to typed numbers (with up to three pictures,
  // uploaded files whose paths are given), or ASEND to address-book groups and numbers; the
  // result in words and how the job ended.
  ApiReply Send(const ApiFields& fields, const std::vector<std::string>& pictures,
                Language language);
  // A workbook at `path` (uploaded by the page): its sheets, row counts, columns and first rows
  // (EXCEL 1); the engine keeps it for the calls below.
  ApiReply WorkbookSheets(const std::string& path);
  // The distinct values of a column of a sheet (EXCEL 2): sheet, column.
  ApiReply WorkbookCount(const ApiFields& fields);
  // The first composed messages of a workbook send (EXCEL 3), each with its CP949 byte count,
  // and the template's problems: sheet, phone, callback_column or callback, text.
  ApiReply WorkbookPreview(const ApiFields& fields, Language language);
  // The engine's full check of a workbook send (EXCHK) over every row of the sheet, asked as the
  // send would ask: sheet, phone, callback_column or callback, text, title, reserve, dedupe,
  // pictures (how many are attached), skip_invalid, allow_cut. Facts and codes only: the counts,
  // the rows left out (row, cell, what, problem), the values cut (row, column, value, kept), the
  // rows with characters CP949 lacks, the plan's messages, mode and blocks; the page words them.
  ApiReply WorkbookCheck(const ApiFields& fields, Language language);
  // The bytes of the longest value of a column over the rows the send would take (EXCHK with a
  // template of that one marker): sheet, phone, column.
  ApiReply ColumnWidth(const ApiFields& fields, Language language);
  // Runs the full check and sends only when its plan allows it (skip_invalid when rows are left
  // out, allow_cut when values are cut): the send check (ESEND 4) and ESEND for the check's
  // messages, each number once with dedupe; with pictures (paths of uploaded files) as MMS.
  ApiReply WorkbookSend(const ApiFields& fields, const std::vector<std::string>& pictures,
                        Language language);
  // The verdict on pictures as they are chosen: each by name, its size and its problem ("",
  // "not-jpeg", "too-large"), and whether there are too many.
  struct PictureFile {
    std::string name;
    std::string content;
  };
  static ApiReply JudgePictures(const std::vector<PictureFile>& files);
  // The user's saved messages (MYMSG): type (SMS or LMS), page; the counts of both with SMS.
  ApiReply SavedMessages(const ApiFields& fields);
  // The catalogue of ready-made texts (EMOTN): type (the category), group (empty: the first page,
  // with the groups), page.
  ApiReply Catalogue(const ApiFields& fields);
  // Saves a message to the user's box (MYMSG SAVE): text, subject, type.
  ApiReply SaveMessage(const ApiFields& fields);
  // The recent numbers (ADDRB 4), newest first.
  ApiReply RecentNumbers();
  // The address book's groups with their member counts (ADDRB 2).
  ApiReply Groups();
  // The results of past sends (SENDL): from, to (YYYY-MM-DD), kind, page.
  ApiReply Results(const ApiFields& fields, Language language);
  // The usage statistics per day (CASHL): from, to (YYYY-MM).
  ApiReply Stats(const ApiFields& fields, Language language);
  // Stops the running send at its next acknowledgement (CANCL).
  ApiReply Cancel();

 private:
  // The engine's home (STATE), whose TempIMG/ takes the pictures of a send; empty when unknown.
  std::string EngineHome();
  // The full check of a workbook send as the fields ask it; an answer for the page instead when
  // the fields or the reservation are refused, or the check cannot run.
  struct WorkbookRun;
  std::optional<ApiReply> RunWorkbookCheck(const ApiFields& fields, size_t pictures,
                                           Language language, WorkbookRun* run);

  // The cost's verdict when messages of kind would cost more than the balance last seen.
  std::optional<Verdict> OverBalance(MessageKind kind, int64_t messages);
  // Keeps the account figures a reply ends with, for a page opened again (STATE has none).
  void KeepAccount(const std::string& reply);

  UiLink& link_;
  std::mutex account_mutex_;
  std::optional<AccountInfo> account_;  // the last figures seen while logged in
  std::mutex sheets_mutex_;
  std::vector<SheetListing> sheets_;  // the sheets of the last workbook listed
};

}  // namespace parley

#endif  // PARLEY_UI_UI_API_H_
