// One connection to the engine for the length of a qx sub-command, with the progress line shown
// while a long command (a send) waits for its reply.
#ifndef PARLEY_QX_LINK_SESSION_H_
#define PARLEY_QX_LINK_SESSION_H_

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "client/engine_state.h"
#include "client/link_client.h"
#include "client/messages.h"

namespace parley {

// Where the engine's UI link is and how long to wait for a reply.
struct LinkTarget {
  std::string host = "127.0.0.1";
  uint16_t port = 12012;
  int timeout_seconds = 120;
};

// What a send does while it waits for its reply.
struct SendWatch {
  bool progress = false;  // ask STATE every kProgressPollMs and draw the progress line on err
  std::function<bool()> cancel_requested;  // polled while waiting; once true, CANCL goes out once
  Language language = Language::kEnglish;
};

// How a send's wait went.
struct SendWait {
  bool cancel_sent = false;
  bool have_state = false;
  EngineState last;  // the last STATE reply that came
};

class LinkSession {
 public:
  // Failures are written to err as "qx: ..." lines.
  LinkSession(const LinkTarget& target, std::ostream& err);

  // Connects; false when the engine cannot be reached.
  bool Open();

  // Sends code and body (UTF-8, as the UI program sends) and stores the reply body (CP949, as the
  // engine writes) in *reply. With a progress label, a line on err shows the time waited: redrawn
  // in place on a terminal, otherwise one line every ten seconds. False when the connection fails
  // or the reply does not come within the time-out.
  bool Ask(std::string_view code, std::string_view body, std::string* reply,
           std::string_view progress_label = {});

  // As Ask for a send, on the same connection: with watch.progress asks STATE about every
  // kProgressPollMs and redraws the progress line from its replies (instead of the waiting
  // line); sends CANCL when watch.cancel_requested turns true. STATE and CANCL replies, which come
  // before the send's own, are taken as they come (as is the empty INIT reply of an engine without
  // them); the send's reply is the one with its code. *wait says what happened.
  bool AskSend(std::string_view code, std::string_view body, std::string* reply,
               std::string_view progress_label, const SendWatch& watch, SendWait* wait);

 private:
  LinkTarget target_;
  std::ostream& err_;
  LinkClient client_;
};

// Opens a session, asks one question and closes it: the shape of most sub-commands.
bool AskOnce(const LinkTarget& target, std::string_view code, std::string_view body,
             std::string* reply, std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_LINK_SESSION_H_
