// The value of an .xls formula worked out from its tokens, for formulas made of constants and
// operators alone. Some writers store no result for a formula and leave the sum to the program
// that opens the file: xlwt writes every formula's result as an empty text, so "=1+1" would list
// as an empty cell where Excel and LibreOffice show 2.
#ifndef PARLEY_EXCEL_BIFF_FORMULA_H_
#define PARLEY_EXCEL_BIFF_FORMULA_H_

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "excel/biff_text.h"

namespace parley::biff {

// An error value (#DIV/0!, #NUM!, #VALUE!, ...); cells holding one list as empty.
struct FormulaError {
  bool operator==(const FormulaError&) const = default;
};

using FormulaValue = std::variant<double, bool, std::string, FormulaError>;

// Evaluates a formula's token array (the tokens alone, without their 2-byte size) as Excel
// would. Understood: number, integer, boolean, text and error constants; + - * / ^ on numbers
// and booleans; the comparisons of two numbers or two booleans; & of text, booleans and numbers
// that print alike everywhere (at most 15 digits, no exponent); unary + and -, %, parentheses and
// spacing. A division by zero or a result that is not a finite number gives an error, and an
// error operand is passed on.
//
// nullopt when the tokens hold anything else (a reference, a name, a function, text in
// arithmetic, a comparison of mixed types or of text, or of two numbers that differ only past
// the 15 digits Excel compares) or are cut short: the value then is not known. Text constants
// are BIFF8 strings, or when biff5, bytes in the decoder's code page.
std::optional<FormulaValue> EvaluateConstantFormula(std::string_view tokens, bool biff5,
                                                    CodePageDecoder& decoder);

}  // namespace parley::biff

#endif  // PARLEY_EXCEL_BIFF_FORMULA_H_
