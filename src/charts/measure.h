// Measuring the active graph as a pulse (amplitude, 10-90 % rise, 50 % width, corrected
// for the sensor's own rise time) and the impedance of a port from a voltage and a current
// graph. Plain functions on the chart model: the window draws what they return.
#pragma once
#include <string>
#include <vector>

#include "charts/chartmodel.h"
#include "charts/progress.h"

namespace rv {

// One measurement of the points with xMin <= X <= xMax.
struct PulseMeasurement {
  double A = 0;  // the amplitude: the larger-modulus extreme (0 when both are equal)
  double L10 = 0, L50 = 0, L90 = 0;
  double t10 = 0, t50r = 0, t90 = 0, t50f = 0;
  bool found10 = false, found50r = false, found90 = false, found50f = false;
  double rise = 0, width = 0;  // rise corrected for the sensor
  // The two sensor messages; at most one is set.
  std::string message;
  std::string text;  // "Амплитуда = ...; Тф = ...; Ти = ..."
};

inline constexpr const char* kBadSensorText = "Ошибка в задании ПХ датчика!";
inline constexpr const char* kSensorTooLarge = "Недопустимое значение ПХ!\nПХ больше чем фронт!";

// sensor: the sensor field's text, already trimmed (empty: no correction; a text that is
// not a number gives the message and no correction).
PulseMeasurement MeasurePulse(const ChartSeries& g, double xMin, double xMax, const std::string& sensor);

// The impedance dialog's fields as numbers.
struct ImpedanceOptions {
  double fMin = 0, fMax = 1e9, dF = 1e6;  // Hz
  int cbTime = 0, cbFreq = 0;
  bool deleteSpectra = true;
};

// One graph's spectrum for the impedance: N samples, frequencies k·dF, k = kMin..kMin+count−1.
struct GraphSpectrumPlan {
  std::string error;  // refused: nothing is made
  long long N = 0, kMin = 0, count = 0;
};
GraphSpectrumPlan PlanGraphSpectrum(const ChartSeries& g, const ImpedanceOptions& o);

// Modulus and phase (in (−π, π], as the DFT's) of the Fourier integral of the curve as
// drawn (ExactLinearSums), time counted from 0 rather than from the record's start; X in
// the output frequency unit. A curve whose X fall is taken backwards. False when stopped.
struct GraphSpectrum {
  std::vector<double> X, modulus, phase;
};
bool ComputeGraphSpectrum(const std::vector<double>& X, const std::vector<double>& Y, const GraphSpectrumPlan& p,
                          const ImpedanceOptions& o, GraphSpectrum& out, ILongTask* task = nullptr);

// The Y title of the Z graphs, on the chart and in their files.
inline constexpr const char* kImpedanceTitle = "Z, Ом";

// Appends the four spectrum graphs (voltage modulus and phase, current modulus and phase)
// and the three Z graphs (real, imaginary, modulus; frequencies where |I| = 0 left out),
// titles the X axis with the frequency unit and the Y axis kImpedanceTitle, then closes the
// four spectra when the options say so. The active graph is kept.
void AddImpedanceGraphs(ChartModel& m, const std::string& uTitle, const GraphSpectrum& u, const std::string& iTitle,
                        const GraphSpectrum& i, const ImpedanceOptions& o);

}  // namespace rv
