#include "sheets/rows_check.h"

#include <algorithm>

#include "send/sending_rules.h"

namespace parley {
namespace {

constexpr int64_t kSmsTextBytes = static_cast<int64_t>(protocol::kSmsTextBytes);
constexpr int64_t kLongTextBytes = static_cast<int64_t>(protocol::kLongTextBytes);

std::string_view CellName(RowVerdict verdict) {
  return verdict == RowVerdict::kBadCallback ? "callback" : "phone";
}

}  // namespace

std::string LeftOutReason(const SheetRow& row) {
  return std::string(CellName(row.verdict)) + " " + std::string(ProblemToken(row.problem));
}

bool CheckSheetRows(WorkbookRows& rows, int64_t limit, bool pictures,
                    protocol::ExcelCheckReply* check, std::vector<LeftOutRow>* left_out,
                    const RowRule& rule, std::optional<RowFault>* fault) {
  using protocol::ExcelCheckReply;
  *check = ExcelCheckReply();
  rows.set_noting(true);
  if (!rows.Open()) return false;
  SheetRow row;
  // A limit ends the rows at the first one it would not send: the rows left out before that one
  // (trailing ones included) are still the send's.
  while (!rows.AtEnd()) {
    if (!rows.Read(&row)) return false;
    if (row.verdict == RowVerdict::kSend && limit > 0 && check->messages >= limit) break;
    ++check->rows;
    switch (row.verdict) {
      case RowVerdict::kBadPhone:
      case RowVerdict::kBadCallback:
        ++check->invalid;
        if (check->faults.size() < ExcelCheckReply::kListed) {
          check->faults.push_back({row.row, std::string(CellName(row.verdict)),
                                   std::string(ProblemToken(row.problem)), row.cell});
        }
        if (left_out != nullptr) left_out->push_back({row.row, row.cell, LeftOutReason(row)});
        break;
      case RowVerdict::kDuplicate:
        ++check->duplicates;
        break;
      case RowVerdict::kOptedOut:
        ++check->opted_out;
        if (check->opted_out_rows.size() < ExcelCheckReply::kListed) {
          check->opted_out_rows.push_back({row.row, row.recipient});
        }
        if (left_out != nullptr) {
          left_out->push_back({row.row, row.recipient, std::string(kOptedOutReason)});
        }
        break;
      case RowVerdict::kSend: {
        ++check->messages;
        if (rule && fault != nullptr && !fault->has_value()) {
          if (std::string reason = rule(row); !reason.empty()) {
            *fault = RowFault{row.row, std::move(reason)};
          }
        }
        const int64_t bytes = static_cast<int64_t>(row.text.size());
        check->largest = std::max(check->largest, bytes);
        if (bytes <= kSmsTextBytes) {
          ++check->sms_rows;
        } else if (bytes <= kLongTextBytes) {
          ++check->lms_rows;
        } else {
          ++check->over_rows;
        }
        if (!row.cuts.empty()) {
          ++check->cut_rows;
          for (const CutValue& cut : row.cuts) {
            check->cut_bytes += static_cast<int64_t>(cut.value.size() - cut.kept);
            if (check->cuts.size() < ExcelCheckReply::kListed) {
              check->cuts.push_back({row.row, rows.field_names()[static_cast<size_t>(cut.field)],
                                     cut.value, static_cast<int64_t>(cut.kept)});
            }
          }
        }
        if (!row.unencodable_column.empty()) {
          ++check->unencodable_rows;
          if (check->unencodable.size() < ExcelCheckReply::kListed) {
            check->unencodable.push_back({row.row, row.unencodable_column});
          }
        }
        break;
      }
    }
    if (!rows.MoveNext()) return false;
  }
  rows.Close();
  check->kind = pictures ? "MMS" : check->largest > kSmsTextBytes ? "LMS" : "SMS";
  return true;
}

}  // namespace parley
