#include "client/messages.h"

#include <array>
#include <cstddef>

namespace parley {
namespace {

struct Entry {
  Msg id;
  std::string_view key;
  std::string_view english;
  std::string_view korean;
};

constexpr Entry kCatalogue[] = {
    {Msg::kNumberEmpty, "number-empty", "empty number", "빈 번호"},
    {Msg::kNumberNotDigits, "number-not-digits", "\"{}\" is not a phone number",
     "\"{}\"은(는) 전화번호가 아닙니다"},
    {Msg::kNumberNotMobile, "number-not-mobile",
     "{} is not a mobile number (010, 011, 016, 017, 018 or 019 with 10 or 11 digits)",
     "{}은(는) 휴대폰 번호가 아닙니다 (010, 011, 016, 017, 018, 019로 시작하는 10~11자리)"},
    {Msg::kNumberNotCallback, "number-not-callback",
     "{} is not a callback number (a mobile, area-code or 15xx/16xx/18xx number)",
     "{}은(는) 회신번호가 될 수 없습니다 (휴대폰, 지역번호 또는 15xx/16xx/18xx 대표번호)"},
    {Msg::kNumberSource, "number-source", "{}: {}", "{}: {}"},
    {Msg::kDuplicatesRemoved, "duplicates-removed", "{} duplicate number(s) removed",
     "중복 번호 {}개를 뺐습니다"},
    {Msg::kNoRecipients, "no-recipients", "no recipients", "받는 사람이 없습니다"},
    {Msg::kTextEmpty, "text-empty", "the message text is empty", "메시지 내용이 비어 있습니다"},
    {Msg::kTextTooLong, "text-too-long", "the message is {} bytes; at most {} bytes can be sent",
     "메시지가 {}바이트입니다. 최대 {}바이트까지 보낼 수 있습니다"},
    {Msg::kTextUnencodable, "text-unencodable",
     "\"{}\" (line {}, column {}) cannot be sent: the character set has no such character",
     "\"{}\"(줄 {}, 칸 {})은(는) 보낼 수 없는 문자입니다"},
    {Msg::kTextSummary, "text-summary", "{}, {} bytes (limit {})", "{}, {}바이트 (한도 {})"},
    {Msg::kReserveFormat, "reserve-format",
     "reservation \"{}\": write YYYY-MM-DD HH:MM, YYYY-MM-DDTHH:MM or YYYYMMDDHHMM",
     "예약 \"{}\": YYYY-MM-DD HH:MM, YYYY-MM-DDTHH:MM 또는 YYYYMMDDHHMM 형식으로 쓰세요"},
    {Msg::kReserveInvalidDate, "reserve-invalid-date", "reservation \"{}\": no such date or time",
     "예약 \"{}\": 없는 날짜나 시각입니다"},
    {Msg::kReservePast, "reserve-past", "reservation \"{}\" is not in the future",
     "예약 \"{}\"은(는) 이미 지난 시각입니다"},
    {Msg::kReserveAt, "reserve-at", "reserved for {}", "{}에 예약"},
    {Msg::kReserveNow, "reserve-now", "sent now", "지금 보냄"},
    {Msg::kTemplateNoWidth, "template-no-width",
     "{} has no width: write [column:width] (it would stay as it is)",
     "{}에 길이가 없습니다: [열이름:길이]로 쓰세요 (그대로 보내집니다)"},
    {Msg::kTemplateUnknownColumn, "template-unknown-column",
     "no column \"{}\"; the columns are: {}", "\"{}\" 열이 없습니다. 있는 열: {}"},
    {Msg::kTemplateCut, "template-cut", "row {}: {} \"{}\" is cut to \"{}\"",
     "{}행: {} \"{}\"이(가) \"{}\"(으)로 잘립니다"},
    {Msg::kUnknownSheet, "unknown-sheet", "no sheet \"{}\"; the sheets are: {}",
     "\"{}\" 시트가 없습니다. 있는 시트: {}"},
    {Msg::kExcelNeedsFile, "excel-needs-file",
     "name the workbook with --file so that every row is counted (or give --count, or --dedupe "
     "to send once per distinct row)",
     "모든 행을 세려면 --file로 통합 문서를 지정하세요 (또는 --count, 중복 없이 보내려면 "
     "--dedupe)"},
    {Msg::kPictureTooMany, "picture-too-many", "{} pictures: at most {}",
     "그림 {}개: 최대 {}개입니다"},
    {Msg::kPictureUnreadable, "picture-unreadable", "cannot read picture {}",
     "그림 {}을(를) 읽을 수 없습니다"},
    {Msg::kPictureNotJpeg, "picture-not-jpeg", "{} is not a JPEG picture",
     "{}은(는) JPEG 그림이 아닙니다"},
    {Msg::kPictureTooLarge, "picture-too-large",
     "{} is {} bytes; a picture may have at most {} bytes",
     "{}은(는) {}바이트입니다. 그림은 최대 {}바이트입니다"},
    {Msg::kGroupUnknown, "group-unknown",
     "no group \"{}\" in the engine's address book; the groups are: {}",
     "엔진 주소록에 \"{}\" 그룹이 없습니다. 있는 그룹: {}"},
    {Msg::kGroupEmpty, "group-empty", "group \"{}\" has no members",
     "\"{}\" 그룹에 주소가 없습니다"},
    {Msg::kGroupMembers, "group-members", "group {}: {} member(s)", "그룹 {}: {}명"},
    {Msg::kBookCreated, "book-created",
     "created a new address book {}; the engine reads the QXBOOK.mdb in its own working "
     "directory",
     "새 주소록 {}을(를) 만들었습니다. 엔진은 자기 작업 폴더의 QXBOOK.mdb를 읽습니다"},
    {Msg::kRecipientsCount, "recipients-count", "{} recipient(s)", "받는 사람 {}명"},
    {Msg::kConfirmSend, "confirm-send", "Send? [y/N] ", "보낼까요? [y/N] "},
    {Msg::kCancelled, "cancelled", "not sent", "보내지 않았습니다"},
    {Msg::kDryRun, "dry-run", "dry run: nothing sent", "시험 실행: 보내지 않았습니다"},
    {Msg::kNotLoggedIn, "not-logged-in", "not logged in", "로그인되어 있지 않습니다"},
    {Msg::kDidYouMean, "did-you-mean", "unknown command \"{}\"; did you mean \"{}\"?",
     "\"{}\"은(는) 없는 명령입니다. \"{}\"을(를) 말씀하셨나요?"},
    {Msg::kPasswordPrompt, "password-prompt", "Password: ", "비밀번호: "},
    {Msg::kCheckPassed, "check-passed", "check: passed ({})", "발송 확인: 통과 ({})"},
    {Msg::kCheckRefused, "check-refused", "check: refused ({})", "발송 확인: 거절 ({})"},
    {Msg::kAccount, "account", "account: {} ({}), amount {}, left SMS {} / LMS {} / MMS {}",
     "계정: {} ({}), 잔액 {}, 남은 건수 SMS {} / LMS {} / MMS {}"},
    {Msg::kFileUnreadable, "file-unreadable", "cannot read {}", "{}을(를) 읽을 수 없습니다"},
    {Msg::kCsvNoColumn, "csv-no-column", "no column \"{}\" in {}", "\"{}\" 열이 {}에 없습니다"},
    {Msg::kStatusLogin, "status-login", "logged in as {}", "{}(으)로 로그인되어 있습니다"},
    {Msg::kStatusBalance, "status-balance", "balance: shown by qx login and after every send",
     "잔액: qx login과 전송 뒤에 표시됩니다"},
    {Msg::kStatusEngine, "status-engine", "engine: {} in {}", "엔진: {} ({})"},
    {Msg::kStatusBook, "status-book", "address book: {}", "주소록: {}"},
    {Msg::kStatusJournal, "status-journal", "send journal: {}", "전송 기록: {}"},
    {Msg::kStatusNoJob, "status-no-job", "last job: none since the engine started",
     "마지막 작업: 엔진 시작 뒤 없음"},
    {Msg::kStatusJob, "status-job",
     "last job: #{} {} {}, {}: {} in all, {} sent, {} acknowledged, gateway job {}",
     "마지막 작업: #{} {} {}, {}: 전체 {}건, {}건 전송, {}건 확인, 게이트웨이 작업 {}"},
    {Msg::kProgress, "progress", "sent {} / {} ({}%), {}/s, {} left",
     "{} / {}건 전송 ({}%), 초당 {}건, 남은 시간 {}"},
    {Msg::kSendCancelled, "send-cancelled", "cancelled: {} of {} messages went out",
     "전송 취소: {}건 전송 (전체 {}건)"},
    {Msg::kGatewayRefused, "gateway-refused", "the gateway refused the job; nothing was sent",
     "게이트웨이가 작업을 거부했습니다. 보내지 않았습니다"},
    {Msg::kGatewayNoAnswer, "gateway-no-answer", "the gateway did not answer ({} messages sent)",
     "게이트웨이가 응답하지 않습니다 ({}건 전송)"},
    {Msg::kGatewayClosed, "gateway-closed", "the gateway closed the connection after {} messages",
     "게이트웨이가 {}건 뒤에 연결을 끊었습니다"},
    {Msg::kGatewayNack, "gateway-nack",
     "the gateway sent a negative acknowledgement after {} acknowledged messages ({} sent)",
     "게이트웨이가 {}건 확인 뒤 거부 응답을 보냈습니다 ({}건 전송)"},
    {Msg::kBookFromEngine, "book-from-engine", "using the engine's address book {}",
     "엔진의 주소록 {}을(를) 씁니다"},
    {Msg::kGroupSendDone, "group-send-done", "the group send went out: {} messages",
     "그룹 전송을 마쳤습니다: {}건"},
    {Msg::kGroupSendEnded, "group-send-ended", "the group send ended after {} messages",
     "그룹 전송이 {}건 뒤에 끝났습니다"},
    {Msg::kSaveRefused, "save-refused", "a text to save may not be empty or hold & or =",
     "저장할 내용이 비었거나 & 또는 = 이 들어 있습니다"},
    {Msg::kLoginNeedsBoth, "login-needs-both", "give the id and the password",
     "아이디와 비밀번호를 넣어 주세요"},
    {Msg::kLoginTooShort, "login-too-short", "an id and password this short cannot be sent",
     "아이디와 비밀번호가 너무 짧습니다"},
    {Msg::kLoginRefused, "login-refused", "the id or the password is not right",
     "아이디 또는 비밀번호가 맞지 않습니다"},
    {Msg::kJobsHeadings, "jobs-headings",
     "job|started|kind|title|recipients from|total|acknowledged|in doubt|not sent|ended|report",
     "작업|시작|종류|제목|수신처|전체|확인|불확실|미전송|종료|보고"},
    {Msg::kJobTitleLine, "job-title-line", "job #{}: {} {} \"{}\"", "작업 #{}: {} {} \"{}\""},
    {Msg::kJobResendOf, "job-resend-of", "sends the rest of job #{}",
     "작업 #{}의 나머지를 보낸 작업"},
    {Msg::kJobSource, "job-source", "recipients from: {}", "수신처: {}"},
    {Msg::kJobTimes, "job-times", "started {}, ended {}, reserved for {}",
     "시작 {}, 종료 {}, 예약 {}"},
    {Msg::kJobCallback, "job-callback", "callback {}, gateway job {}",
     "회신번호 {}, 게이트웨이 작업 {}"},
    {Msg::kJobText, "job-text", "text: {}", "내용: {}"},
    {Msg::kJobCounts, "job-counts", "{} recipients: {} acknowledged, {} in doubt, {} not sent",
     "수신 {}건: 확인 {}건, 불확실 {}건, 미전송 {}건"},
    {Msg::kJobEnding, "job-ending", "ended: {} at message {}; sent report: {}",
     "종료: {} ({}건째); 전송 보고: {}"},
    {Msg::kJobResentAs, "job-resent-as", "its rest was sent as job #{}",
     "나머지는 작업 #{}(으)로 보냈습니다"},
    {Msg::kJobNewJob, "job-new-job", "job #{}", "작업 #{}"},
    {Msg::kJobAlreadyResent, "job-already-resent",
     "the rest of job #{} was sent as job #{}: see qx jobs show for what that job left",
     "작업 #{}의 나머지는 이미 작업 #{}(으)로 보냈습니다. 그 작업에 남은 것은 qx jobs show로 "
     "보세요"},
    {Msg::kJobNothingLeft, "job-nothing-left",
     "job #{} reached every recipient: nothing is left to send",
     "작업 #{}은(는) 모든 수신번호에 보냈습니다. 다시 보낼 것이 없습니다"},
    {Msg::kJobOnlyInDoubt, "job-only-in-doubt",
     "job #{} has only {} recipients in doubt left: add --include-in-doubt to send them (the "
     "gateway may have them already)",
     "작업 #{}에는 불확실 {}건만 남았습니다. 보내려면 --include-in-doubt (게이트웨이에 이미 있을 "
     "수 "
     "있습니다)"},
    {Msg::kJobResendHint, "job-resend-hint",
     "qx jobs resend {} sends the {} not sent; add --include-in-doubt for the {} in doubt (the "
     "gateway may have them already)",
     "qx jobs resend {}: 미전송 {}건을 보냅니다. 불확실 {}건도 보내려면 --include-in-doubt "
     "(게이트웨이에 이미 있을 수 있습니다)"},
    {Msg::kJobResendPlan, "job-resend-plan",
     "sending {} messages again for job #{}: {} not sent, {} in doubt",
     "{}건을 다시 보냅니다 (작업 #{}): 미전송 {}건, 불확실 {}건"},
    {Msg::kJobInDoubtLeft, "job-in-doubt-left",
     "{} in doubt are left out: the gateway may have them (--include-in-doubt sends them too)",
     "불확실 {}건은 보내지 않습니다: 게이트웨이에 이미 있을 수 있습니다 (--include-in-doubt)"},
    {Msg::kJobExported, "job-exported", "{} recipients written to {}",
     "수신 {}건을 {}에 저장했습니다"},
    {Msg::kJobForgetConfirm, "job-forget-confirm",
     "Forget every ended job started before {}? [y/N] ",
     "{} 이전에 시작한 끝난 작업을 모두 지울까요? [y/N] "},
    {Msg::kJobForgetKept, "job-forget-kept", "nothing forgotten", "지우지 않았습니다"},
    {Msg::kJobsForgotten, "jobs-forgotten", "{} jobs started before {} forgotten",
     "작업 {}건을 지웠습니다 ({} 이전에 시작한 작업)"},
    {Msg::kTableEmpty, "table-empty", "(none)", "(없음)"},
    {Msg::kSavedHeadings, "saved-headings", "No|Subject|Text|Kind|Saved",
     "번호|제목|내용|종류|저장일"},
    {Msg::kSavedCounts, "saved-counts", "saved messages: SMS {}, LMS {}",
     "저장한 메시지: SMS {}건, LMS {}건"},
    {Msg::kCatalogueTextHeadings, "catalogue-text-headings", "No|Group|Text", "번호|분류|내용"},
    {Msg::kCatalogueGroupHeadings, "catalogue-group-headings", "Group|Name|Texts",
     "분류|이름|문구 수"},
    {Msg::kCatalogueFirstGroup, "catalogue-first-group", "texts in the first group: {}",
     "첫 분류의 문구: {}개"},
    {Msg::kCatalogueGroup, "catalogue-group", "texts in group {}: {}", "분류 {}의 문구: {}개"},
    {Msg::kResultsHeadings, "results-headings", "No|Time|Kind|From|Title|Result|Count",
     "번호|시간|종류|회신번호|제목|결과|건수"},
    {Msg::kResultsTotals, "results-totals",
     "messages: {} in all, {} delivered, {} failed, {} waiting",
     "메시지: 전체 {}건, 성공 {}건, 실패 {}건, 대기 {}건"},
    {Msg::kStatsHeadings, "stats-headings", "Day|SMS|LMS|MMS|All", "날짜|SMS|LMS|MMS|합계"},
    {Msg::kPreviewHeadings, "preview-headings", "Phone|Callback|Text", "휴대폰|회신번호|내용"},
    {Msg::kSheetRows, "sheet-rows", "sheet {}: {} rows", "시트 {}: {}행"},
    {Msg::kNoSheetWithRows, "no-sheet-with-rows", "no sheet with rows",
     "행이 있는 시트가 없습니다"},
    {Msg::kSavedId, "saved-id", "saved id: {}", "저장된 아이디: {}"},
    {Msg::kNoSavedId, "no-saved-id", "no saved id", "저장된 아이디가 없습니다"},
    {Msg::kLoginUsage, "login-usage", "give ID and PASSWORD (or set QX_PASSWORD), or --saved",
     "아이디와 비밀번호를 주세요 (또는 QX_PASSWORD), 아니면 --saved"},
    {Msg::kLoginAnswerCode, "login-answer-code", "login refused ({})",
     "로그인이 거부되었습니다 ({})"},
    {Msg::kLoggedIn, "logged-in", "logged in as {}", "{}(으)로 로그인했습니다"},
    {Msg::kLoggedInSaved, "logged-in-saved", "logged in as {} (id saved)",
     "{}(으)로 로그인했습니다 (아이디 저장)"},
    {Msg::kEngineHome, "engine-home", "engine home: {}", "엔진 폴더: {}"},
    {Msg::kNoWebAnswer, "no-web-answer", "the web service gave no answer (logged in?)",
     "웹 서비스가 답하지 않았습니다 (로그인했나요?)"},
    {Msg::kCheckNotPassed, "check-not-passed", "the send check did not pass",
     "발송 확인을 통과하지 못했습니다"},
    {Msg::kNameRecipients, "name-recipients", "name recipients with --to, --to-file or --group",
     "받는 사람을 --to, --to-file 또는 --group으로 주세요"},
    {Msg::kGroupSendHanded, "group-send-handed", "group send handed to the gateway",
     "그룹 전송을 게이트웨이에 넘겼습니다"},
    {Msg::kMonthFormat, "month-format", "months are written YYYY-MM", "월은 YYYY-MM으로 씁니다"},
    {Msg::kSavedAnswer, "saved-answer", "save: {}", "저장: {}"},
    {Msg::kPicturesNeedHome, "pictures-need-home",
     "pictures are read from the engine's TempIMG folder: pass --home <engine home> or copy them "
     "to <engine home>/TempIMG/ yourself",
     "사진은 엔진의 TempIMG 폴더에서 읽습니다: --home <엔진 폴더>를 주거나 <엔진 폴더>/TempIMG/에 "
     "직접 복사하세요"},
    {Msg::kPictureCopyFailed, "picture-copy-failed", "cannot copy {} to {}: {}",
     "{}을(를) {}에 복사할 수 없습니다: {}"},
    {Msg::kJobsExportUsage, "jobs-export-usage", "give one of --csv FILE and --xlsx FILE",
     "--csv 파일 또는 --xlsx 파일 중 하나를 주세요"},
    {Msg::kJobsForgetDate, "jobs-forget-date", "--before wants a date as YYYY-MM-DD, not \"{}\"",
     "--before에는 YYYY-MM-DD 날짜를 주세요 (\"{}\"은(는) 날짜가 아닙니다)"},
    {Msg::kCheckUsage, "check-usage", "--kind sms|lms|mms and a positive --count",
     "--kind sms|lms|mms와 1 이상의 --count를 주세요"},
    {Msg::kExcelUsage, "excel-usage", "give SHEET, --phone COLUMN and --text",
     "시트, --phone 열, --text를 주세요"},
    {Msg::kExcelCallbackChoice, "excel-callback-choice",
     "give either --callback-column COLUMN or --callback NUMBER",
     "--callback-column 열과 --callback 번호 중 하나만 주세요"},
    {Msg::kSaveForbidden, "save-forbidden",
     "the text and subject cannot hold & = < > or `: the web service would keep only part of them",
     "내용과 제목에는 & = < > ` 를 쓸 수 없습니다: 웹 서비스가 일부만 저장합니다"},
    {Msg::kEngineAnsweredNothing, "engine-answered-nothing",
     "the engine answered with nothing (logged in?)", "엔진이 빈 답을 보냈습니다 (로그인했나요?)"},
    {Msg::kNoSavedMessage, "no-saved-message", "no saved message {} (see qx messages saved)",
     "저장한 메시지 {}번이 없습니다 (qx messages saved로 확인하세요)"},
    {Msg::kLoggedOut, "logged-out", "logged out", "로그아웃했습니다"},
    {Msg::kEngineEnded, "engine-ended", "engine ended", "엔진을 끝냈습니다"},
    {Msg::kCheckRows, "check-rows", "{} row(s) checked: {} message(s), {} (the longest {} bytes)",
     "{}행을 확인했습니다: {}건, {} (가장 긴 메시지 {}바이트)"},
    {Msg::kCheckInvalid, "check-invalid",
     "{} row(s) have a number that cannot be sent:", "번호가 잘못된 행 {}개:"},
    {Msg::kCheckFault, "check-fault", "row {}: \"{}\" ({})", "{}행: \"{}\" ({})"},
    {Msg::kCheckMore, "check-more", "... and {} more", "... 외 {}개"},
    {Msg::kCheckDuplicates, "check-duplicates", "{} duplicate row(s) left out",
     "중복된 {}행을 뺐습니다"},
    {Msg::kCheckCuts, "check-cuts",
     "{} message(s) have values cut to their marker's bytes ({} bytes in all):",
     "{}건의 메시지에서 값이 표시한 바이트 수에 맞춰 잘립니다 (모두 {}바이트):"},
    {Msg::kCheckUnencodable, "check-unencodable",
     "row {}: column {} holds a character that cannot be sent (it goes as ?)",
     "{}행: {} 열에 보낼 수 없는 문자가 있습니다 (?로 바뀝니다)"},
    {Msg::kCheckTooLong, "check-too-long", "{} message(s) are over {} bytes",
     "{}건의 메시지가 {}바이트를 넘습니다"},
    {Msg::kCheckNoMessages, "check-no-messages", "no row can be sent",
     "보낼 수 있는 행이 없습니다"},
    {Msg::kCheckInvalidRefused, "check-invalid-refused",
     "some rows have wrong numbers: correct them, or send to the other rows with --skip-invalid",
     "번호가 잘못된 행이 있습니다. 고치거나 --skip-invalid로 나머지 행에만 보내세요"},
    {Msg::kCheckCutRefused, "check-cut-refused",
     "values would be cut: give the markers more bytes, or send them cut with --allow-cut",
     "값이 잘립니다. 표시의 바이트 수를 늘리거나 --allow-cut으로 잘린 채 보내세요"},
    {Msg::kCheckCallbackRefused, "check-callback-refused", "the callback number: {}",
     "회신번호: {}"},
    {Msg::kProblemEmpty, "problem-empty", "empty cell", "빈 칸"},
    {Msg::kProblemNotDigits, "problem-not-digits", "not a phone number", "전화번호가 아님"},
    {Msg::kProblemNotMobile, "problem-not-mobile", "not a mobile number", "휴대폰 번호가 아님"},
    {Msg::kProblemCallbackEmpty, "problem-callback-empty", "empty callback cell", "회신번호 빈 칸"},
    {Msg::kProblemNotCallback, "problem-not-callback", "the callback is not a phone number",
     "회신번호가 전화번호가 아님"},
    {Msg::kCheckSkipping, "check-skipping", "the {} row(s) with wrong numbers are left out",
     "번호가 잘못된 {}행은 빼고 보냅니다"},
    {Msg::kGroupNameEmpty, "group-name-empty", "a group needs a name", "그룹 이름이 비어 있습니다"},
    {Msg::kGroupNameComma, "group-name-comma",
     "group \"{}\" has a comma in its name, which a group send cannot carry (it would reach other "
     "groups): rename the group",
     "\"{}\" 그룹 이름에 쉼표가 있어 보낼 수 없습니다 (다른 그룹으로 갈 수 있습니다). 그룹 이름을 "
     "바꾸세요"},
    {Msg::kGroupNameSpaces, "group-name-spaces",
     "group \"{}\" begins or ends with a space, which a group send cannot carry (it would reach "
     "the group without it): rename the group",
     "\"{}\" 그룹 이름이 공백으로 시작하거나 끝나 보낼 수 없습니다 (다른 그룹으로 갈 수 있습니다). "
     "그룹 이름을 바꾸세요"},
    {Msg::kQuitStopsSend, "quit-stops-send",
     "a send is running ({} of {} sent): it stops at its next acknowledgement before the engine "
     "ends",
     "보내는 중인 전송({}/{}건)이 다음 확인 지점에서 멈춘 뒤 엔진이 끝납니다"},
    {Msg::kWhereToItem, "where-to-item", "--to \"{}\" item {}", "--to \"{}\" {}번째 항목"},
    {Msg::kWhereToLineItem, "where-to-line-item", "--to \"{}\" line {} item {}",
     "--to \"{}\" {}번째 줄 {}번째 항목"},
    {Msg::kWhereFileLine, "where-file-line", "{} line {}", "{} {}번째 줄"},
    {Msg::kWhereFileRow, "where-file-row", "{} row {}", "{} {}행"},
    {Msg::kWhereLine, "where-line", "line {}", "{}번째 줄"},
    {Msg::kWorkbookUnreadable, "workbook-unreadable", "cannot read {}: {}",
     "{}을(를) 읽을 수 없습니다: {}"},
    {Msg::kSendCheckPassed, "send-check-passed",
     "the service allows the send: {} {} message(s) (the balance allows {})",
     "발송 가능: {} {}건 (잔액으로 보낼 수 있는 건수 {}건)"},
    {Msg::kSendCheckRefused, "send-check-refused",
     "the service refuses the send: {} ({} {} message(s); the balance allows {})",
     "발송할 수 없습니다: {} ({} {}건 요청, 잔액으로 보낼 수 있는 건수 {}건)"},
    {Msg::kSendCheckRefusedPlain, "send-check-refused-plain", "the service refuses the send: {}",
     "발송할 수 없습니다: {}"},
    {Msg::kEngineNoSheet, "engine-no-sheet", "the workbook has no sheet {}",
     "엑셀 파일에 \"{}\" 시트가 없습니다"},
    {Msg::kEngineNoColumn, "engine-no-column", "the sheet has no column {}",
     "시트에 {} 열이 없습니다"},
    {Msg::kEngineFileUnreadable, "engine-file-unreadable", "the engine cannot read {} ({})",
     "엔진이 {} 파일을 읽을 수 없습니다 ({})"},
    {Msg::kEngineNotWorkbook, "engine-not-workbook",
     "the file is not a workbook the engine can read (.xlsx, .xls, .ods or .csv)",
     "엔진이 읽을 수 있는 엑셀 파일이 아닙니다 (.xlsx, .xls, .ods, .csv)"},
    {Msg::kEngineNoWorkbook, "engine-no-workbook", "no workbook has been opened yet",
     "아직 연 엑셀 파일이 없습니다"},
    {Msg::kEngineWorkbookTooLarge, "engine-workbook-too-large",
     "the workbook is too large to read: more than {}",
     "엑셀 파일이 너무 커서 읽지 않았습니다: {} 초과"},
    {Msg::kEngineStopping, "engine-stopping", "the engine is stopping", "엔진이 끝나는 중입니다"},
    {Msg::kEngineRefusedOther, "engine-refused-other", "the engine could not do it: {}",
     "엔진이 요청을 처리하지 못했습니다: {}"},
    {Msg::kEngineNoJob, "engine-no-job", "there is no job #{} in the send journal",
     "전송 기록에 작업 #{}이(가) 없습니다"},
    {Msg::kEngineJobRunning, "engine-job-running", "job #{} is still sending",
     "작업 #{}은(는) 아직 보내는 중입니다"},
    {Msg::kEngineCannotWrite, "engine-cannot-write", "the engine cannot write {} ({})",
     "엔진이 {} 파일을 쓸 수 없습니다 ({})"},
    {Msg::kJournalUnopened, "journal-unopened",
     "the send journal {} cannot be opened ({}): nothing can be sent until it can",
     "전송 기록 파일 {}을(를) 열 수 없습니다 ({}). 열 수 있을 때까지 보낼 수 없습니다"},
    {Msg::kJournalMovedAside, "journal-moved-aside",
     "the send journal {} was damaged; it was kept as {} and a new one started",
     "전송 기록 파일 {}이(가) 손상되어 {}(으)로 옮겨 두고 새로 시작했습니다"},
    {Msg::kJournalInterrupted, "journal-interrupted",
     "{} job(s) were interrupted when Parley last stopped: see 전송 결과 for what each one left",
     "지난번 Parley가 멈출 때 작업 {}개가 중단되었습니다. 전송 결과에서 남은 번호를 확인하세요"},
    {Msg::kAdNoBusinessName, "ad-no-business-name",
     "an advertising message needs the business name: set it in the settings first",
     "광고 문자에는 사업자명이 필요합니다. 먼저 설정에서 사업자명을 적어 주세요"},
    {Msg::kAdNoMarker, "ad-no-marker",
     "an advertising message must begin with exactly \"(광고)\" (not [광고], (광 고) or the like)",
     "광고 문자는 맨 앞에 \"(광고)\"를 정확히 적어야 합니다 ([광고], (광 고) 같은 표기는 안 "
     "됩니다)"},
    {Msg::kAdNoNameAfterMarker, "ad-no-name-after-marker",
     "the business name \"{}\" must follow \"(광고)\"",
     "\"(광고)\" 바로 뒤에 사업자명 \"{}\"을(를) 적어야 합니다"},
    {Msg::kAdNoFooter, "ad-no-footer",
     "an advertising message must end with a free opt-out line (무료수신거부 080-...)",
     "광고 문자에는 무료 수신거부 방법을 적어야 합니다 (무료수신거부 080-...)"},
    {Msg::kAdFooterNotFree, "ad-footer-not-free", "the opt-out number must be a free 080 number",
     "무료수신거부 번호는 080으로 시작하는 무료 번호여야 합니다"},
    {Msg::kAdFooterNotSetting, "ad-footer-not-setting",
     "the opt-out line must name the free number set in the settings, {}",
     "무료수신거부 번호는 설정한 번호 {}이어야 합니다"},
    {Msg::kAdNightNow, "ad-night-now",
     "it is {} in Korea: advertising messages may not be sent from 21:00 to 08:00 unless every "
     "recipient agreed to night advertising separately",
     "지금은 {}입니다. 광고 문자는 밤 9시부터 아침 8시까지 보낼 수 없습니다 (수신자마다 야간 "
     "수신에 "
     "따로 동의한 경우만 가능)"},
    {Msg::kAdNightReserved, "ad-night-reserved",
     "the reservation is at {}: advertising messages may not be sent from 21:00 to 08:00 (Korean "
     "time) unless every recipient agreed to night advertising separately",
     "예약 시각이 {}입니다. 광고 문자는 밤 9시부터 아침 8시까지 보낼 수 없습니다 (수신자마다 야간 "
     "수신에 따로 동의한 경우만 가능)"},
    {Msg::kAdReserveUnreadable, "ad-reserve-unreadable",
     "the reservation's time cannot be read, so its hour cannot be checked",
     "예약 시각을 읽을 수 없어 광고 전송 시간을 확인할 수 없습니다"},
    {Msg::kCallbackNotRegistered, "callback-not-registered",
     "the callback {} is not one of your registered numbers: register it in the settings "
     "(발신번호) "
     "first",
     "회신번호 {}은(는) 등록된 발신번호가 아닙니다. 설정의 발신번호에 먼저 등록해 주세요"},
    {Msg::kAdMakesLms, "ad-makes-lms",
     "with the advertising marker and the opt-out line the text is {} bytes: it goes as an LMS",
     "광고 표시와 수신거부 문구를 넣으면 {}바이트가 되어 LMS로 보냅니다"},
    {Msg::kCostEstimate, "cost-estimate", "{} message(s) cost about {} won (balance {} won)",
     "{}건, 예상 비용 약 {}원 (잔액 {}원)"},
    {Msg::kCostOverBalance, "cost-over-balance",
     "the send costs about {} won, more than the balance of {} won",
     "예상 비용 약 {}원이 잔액 {}원보다 많아 보낼 수 없습니다"},
    {Msg::kOptedOutLeftOut, "opted-out-left-out",
     "{} recipient(s) on the opt-out list are left out", "수신거부 {}명 제외"},
    {Msg::kBookFailed, "book-failed", "the address book cannot be changed: {}",
     "주소록을 바꿀 수 없습니다: {}"},
    {Msg::kBookNoGroup, "book-no-group", "there is no group \"{}\"", "\"{}\" 그룹이 없습니다"},
    {Msg::kBookGroupExists, "book-group-exists", "there is a group \"{}\" already",
     "\"{}\" 그룹이 이미 있습니다"},
    {Msg::kBookNoContact, "book-no-contact", "that contact is no longer in the address book",
     "그 연락처는 주소록에 더 이상 없습니다"},
    {Msg::kBookNoName, "book-no-name", "give the contact a name", "이름을 적어 주세요"},
    {Msg::kNumberCounts, "number-counts", "{} typed, {} valid, {} duplicate(s) removed, {} wrong",
     "입력 {}개, 올바른 번호 {}개, 중복 제거 {}개, 잘못된 번호 {}개"},
    {Msg::kNightConsentAsk, "night-consent-ask",
     "all recipients agreed separately to night advertising? [y/N] ",
     "받는 사람 모두가 야간 광고 수신에 따로 동의했습니까? [y/N] "},
    {Msg::kNightConsentDropped, "night-consent-dropped",
     "night consent not confirmed: the send is planned without it",
     "야간 수신 동의를 확인하지 않아 동의 없는 전송으로 확인합니다"},
    {Msg::kAllOptedOut, "all-opted-out",
     "all {} recipient(s) are on the opt-out list: there is no one to send to",
     "받는 사람 {}명이 모두 수신거부 목록에 있어 보낼 사람이 없습니다"},
    {Msg::kListAdded, "list-added", "{} number(s) added, {} already on the list",
     "{}개 추가, {}개는 이미 목록에 있음"},
    {Msg::kListRemoved, "list-removed", "{} number(s) removed, {} not on the list",
     "{}개 삭제, {}개는 목록에 없음"},
    {Msg::kListItemRefused, "list-item-refused", "\"{}\" not added: {}",
     "\"{}\"은(는) 추가하지 않았습니다: {}"},
    {Msg::kOptOutHeadings, "optout-headings", "Number|Added|Note", "번호|등록일|메모"},
    {Msg::kCallbackHeadings, "callback-headings", "Number|Label", "번호|이름"},
    {Msg::kListExported, "list-exported", "{} number(s) written to {}",
     "번호 {}개를 {}에 저장했습니다"},
    {Msg::kListFileEmpty, "list-file-empty", "{} holds no numbers", "{}에 번호가 없습니다"},
    {Msg::kSettingsHeadings, "settings-headings", "Setting|Value", "설정|값"},
    {Msg::kSettingUnknown, "setting-unknown",
     "there is no setting \"{}\" (business_name, optout_number, optout_applies, own_number)",
     "\"{}\" 설정은 없습니다 (business_name, optout_number, optout_applies, own_number)"},
    {Msg::kSettingAppliesValue, "setting-applies-value",
     "optout_applies is \"ad\" (advertising sends) or \"all\" (every send)",
     "optout_applies는 \"ad\"(광고 전송) 또는 \"all\"(모든 전송)입니다"},
    {Msg::kSettingOwnNumber, "setting-own-number", "own_number must be a mobile number",
     "own_number는 휴대폰 번호여야 합니다"},
    {Msg::kSettingOptOutNumber, "setting-optout-number", "optout_number must be a free 080 number",
     "optout_number는 080으로 시작하는 무료 번호여야 합니다"},
    {Msg::kEngineBookNotWritten, "engine-book-not-written",
     "the engine cannot write its address book", "엔진이 주소록에 쓸 수 없습니다"},
    {Msg::kSettingSaved, "setting-saved", "{} is now \"{}\"", "{}을(를) \"{}\"(으)로 바꿨습니다"},
    {Msg::kRulesUnavailable, "rules-unavailable",
     "the engine gave no sending-rule settings (SETGT, CBKLS)",
     "엔진에서 발송 규칙 설정을 받지 못했습니다 (SETGT, CBKLS)"},
    {Msg::kFileUnwritable, "file-unwritable", "cannot write {}", "{} 파일을 쓸 수 없습니다"},
    {Msg::kNightConsentWithoutAd, "night-consent-without-ad",
     "night consent is for advertising sends: give --ad (or --insert-ad) with it",
     "야간 수신 동의는 광고 전송에만 씁니다. --ad(또는 --insert-ad)와 함께 주세요"},
};

bool StartsWithKo(const char* value) { return value[0] == 'k' && value[1] == 'o'; }

}  // namespace

std::vector<std::string> Headings(Language language, Msg id) {
  const std::string names = Text(language, id);
  std::vector<std::string> headings;
  for (size_t start = 0;;) {
    const size_t bar = names.find('|', start);
    headings.push_back(names.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return headings;
}

Language LocaleFromEnvironment(const char* lc_all, const char* lc_messages, const char* lang) {
  for (const char* value : {lc_all, lc_messages, lang}) {
    if (value != nullptr && *value != '\0') {
      return StartsWithKo(value) ? Language::kKorean : Language::kEnglish;
    }
  }
  return Language::kEnglish;
}

std::string_view MsgKey(Msg id) {
  for (const Entry& entry : kCatalogue) {
    if (entry.id == id) return entry.key;
  }
  return {};
}

std::string Text(Language language, Msg id, std::initializer_list<std::string_view> args) {
  std::string_view pattern;
  for (const Entry& entry : kCatalogue) {
    if (entry.id == id) pattern = language == Language::kKorean ? entry.korean : entry.english;
  }
  std::string out;
  const std::string_view* arg = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.substr(i, 2) == "{}" && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::string GroupThousands(std::string_view digits) {
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string FormatAmount(Language language, std::string_view amount) {
  std::string_view digits = amount;
  std::string sign;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    if (digits[0] == '-') sign = "-";
    digits.remove_prefix(1);
  }
  if (const size_t dot = digits.find('.'); dot != std::string_view::npos) {
    if (digits.substr(dot + 1).find_first_not_of('0') != std::string_view::npos) {
      return std::string(amount);
    }
    digits = digits.substr(0, dot);
  }
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::string(amount);
  }
  return sign + GroupThousands(digits) + (language == Language::kKorean ? "원" : " won");
}

}  // namespace parley
