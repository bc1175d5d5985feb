#include "client/workbook_check.h"

#include "client/message_text.h"
#include "numbers/korean_number.h"
#include "text/cp949.h"

namespace parley {

WorkbookSendPlan PlanWorkbookSend(const protocol::ExcelCheckReply& check, bool pictures,
                                  bool skip_invalid, bool allow_cut) {
  WorkbookSendPlan plan;
  plan.messages = check.messages;
  plan.mode = pictures ? 3 : check.largest > static_cast<int64_t>(kSmsBytes) ? 2 : 1;
  if (!check.callback_problem.empty()) plan.blocks.push_back(WorkbookBlock::kCallback);
  if (check.messages == 0) plan.blocks.push_back(WorkbookBlock::kNoMessages);
  if (check.invalid > 0 && !skip_invalid) plan.blocks.push_back(WorkbookBlock::kInvalidRows);
  if (check.cut_rows > 0 && !allow_cut) plan.blocks.push_back(WorkbookBlock::kCutValues);
  if (check.over_rows > 0) plan.blocks.push_back(WorkbookBlock::kTooLong);
  return plan;
}

Msg ProblemMsg(std::string_view what, std::string_view problem) {
  const bool callback = what == "callback";
  switch (ProblemFromToken(problem)) {
    case NumberProblem::kEmpty:
      return callback ? Msg::kProblemCallbackEmpty : Msg::kProblemEmpty;
    case NumberProblem::kNotMobile:
      return Msg::kProblemNotMobile;
    case NumberProblem::kNotCallback:
      return Msg::kProblemNotCallback;
    case NumberProblem::kNone:
    case NumberProblem::kNotDigits:
      break;
  }
  return callback ? Msg::kProblemNotCallback : Msg::kProblemNotDigits;
}

std::vector<std::string> DescribeWorkbookCheck(const protocol::ExcelCheckReply& check,
                                               Language language) {
  std::vector<std::string> lines;
  lines.push_back(Text(
      language, Msg::kCheckRows,
      {GroupThousands(std::to_string(check.rows)), GroupThousands(std::to_string(check.messages)),
       check.kind, GroupThousands(std::to_string(check.largest))}));
  if (check.invalid > 0) {
    lines.push_back(
        Text(language, Msg::kCheckInvalid, {GroupThousands(std::to_string(check.invalid))}));
    for (const protocol::CheckFault& f : check.faults) {
      lines.push_back("  " + Text(language, Msg::kCheckFault,
                                  {std::to_string(f.row), AnsiToUtf8(f.cell),
                                   Text(language, ProblemMsg(f.what, f.problem))}));
    }
    const int64_t more = check.invalid - static_cast<int64_t>(check.faults.size());
    if (more > 0) lines.push_back("  " + Text(language, Msg::kCheckMore, {std::to_string(more)}));
  }
  if (check.duplicates > 0) {
    lines.push_back(Text(language, Msg::kCheckDuplicates, {std::to_string(check.duplicates)}));
  }
  if (check.cut_rows > 0) {
    lines.push_back(Text(language, Msg::kCheckCuts,
                         {std::to_string(check.cut_rows), std::to_string(check.cut_bytes)}));
    for (const protocol::CheckCut& c : check.cuts) {
      const std::string value = AnsiToUtf8(c.value);
      const std::string kept =
          AnsiToUtf8(std::string_view(c.value).substr(0, static_cast<size_t>(c.kept)));
      lines.push_back("  " + Text(language, Msg::kTemplateCut,
                                  {std::to_string(c.row), AnsiToUtf8(c.column), value, kept}));
    }
  }
  for (const protocol::CheckUnencodable& u : check.unencodable) {
    lines.push_back(
        Text(language, Msg::kCheckUnencodable, {std::to_string(u.row), AnsiToUtf8(u.column)}));
  }
  if (check.over_rows > 0) {
    lines.push_back(Text(language, Msg::kCheckTooLong,
                         {std::to_string(check.over_rows), std::to_string(kLmsBytes)}));
  }
  return lines;
}

std::string BlockText(WorkbookBlock block, const protocol::ExcelCheckReply& check,
                      Language language) {
  switch (block) {
    case WorkbookBlock::kCallback:
      return Text(language, Msg::kCheckCallbackRefused,
                  {Text(language, ProblemMsg("callback", check.callback_problem),
                        {AnsiToUtf8(check.callback)})});
    case WorkbookBlock::kNoMessages:
      return Text(language, Msg::kCheckNoMessages);
    case WorkbookBlock::kInvalidRows:
      return Text(language, Msg::kCheckInvalidRefused);
    case WorkbookBlock::kCutValues:
      return Text(language, Msg::kCheckCutRefused);
    case WorkbookBlock::kTooLong:
      return Text(language, Msg::kCheckTooLong,
                  {std::to_string(check.over_rows), std::to_string(kLmsBytes)});
  }
  return {};
}

}  // namespace parley
