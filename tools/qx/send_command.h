// qx send: the send check and a direct SMS, long-text or picture send through the engine, as the
// UI program runs them (DSEND 4, then DSEND 1, 2 or 3); or, with --group, a send to address-book
// groups plus numbers (ASEND 1, 2 or 3, without a check). Text in and out is UTF-8.
#ifndef PARLEY_QX_SEND_COMMAND_H_
#define PARLEY_QX_SEND_COMMAND_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "qx/link_session.h"

namespace CLI {
class App;
}

namespace parley {

struct SendOptions {
  std::vector<std::string> to;      // recipient numbers
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
};

// Adds the "send" subcommand to app, filling *options when it is parsed.
CLI::App* AddSendCommand(CLI::App& app, SendOptions* options);

// The DSEND mode of a send: 3 with pictures, 2 for a text over 99 bytes in CP949, else 1.
int SendMode(const SendOptions& options);

// The DSEND body of the send (fields after the mode as the engine reads them; the text escaped),
// or with groups the ASEND body: the count of groups plus numbers, and the group names
// before the numbers.
std::string SendBody(const SendOptions& options, int mode);

// Copies the picture files into <home>/TempIMG/, where the engine reads them, and returns their
// file names. False, with a line on err, for more than three pictures, an empty home or a copy
// that fails.
bool StagePictures(const std::vector<std::string>& images, const std::string& home,
                   std::vector<std::string>* names, std::ostream& err);

// Runs the send against the engine at target, printing the engine's answers to out and failures
// to err, with a progress line while the engine sends. Returns kExitOk when the check passed and
// (unless only the check was asked for) the engine reported the messages sent; kExitRefused when
// the login or the check was refused or the send failed; kExitUsage for missing recipients or
// pictures that cannot be staged; kExitNoEngine. A group send runs no check and gets only the
// account figures back: kExitOk when the engine answered it.
int RunSendCommand(const SendOptions& options, const LinkTarget& target, std::ostream& out,
                   std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_SEND_COMMAND_H_
