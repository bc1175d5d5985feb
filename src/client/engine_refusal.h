// What the engine's refusals mean for a person. The engine answers an EXCEL query it cannot do
// with "Exception:[reason]" (the database's or the workbook reader's own words); each known
// reason becomes a verdict with its values, so no front end shows the engine's text as it is.
#ifndef PARLEY_CLIENT_ENGINE_REFUSAL_H_
#define PARLEY_CLIENT_ENGINE_REFUSAL_H_

#include <string_view>

#include "client/verdict.h"

namespace parley {

// The verdict of an engine refusal (CP949, with or without its "Exception:[...]"):
// kEngineNoSheet (sheet), kEngineNoColumn (column), kEngineFileUnreadable (file, reason),
// kEngineNotWorkbook (), kEngineNoWorkbook (), kEngineWorkbookTooLarge (limit), kEngineStopping
// (); the journal's kNotLoggedIn, kEngineNoJob (job), kEngineJobRunning (job), kJobAlreadyResent
// (job, resent as), kEngineCannotWrite (file, reason); the sending rules' kEngineBookNotWritten
// (), kSettingUnknown (name), kSettingAppliesValue (), kSettingOwnNumber (),
// kSettingOptOutNumber (); or kEngineRefusedOther (the text) for a
// reason it does not know (the engine's Korean refusals are already a user's words).
Verdict EngineRefusalVerdict(std::string_view cp949);

}  // namespace parley

#endif  // PARLEY_CLIENT_ENGINE_REFUSAL_H_
