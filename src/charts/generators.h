// Model and test curves of the chart's "Новый" menu: the counting-error table, the
// three-exponential pulse, Debye models of water and of a polar dielectric, the delay of a
// ground-reflected signal and the Sin(X)/X test curve. Each counts its points first and
// refuses, with a message, a step that would never end or more than kMaxGeneratedPoints.
#pragma once
#include <string>
#include <vector>

namespace rv {

inline constexpr long long kMaxGeneratedPoints = 10'000'000;

struct GeneratedCurve {
  std::string error;  // refused: nothing is made
  std::string title, xTitle, yTitle;
  std::vector<double> X, Y;
};

// "Прямоугольный импульс": the counting error against speed.
GeneratedCurve CountingErrorTable();

struct ThreeExpParams {
  double A = 1, K1 = 0.5, K2 = 0.5, K3 = 1, T1 = 0.0000001e9, T2 = 0.000000045e9, T3 = 0.22e9;
  double tEnd = 1e-7, dt = 1e-9;  // seconds
};
// A·(K1·e^(−T1·t) + K2·e^(−T2·t) − K3·e^(−T3·t)), X in ns; past 1e-7 s the step is 20·dt.
GeneratedCurve ThreeExpPulse(const ThreeExpParams& p);

// Debye water (εs 81, ε∞ 1.8, τ 9.4 ps): the real part, and the imaginary part
// (conductivity = false) or the conductivity ε0·ω·Im ε in S/m.
GeneratedCurve WaterRe();
GeneratedCurve WaterIm(bool conductivity);

struct PolarParams {
  double epsS = 120, epsInf = 15, tau = 6.67e-9, sigma = 0.64, fMaxGHz = 0.5;
  // The fields as typed, for the titles.
  std::string textS = "120", textInf = "15", textTau = "6.67e-9", textSigma = "0.64";
};
// The permittivity (conductivity = false) or the conductivity of a polar dielectric.
GeneratedCurve PolarDielectric(const PolarParams& p, bool conductivity);

// Delay (ns) of the ground-reflected signal against the observer's height h = 0, 1, ..,
// H2 m; equalAngles: the mirror rule, else the reflection centre under the source.
GeneratedCurve ReflectionDelay(double H1, double H2, double L, bool equalAngles, const std::string& textH1,
                               const std::string& textL);

// sin(u)/u with u = π·20000·(x − 0.005), x = 0, 1e-5, .. while below 0.01.
GeneratedCurve SinXX();

}  // namespace rv
