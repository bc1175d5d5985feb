#include "commands/send_orders.h"

#include <string>
#include <string_view>
#include <vector>

#include "text/mbcs.h"
#include "text/text_codes.h"

namespace parley {

namespace {

template <typename Request, typename Order>
void ReadOrderHead(const Request& request, Order* order) {
  order->kind = request.mode == protocol::kSendSms ? SendKind::kSms : SendKind::kMms;
  order->count = request.count;
  order->title = request.title;
  order->reserve_date = request.reserve;
  if (order->kind == SendKind::kMms) order->pictures = request.pictures;
}

// The entries of a comma-separated list; none for an empty list.
std::vector<std::string> ListEntries(std::string_view list) {
  if (list.empty()) return {};
  const std::vector<std::string_view> entries = SplitFields(list, ',');
  return std::vector<std::string>(entries.begin(), entries.end());
}

std::string CommasDecoded(std::string_view text) { return Replaced(text, "&comma;", ","); }

}  // namespace

DirectOrder DirectOrderOf(const protocol::DirectSendRequest& request) {
  DirectOrder order;
  ReadOrderHead(request, &order);
  order.recipients = request.numbers;
  order.callback = request.callback;
  order.text = DecodeUiText(request.text);
  return order;
}

GroupOrder GroupOrderOf(const protocol::GroupSendRequest& request) {
  GroupOrder order;
  ReadOrderHead(request, &order);
  order.groups = ListEntries(request.groups);
  order.numbers = ListEntries(request.numbers);
  order.callback = request.callback;
  order.text = DecodeUiText(request.text);
  return order;
}

ExcelSend ExcelSendOf(const protocol::ExcelSendRequest& request) {
  ExcelSend send;
  ExcelOrder& order = send.order;
  ReadOrderHead(request, &order);
  order.text = DecodeUiText(request.message);
  order.second = CommasDecoded(request.second);
  order.two_column = request.CallbackColumn();
  SheetColumns& columns = send.columns;
  columns.sheet = request.sheet;
  columns.dedupe = request.once      ? RowDedupe::kNumbers
                   : request.overlap ? RowDedupe::kRows
                                     : RowDedupe::kNone;
  columns.phone = CommasDecoded(request.phone_column);
  columns.second = order.second;
  columns.two_column = order.two_column;
  return send;
}

}  // namespace parley
