// Errors of a gateway job, as std::error_code values of their own category. Transport errors
// (connection refused, reset, host not found) come through with their system or asio codes.
#ifndef PARLEY_SEND_GATEWAY_ERROR_H_
#define PARLEY_SEND_GATEWAY_ERROR_H_

#include <system_error>
#include <type_traits>

namespace parley {

enum class GatewayError {
  kTimeout = 1,   // no reply, or no progress of a connect or write, before the deadline
  kClosed,        // the gateway closed the connection, or none is open
  kBadReplyType,  // a reply started with a byte that starts no reply
  kFieldTooLong,  // a text does not fit its packet field; nothing was sent
  kRefused,       // the job reply refused the job
  kNotRecorded,   // the messages could not be recorded before they left; nothing more was sent
};

const std::error_category& GatewayCategory();
std::error_code make_error_code(GatewayError e);

}  // namespace parley

template <>
struct std::is_error_code_enum<parley::GatewayError> : std::true_type {};

#endif  // PARLEY_SEND_GATEWAY_ERROR_H_
