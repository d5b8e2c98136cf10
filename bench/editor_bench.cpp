// Editor model operations on a large model: the undo snapshot, and the materials-table
// renumbering, against one plain copy pass over the same bytes.
//
//   editor_bench [--sizes 500] [--repeat 5]
//
// One line per result:
//   bench: case=<name> n=<n> ms=<median> to_reference=<ratio>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_common.h"
#include "editor/modelstore.h"

using namespace rv;

namespace {

template <class F>
double MedianMs(int repeat, F f) {
  std::vector<double> t;
  for (int r = 0; r < repeat; ++r) {
    const auto t0 = bench::Clock::now();
    f();
    t.push_back(std::chrono::duration<double, std::milli>(bench::Clock::now() - t0).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options o = bench::ParseOptions(argc, argv, {500});
  for (int n : o.sizes) {
    SolverData d;
    SetGridSize(d, n, n, n);
    if (!ResizeSpace(d)) return 1;
    FillDefaultLayers(d.Layers);
    // Every cell written, so no page is left untouched on either side.
    for (size_t i = 0; i < d.Space.size(); ++i) d.Space.data()[i] = uint8_t(1 + i % 3);
    d.UndoSpace.fill(1);
    MaterialState m;
    m.LayerCount = 4;
    // The reference: one copy of the whole block.
    const double ref = MedianMs(o.repeat, [&] {
      std::memcpy(d.UndoSpace.data(), d.Space.data(), d.Space.size());
    });
    const double save = MedianMs(o.repeat, [&] { SaveUndo(d, m); });
    std::printf("bench: case=save_undo n=%d ms=%.2f to_reference=%.2f\n", n, save, save / ref);
    const double unused = MedianMs(o.repeat, [&] { DeleteUnusedLayers(d, m); m.LayerCount = 4; });
    std::printf("bench: case=delete_unused n=%d ms=%.2f to_reference=%.2f\n", n, unused, unused / ref);
  }
  return 0;
}
