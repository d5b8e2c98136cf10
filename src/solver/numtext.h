// Numbers as text: one place for every number the program writes or reads.
// The decimal separator is always "."; nothing here depends on the locale.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rv {

// Failure of a strict text-to-number conversion or of a range-checked rounding.
class ConvertError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Rounding of the decimal digits, as the program's number texts do everywhere: the exact
// binary value is rounded to the wanted digits with halves away from zero
// (12345 at 4 digits is 1.235E+04).

// General format, precision p (1..18) significant digits, at least `expDigits` (0..4)
// exponent digits. Plain decimal notation, without trailing zeros or a bare point, when the
// value is 0 or when, after rounding, it has at most p digits before the point and its
// magnitude is at least `fixedFrom`; otherwise scientific: one digit, the point and the
// remaining digits without trailing zeros, "E", "-" for a negative exponent (no sign for a
// positive one), the exponent padded with zeros to expDigits.
// NAN, INF, -INF for values that are not finite.
// The default threshold is 0.00001; the chart viewer's curve files use 1e-4.
std::string FormatGeneral(double v, int p, int expDigits = 0, double fixedFrom = 1e-5);
// FormatGeneral(v, 15, 0): the default text of a floating value (INI files, fields).
std::string FloatToStr(double v);
// Exponent format: scientific with p-1 digits after the point, "E", the exponent's sign
// always ("+" or "-"), at least expDigits exponent digits. 1000 at p=4, d=2 -> 1.000E+03.
std::string FormatExponent(double v, int p, int expDigits);
// Fixed format: exactly `decimals` decimals (value rounded to at most p significant
// digits, then padded with zeros); when more than p digits stand before the point, the
// general scientific form with precision p is written instead.
std::string FormatFixed(double v, int p, int decimals);
// The 23-character real of the curve files: a blank or "-", one digit, ".", 14 digits, "E",
// the exponent's sign and four digits (" 1.50000000000000E+0000"). Not finite values are
// written NAN, INF, -INF right-aligned in the same 23 characters.
std::string FormatTextReal(double v);
// Whole numbers in plain decimal.
std::string IntToStr(long long v);

// Strict parsing: blanks (spaces, tabs) around are ignored; an optional sign; digits with an
// optional "." (".5" and "5." are accepted); an optional exponent E/e with optional sign and
// at least one digit. A decimal comma reads as the point, and the typographic minus (U+2212)
// and the en dash (U+2013) as "-", wherever a number is read. No hex, no words (inf, nan), no
// thousands separators. A value outside the double range fails; one too small for a double
// reads as 0. Returns false on failure, v untouched.
// Readers whose fields are separated by commas split the line first.
// Whole numbers take the same minus signs, never a comma.
bool TryStrToFloat(std::string_view s, double& v);
// The text with every typographic minus or en dash as "-" (for a sign read alone).
std::string AsciiMinus(std::string_view s);
// A number text as a save writes it: one that reads with a comma or a typographic minus
// with the point and "-" instead; any other text unchanged.
std::string NumberText(std::string_view s);
// Whole numbers: blanks around, optional sign, decimal digits only, must fit in 32 bits.
bool TryStrToInt(std::string_view s, int& v);
// Why a number is refused for being too large, in every message that refuses one.
inline constexpr const char* OutOfRangeReason = "вне допустимых пределов";
// Why a text that TryStrToFloat refuses is no number, for a message: "пусто", "не число", or
// OutOfRangeReason for a number beyond the double range (1e400).
std::string NotNumberReason(const std::string& s);
// The refusal of a dialog's field: what + ": «" + label + "» = \"" + text + "\" — " + reason +
// ". Введите " + hint + ".".
std::string FieldRefusal(const std::string& what, const std::string& label, const std::string& text,
                         const std::string& reason, const std::string& hint);
bool TryStrToInt64(std::string_view s, long long& v);
// Raising variants: throw ConvertError with a message for the user.
double StrToFloat(std::string_view s);
int StrToInt(std::string_view s);
// Default on failure.
double StrToFloatDef(std::string_view s, double def);
int StrToIntDef(std::string_view s, int def);

// Round: halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Trunc: toward zero. Both check the range first: NaN, infinities and values outside the
// target type fail (Try* return false; the others throw ConvertError).
bool TryRound(double v, long long& out);
bool TryTrunc(double v, long long& out);
bool TryRound32(double v, int& out);
bool TryTrunc32(double v, int& out);
long long Round(double v);
long long Trunc(double v);

}  // namespace rv
