// The progress line of a send: sent / total, rate and time left, from the engine's STATE replies.
#ifndef PARLEY_QX_SEND_PROGRESS_H_
#define PARLEY_QX_SEND_PROGRESS_H_

#include <string>
#include <string_view>

#include "client/engine_state.h"
#include "client/messages.h"

namespace parley {

// How often a send asks STATE while it waits for its reply.
inline constexpr int kProgressPollMs = 250;

// Whether a send shows progress: --progress "always", "never", or "auto" (the default: only when
// standard output is a terminal, so scripts get none).
bool ShowProgress(std::string_view mode, bool stdout_is_terminal);

// "sent 1,500 / 20,000 (7%), 750/s, 0:24 left" for a job elapsed_seconds into its send; the rate
// and time left read "-" until something has gone out.
std::string ProgressText(const EngineState& state, double elapsed_seconds, Language language);

}  // namespace parley

#endif  // PARLEY_QX_SEND_PROGRESS_H_
