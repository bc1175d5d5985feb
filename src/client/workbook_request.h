// A workbook send or preview as a front end asks for it (ExcelOptions): the sheet listing read
// back, the options and the template checked against the sheet, and the EXCEL and ESEND bodies
// built from them. Text in and out is UTF-8.
#ifndef PARLEY_CLIENT_WORKBOOK_REQUEST_H_
#define PARLEY_CLIENT_WORKBOOK_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/messages.h"
#include "client/verdict.h"
#include "protocol/query_requests.h"

namespace parley {

struct ExcelOptions {
  std::string action;  // "list", "count", "preview", "check" or "send", set by the sub-command
  std::string file;    // the workbook; for the others optional (the engine keeps the last one)
  std::string sheet;
  std::string column;           // count
  std::string phone_column;     // preview, send
  std::string callback_column;  // second number from this column...
  std::string callback;         // ...or this number for every row
  std::string text;             // template: plain text with markers "[column:width]"
  std::string title;
  std::string reserve;
  std::vector<std::string> images;
  std::string home;
  int64_t count = 0;  // 0: every valid row (as the full check counts them); else at most this many
  bool dedupe = false;            // each number once
  bool skip_invalid = false;      // send to the valid rows when some have wrong numbers
  bool allow_cut = false;         // send values that their marker's width cuts
  bool advert = false;            // an advertising (광고) send: the title carries "<AD>"
  bool night_consent = false;     // every recipient agreed apart to night advertising ("<NIGHT>")
  bool dry_run = false;           // stop after the send check
  bool yes = false;               // --yes: never ask
  bool confirm = false;           // ask before sending (stdin is a terminal and --yes is absent)
  std::string progress = "auto";  // progress line: auto (stdout a terminal), always or never
  Language language = Language::kEnglish;
};

// A sheet of the listing reply (EXCEL 1, after "1<QX>"): name, row count, column names and the
// first rows, UTF-8.
struct SheetListing {
  std::string name;
  std::string rows;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> first_rows;
};
std::vector<SheetListing> ParseListing(std::string_view listing);

// The text after prefix; the whole text when it does not start with prefix.
std::string AfterPrefix(const std::string& text, std::string_view prefix);
// The prefix of an EXCEL reply to the query.
std::string ExcelPrefix(protocol::ExcelQuery query);
bool IsException(std::string_view text);

// A column name as a query names it: in brackets.
std::string Bracketed(const std::string& column);
// The mode field and the second field of a preview or send: a second-number column, or the
// one callback number.
std::pair<std::string, std::string> SecondNumber(const ExcelOptions& o);
// Checks that a preview or send names its sheet, phone column, text and one of the callback
// column and the callback number: the verdict when one is missing.
std::optional<Verdict> CheckRecipientOptions(const ExcelOptions& o);
// The listing of the sheet named by the user, or null (*unknown names the sheets there are).
const SheetListing* FindSheet(const std::vector<SheetListing>& sheets, const std::string& sheet,
                              Verdict* unknown);
// Checks the phone and callback columns and the template against a sheet's columns and first
// rows, adding every verdict to problems. False when a column is unknown or a marker has no width.
// Values of the first rows that a width cuts are only warned of, and only with warn_cuts (the
// full check of a send reports them over every row).
bool CheckAgainstSheet(const ExcelOptions& o, const SheetListing& sheet,
                       std::vector<Verdict>* problems, bool warn_cuts = true);

// The table name the engine queries for a sheet: the name with "$" appended unless it ends in
// "$" already (or in "$'" for a quoted name).
std::string SheetTable(std::string_view sheet);

// The message field of a preview or send: the columns the template's markers name, separated by
// "," (a comma in a name as "&comma;"), then "<Q>" and the template with "<", ">" and the
// backtick coded; a template without markers alone, coded.
std::string ExcelMessage(std::string_view text);

// The most bytes (CP949) a text composed from the template can take: every marker counted at its
// width.
size_t ComposedMaxBytes(std::string_view text);

// The DSEND-style mode of the send: 3 with pictures, 2 when a composed text can exceed an SMS,
// else 1.
int ExcelSendMode(const ExcelOptions& options);

// The ESEND body of the send with `count` recipients and the staged picture names; an
// advertising send's title begins with "<AD>" (and "<NIGHT>" with the recipients' night consent).
std::string ExcelSendBody(const ExcelOptions& options, int mode, int64_t count,
                          const std::vector<std::string>& pictures);

// The preview body.
std::string ExcelPreviewBody(const ExcelOptions& options);

// The EXCHK body of a send: as ExcelSendBody with every row (no count) and the pictures named.
std::string ExcelCheckBody(const ExcelOptions& options);

}  // namespace parley

#endif  // PARLEY_CLIENT_WORKBOOK_REQUEST_H_
