// qx send: the send check and a direct SMS, long-text or picture send through the engine, as the
// UI program runs them (DSEND 4, then DSEND 1, 2 or 3); or, with --group, a send to address-book
// groups plus numbers (ADDRB 2 to check the groups, DSEND 4, then ASEND 1, 2 or 3). Everything is
// checked by the client core first. Text in and out is UTF-8.
#ifndef PARLEY_QX_SEND_COMMAND_H_
#define PARLEY_QX_SEND_COMMAND_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "client/message_text.h"
#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

struct SendOptions {
  std::vector<std::string> to;  // recipient lists (split by SplitNumberList)
  std::string to_file;          // one number a line, or the column to_column of a workbook
  std::string to_column;
  std::string text_file;  // the text read from a file instead of --text
  int saved = 0;          // --saved N: saved message N is the text (and, unless given, the title)
  std::vector<std::string> groups;  // address-book group names; non-empty sends with ASEND
  std::string text;                 // message text
  std::vector<std::string> images;  // picture files (at most three)
  std::string title;
  std::string callback;
  std::string reserve;  // reservation date-time text; empty sends now
  std::string home;     // the engine's home, whose TempIMG/ receives the pictures
  std::string login;    // log in first when set
  std::string password;
  bool check_only = false;
  bool keep_duplicates = false;
  bool dry_run = false;  // stop after the send check
  bool yes = false;      // --yes: never ask
  bool confirm = false;  // ask before sending (set when stdin is a terminal and --yes is absent)
  std::string progress = "auto";  // progress line: auto (stdout a terminal), always or never
  TextLimits limits;
  Language language = Language::kEnglish;
};

// The DSEND mode of a send: 3 with pictures, 2 for a text over the SMS limit (options.limits) in
// CP949 bytes, else 1.
int SendMode(const SendOptions& options);

// The DSEND body of the send (fields after the mode as the engine reads them; the text escaped),
// or with groups the ASEND body: the count of groups plus numbers, and the group names
// before the numbers.
std::string SendBody(const SendOptions& options, int mode,
                     const std::vector<std::string>& pictures = {});

// The client core's checks of a send: fills *checked with the options as the engine will get
// them (normalised recipients and callback, the text read from --text-file, the reservation in
// the engine's form) and prints what will be sent to out. False, with every problem on err (each
// refused number with the --to item, line or row it came from), when anything is refused.
bool CheckSendRequest(const SendOptions& options, SendOptions* checked, std::ostream& out,
                      std::ostream& err);

// Copies the picture files into <home>/TempIMG/, where the engine reads them, and returns their
// file names. False, with a line on err, for more than three pictures, an empty home or a copy
// that fails.
bool StagePictures(const std::vector<std::string>& images, const std::string& home,
                   std::vector<std::string>* names, Language language, std::ostream& err);

// The last step before a send: with dry_run prints that nothing is sent and returns kExitOk;
// with confirm asks on err and reads standard input, returning kExitRefused (nothing sent) for
// any answer but yes. Returns -1 when the send should go on.
int StopBeforeSending(bool dry_run, bool confirm, Language language, std::string_view who,
                      std::ostream& out, std::ostream& err);

// Sends a job (code DSEND, ASEND or ESEND with body) on session and prints its outcome: with the
// progress line when progress (a --progress mode) says so, and Ctrl-C cancelling the job through
// the engine (a second Ctrl-C ends qx at once). The reply's text goes to out, or, when the engine
// reports the send failed and STATE tells how the gateway ended it, that in the user's words; then
// the account figures. Returns kExitOk when the reply's text is success_text or (empty
// success_text) any non-empty text but the failure text; kExitCancelled with the count that went
// out; kExitRefused; kExitNoEngine.
int RunJobSend(LinkSession& session, std::string_view code, std::string_view body,
               std::string_view label, std::string_view progress, std::string_view success_text,
               Language language, std::ostream& out, std::ostream& err);

// Runs the send against the engine at target. Before anything reaches the engine the client
// core checks the recipients (normalised, duplicates removed unless keep_duplicates), the
// callback, the text, the reservation and the pictures; every refusal is printed to err with the
// item it came from, and nothing is sent (kExitUsage). Then the recipients, kind and byte count
// are shown, the send check runs and its answer is printed; dry_run stops there; with confirm
// a "y" is read from standard input before sending (anything else: nothing sent, kExitRefused).
// Returns kExitOk when the check passed and (unless only the check or a dry run was asked for) the
// engine reported the messages sent; kExitRefused when the login or the check was refused or the
// send failed; kExitNoEngine. A group send first checks its groups in the engine's address book
// (ADDRB 2; unknown or empty groups: kExitUsage) and runs the send check for members plus
// numbers; its reply has only the account figures: kExitOk when the engine answered it.
int RunSendCommand(const SendOptions& options, const LinkTarget& target, std::ostream& out,
                   std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_SEND_COMMAND_H_
