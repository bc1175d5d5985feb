#include "protocol/query_requests.h"

#include <algorithm>

#include "protocol/body_fields.h"
#include "protocol/markup.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley::protocol {

LoginRequest LoginRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(0), f.Text(1), f[2] == kSaveFlag};
}

std::string LoginRequest::Build() const {
  std::string body = JoinFields({id, password});
  if (save) body += JoinFields({"", kSaveFlag});
  return body;
}

EndRequest EndRequest::Parse(std::string_view body) { return {Atoi(body)}; }

std::string EndRequest::Build() const { return std::to_string(value); }

AddressRequest AddressRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Number(0), f.Text(1)};
}

std::string AddressRequest::Build() const {
  if (kind == kAddresses) return JoinFields({std::to_string(kind), group_key});
  return std::to_string(kind);
}

ExcelQuery ExcelQueryOf(std::string_view body) {
  if (body.starts_with('1')) return ExcelQuery::kListing;
  if (body.starts_with('2')) return ExcelQuery::kCount;
  return ExcelQuery::kPreview;
}

ListingRequest ListingRequest::Parse(std::string_view sent, std::string_view text) {
  const bool ascii_prefix =
      sent.size() >= kPrefix &&
      std::all_of(sent.begin(), sent.begin() + kPrefix, [](char c) { return (c & 0x80) == 0; });
  if (ascii_prefix) return {std::string(sent.substr(kPrefix))};
  return {text.size() > kPrefix ? AnsiToUtf8(text.substr(kPrefix)) : std::string()};
}

std::string ListingRequest::Build() const { return JoinFields({"1", path}); }

CountRequest CountRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(1), f.Text(2)};
}

std::string CountRequest::Build() const { return JoinFields({"2", sheet, column}); }

PreviewRequest PreviewRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(1), f.Text(2), f.Text(3), f.Text(4), f.Text(5)};
}

std::string PreviewRequest::Build() const {
  return JoinFields({"3", sheet, phone_column, second, message, callback_mode});
}

SavedMessagesRequest SavedMessagesRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(0), f.Text(1), f.Text(2)};
}

std::string SavedMessagesRequest::Build() const { return JoinFields({kind, page, page_size}); }

bool SaveMessageRequest::Matches(std::string_view body) {
  if (!body.starts_with(kKind)) return false;
  const std::string_view rest = body.substr(kKind.size());
  return rest.empty() || rest.starts_with(kFieldSep) || rest.starts_with('`');
}

SaveMessageRequest SaveMessageRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(1), f.Text(2), f.Text(3)};
}

std::string SaveMessageRequest::Build() const { return JoinFields({kKind, text, subject, type}); }

bool CatalogueFirstRequest::Matches(std::string_view body) {
  return body.starts_with(kFirstPageTag);
}

CatalogueFirstRequest CatalogueFirstRequest::Parse(std::string_view body) {
  const BodyFields f(body.substr(std::min(body.size(), kFirstPageTag.size())));
  return {f.Text(0), f.Text(1), f.Text(2)};
}

std::string CatalogueFirstRequest::Build() const {
  return std::string(kFirstPageTag) + JoinFields({type, page, page_size});
}

CataloguePageRequest CataloguePageRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(0), f.Text(1), f.Text(2), f.Text(3)};
}

std::string CataloguePageRequest::Build() const {
  return JoinFields({type, group, page, page_size});
}

SendResultsRequest SendResultsRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Number(0), f.Text(1), f.Text(2), f.Text(3), f.Text(4),
          f.Text(5),   f.Text(6), f.Text(7), f.Text(8)};
}

std::string SendResultsRequest::Build() const {
  return JoinFields(
      {std::to_string(selector), from, to, type, result, page, page_size, number_flag, phone});
}

UsageRequest UsageRequest::Parse(std::string_view body) {
  const BodyFields f(body);
  return {f.Text(0), f.Text(1), f.Text(2), f.Text(3)};
}

std::string UsageRequest::Build() const {
  return JoinFields({start_year, start_month, end_year, end_month});
}

}  // namespace parley::protocol
