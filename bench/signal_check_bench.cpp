// The run start's check of pulses a step cannot carry, swept over the length of every
// pulse kind from 0.1 to 3 steps (1.8 ps, 3000 steps, a plane wave): prints the refused
// lengths as intervals (one each is sound), the least value the message names, and the
// time of one check.
#include <chrono>
#include <cstdio>
#include <string>

#include "project/signalvalues.h"

using namespace rv;

namespace {

struct Case {
  const char* name;
  int kind;
  void (*set)(SignalParams&, double lengthSec);
};

}  // namespace

int main() {
  const double dt = 1.8e-12;
  const SignalRunUse u{dt, 3000, true, 0, 0};
  const Case cases[] = {
      {"gauss", SigGauss, [](SignalParams& p, double L) { p.GaussWidth = L; }},
      {"gauss_asym", SigGauss, [](SignalParams& p, double L) { p.GaussWidth = L, p.GaussSymm = 3; }},
      {"gauss_radio", SigGaussRadio, [](SignalParams& p, double L) { p.GaussRadioWidth = L, p.GaussRadioFreq = 5e10; }},
      {"derivative", SigBlackmanHarris, [](SignalParams& p, double L) { p.BlackmanT = L; }},
      {"radio_rise", SigSlowSin, [](SignalParams& p, double L) { p.SlowSinTime = L, p.SlowSinLong = 1e-10, p.SlowSinFreq = 5e10; }},
      {"exp", SigExp, [](SignalParams& p, double L) { p.Exp_a = 1 / L, p.Exp_b = 6 / L; }},
      {"exp_radio", SigExpRadio, [](SignalParams& p, double L) { p.ExpRadio_a = 1 / L, p.ExpRadio_b = 10 / L, p.ExpRadioFreq = 5e10; }},
  };
  for (const Case& c : cases) {
    std::string intervals;
    bool inside = false;
    double start = 0, slowest = 0;
    int holes = -1;
    for (int i = 100; i <= 3000; i += 5) {
      SignalSettings s;
      s.Kind = c.kind;
      c.set(s.Params, i * 1e-3 * dt);
      const auto t0 = std::chrono::steady_clock::now();
      const bool refused = bool(SignalValueRefusal(s, u));
      slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
      if (refused && !inside) start = i * 1e-3, inside = true, ++holes;
      if (!refused && inside) {
        intervals += " [" + std::to_string(start) + ", " + std::to_string((i - 5) * 1e-3) + "]";
        inside = false;
      }
    }
    if (inside) intervals += " [" + std::to_string(start) + ", 3]";
    std::printf("bench: case=%s refused_steps=%s intervals=%d slowest_check_seconds=%.3f\n", c.name,
                intervals.c_str(), holes + 1, slowest);
  }
  // The message at T = 0.3 step of the derivative Gaussian.
  SignalSettings s;
  s.Kind = SigBlackmanHarris;
  s.Params.BlackmanT = 0.3 * dt;
  std::printf("bench: message=%s\n", SignalValueRefusal(s, u).text.c_str());
  return 0;
}
