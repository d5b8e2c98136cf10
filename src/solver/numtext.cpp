#include "solver/numtext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "solver/textutils.h"

namespace rv {

namespace {

constexpr int kMaxPrecision = 18;
// Digits taken in the first pass: far more than a double carries, so that only a tail of
// "5000..." at this length leaves the rounding direction open.
constexpr int kProbeDigits = 41;
// Enough for the exact expansion of any double (at most 767 significant digits).
constexpr int kExactDigits = 800;

// Significant decimal digits of a positive finite value: value = d[0].d[1]d[2]... * 10^exp.
struct Digits {
  std::string d;
  int exp = 0;
};

// std::to_chars gives the digits correctly rounded from the exact binary value and never
// looks at the locale.
Digits SciDigits(double a, int n) {
  char buf[kExactDigits + 32];
  const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, n - 1);
  Digits out;
  const char* p = buf;
  for (; p < res.ptr && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') out.d.push_back(*p);
  if (p < res.ptr) ++p;
  bool neg = false;
  if (p < res.ptr && (*p == '-' || *p == '+')) neg = *p++ == '-';
  int e = 0;
  for (; p < res.ptr; ++p) e = e * 10 + (*p - '0');
  out.exp = neg ? -e : e;
  return out;
}

struct Rounded {
  bool zero = true;
  std::string d;  // first digit non-zero unless zero
  int exp = 0;
};

// Rounds a (> 0, finite; probe = SciDigits(a, kProbeDigits)) to k significant digits
// counted from probe's first digit, halves away from zero. k <= 0 rounds at a place left
// of the first digit: the result is then 0 or a single "1" one place up.
Rounded RoundDigits(double a, const Digits& probe, int k) {
  Rounded r;
  if (k < 0) return r;
  const std::string& s = probe.d;
  const auto uk = static_cast<std::size_t>(k);
  bool up;
  if (s[uk] != '5') {
    up = s[uk] > '5';
  } else if (s.find_first_not_of('0', uk + 1) != std::string::npos) {
    up = true;
  } else {
    // Either an exact half or the probe rounded a tail of 4999... up to it.
    up = SciDigits(a, kExactDigits).d[uk] >= '5';
  }
  r.d = s.substr(0, uk);
  r.exp = probe.exp;
  if (up) {
    std::size_t i = r.d.size();
    while (i > 0 && r.d[i - 1] == '9') r.d[--i] = '0';
    if (i > 0) {
      ++r.d[i - 1];
    } else {
      r.d.insert(r.d.begin(), '1');
      if (r.d.size() > 1) r.d.pop_back();
      ++r.exp;
    }
  }
  r.zero = r.d.empty();
  return r;
}

Rounded RoundSignificant(double a, int p) { return RoundDigits(a, SciDigits(a, kProbeDigits), p); }

std::string NotFinite(double v) {
  if (std::isnan(v)) return "NAN";
  return v > 0 ? "INF" : "-INF";
}

std::string ExponentText(int e, int digits, bool plusSign) {
  std::string s = e < 0 ? "-" : (plusSign ? "+" : "");
  const std::string n = std::to_string(e < 0 ? -e : e);
  if (static_cast<int>(n.size()) < digits) s.append(static_cast<std::size_t>(digits) - n.size(), '0');
  return s + n;
}

std::string StripZeros(std::string d) {
  const auto last = d.find_last_not_of('0');
  d.erase(last == std::string::npos ? 1 : last + 1);
  return d;
}

// The digit standing at the place 10^q.
char DigitAt(const Rounded& r, int q) {
  const int i = r.exp - q;
  return i >= 0 && i < static_cast<int>(r.d.size()) ? r.d[static_cast<std::size_t>(i)] : '0';
}

// Plain decimal notation: `decimals` places after the point, or as many as the digits
// need when decimals < 0.
std::string PlainText(const Rounded& r, int decimals) {
  std::string s;
  if (r.exp < 0)
    s.push_back('0');
  else
    for (int q = r.exp; q >= 0; --q) s.push_back(DigitAt(r, q));
  const int last = decimals >= 0 ? -decimals : std::min(0, r.exp - static_cast<int>(r.d.size()) + 1);
  if (last < 0) {
    s.push_back('.');
    for (int q = -1; q >= last; --q) s.push_back(DigitAt(r, q));
  }
  return s;
}

std::string ScientificText(const std::string& d, int exp, int expDigits, bool plusSign) {
  std::string s(1, d[0]);
  if (d.size() > 1) {
    s.push_back('.');
    s.append(d, 1);
  }
  return s + "E" + ExponentText(exp, expDigits, plusSign);
}

std::string WithSign(char sign, std::string body) {
  if (sign) body.insert(body.begin(), sign);
  return body;
}

double ValueOf(const Rounded& r) {
  const std::string t = r.d + "e" + std::to_string(r.exp - static_cast<int>(r.d.size()) + 1);
  double v = 0;
  std::from_chars(t.data(), t.data() + t.size(), v);
  return v;
}

std::string_view TrimBlanks(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

enum class Parse { Ok, Syntax, Range };

// The forms a user types or pastes for the plain ASCII ones: the decimal comma for the point,
// and the typographic minus (U+2212) and the en dash (U+2013) for "-". Only a text holding
// one of them is copied.
constexpr std::string_view kMinusSign = "\xE2\x88\x92", kEnDash = "\xE2\x80\x93";

bool NeedsAscii(std::string_view s) {
  return s.find(',') != std::string_view::npos || s.find('\xE2') != std::string_view::npos;
}

std::string AsciiForm(std::string_view s, bool comma = true) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const std::string_view rest = s.substr(i);
    if (rest.substr(0, 3) == kMinusSign || rest.substr(0, 3) == kEnDash) {
      out.push_back('-');
      i += 2;
    } else {
      out.push_back(comma && s[i] == ',' ? '.' : s[i]);
    }
  }
  return out;
}

Parse ParseFloatAscii(std::string_view text, double& v);

Parse ParseFloat(std::string_view text, double& v) {
  if (!NeedsAscii(text)) return ParseFloatAscii(text, v);
  const std::string a = AsciiForm(text);
  return ParseFloatAscii(a, v);
}

Parse ParseFloatAscii(std::string_view text, double& v) {
  const std::string_view s = TrimBlanks(text);
  const std::size_t n = s.size();
  std::size_t i = 0;
  bool neg = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  const std::size_t mant = i;
  std::size_t digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  const std::size_t intEnd = i;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigit(s[i])) ++i, ++digits;
  }
  const std::size_t mantEnd = i;
  if (digits == 0) return Parse::Syntax;
  long long exp10 = 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool expNeg = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) expNeg = s[i++] == '-';
    std::size_t expDigits = 0;
    for (; i < n && IsDigit(s[i]); ++i, ++expDigits)
      exp10 = std::min(exp10 * 10 + (s[i] - '0'), 1'000'000'000'000LL);
    if (expDigits == 0) return Parse::Syntax;
    if (expNeg) exp10 = -exp10;
  }
  if (i != n) return Parse::Syntax;

  double x = 0;
  const auto res = std::from_chars(s.data() + mant, s.data() + n, x, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Too small means zero, too large fails: the decimal exponent of the first non-zero
    // digit tells which.
    const std::size_t first = s.find_first_not_of("0.", mant);
    x = 0;
    if (first < mantEnd) {
      const auto f = static_cast<long long>(first), e = static_cast<long long>(intEnd);
      const long long place = first < intEnd ? e - f - 1 : e - f;
      if (place + exp10 >= 0) {
        // The largest double written with fewer digits rounds up past itself (to
        // 1.79769313486232E308 with 15, 2E308 with one): such a text reads as the largest
        // double, so whatever the program writes it reads back.
        long double wide = 0;
        const auto w = std::from_chars(s.data() + mant, s.data() + n, wide, std::chars_format::general);
        if (w.ec != std::errc() || !(wide <= 2e308L)) return Parse::Range;
        x = std::numeric_limits<double>::max();
      }
    }
  } else if (res.ec != std::errc() || res.ptr != s.data() + n) {
    return Parse::Syntax;
  }
  v = neg ? -x : x;
  return Parse::Ok;
}

Parse ParseInt64Ascii(std::string_view text, long long& v);

Parse ParseInt64(std::string_view text, long long& v) {
  if (text.find('\xE2') == std::string_view::npos) return ParseInt64Ascii(text, v);
  const std::string a = AsciiForm(text);
  return a.find(',') == std::string::npos ? ParseInt64Ascii(a, v) : Parse::Syntax;
}

Parse ParseInt64Ascii(std::string_view text, long long& v) {
  const std::string_view s = TrimBlanks(text);
  std::size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  if (i == s.size() || !std::all_of(s.begin() + static_cast<std::ptrdiff_t>(i), s.end(), IsDigit))
    return Parse::Syntax;
  // from_chars takes the minus itself, so that the most negative value parses.
  const char* from = s.data() + (neg ? i - 1 : i);
  long long x = 0;
  const auto res = std::from_chars(from, s.data() + s.size(), x);
  if (res.ec == std::errc::result_out_of_range) return Parse::Range;
  if (res.ec != std::errc() || res.ptr != s.data() + s.size()) return Parse::Syntax;
  v = x;
  return Parse::Ok;
}

Parse ParseInt(std::string_view s, int& v) {
  long long x = 0;
  const Parse r = ParseInt64(s, x);
  if (r != Parse::Ok) return r;
  if (x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max()) return Parse::Range;
  v = static_cast<int>(x);
  return Parse::Ok;
}

[[noreturn]] void ThrowParse(Parse r, std::string_view s, const char* what) {
  const std::string q = "\"" + TextPiece(s) + "\"";
  throw ConvertError(r == Parse::Range ? q + " " + OutOfRangeReason : q + " не является " + what);
}

[[noreturn]] void ThrowRange(double v) {
  throw ConvertError("Число " + FloatToStr(v) + " вне диапазона целых чисел");
}

// 2^63 and 2^31 are exact doubles; the checks are made on the already rounded value.
constexpr double kTwo63 = 9223372036854775808.0;

bool Fits64(double r) { return r >= -kTwo63 && r < kTwo63; }
bool Fits32(double r) { return r >= -2147483648.0 && r <= 2147483647.0; }

}  // namespace

std::string FormatGeneral(double v, int p, int expDigits, double fixedFrom) {
  p = std::clamp(p, 1, kMaxPrecision);
  expDigits = std::clamp(expDigits, 0, 4);
  if (!std::isfinite(v)) return NotFinite(v);
  if (v == 0) return "0";
  Rounded r = RoundSignificant(std::fabs(v), p);
  const bool plain = r.exp < p && ValueOf(r) >= fixedFrom;
  r.d = StripZeros(r.d);
  return WithSign(v < 0 ? '-' : 0, plain ? PlainText(r, -1) : ScientificText(r.d, r.exp, expDigits, false));
}

std::string FloatToStr(double v) { return FormatGeneral(v, 15, 0); }

std::string FormatExponent(double v, int p, int expDigits) {
  p = std::clamp(p, 1, kMaxPrecision);
  expDigits = std::clamp(expDigits, 0, 4);
  if (!std::isfinite(v)) return NotFinite(v);
  if (v == 0) return ScientificText(std::string(static_cast<std::size_t>(p), '0'), 0, expDigits, true);
  const Rounded r = RoundSignificant(std::fabs(v), p);
  return WithSign(v < 0 ? '-' : 0, ScientificText(r.d, r.exp, expDigits, true));
}

std::string FormatFixed(double v, int p, int decimals) {
  p = std::clamp(p, 1, kMaxPrecision);
  decimals = std::clamp(decimals, 0, kMaxPrecision);  // as many as the precision can fill
  if (!std::isfinite(v)) return NotFinite(v);
  Rounded r;
  if (v != 0) {
    const double a = std::fabs(v);
    const Digits probe = SciDigits(a, kProbeDigits);
    r = RoundDigits(a, probe, std::min(p, probe.exp + 1 + decimals));
    if (!r.zero && r.exp + 1 > p) return FormatGeneral(v, p);
  }
  // A value that rounds to zero is written without a sign: "-0.00" would read as a
  // negative value that is not there.
  if (r.zero) return PlainText(Rounded{false, "0", 0}, decimals);
  return WithSign(v < 0 ? '-' : 0, PlainText(r, decimals));
}

std::string FormatTextReal(double v) {
  if (!std::isfinite(v)) {
    const std::string t = NotFinite(v);
    return std::string(23 - t.size(), ' ') + t;
  }
  return WithSign(v < 0 ? '-' : ' ', FormatExponent(std::fabs(v), 15, 4));
}

std::string IntToStr(long long v) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

bool TryStrToFloat(std::string_view s, double& v) { return ParseFloat(s, v) == Parse::Ok; }
std::string AsciiMinus(std::string_view s) { return AsciiForm(s, false); }
std::string NumberText(std::string_view s) {
  double v = 0;
  return NeedsAscii(s) && TryStrToFloat(s, v) ? AsciiForm(s) : std::string(s);
}
bool TryStrToInt(std::string_view s, int& v) { return ParseInt(s, v) == Parse::Ok; }

std::string NotNumberReason(const std::string& s) {
  if (s.find_first_not_of(" \t") == std::string::npos) return "пусто";
  double v = 0;
  if (ParseFloat(s, v) == Parse::Range) return OutOfRangeReason;
  return "не число";
}

std::string FieldRefusal(const std::string& what, const std::string& label, const std::string& text,
                         const std::string& reason, const std::string& hint) {
  return what + ": «" + label + "» = \"" + text + "\" — " + reason + ". Введите " + hint + ".";
}
bool TryStrToInt64(std::string_view s, long long& v) { return ParseInt64(s, v) == Parse::Ok; }

double StrToFloat(std::string_view s) {
  double v = 0;
  const Parse r = ParseFloat(s, v);
  if (r != Parse::Ok) ThrowParse(r, s, "числом");
  return v;
}

int StrToInt(std::string_view s) {
  int v = 0;
  const Parse r = ParseInt(s, v);
  if (r != Parse::Ok) ThrowParse(r, s, "целым числом");
  return v;
}

double StrToFloatDef(std::string_view s, double def) {
  double v = def;
  return TryStrToFloat(s, v) ? v : def;
}

int StrToIntDef(std::string_view s, int def) {
  int v = def;
  return TryStrToInt(s, v) ? v : def;
}

bool TryRound(double v, long long& out) {
  if (!std::isfinite(v)) return false;
  const double r = std::nearbyint(v);
  if (!Fits64(r)) return false;
  out = static_cast<long long>(r);
  return true;
}

bool TryTrunc(double v, long long& out) {
  if (!std::isfinite(v)) return false;
  const double r = std::trunc(v);
  if (!Fits64(r)) return false;
  out = static_cast<long long>(r);
  return true;
}

bool TryRound32(double v, int& out) {
  if (!std::isfinite(v)) return false;
  const double r = std::nearbyint(v);
  if (!Fits32(r)) return false;
  out = static_cast<int>(r);
  return true;
}

bool TryTrunc32(double v, int& out) {
  if (!std::isfinite(v)) return false;
  const double r = std::trunc(v);
  if (!Fits32(r)) return false;
  out = static_cast<int>(r);
  return true;
}

long long Round(double v) {
  long long r = 0;
  if (!TryRound(v, r)) ThrowRange(v);
  return r;
}

long long Trunc(double v) {
  long long r = 0;
  if (!TryTrunc(v, r)) ThrowRange(v);
  return r;
}

}  // namespace rv
