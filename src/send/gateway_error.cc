#include "send/gateway_error.h"

#include <string>

namespace parley {
namespace {

class Category : public std::error_category {
 public:
  const char* name() const noexcept override { return "gateway"; }
  std::string message(int value) const override {
    switch (static_cast<GatewayError>(value)) {
      case GatewayError::kTimeout:
        return "the gateway did not answer in time";
      case GatewayError::kClosed:
        return "the gateway connection is closed";
      case GatewayError::kBadReplyType:
        return "the gateway sent a reply of an unknown type";
      case GatewayError::kFieldTooLong:
        return "a text does not fit its packet field";
      case GatewayError::kRefused:
        return "the gateway refused the job";
      case GatewayError::kNotRecorded:
        return "the messages could not be recorded before sending";
    }
    return "gateway error " + std::to_string(value);
  }
};

}  // namespace

const std::error_category& GatewayCategory() {
  static const Category category;
  return category;
}

std::error_code make_error_code(GatewayError e) { return {static_cast<int>(e), GatewayCategory()}; }

}  // namespace parley
