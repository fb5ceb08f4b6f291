#pragma once
// Literals for DOUBLE PRECISION and FLOAT values that Firebird reads back as
// the very number logged, bit for bit.
//
// Firebird 3 does not read a number literal the way a C library does. Its
// lexer keeps a literal's digits, point and exponent as one integer: more
// than 19 digits, or an integer beyond 2^63 - 1, is no literal at all. A
// literal without an exponent is an exact number, the integer converted to a
// double once and divided by ten to the power of its decimals; in dialect 1
// the literal travels as text, but the engine makes the same exact number of
// it. A literal with an exponent is read digit by digit into a double (each
// step rounded), then multiplied or divided by a power of ten that is itself
// a product of two table entries, so neither the shortest nor the
// 17-digit text of a double need come back as that double.
#include <string>

namespace NorvaneImpl {

// The double Firebird 3 makes of an unsigned number literal of a statement,
// as an exact or approximate number in either dialect, or as the value of a
// FLOAT column when single (false when the number does not fit a FLOAT).
// False for a text its lexer or its conversion refuses.
bool FirebirdReads(const std::string& literal, double& value, bool single = false);

// What a statement writes for a logged DOUBLE PRECISION value (a FLOAT when
// single), given as a number literal with an optional sign, so that Firebird
// stores exactly the number the text denotes (rounded to a FLOAT's
// precision when single): the text itself when Firebird reads it so (the
// shortest decimal form first, when that is read so, for a text of 17 or
// more significant digits), else another decimal form of
// the number that it does read so, else the sum of two literals in
// parentheses ("(0.8333333333333333 + 1.1102230246251565e-16)"), else the
// number's binary form ("(4503599627370497 * power(2, -1126))"), each after
// a minus sign for a negative number ("-0e0" for minus zero). Empty when
// the text is no finite number of the type.
std::string ExactFloatingLiteral(const std::string& logged, bool single);

}  // namespace NorvaneImpl
