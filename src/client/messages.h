// The catalogue of every user-facing message of the client core and of qx: one table, each
// message in English and Korean. The language is a value passed in (never read from globals);
// a program reads the environment once (LocaleFromEnvironment) and passes it on.
#ifndef PARLEY_CLIENT_MESSAGES_H_
#define PARLEY_CLIENT_MESSAGES_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace parley {

enum class Language { kEnglish, kKorean };

// Korean when the first set of LC_ALL, LC_MESSAGES, LANG (in that order, as the C library
// picks them) starts with "ko"; English otherwise. Each argument may be null (unset).
Language LocaleFromEnvironment(const char* lc_all, const char* lc_messages, const char* lang);

// Every message. The texts (with "{}" for each argument in order) are in messages.cc.
enum class Msg {
  // Numbers.
  kNumberEmpty,        // ()
  kNumberNotDigits,    // (text)
  kNumberNotMobile,    // (number)
  kNumberNotCallback,  // (number)
  kNumberSource,       // (where, reason): where a refused number came from
  kDuplicatesRemoved,  // (count)
  kNoRecipients,       // ()
  // Texts.
  kTextEmpty,        // ()
  kTextTooLong,      // (bytes, limit)
  kTextUnencodable,  // (character, line, column)
  kTextSummary,      // (kind, bytes, limit)
  // Reservations.
  kReserveFormat,       // (text)
  kReserveInvalidDate,  // (text)
  kReservePast,         // (text)
  kReserveAt,           // (time)
  kReserveNow,          // ()
  // Templates.
  kTemplateNoWidth,        // (marker)
  kTemplateUnknownColumn,  // (column, known columns)
  kTemplateCut,            // (row, column, value, cut value)
  kUnknownSheet,           // (sheet, known sheets)
  kExcelNeedsFile,         // ()
  // Pictures.
  kPictureTooMany,     // (count, limit)
  kPictureUnreadable,  // (file)
  kPictureNotJpeg,     // (file)
  kPictureTooLarge,    // (file, bytes, limit)
  // qx.
  kGroupUnknown,     // (group, known groups)
  kGroupEmpty,       // (group)
  kGroupMembers,     // (group, members)
  kBookCreated,      // (path)
  kRecipientsCount,  // (count)
  kConfirmSend,      // ()
  kCancelled,        // ()
  kDryRun,           // ()
  kNotLoggedIn,      // ()
  kDidYouMean,       // (typed, meant)
  kPasswordPrompt,   // ()
  kCheckPassed,      // (answer)
  kCheckRefused,     // (answer)
  kAccount,          // (name, grade, amount, sms, lms, mms)
  kFileUnreadable,   // (file)
  kCsvNoColumn,      // (column, file)
  // Status, progress and how a job ended at the gateway.
  kStatusLogin,      // (id)
  kStatusBalance,    // ()
  kStatusEngine,     // (version, home)
  kStatusBook,       // (path)
  kStatusJournal,    // (notice)
  kStatusNoJob,      // ()
  kStatusJob,        // (number, command, kind, outcome, total, sent, acknowledged, gateway id)
  kProgress,         // (sent, total, percent, rate, time left)
  kSendCancelled,    // (sent, total)
  kGatewayRefused,   // ()
  kGatewayNoAnswer,  // (sent)
  kGatewayClosed,    // (sent)
  kGatewayNack,      // (acknowledged, sent)
  kBookFromEngine,
  // The send journal (qx jobs).
  kGroupSendDone,     // (sent)
  kGroupSendEnded,    // (sent)
  kSaveRefused,       // ()
  kLoginNeedsBoth,    // ()
  kLoginTooShort,     // ()
  kLoginRefused,      // ()
  kJobsHeadings,      // (): the table's headings separated by "|"
  kJobTitleLine,      // (id, command, kind, title)
  kJobResendOf,       // (id)
  kJobSource,         // (source)
  kJobTimes,          // (started, ended, reserved for)
  kJobCallback,       // (callback, gateway job id)
  kJobText,           // (text)
  kJobCounts,         // (total, acknowledged, in doubt, not sent)
  kJobEnding,         // (ending, at, report)
  kJobResentAs,       // (id)
  kJobNewJob,         // (id)
  kJobAlreadyResent,  // (id, resent as)
  kJobNothingLeft,    // (id, in doubt)
  kJobOnlyInDoubt,    // (id, in doubt)
  kJobResendHint,     // (id, not sent, in doubt)
  kJobResendPlan,     // (count, id, not sent, in doubt)
  kJobInDoubtLeft,    // (in doubt)
  kJobExported,       // (count, file)
  kJobForgetConfirm,  // (date)
  kJobForgetKept,     // ()
  kJobsForgotten,     // (count, date)
  // Tables of qx (headings separated by "|").
  kTableEmpty,              // (): a table without rows
  kSavedHeadings,           // ()
  kSavedCounts,             // (sms, lms)
  kCatalogueTextHeadings,   // ()
  kCatalogueGroupHeadings,  // ()
  kCatalogueFirstGroup,     // (count)
  kCatalogueGroup,          // (group, count)
  kResultsHeadings,         // ()
  kResultsTotals,           // (all, delivered, failed, waiting)
  kStatsHeadings,           // ()
  kPreviewHeadings,         // ()
  kSheetRows,               // (sheet, rows)
  kNoSheetWithRows,         // ()
  // qx login and what a web call answered.
  kSavedId,                // (id)
  kNoSavedId,              // ()
  kLoginUsage,             // ()
  kLoginAnswerCode,        // (code): refused, with the web service's code
  kLoggedIn,               // (id)
  kLoggedInSaved,          // (id)
  kEngineHome,             // (path)
  kNoWebAnswer,            // ()
  kCheckNotPassed,         // ()
  kNameRecipients,         // ()
  kGroupSendHanded,        // ()
  kMonthFormat,            // ()
  kSavedAnswer,            // (answer)
  kPicturesNeedHome,       // ()
  kPictureCopyFailed,      // (file, folder, reason)
  kJobsExportUsage,        // ()
  kJobsForgetDate,         // (text)
  kCheckUsage,             // ()
  kExcelUsage,             // ()
  kExcelCallbackChoice,    // ()
  kSaveForbidden,          // ()
  kEngineAnsweredNothing,  // ()
  kNoSavedMessage,         // (number)
  kLoggedOut,              // ()
  kEngineEnded,            // ()
  // The full check of a workbook send.
  kCheckRows,             // (rows, messages, kind, largest bytes)
  kCheckInvalid,          // (count)
  kCheckFault,            // (row, cell, reason)
  kCheckMore,             // (count)
  kCheckDuplicates,       // (count)
  kCheckCuts,             // (messages, bytes)
  kCheckUnencodable,      // (row, column)
  kCheckTooLong,          // (count, limit)
  kCheckNoMessages,       // ()
  kCheckInvalidRefused,   // ()
  kCheckCutRefused,       // ()
  kCheckCallbackRefused,  // (reason)
  kProblemEmpty,          // (): a phone cell with nothing in it
  kProblemNotDigits,      // ()
  kProblemNotMobile,      // ()
  kProblemCallbackEmpty,  // ()
  kProblemNotCallback,    // ()
  kCheckSkipping,         // (count): rows with wrong numbers left out on the user's word
  // Group names a send can carry.
  kGroupNameEmpty,   // ()
  kGroupNameComma,   // (name)
  kGroupNameSpaces,  // (name)
  kQuitStopsSend,    // (sent, total)
  // Where a refused item came from.
  kWhereToItem,         // (list, item): a --to value and the item's place in it
  kWhereToLineItem,     // (list, line, item): the same in a value of several lines
  kWhereFileLine,       // (file, line)
  kWhereFileRow,        // (file, row)
  kWhereLine,           // (line): a line of the page's number box
  kWorkbookUnreadable,  // (file, reason)
  // The web service's send check, as typed values.
  kSendCheckPassed,        // (kind, count, allowed)
  kSendCheckRefused,       // (reason, kind, count, allowed)
  kNumberCounts,           // (typed, valid, duplicates, invalid)
  kSendCheckRefusedPlain,  // (reason)
  // The engine's refusals of a workbook query.
  kEngineNoSheet,           // (sheet)
  kEngineNoColumn,          // (column)
  kEngineFileUnreadable,    // (file, reason)
  kEngineNotWorkbook,       // ()
  kEngineNoWorkbook,        // ()
  kEngineWorkbookTooLarge,  // (limit)
  kEngineStopping,          // ()
  kEngineRefusedOther,      // (the engine's text)
  kEngineNoJob,             // (job)
  kEngineJobRunning,        // (job)
  kEngineCannotWrite,       // (file, reason)
  kJournalUnopened,         // (file, reason)
  kJournalMovedAside,       // (file, moved to)
  kJournalInterrupted,      // (jobs)
  // Korea's sending rules.
  kAdNoBusinessName,       // ()
  kAdNoMarker,             // ()
  kAdNoNameAfterMarker,    // (business name)
  kAdNoFooter,             // ()
  kAdFooterNotFree,        // ()
  kAdFooterNotSetting,     // (the set number)
  kAdNightNow,             // (time)
  kAdNightReserved,        // (time)
  kAdReserveUnreadable,    // ()
  kCallbackNotRegistered,  // (number)
  kAdMakesLms,             // (bytes): the marker and the footer make the text an LMS
  kCostEstimate,           // (messages, total, balance)
  kCostOverBalance,        // (total, balance)
  kOptedOutLeftOut,        // (count)
  // The page's address book.
  kBookFailed,       // (reason)
  kBookNoGroup,      // (group)
  kBookGroupExists,  // (group)
  kBookNoContact,    // ()
  kBookNoName,       // ()
  // Advertising sends, the opt-out and callback lists and the rules' settings through the engine.
  kNightConsentAsk,        // (): asked at each advertising send that claims night consent
  kNightConsentDropped,    // (): the consent was not confirmed; the send goes without it
  kAllOptedOut,            // (count): every recipient is on the opt-out list
  kListAdded,              // (added, already)
  kListRemoved,            // (removed, absent)
  kListItemRefused,        // (item, reason)
  kOptOutHeadings,         // (): table headings
  kCallbackHeadings,       // (): table headings
  kListExported,           // (count, file)
  kListFileEmpty,          // (file)
  kSettingsHeadings,       // (): table headings
  kSettingUnknown,         // (name)
  kSettingAppliesValue,    // ()
  kSettingOwnNumber,       // ()
  kSettingOptOutNumber,    // ()
  kEngineBookNotWritten,   // ()
  kSettingSaved,           // (name, value)
  kRulesUnavailable,       // (): the engine gave no sending-rule data
  kFileUnwritable,         // (file)
  kNightConsentWithoutAd,  // (): night consent claimed for a send that is no advertising one
};

// The message in language with its arguments put in place of the "{}" in order (missing
// arguments leave the "{}"; extra ones are ignored).
std::string Text(Language language, Msg id, std::initializer_list<std::string_view> args = {});

// The message's stable name, for front ends that word it themselves ("number-not-digits" for
// kNumberNotDigits).
std::string_view MsgKey(Msg id);

// The headings of a table message (kJobsHeadings, kSavedHeadings...), split at "|".
std::vector<std::string> Headings(Language language, Msg id);

// Decimal digits with a comma between thousands: "20000" gives "20,000".
std::string GroupThousands(std::string_view digits);

// An amount of money with thousands separators and the unit: "108,712원" in Korean, "108,712 won"
// in English. A text that is not a whole number (with optional sign and a trailing ".0...")
// is returned as it is.
std::string FormatAmount(Language language, std::string_view amount);

}  // namespace parley

#endif  // PARLEY_CLIENT_MESSAGES_H_
