// The signs of a voltage source, a voltage line and a current region on a fed dipole: the
// line from the source's plus to its minus and a region counting the current that leaves
// the plus give U/I as the input impedance the source sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <complex>

#include "project/recording.h"
#include "solver/run_fixture.h"

using namespace rv;

namespace {

// A dipole of 9 one-millimetre cells of copper along Z, fed by a 50 Ohm source on the edge
// of its middle gap, in a box of 24 nodes with Mur faces; per step the source's EMF and
// what the line and the region read.
struct Dipole {
  static constexpr int C = 12;  // the gap cell, and the node of the source's edge
  SolverData d;
  RunKernels k;
  runtest::Pulse sig;
  std::vector<double> V, U, I;
  bool Run(char polarity, const tCurrentRegion& line, const tCurrentRegion& region) {
    runtest::MakeBox(d, 24, 1e-3, false);
    for (int f = 1; f <= 6; ++f) {
      d.PECFace[size_t(f)] = 0;
      d.MurFace[size_t(f)] = 1;
    }
    d.AnyPEC = d.AnyPECOrSym = 0;
    d.AnyMur = 1;
    rvtest::SetMaterial(d, 1, 5.8e7, 1);
    for (int z = C - 4; z <= C + 4; ++z)
      if (z != C) d.Space(C, C, z) = 1;
    FindObjectBounds(d);
    if (AllocFieldArrays(d) == 0) return false;
    ClearFields(d);
    ElementArrays el;
    el.VoltageSources.push_back(tVoltageSource{C, C, C, 'Z', 50, polarity});
    sig.T0 = 0.1e-9;
    sig.Tau = 0.025e-9;
    return runtest::RunSteps(d, k, el, &sig, 2000, [&](int) {
             V.push_back(sig.GetSignal(d.CurTime / double(LightSpeed)));
             U.push_back(LineVoltage(d, line));
             I.push_back(RegionCurrent(d, region));
           }).End == RunEnd::Completed;
  }
  // The spectrum of v at f, its sample n taken at n dt + shift (dt's).
  std::complex<double> At(const std::vector<double>& v, double f, double shift) const {
    std::complex<double> s = 0;
    for (size_t n = 0; n < v.size(); ++n)
      s += v[n] * std::polar(1.0, -2 * runtest::kPi * f * (double(n) + shift) * d.TimeStepSec);
    return s;
  }
};

tCurrentRegion Region(int x1, int y1, int z1, int x2, int y2, int z2, char plane = 0) {
  tCurrentRegion r;
  r.X1 = x1; r.Y1 = y1; r.Z1 = z1; r.X2 = x2; r.Y2 = y2; r.Z2 = z2; r.Plane = plane;
  return r;
}

}  // namespace

// Polarity "+" makes the lower node of the source's edge its plus, "-" the upper one: a line
// from the plus to the minus reads the EMF's sign. A region counts the current along +Z,
// so in the lower arm it reads the current leaving the plus with "-" and minus that current
// with "+". With "-", U/I is the input impedance: positive resistance over the band, and
// its resonance and resistance those of the source's own current (V - U)/R.
TEST(PortSigns, DipoleImpedanceFromLineAndRegion) {
  constexpr int C = Dipole::C;
  const tCurrentRegion lower = Region(C - 1, C - 1, C - 1, C + 1, C + 1, C - 1, 'Z');
  for (const char pol : {'+', '-'}) {
    const int plusNode = pol == '+' ? C : C + 1, minusNode = pol == '+' ? C + 1 : C;
    Dipole r;
    ASSERT_TRUE(r.Run(pol, Region(C, C, plusNode, C, C, minusNode), lower));
    const size_t peak = size_t(std::max_element(r.V.begin(), r.V.end()) - r.V.begin());
    EXPECT_GT(r.U[peak], 0.5 * r.V[peak]) << pol;
    EXPECT_EQ(r.I[peak] > 0, pol == '-') << r.I[peak];
    // U belongs half a step after I and V.
    std::vector<std::complex<double>> z, port;
    std::vector<double> f;
    for (double ff = 6e9; ff <= 20e9; ff += 0.25e9) {
      const auto u = r.At(r.U, ff, 0.5), v = r.At(r.V, ff, 0);
      f.push_back(ff);
      z.push_back(u / r.At(r.I, ff, 0));
      port.push_back(50.0 * u / (v - u));  // the current leaving the plus is (V - U)/R
    }
    for (size_t n = 0; n < f.size(); ++n) {
      EXPECT_EQ(z[n].real() > 0, pol == '-') << f[n] << " " << z[n];
      EXPECT_GT(port[n].real(), 0) << f[n] << " " << port[n];
    }
    if (pol == '+') continue;
    // Where the reactance changes sign, and the resistance there.
    auto resonance = [&](const std::vector<std::complex<double>>& w, double& R) {
      for (size_t n = 1; n < w.size(); ++n)
        if ((w[n - 1].imag() > 0) != (w[n].imag() > 0)) {
          const double a = w[n - 1].imag() / (w[n - 1].imag() - w[n].imag());
          R = w[n - 1].real() + a * (w[n].real() - w[n - 1].real());
          return f[n - 1] + a * (f[n] - f[n - 1]);
        }
      return 0.0;
    };
    double R = 0, Rport = 0;
    const double f0 = resonance(z, R), fport = resonance(port, Rport);
    ASSERT_GT(f0 * fport, 0);
    EXPECT_NEAR(f0 / fport, 1.0, 0.1) << f0 << " " << fport;
    EXPECT_NEAR(R / Rport, 1.0, 0.1) << R << " " << Rport;
  }
}
