// The editor's 3-D view at 800 x 600 on a model of n^3 cells: a full block of one material, a
// ball of radius 0.45 n and 20 % scattered cells of three materials. Each frame from the
// cached face arrays is timed against the same frame drawn as one plain six-face box per run,
// in the same run. Needs a display with OpenGL (run it under xvfb-run).
//
//   xvfb-run -a editor_view_bench [--sizes 200] [--repeat 5]
//
// One line per result:
//   bench: case=<name> n=<n> ms=<median> to_reference=<ratio>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench_common.h"

#ifdef RAVELIN_BENCH_DRAW
#include <QApplication>
#include <QImage>

#include "editor/ui/TfmOpenGL.h"
#include "editor/ui/View3D.h"
#include "platform/prompter.h"
#endif

using namespace rv;

int main(int argc, char** argv) {
  const bench::Options o = bench::ParseOptions(argc, argv, {200});
#ifdef RAVELIN_BENCH_DRAW
  QApplication app(argc, argv);
  for (int n : o.sizes) {
    SolverData d;
    ScriptedPrompter p;
    SetGridSize(d, n + 1, n + 1, n + 1);
    TfmOpenGL w(d, p);
    if (d.Space.empty()) return 1;
    for (int m = 1; m <= 3; ++m) d.Layers[size_t(m)].On = 1;
    w.rbOff->setChecked(true);
    w.GLView->setFixedSize(800, 600);
    w.show();
    w.btnResetClick();
    const auto frameMs = [&](bool plain) {
      w.GLView->SetPlainBoxes(plain);
      w.GLView->grabFramebuffer();  // the cache is built outside the timing
      std::vector<double> t;
      for (int r = 0; r < o.repeat; ++r) {
        const auto t0 = bench::Clock::now();
        w.GLView->grabFramebuffer();
        t.push_back(std::chrono::duration<double, std::milli>(bench::Clock::now() - t0).count());
      }
      std::sort(t.begin(), t.end());
      return t[t.size() / 2];
    };
    const double c = (n + 1) / 2.0, r = 0.45 * n;
    uint32_t seed = 12345;
    const auto cases = {"block", "ball", "scattered"};
    for (const char* name : cases) {
      d.Space.fill(0);
      for (int x = 1; x <= n; ++x)
        for (int y = 1; y <= n; ++y)
          for (int z = 1; z <= n; ++z) {
            uint8_t v = 0;
            if (name[1] == 'l') v = 1;  // block
            else if (name[1] == 'a')
              v = (x - c) * (x - c) + (y - c) * (y - c) + (z - c) * (z - c) <= r * r ? 2 : 0;
            else {
              seed = seed * 1664525u + 1013904223u;
              if ((seed >> 8) % 100 < 20) v = uint8_t(1 + (seed >> 4) % 3);
            }
            d.Space(x, y, z) = v;
          }
      ModelChanged(d);
      const auto t0 = bench::Clock::now();
      w.GLView->SetPlainBoxes(false);
      w.GLView->grabFramebuffer();
      const double build =
          std::chrono::duration<double, std::milli>(bench::Clock::now() - t0).count();
      const double cached = frameMs(false), plain = frameMs(true);
      std::printf("bench: case=%s n=%d ms=%.2f to_reference=%.3f\n", name, n, cached,
                  cached / plain);
      std::printf("bench: case=%s_first_frame n=%d ms=%.2f to_reference=%.3f\n", name, n, build,
                  build / plain);
      std::fflush(stdout);
    }
  }
#else
  (void)o;
  std::printf("editor_view_bench: built without the windows\n");
#endif
  return 0;
}
