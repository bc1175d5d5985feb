// The send orders of the UI link's send requests: what the pipelines take, made from the request
// each handler parsed once.
#ifndef PARLEY_COMMANDS_SEND_ORDERS_H_
#define PARLEY_COMMANDS_SEND_ORDERS_H_

#include "sheets/workbook_rows.h"
#include "protocol/send_requests.h"
#include "send/direct_send.h"
#include "send/excel_send.h"
#include "send/group_send.h"

namespace parley {

// Every order's head: the kind from the mode (1 SMS, anything else MMS), the count, the title
// and the reservation. The text is decoded from its UI-link codes ("&lt;", "&gacct;", ...); the
// picture names go with an MMS only.
DirectOrder DirectOrderOf(const protocol::DirectSendRequest& request);

// The group names and numbers split at commas (an empty list has no entries).
GroupOrder GroupOrderOf(const protocol::GroupSendRequest& request);

// An ESEND send: the order and the sheet columns it reads ("&comma;" decoded in the column
// names and the second number; "<OVERLAP>" reads each distinct row once).
struct ExcelSend {
  ExcelOrder order;
  SheetColumns columns;
};
ExcelSend ExcelSendOf(const protocol::ExcelSendRequest& request);

}  // namespace parley

#endif  // PARLEY_COMMANDS_SEND_ORDERS_H_
