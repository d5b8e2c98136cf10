#include "solver/numtext.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>

#include <unistd.h>

using namespace rv;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
// Each text the program made against the text it must be.
void ExpectTexts(std::initializer_list<std::pair<std::string, const char*>> cases) {
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}
}  // namespace

TEST(NumText, GeneralFormat) {
  const struct { double v; int p, e; double from; const char* text; } cases[] = {
      {1.5e-8, 15, 0, 1e-5, "1.5E-8"},   {-1.5e-8, 15, 0, 1e-5, "-1.5E-8"}, {2e20, 15, 0, 1e-5, "2E20"},
      {-0.5, 15, 0, 1e-5, "-0.5"},       {6.67e-9, 15, 0, 1e-5, "6.67E-9"}, {1234.5, 3, 2, 1e-5, "1.23E03"},
      {1e-7, 15, 3, 1e-5, "1E-007"},     {-0.0, 15, 0, 1e-5, "0"},          {100, 15, 0, 1e-5, "100"},
      // Either side of the fixed threshold, decided on the rounded value.
      {0.00001, 15, 0, 1e-5, "0.00001"}, {0.00001, 15, 0, 1e-4, "1E-5"},    {0.000009, 15, 0, 1e-5, "9E-6"},
      {0.0000099999, 3, 0, 1e-5, "0.00001"}, {0.000099999, 3, 0, 1e-4, "0.0001"},
      // Either side of p digits before the point.
      {12345, 5, 0, 1e-5, "12345"},      {123456, 5, 0, 1e-5, "1.2346E5"},  {99999.5, 5, 0, 1e-5, "1E5"},
      {1e15, 15, 0, 1e-5, "1E15"},       {999999999999999, 15, 0, 1e-5, "999999999999999"},
      // Precision and exponent digits are clamped to 1..18 and 0..4.
      {2.5, 0, 0, 1e-5, "3"},            {0.1, 40, 0, 1e-5, "0.100000000000000006"},
      {1e20, 15, 9, 1e-5, "1E0020"},     {1e-20, 15, -3, 1e-5, "1E-20"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatGeneral(c.v, c.p, c.e, c.from), c.text) << c.v;
  ExpectTexts({{FloatToStr(1.0 / 3), "0.333333333333333"}, {FloatToStr(-2.0 / 3), "-0.666666666666667"}});
}

TEST(NumText, RoundsTheExactBinaryValueHalvesAway) {
  // 0.15, 2.675 and 1.005 lie just below the half in binary.
  ExpectTexts({{FormatExponent(12345, 4, 2), "1.235E+04"}, {FormatGeneral(12345, 4), "1.235E4"},
               {FormatGeneral(0.125, 2), "0.13"}, {FormatGeneral(2.5, 1), "3"}, {FormatGeneral(-2.5, 1), "-3"},
               {FormatFixed(12.5, 15, 0), "13"}, {FormatGeneral(0.15, 1), "0.1"}, {FormatFixed(2.675, 15, 2), "2.67"},
               {FormatFixed(1.005, 15, 2), "1.00"}, {FormatFixed(1.0000000000000002, 18, 17), "1.00000000000000022"}});

  // 17 significant digits identify every double: writing and reading back is exact.
  std::mt19937_64 rng(20240611);
  int checked = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::uint64_t bits = rng();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x)) continue;
    double back = 0;
    const std::string s = FormatGeneral(x, 17);
    ASSERT_TRUE(TryStrToFloat(s, back)) << s;
    EXPECT_EQ(back, x) << s;
    // 15 digits: within half a unit of the 15th digit.
    if (std::isnormal(x)) {
      ASSERT_TRUE(TryStrToFloat(FormatTextReal(x), back));
      EXPECT_LE(std::fabs(back - x), 5.0000001e-15 * std::fabs(x)) << FormatTextReal(x);
    }
    ++checked;
  }
  EXPECT_GT(checked, 2900);
}

TEST(NumText, ExponentAndFixedFormats) {
  ExpectTexts({{FormatExponent(0.0012, 7, 2), "1.200000E-03"}, {FormatExponent(0, 3, 2), "0.00E+00"},
               {FormatExponent(-0.0, 1, 0), "0E+0"}, {FormatExponent(-9.99, 2, 0), "-1.0E+1"}});
  // Rounding to zero drops the sign; more digits before the point than the precision give
  // the general scientific form.
  ExpectTexts({{FormatFixed(3.14159, 15, 2), "3.14"}, {FormatFixed(1.23456789, 4, 6), "1.235000"},
               {FormatFixed(0.001234, 2, 5), "0.00120"}, {FormatFixed(9.6, 15, 0), "10"},
               {FormatFixed(-0.005, 15, 2), "-0.01"}, {FormatFixed(-0.004, 15, 2), "0.00"},
               {FormatFixed(-0.0, 15, 0), "0"}, {FormatFixed(1e20, 15, 2), "1E20"}, {FormatFixed(99.99, 2, 2), "1E2"},
               {FormatFixed(99.4, 2, 2), "99.00"}});
}

TEST(NumText, TextRealAndNotFinite) {
  ExpectTexts({{FormatTextReal(1.5), " 1.50000000000000E+0000"}, {FormatTextReal(1000), " 1.00000000000000E+0003"},
               {FormatTextReal(-2.5e-7), "-2.50000000000000E-0007"}, {FormatTextReal(0), " 0.00000000000000E+0000"},
               {FormatTextReal(-0.0), " 0.00000000000000E+0000"},
               {FormatTextReal(std::numeric_limits<double>::max()), " 1.79769313486232E+0308"},
               {FormatTextReal(-std::numeric_limits<double>::denorm_min()), "-4.94065645841247E-0324"},
               {FormatTextReal(kNaN), "                    NAN"}, {FormatTextReal(kInf), "                    INF"},
               {FormatTextReal(-kInf), "                   -INF"}});

  for (double v : {kNaN, kInf, -kInf}) {
    const std::string want = std::isnan(v) ? "NAN" : (v > 0 ? "INF" : "-INF");
    for (const std::string& t : {FormatGeneral(v, 15), FloatToStr(v), FormatExponent(v, 4, 2), FormatFixed(v, 15, 2)})
      EXPECT_EQ(t, want);
  }
  ExpectTexts({{IntToStr(0), "0"}, {IntToStr(LLONG_MIN), "-9223372036854775808"}});
}

TEST(NumText, ParseFloatAcceptsAndRejects) {
  const std::string tiny = "0." + std::string(400, '0') + "1", huge = "1" + std::string(400, '0');
  const std::pair<std::string, double> good[] = {
      {" 1.5 ", 1.5}, {"+2", 2}, {"-3e-2", -0.03}, {".5", 0.5}, {"5.", 5}, {"1E5", 1e5}, {"1e+05", 1e5},
      {"\t7\t", 7}, {"00012", 12}, {"1.7976931348623157e308", std::numeric_limits<double>::max()},
      {"4.9e-324", std::numeric_limits<double>::denorm_min()}, {"1e-400", 0}, {"-1e-99999999999999999999", 0},
      {tiny, 0}, {huge + "e-390", 1e10}, {"1.79769313486232E308", std::numeric_limits<double>::max()},
      {"-2E308", -std::numeric_limits<double>::max()}};
  for (const auto& [text, want] : good) {
    double v = 42;
    EXPECT_TRUE(TryStrToFloat(text, v) && v == want) << text << " -> " << v;
  }
  // Whatever is written is read back, the ends of the range included.
  const double big = std::numeric_limits<double>::max();
  for (double x : {big, -big, std::numeric_limits<double>::min(), 3.4028234663852886e38})
    for (int p = 1; p <= 17; ++p)
      for (const std::string& t : {FormatGeneral(x, p), FormatExponent(x, p, 0), FormatTextReal(x)}) {
        double v = 0;
        EXPECT_TRUE(TryStrToFloat(t, v) && std::fabs(v / x - 1) < 1e-15 + std::pow(10.0, 1 - p)) << t;
      }
  const std::string bad[] = {"", " ", "1,,5", "1,5.0", "0x10", "inf", "nan", "-NAN", "1e", "e5", "1.2.3", "--1", "+-1",
                             "1 2", "1e400", "-1e400", "2.0000001e308", "+", ".", "1e+", "1.5f", "1_000", "\xC2\xA0" "1",
                             "1e99999999999999999999", huge, std::string("1\0", 2)};
  for (const auto& b : bad) {
    double v = 42;
    EXPECT_FALSE(TryStrToFloat(b, v) || v != 42) << b;  // v untouched on failure
  }
}

TEST(NumText, ParseIntegers) {
  int i = 0;
  long long l = 0;
  const std::pair<const char*, int> good[] = {{" -7 ", -7}, {"+0", 0}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}};
  for (const auto& [text, want] : good) EXPECT_TRUE(TryStrToInt(text, i) && i == want) << text;
  for (const char* b : {"2147483648", "-2147483649", "1.0", "1e3", "", " ", "0x1", "+-1", "12a", "-", "1 2"}) {
    i = 5;
    EXPECT_FALSE(TryStrToInt(b, i) || i != 5) << b;
  }
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", l) && l == LLONG_MIN);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", l));
}

TEST(NumText, RaisingAndDefaultVariants) {
  EXPECT_EQ(std::tuple(StrToFloat(" 2.5"), StrToInt("12")), std::tuple(2.5, 12));
  auto message = [](auto f) {
    try {
      f();
    } catch (const ConvertError& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  ExpectTexts({{message([] { StrToFloat("abc"); }), "\"abc\" не является числом"},
               {message([] { StrToFloat("1e400"); }), "\"1e400\" вне допустимых пределов"},
               {message([] { StrToInt("1e40"); }), "\"1e40\" не является целым числом"},
               {message([] { StrToInt("99999999999"); }), "\"99999999999\" вне допустимых пределов"}});
  // A huge word is quoted by its start only.
  EXPECT_LT(message([] { StrToFloat(std::string(1 << 20, 'x')); }).size(), 200u);
  EXPECT_EQ(std::tuple(StrToFloatDef("x", -1.5), StrToFloatDef("3", -1.5), StrToIntDef("3.5", 9), StrToIntDef("-4", 9)),
            std::tuple(-1.5, 3.0, 9, -4));
}

TEST(NumText, RoundAndTrunc) {
  long long r = 0;
  const struct { double v; long long round, trunc; } cases[] = {
      {2.5, 2, 2}, {3.5, 4, 3}, {-2.5, -2, -2}, {-3.5, -4, -3}, {0.5, 0, 0}, {-0.4, 0, 0}, {-2.9, -3, -2}};
  for (const auto& c : cases) {
    EXPECT_TRUE(TryRound(c.v, r) && r == c.round) << c.v;
    EXPECT_TRUE(TryTrunc(c.v, r) && r == c.trunc) << c.v;
    EXPECT_EQ(std::tuple(Round(c.v), Trunc(c.v)), std::tuple(c.round, c.trunc)) << c.v;
  }
  const double two63 = 9223372036854775808.0;
  for (double bad : {kNaN, kInf, -kInf, 1e300, -1e300, two63}) {
    r = 7;
    EXPECT_FALSE(TryRound(bad, r) || TryTrunc(bad, r) || r != 7) << bad;
    EXPECT_THROW(Round(bad), ConvertError);
    EXPECT_THROW(Trunc(bad), ConvertError);
  }
  EXPECT_TRUE(TryRound(-two63, r) && r == LLONG_MIN);

  int i = 0;
  EXPECT_FALSE(TryRound32(INT_MAX + 0.5, i));  // the even neighbour is 2^31
  EXPECT_TRUE(TryTrunc32(INT_MAX + 0.5, i) && i == INT_MAX);
  EXPECT_TRUE(TryRound32(INT_MIN - 0.5, i) && i == INT_MIN);
  EXPECT_TRUE(TryTrunc32(INT_MIN - 0.9, i) && i == INT_MIN);
  i = 3;
  EXPECT_FALSE(TryTrunc32(INT_MIN - 1.0, i) || TryRound32(INT_MIN - 1.5, i) || TryRound32(kNaN, i) ||
               TryTrunc32(1e300, i) || i != 3);
}

namespace {

// Puts a locale with a decimal comma in force for the life of the object: an installed
// one, or one built with localedef in a temporary folder.
class CommaLocale {
public:
  CommaLocale() {
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "de_DE.utf8"})
      if (Use(name)) return;
    dir_ = std::filesystem::temp_directory_path() / ("rv_locale_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    const std::string target = (dir_ / "ru_RU.UTF-8").string();
    if (std::system(("localedef -i ru_RU -f UTF-8 '" + target + "' >/dev/null 2>&1").c_str()) == -1 ||
        !std::filesystem::exists(target))
      return;
    ::setenv("LOCPATH", dir_.c_str(), 1);
    Use("ru_RU.UTF-8");
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, "C");
    if (dir_.empty()) return;
    ::unsetenv("LOCPATH");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  bool active = false;

private:
  bool Use(const char* name) {
    active = std::setlocale(LC_ALL, name) && std::strcmp(std::localeconv()->decimal_point, ",") == 0;
    return active;
  }
  std::filesystem::path dir_;
};

}  // namespace

TEST(NumText, DecimalCommaLocaleChangesNothing) {
  CommaLocale loc;
  if (!loc.active) GTEST_SKIP() << "no locale with a decimal comma";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.1f", 1.5);
  ASSERT_STREQ(buf, "1,5");  // the locale is really in force

  ExpectTexts({{FormatGeneral(1.5, 15), "1.5"}, {FormatGeneral(1.5e-8, 15), "1.5E-8"},
               {FormatExponent(12345, 4, 2), "1.235E+04"}, {FormatFixed(3.14159, 15, 2), "3.14"},
               {FormatTextReal(-2.5e-7), "-2.50000000000000E-0007"}});
  double v = 0;
  EXPECT_TRUE(TryStrToFloat("1.25", v) && v == 1.25);
  EXPECT_TRUE(TryStrToFloat("1,25", v) && v == 1.25);
  EXPECT_TRUE(TryStrToFloat("1e-400", v));  // the underflow path too
}

// A decimal comma or a typographic minus reads as its ASCII form; a number beyond the double
// range is told apart from no number.
TEST(NumText, DecimalCommaAndTypographicMinusReadAsTheirAsciiForms) {
  const double no = 42;  // refused: the value is left as it was
  const std::pair<const char*, double> read[] = {
      {"0,001", 0.001}, {" -1,5e-3 ", -1.5e-3}, {"\xE2\x88\x92" "2", -2}, {"\xE2\x80\x93" "2,5", -2.5},
      {"1e\xE2\x88\x92" "3", 1e-3}, {",5", 0.5}, {"5,", 5}, {"1,000.5", no}, {"1,2,3", no}, {"\xE2\x88\x92", no},
      {"\xE2\x88" "1", no}, {"--1", no}, {"\xE2\x88\x92-1", no}};
  for (const auto& [text, want] : read) {
    double v = no;
    EXPECT_TRUE(TryStrToFloat(text, v) == (want != no) && v == want) << text;
  }
  int i = 0;
  EXPECT_TRUE(TryStrToInt("\xE2\x88\x92" "7", i) && i == -7 && !TryStrToInt("1,5", i));
  EXPECT_EQ(std::tuple(NotNumberReason("1e400"), NotNumberReason("-1e400"), NotNumberReason("1e"), NotNumberReason(" ")),
            std::tuple(std::string(OutOfRangeReason), std::string(OutOfRangeReason), std::string("не число"), std::string("пусто")));
  EXPECT_EQ(std::tuple(NumberText("0,001"), NumberText("\xE2\x88\x92" "1"), NumberText("a,b"), NumberText("0.5")),
            std::tuple(std::string("0.001"), std::string("-1"), std::string("a,b"), std::string("0.5")));
  EXPECT_EQ(AsciiMinus(" \xE2\x88\x92 "), " - ");
}
