// Version captions and the wavelength calculator's arithmetic.
#include <gtest/gtest.h>

#include "project/versiontext.h"
#include "project/wavelength.h"

namespace rv {
namespace {

TEST(VersionLabels, FourPartVersionAndNone) {
  const VersionLabels v = MakeVersionLabels("2.0.0.4"), none = MakeVersionLabels("");
  EXPECT_EQ(std::vector<std::string>({v.splashCaption, v.aboutVersion, v.release, v.versionText,
                                      MakeVersionLabels("10.21.3.400").versionText}),
            std::vector<std::string>({"Ravelin - 2.0", "Ravelin - 2.0", "Release 0.4", "Ravelin - 2.0 - 0.4",
                                      "Ravelin - 10.21 - 3.400"}));
  EXPECT_EQ(std::vector<std::string>({none.splashCaption, none.aboutVersion, none.versionText}),
            std::vector<std::string>({"Ravelin", "Версия 1.0", ""}));
}

TEST(Wavelength, ConversionsAndMaterial) {
  for (auto [in, out] : {std::pair{"1850e6", "0.162"}, {"0.162", "1.85E9"}, {" 3e8 ", "1"}, {"0", "INF"}})
    EXPECT_EQ(WaveFreqConvert(in), out) << in;
  EXPECT_FALSE(WaveFreqConvert("abc"));

  const MaterialWave w = MaterialWavelength("1850e6", "2.1", "65", "1");
  EXPECT_EQ(std::tuple(w.wavelength, w.maxStep), std::tuple("0.01988", "0.001988"));

  // Without losses: the free-space wave (0.162 m) shortened by sqrt(eps mu).
  EXPECT_EQ(std::tuple(MaterialWavelength("1850e6", "0", "65", "1").wavelength,
                       MaterialWavelength("1850e6", "0", "65", "1.5").wavelength), std::tuple("0.02012", "0.01642"));

  for (auto bad : {MaterialWavelength("abc", "2.1", "65", "1"),
                   MaterialWavelength("1850e6", "x", "65", "1"),
                   MaterialWavelength("1850e6", "2.1", "", "1"),
                   MaterialWavelength("1850e6", "2.1", "65", "1;5")})
    EXPECT_EQ(std::tuple(bad.wavelength, bad.maxStep), std::tuple("Ошибка в исходных данных", "Ошибка в исходных данных"));
  // A zero frequency is no error: the formatter shows what the division gives.
  EXPECT_NE(MaterialWavelength("0", "2.1", "65", "1").wavelength, "Ошибка в исходных данных");
}

}  // namespace
}  // namespace rv
