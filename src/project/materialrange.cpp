#include "project/materialrange.h"

#include <cmath>

#include "solver/constants.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// A limit with as many digits as it takes for the number shown to lie inside the range:
// at or below an upper limit, at or above a lower one.
std::string Shown(double limit, bool upper) {
  std::string s;
  for (int p = 7; p <= 17; ++p) {
    s = FormatGeneral(limit, p);
    double v = 0;
    if (TryStrToFloat(s, v) && (upper ? v <= limit : v >= limit)) break;
  }
  return s;
}

// Whether the value of the field enters the edge averages or coefficients of such a run. The
// Debye terms do under the Debye box even for a material without a term of its own: they
// enter the edges it shares with a material that has one.
bool InRun(double tLayer::*field, const MaterialUse& use) {
  if (field == &tLayer::EpsInf || field == &tLayer::Tau) return use.polar;
  if (field == &tLayer::Mu) return use.magnetic;
  if (field == &tLayer::Density) return use.sar;
  return true;
}

}  // namespace

double LeastMu() {
  // The H coefficient of a vacuum cell, as the run sets it, over the largest float.
  return double(float(1.0L / (long double)Mu0C)) / double(FLT_MAX);
}

double LeastDensity(double cellVolume) { return cellVolume > 0 ? double(FLT_MIN) / cellVolume : 0; }

std::string MaterialRangeFault(double tLayer::*field, double v, const MaterialUse& use) {
  if (!InRun(field, use)) return "";
  const std::string floatMax = FormatGeneral(FLT_MAX, 7);
  if (!(std::fabs(v) <= MaterialSumLimit))
    return "значение вне диапазона расчета: по модулю не больше " + Shown(MaterialSumLimit, true) +
           " — на ребре сетки расчет складывает значения трех соседних ячеек 32-битным числом, а оно не "
           "больше " + floatMax;
  if (field == &tLayer::Mu && v < LeastMu())
    return "магнитная проницаемость меньше " + Shown(LeastMu(), false) +
           ": коэффициент поля H в ячейке (1/(μ0·c·μ)) больше наибольшего 32-битного числа " + floatMax +
           ", и поле H станет бесконечным";
  const double least = LeastDensity(use.cellVolume);
  if (field == &tLayer::Density && v < least)
    return "плотность меньше " + Shown(least, false) + ": масса ячейки (плотность × объем ячейки " +
           FormatGeneral(use.cellVolume, 7) + " куб.м) меньше наименьшего нормального 32-битного числа " +
           FormatGeneral(FLT_MIN, 7) +
           " кг, а отчеты SAR держат массы и SAR 32-битными числами: SAR ячеек этого материала в них не "
           "поместится";
  return "";
}

}  // namespace rv
