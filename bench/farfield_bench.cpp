// Far-field accumulation per step against the bare Yee step of the same grid and threads,
// timed alternately in the same run.
//   farfield_bench [--sizes 100,200] [--threads 1,8] [--steps S] [--repeat R]
//                  [--box INSET] [--points P]
// Receivers: three diagram circles of P points (36) around a box INSET cells (10) inside
// the grid's faces.
#include <cstdio>
#include <random>

#include "bench_box.h"
#include "bench_common.h"
#include "boundaries/farfield.h"
#include "solver/solverdata.h"

using namespace rv;
using namespace rv::bench;

int main(int argc, char** argv) {
  Options o = ParseOptions(argc, argv, {100, 200});
  int inset = 10, points = 36;
  for (int a = 1; a + 1 < argc; a += 2) {
    if (!std::strcmp(argv[a], "--box")) inset = std::max(2, std::atoi(argv[a + 1]));
    else if (!std::strcmp(argv[a], "--points")) points = std::max(1, std::atoi(argv[a + 1]));
  }
  for (int n : o.sizes) {
    SolverData d;
    if (!VacuumBox(d, n)) {
      std::printf("bench: case=farfield N=%d error=memory\n", n);
      continue;
    }
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> u(-1, 1);
    for (t3DSpaceArray* f : {&d.Ex, &d.Ey, &d.Ez})
      for (size_t i = 0; i < f->size(); ++i) f->data()[i] = u(rng);
    FarFieldSettings fs;
    fs.Box = {inset, n - inset, inset, n - inset, inset, n - inset};
    fs.DiagramOn = {true, true, true};
    fs.PointCount = points;
    const int first = 1 + 4 * n;  // past the bins' spread, as in the middle of a run
    d.StepCount = first + o.steps + 4 * n + 8;
    for (int t : o.threads) {
      omp_set_num_threads(t);
      FarFieldState s;
      std::string msg;
      if (!SetupFarField(s, d, fs, d.StepCount, msg)) {
        std::printf("bench: case=farfield N=%d error=%s\n", n, msg.c_str());
        break;
      }
      AccumulateFarField(s, d, first);  // first touch
      std::vector<double> far, ratio;
      for (int r = 0; r < o.repeat; ++r) {
        const double yee = TimeReference(n, o.steps);
        const auto t0 = Clock::now();
        for (int k = 0; k < o.steps; ++k) AccumulateFarField(s, d, first + 1 + k);
        const double acc = std::chrono::duration<double>(Clock::now() - t0).count();
        far.push_back(acc);
        ratio.push_back(acc / yee);
      }
      std::sort(far.begin(), far.end());
      std::sort(ratio.begin(), ratio.end());
      std::printf("bench: case=farfield N=%d box=%d receivers=%d threads=%d steps=%d "
                  "ms_per_step=%.3f to_yee=%.2f\n",
                  n, inset, s.ReceiverCount(), t, o.steps, 1e3 * far[far.size() / 2] / o.steps,
                  ratio[ratio.size() / 2]);
      std::fflush(stdout);
    }
  }
  return 0;
}
