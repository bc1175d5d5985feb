// The exit statuses every qx sub-command uses.
#ifndef PARLEY_QX_EXIT_CODES_H_
#define PARLEY_QX_EXIT_CODES_H_

namespace parley {

inline constexpr int kExitOk = 0;        // the engine did what was asked
inline constexpr int kExitRefused = 1;   // the engine answered with a refusal or a failure
inline constexpr int kExitUsage = 2;     // bad arguments or a local file problem; nothing was sent
inline constexpr int kExitNoEngine = 3;  // the engine could not be reached or did not answer
inline constexpr int kExitCancelled = 130;  // Ctrl-C cancelled a send (what went out is printed)

// The lines --help prints about them.
inline constexpr const char* kExitCodesHelp =
    "Exit status: 0 done; 1 the engine refused or the send failed; 2 usage error (nothing sent);\n"
    "3 the engine could not be reached or did not answer in time; 130 a send cancelled by Ctrl-C.";

}  // namespace parley

#endif  // PARLEY_QX_EXIT_CODES_H_
