#include "excel/biff_formula.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "excel/biff_records.h"
#include "excel/cell_format.h"
#include "excel/little_endian.h"

namespace parley::biff {
namespace {

// Token ids (the operand tokens here have no class variants).
constexpr uint8_t kPtgAdd = 0x03;
constexpr uint8_t kPtgSub = 0x04;
constexpr uint8_t kPtgMul = 0x05;
constexpr uint8_t kPtgDiv = 0x06;
constexpr uint8_t kPtgPower = 0x07;
constexpr uint8_t kPtgConcat = 0x08;
constexpr uint8_t kPtgLt = 0x09;
constexpr uint8_t kPtgLe = 0x0A;
constexpr uint8_t kPtgEq = 0x0B;
constexpr uint8_t kPtgGe = 0x0C;
constexpr uint8_t kPtgGt = 0x0D;
constexpr uint8_t kPtgNe = 0x0E;
constexpr uint8_t kPtgUplus = 0x12;
constexpr uint8_t kPtgUminus = 0x13;
constexpr uint8_t kPtgPercent = 0x14;
constexpr uint8_t kPtgParen = 0x15;
constexpr uint8_t kPtgStr = 0x17;
constexpr uint8_t kPtgAttr = 0x19;
constexpr uint8_t kPtgErr = 0x1C;
constexpr uint8_t kPtgBool = 0x1D;
constexpr uint8_t kPtgInt = 0x1E;
constexpr uint8_t kPtgNum = 0x1F;

// Bytes after the token id.
constexpr size_t kAttrSize = 3;  // option flags (1), data (2)
constexpr size_t kErrSize = 1;
constexpr size_t kBoolSize = 1;
constexpr size_t kIntSize = 2;
constexpr size_t kNumSize = 8;
constexpr size_t kStrHeaderSize = 1;  // character count; BIFF8 then a flag byte

// ptgAttr flags that change nothing in a value: a volatile formula, spaces and line breaks.
constexpr uint8_t kAttrVolatile = 0x01;
constexpr uint8_t kAttrSpace = 0x40;
constexpr uint8_t kWideChars = 0x01;

// Excel shows and compares numbers to 15 significant digits.
constexpr int kShownDigits = 15;

using Value = FormulaValue;

bool IsError(const Value& value) { return std::holds_alternative<FormulaError>(value); }

// A number or boolean as a number; nullopt for text.
std::optional<double> AsNumber(const Value& value) {
  if (const double* number = std::get_if<double>(&value)) return *number;
  if (const bool* boolean = std::get_if<bool>(&value)) return *boolean ? 1.0 : 0.0;
  return std::nullopt;
}

// A finite number, or an error (#NUM!, #DIV/0!) for anything else.
Value Finite(double number) {
  return std::isfinite(number) ? Value(number) : Value(FormulaError{});
}

// The text & joins: a number only when every reader prints it alike.
std::optional<std::string> AsText(const Value& value) {
  if (const std::string* text = std::get_if<std::string>(&value)) return *text;
  if (const bool* boolean = std::get_if<bool>(&value)) return *boolean ? "TRUE" : "FALSE";
  const std::string number = FormatNumber(std::get<double>(value));
  const auto digits =
      std::count_if(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (number.find('e') != std::string::npos || digits > kShownDigits) return std::nullopt;
  return number;
}

// Whether a and b are equal to the digits Excel compares; then a comparison of the two may
// not go as their exact values do.
bool EqualAsShown(double a, double b) {
  char left[32], right[32];
  std::snprintf(left, sizeof left, "%.*e", kShownDigits - 1, a);
  std::snprintf(right, sizeof right, "%.*e", kShownDigits - 1, b);
  return std::string_view(left) == right;
}

// Each operator sets *out to its value and returns true, or returns false when the value is not
// known (see the header).
bool Arithmetic(uint8_t op, const Value& a, const Value& b, Value* out) {
  const std::optional<double> x = AsNumber(a), y = AsNumber(b);
  if (!x || !y) return false;  // text: converted by rules not followed here
  switch (op) {
    case kPtgAdd:
      *out = Finite(*x + *y);
      break;
    case kPtgSub:
      *out = Finite(*x - *y);
      break;
    case kPtgMul:
      *out = Finite(*x * *y);
      break;
    case kPtgDiv:
      *out = *y == 0 ? Value(FormulaError{}) : Finite(*x / *y);
      break;
    default:  // kPtgPower: 0^0 and 0^-1 are errors, as a negative number to a fraction is
      *out = *x == 0 && *y <= 0 ? Value(FormulaError{}) : Finite(std::pow(*x, *y));
  }
  return true;
}

bool Compare(uint8_t op, const Value& a, const Value& b, Value* out) {
  double x, y;
  if (a.index() != b.index()) return false;  // mixed types order by type
  if (const bool* boolean = std::get_if<bool>(&a)) {
    x = *boolean;
    y = std::get<bool>(b);
  } else if (const double* number = std::get_if<double>(&a)) {
    x = *number;
    y = std::get<double>(b);
    if (x != y && EqualAsShown(x, y)) return false;
  } else {
    return false;  // text compares by rules of its own
  }
  switch (op) {
    case kPtgLt:
      *out = x < y;
      break;
    case kPtgLe:
      *out = x <= y;
      break;
    case kPtgEq:
      *out = x == y;
      break;
    case kPtgGe:
      *out = x >= y;
      break;
    case kPtgGt:
      *out = x > y;
      break;
    default:  // kPtgNe
      *out = x != y;
  }
  return true;
}

bool Binary(uint8_t op, const Value& a, const Value& b, Value* out) {
  if (IsError(a) || IsError(b)) {
    *out = FormulaError{};
    return true;
  }
  if (op == kPtgConcat) {
    std::optional<std::string> x = AsText(a), y = AsText(b);
    if (!x || !y) return false;
    *out = *x + *y;
    return true;
  }
  if (op >= kPtgLt) return Compare(op, a, b, out);
  return Arithmetic(op, a, b, out);
}

// Replaces *value by the operator's value.
bool Unary(uint8_t op, Value* value) {
  if (IsError(*value) || op == kPtgUplus) return true;
  const std::optional<double> x = AsNumber(*value);
  if (!x) return false;
  *value = op == kPtgUminus ? -*x : *x / 100;
  return true;
}

// A text constant at tokens[at] on; moves at past it.
bool ReadText(std::string_view tokens, size_t* at, bool biff5, CodePageDecoder& decoder,
              std::string* out) {
  if (tokens.size() - *at < kStrHeaderSize) return false;
  const size_t count = static_cast<uint8_t>(tokens[*at]);
  *at += kStrHeaderSize;
  if (biff5) {
    if (tokens.size() - *at < count) return false;
    decoder.Append(tokens.substr(*at, count), out);
    *at += count;
    return true;
  }
  if (tokens.size() - *at < 1) return false;
  const bool wide = static_cast<uint8_t>(tokens[*at]) & kWideChars;
  ++*at;
  const size_t bytes = wide ? count * 2 : count;
  if (tokens.size() - *at < bytes) return false;
  if (wide) {
    AppendUtf16(tokens.substr(*at, bytes), out);
  } else {
    AppendCompressed(tokens.substr(*at, bytes), out);
  }
  *at += bytes;
  return true;
}

}  // namespace

std::optional<FormulaValue> EvaluateConstantFormula(std::string_view tokens, bool biff5,
                                                    CodePageDecoder& decoder) {
  std::vector<Value> stack;
  size_t at = 0;
  // Whether the token's bytes after its id are there.
  const auto has = [&](size_t size) { return tokens.size() - at >= size; };
  while (at < tokens.size()) {
    const uint8_t id = static_cast<uint8_t>(tokens[at++]);
    switch (id) {
      case kPtgInt:
        if (!has(kIntSize)) return std::nullopt;
        stack.emplace_back(static_cast<double>(Le16(tokens, at)));
        at += kIntSize;
        break;
      case kPtgNum:
        if (!has(kNumSize)) return std::nullopt;
        stack.emplace_back(F64(tokens, at));
        at += kNumSize;
        break;
      case kPtgBool:
        if (!has(kBoolSize)) return std::nullopt;
        stack.emplace_back(tokens[at] != 0);
        at += kBoolSize;
        break;
      case kPtgErr:
        if (!has(kErrSize)) return std::nullopt;
        stack.emplace_back(FormulaError{});
        at += kErrSize;
        break;
      case kPtgStr: {
        std::string text;
        if (!ReadText(tokens, &at, biff5, decoder, &text)) return std::nullopt;
        stack.emplace_back(std::move(text));
        break;
      }
      case kPtgAttr:
        if (!has(kAttrSize) ||
            (static_cast<uint8_t>(tokens[at]) & ~(kAttrVolatile | kAttrSpace)) != 0) {
          return std::nullopt;  // a choice, a jump, a SUM of one range...: part of a function
        }
        at += kAttrSize;
        break;
      case kPtgParen:
        break;
      case kPtgUplus:
      case kPtgUminus:
      case kPtgPercent:
        if (stack.empty() || !Unary(id, &stack.back())) return std::nullopt;
        break;
      default: {
        if (id < kPtgAdd || id > kPtgNe || stack.size() < 2) return std::nullopt;
        Value value;
        if (!Binary(id, stack[stack.size() - 2], stack.back(), &value)) return std::nullopt;
        stack.pop_back();
        stack.back() = std::move(value);
        break;
      }
    }
  }
  if (stack.size() != 1) return std::nullopt;
  return std::move(stack.back());
}

}  // namespace parley::biff
