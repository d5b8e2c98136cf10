// The run start's check of pulses a step cannot carry, swept over the length of every
// pulse kind from 0.1 to 3 steps (1.8 ps, 3000 steps, a plane wave): prints the refused
// lengths as intervals (one each is sound), the least value the message names, and the
// time of one check.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
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
      {"radio_short", SigSlowSin, [](SignalParams& p, double L) { p.SlowSinTime = L / 4, p.SlowSinLong = L, p.SlowSinFreq = 5e10; }},
      {"exp_sharp_front", SigExp, [](SignalParams& p, double L) { p.Exp_a = 0.1 / L, p.Exp_b = 1e16; }},
      {"exp", SigExp, [](SignalParams& p, double L) { p.Exp_a = 1 / L, p.Exp_b = 6 / L; }},
      // The carriers: a half period of L.
      {"sine", SigSin, [](SignalParams& p, double L) { p.SinFreq = 0.5 / L; }},
      {"sinc", SigSinXdivX, [](SignalParams& p, double L) { p.SinXdivXF = 1 / L; }},
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
  // A signal file of 100,000 samples at 0.001 ns (a run's curve) under a run of 50,000
  // steps: the time of the check that looks at it window by window.
  {
    auto table = std::make_shared<SignalTable>();
    table->Times.push_back(0), table->Values.push_back(0);
    for (int i = 1; i <= 100000; ++i) {
      const double t = i * 1e-12;
      table->Times.push_back(float(t));
      table->Values.push_back(float(std::sin(t * 3e10) * std::exp(-t / 3e-8)));
    }
    SignalSettings s;
    s.Kind = SigFromFile;
    s.FileLoaded = true;
    s.File = table;
    s.FileName = "curve";
    const auto t0 = std::chrono::steady_clock::now();
    const bool refused = bool(SignalValueRefusal(s, {dt, 50000, true, 0, 0}));
    std::printf("bench: case=file_100000 refused=%d check_seconds=%.3f\n", int(refused),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  // The least values the messages name: a double exponential with a sharp front (b = 1e16)
  // and a Gaussian of 0.5 ps, at a step of 1 ps.
  {
    SignalSettings s;
    s.Kind = SigExp;
    s.Params.Exp_a = 1e12, s.Params.Exp_b = 1e16;
    std::printf("bench: message=%s\n", SignalValueRefusal(s, {1e-12, 3000, true, 0, 0}).text.c_str());
    s.Kind = SigGauss;
    s.Params.GaussWidth = 0.5e-12;
    std::printf("bench: message=%s\n", SignalValueRefusal(s, {1e-12, 3000, true, 0, 0}).text.c_str());
  }
  // A 5 V spike 0.2 ps wide on a 1 V Gaussian of 20 ps sampled every 0.1 ps, between two
  // steps of 1 ps and on one.
  for (const int spike : {605, 600}) {
    auto table = std::make_shared<SignalTable>();
    table->Times.push_back(0), table->Values.push_back(0);
    for (int i = 1; i <= 1200; ++i) {
      const double t = i * 1e-13, x = (t - 6e-11) / 2e-11;
      table->Times.push_back(float(t));
      table->Values.push_back(float(std::exp(-x * x) + (i == spike ? 5 : 0)));
    }
    SignalSettings s;
    s.Kind = SigFromFile;
    s.FileLoaded = true;
    s.File = table;
    s.FileName = "spike";
    std::printf("bench: message=%s\n", SignalValueRefusal(s, {1e-12, 3000, true, 0, 0}).text.c_str());
  }
  // The message at T = 0.3 step of the derivative Gaussian.
  SignalSettings s;
  s.Kind = SigBlackmanHarris;
  s.Params.BlackmanT = 0.3 * dt;
  std::printf("bench: message=%s\n", SignalValueRefusal(s, u).text.c_str());
  return 0;
}
