#include "project/wavelength.h"

#include <cmath>
#include <numbers>

#include "solver/numtext.h"

namespace rv {

namespace {
constexpr double kLight = 3e8;
constexpr double kEps0 = 8.84e-12;
}  // namespace

std::optional<std::string> WaveFreqConvert(const std::string& text) {
  double v = 0;
  if (!TryStrToFloat(text, v)) return std::nullopt;
  return FormatGeneral(kLight / v, 3);
}

MaterialWave MaterialWavelength(const std::string& freq, const std::string& sigma,
                                const std::string& epsR, const std::string& muR) {
  double f = 0, s = 0, er = 0, mr = 0;
  if (!TryStrToFloat(freq, f) || !TryStrToFloat(sigma, s) || !TryStrToFloat(epsR, er) ||
      !TryStrToFloat(muR, mr))
    return {"Ошибка в исходных данных", "Ошибка в исходных данных"};
  const double pi = std::numbers::pi;
  const double omega = 2 * pi * f;
  const double eps = er * kEps0, mu = mr * 4 * pi * 1e-7;
  const double beta =
      omega * std::sqrt((mu * eps / 2) * (std::sqrt(1 + s * s / (omega * omega * eps * eps)) + 1));
  const double lambda = 2 * pi / beta;
  return {FormatGeneral(lambda, 4), FormatGeneral(lambda / 10, 4)};
}

}  // namespace rv
