// A direct or group send as a front end asks for it (SendOptions), checked by the client core
// before anything reaches the engine, and built into its DSEND or ASEND body; the pictures
// staged where the engine reads them. Text in and out is UTF-8.
#ifndef PARLEY_CLIENT_SEND_REQUEST_H_
#define PARLEY_CLIENT_SEND_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/message_text.h"
#include "client/messages.h"
#include "client/verdict.h"

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
  bool advert = false;         // an advertising (광고) send
  bool night_consent = false;  // every recipient agreed apart to advertising at night
  bool insert_ad = false;      // make the text an advertising one (WithAdvertising); implies advert
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
// before the numbers. An advertising send's title begins with "<AD>" (and "<NIGHT>" with the
// recipients' night consent).
std::string SendBody(const SendOptions& options, int mode,
                     const std::vector<std::string>& pictures = {});

// Copies the picture files into <home>/TempIMG/, where the engine reads them, and gives their
// file names. The verdict for more than three pictures, an empty home or a copy that fails.
std::optional<Verdict> StagePictures(const std::vector<std::string>& images,
                                     const std::string& home, std::vector<std::string>* names);

}  // namespace parley

#endif  // PARLEY_CLIENT_SEND_REQUEST_H_
