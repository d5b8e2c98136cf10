// Version captions and the wavelength calculator's arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "project/versiontext.h"
#include "project/wavelength.h"
#include "solver/numtext.h"

namespace rv {
namespace {

TEST(VersionLabels, FourPartVersionAndNone) {
  const VersionLabels v = MakeVersionLabels("2.0.0.4");
  EXPECT_EQ(v.splashCaption, "Ravelin - 2.0");
  EXPECT_EQ(v.aboutVersion, "Ravelin - 2.0");
  EXPECT_EQ(v.release, "Release 0.4");
  EXPECT_EQ(v.versionText, "Ravelin - 2.0 - 0.4");
  EXPECT_EQ(MakeVersionLabels("10.21.3.400").versionText, "Ravelin - 10.21 - 3.400");

  const VersionLabels none = MakeVersionLabels("");
  EXPECT_EQ(none.splashCaption, "Ravelin");
  EXPECT_EQ(none.aboutVersion, "Версия 1.0");
  EXPECT_EQ(none.versionText, "");
}

TEST(Wavelength, ConversionsAndMaterial) {
  EXPECT_EQ(WaveFreqConvert("1850e6"), "0.162");
  EXPECT_EQ(WaveFreqConvert("0.162"), "1.85E9");
  EXPECT_EQ(WaveFreqConvert(" 3e8 "), "1");
  EXPECT_FALSE(WaveFreqConvert("abc"));
  EXPECT_EQ(WaveFreqConvert("0"), "INF");

  const MaterialWave w = MaterialWavelength("1850e6", "2.1", "65", "1");
  EXPECT_EQ(w.wavelength, "0.01988");
  EXPECT_EQ(w.maxStep, "0.001988");

  // Without losses the wave is the free-space one shortened by sqrt(eps mu), with the
  // calculator's own vacuum constants.
  const double mu0 = 4 * std::numbers::pi * 1e-7, eps0 = 8.84e-12, f = 1850e6;
  const double lossless = 1 / (f * std::sqrt(mu0 * eps0 * 65 * 1.5));
  EXPECT_EQ(MaterialWavelength("1850e6", "0", "65", "1.5").wavelength, FormatGeneral(lossless, 4));
  EXPECT_EQ(MaterialWavelength("1850e6", "0", "65", "1").wavelength, "0.02012");

  for (auto bad : {MaterialWavelength("abc", "2.1", "65", "1"),
                   MaterialWavelength("1850e6", "x", "65", "1"),
                   MaterialWavelength("1850e6", "2.1", "", "1"),
                   MaterialWavelength("1850e6", "2.1", "65", "1,5")}) {
    EXPECT_EQ(bad.wavelength, "Ошибка в исходных данных");
    EXPECT_EQ(bad.maxStep, "Ошибка в исходных данных");
  }
  // A zero frequency is no error: the formatter shows what the division gives.
  const MaterialWave zero = MaterialWavelength("0", "2.1", "65", "1");
  EXPECT_NE(zero.wavelength, "Ошибка в исходных данных");
}

}  // namespace
}  // namespace rv
