// The plane-wave sources' work per step against the bare Yee step of the same grid and
// threads, timed alternately in the same run: the TF-SF corrections of H and E on a box 4
// cells inside the grid, and the external field's three injections on six PML faces.
//   plane_wave_bench [--sizes 200] [--threads 1,8] [--steps S] [--repeat R]
//                    [--case oblique|axial|external]
// Cases: TF-SF oblique (60, 30), TF-SF along x (90, 90), external field at 30 degrees; the
// signal is the program's Gaussian pulse, asked past its front everywhere.
#include <cstdio>
#include <string>

#include "bench_box.h"
#include "bench_common.h"
#include "boundaries/externalfield.h"
#include "boundaries/tfsf.h"
#include "project/signalsource.h"
#include "solver/solverdata.h"

using namespace rv;
using namespace rv::bench;

namespace {

struct Case {
  const char* key;
  const char* name;
  float theta, phi;  // TF-SF angles; the external field's angle is theta
};

}  // namespace

int main(int argc, char** argv) {
  Options o = ParseOptions(argc, argv, {200});
  SignalSettings gs;
  gs.Kind = SigGauss;
  gs.Params.GaussWidth = 1e-9;
  SignalSource signal(gs);
  const Case cases[] = {{"oblique", "tfsf", 60, 30}, {"axial", "tfsf", 90, 90}, {"external", "external", 30, 0}};
  std::string only;
  for (int a = 1; a + 1 < argc; a += 2)
    if (!std::strcmp(argv[a], "--case")) only = argv[a + 1];
  for (int n : o.sizes) {
    SolverData d;
    d.CourantX = d.CourantY = d.CourantZ = 0.5;
    for (int f = 1; f <= 6; ++f) d.PMLFace[size_t(f)] = 1;
    d.AnyPML = 1;
    if (!VacuumBox(d, n)) {
      std::printf("bench: case=plane_wave N=%d error=memory\n", n);
      continue;
    }
    ClearFields(d);
    d.CurTime = 4.0 * n * d.Dx;  // past the front at every point of the grid
    for (const Case& c : cases) {
      if (!only.empty() && only != c.key) continue;
      const bool tfsf = std::string(c.name) == "tfsf";
      TFSFState s;
      SetupTFSF(s, c.theta, c.phi, true, {4, n - 4, 4, n - 4, 4, n - 4}, false);
      s.FaceOpen.fill(true);  // every face absorbing: all six box faces corrected
      s.Signal = &signal;
      s.TFSFDelay = CalcTFSFDelay(d, s);
      const ExternalWave w{&signal, double(c.theta) * 3.141592653589793 / 180};
      auto step = [&] {
        if (tfsf) {
          CorrectTFSFH(d, s, -d.TimeStep / 2);
          CorrectTFSFE(d, s, 0);
        } else {
          AddPMLWaveH(d, w, +1, -d.TimeStep);
          AddPMLWaveE(d, w, +1, -d.TimeStep / 2);
          AddPMLWaveH(d, w, -1, 0);
        }
      };
      for (int t : o.threads) {
        omp_set_num_threads(t);
        step();  // first touch
        std::vector<double> ratio, ms, yeeMs;
        for (int r = 0; r < o.repeat; ++r) {
          const double yee = TimeReference(n, o.steps);
          const auto t0 = Clock::now();
          for (int k = 0; k < o.steps; ++k) step();
          const double own = std::chrono::duration<double>(Clock::now() - t0).count();
          ratio.push_back(own / yee);
          ms.push_back(own * 1e3 / o.steps);
          yeeMs.push_back(yee * 1e3 / o.steps);
        }
        // Medians; the absolute times per step show what a change of the memory does to
        // both sides.
        for (auto* v : {&ratio, &ms, &yeeMs}) std::sort(v->begin(), v->end());
        const size_t m = ratio.size() / 2;
        std::printf("bench: case=%s N=%d theta=%g phi=%g threads=%d steps=%d to_yee=%.3f ms=%.3f yee_ms=%.3f\n",
                    c.name, n, double(c.theta), double(c.phi), t, o.steps, ratio[m], ms[m], yeeMs[m]);
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
