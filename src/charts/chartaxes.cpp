#include "charts/chartaxes.h"

#include <algorithm>
#include <cmath>

#include "charts/curvefile.h"
#include "solver/numtext.h"

namespace rv {

std::string AxisLabelText(double v, double step) {
  // Rounding leaves a tick meant as 0 a few units of the step's last digit off it; on an
  // axis of tiny values (a spectrum of 1e-44 V·s) the ticks themselves are that small.
  const double zero = step > 0 ? std::min(1e-15, 1e-9 * step) : 1e-15;
  if (v > -zero && v < zero) return "0";
  return ChartNumber(v, 10, 0);
}

double LeftAxisStep(double axisMin, double axisMax, int plotHeightPx, int labelFontHeightPx) {
  const double r = std::fabs(axisMax - axisMin);
  if (!std::isfinite(r)) return 0;
  // The decimal exponent as exponent notation shows it (9.99...96 rounds up to 1E+01).
  const std::string e = FormatExponent(r, 15, 1);
  const std::size_t p = e.find('E');
  int ex = 0;
  if (p == std::string::npos || !TryStrToInt(e.substr(p + 1), ex)) return 0;
  double step = 0.25 * std::pow(10.0, ex);
  long long fh = 0;
  if (!TryRound(std::fabs(double(labelFontHeightPx)), fh) || fh < 1) fh = 1;
  long long n = plotHeightPx / fh;
  if (n < 1) n = 1;
  if (n > 10) n = 10;
  while (r / step > double(n)) step *= 2;
  return step;
}

std::string ChartCaption(int w, int h) {
  return "График " + IntToStr(w) + "x" + IntToStr(h) + " (" + FormatFixed(w / 37.8, 3, 1) + "x" +
         FormatFixed(h / 37.8, 3, 1) + ") см";
}

}  // namespace rv
