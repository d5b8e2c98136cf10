// Editor model operations on a large model: the undo snapshot, the materials-table
// renumbering, the volume fill, the move and the turn against one plain pass over the same
// bytes; the section fill and the body of revolution of a 100 x 100 block; and, where the windows are built, the repaint of a 500 x 500 section full of
// elements against drawing one viewport-sized image.
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
#include "editor/fills.h"
#include "editor/modelops.h"
#include "editor/modelstore.h"

#ifdef RAVELIN_BENCH_DRAW
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <random>

#include "editor/ui/SectionGrid.h"
#endif

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

#ifdef RAVELIN_BENCH_DRAW
// A 500 x 500 section with 1,000 elements of each kind, 50 current regions, 50 voltage
// lines and a selection, painted into 1000 x 800 pixels.
void Repaint(int repeat) {
  const int n = 500;
  SolverData d;
  SetGridSize(d, n + 1, n + 1, 3);
  if (!ResizeSpace(d)) return;
  FillDefaultLayers(d.Layers);
  std::mt19937 rng(5);
  for (int x = 1; x <= n; ++x)
    for (int y = 1; y <= n; ++y) d.Space(x, y, 1) = uint8_t(rng() % 4);
  d.GLReady = 1;
  ElementArrays a;
  auto c = [&] { return 1 + int(rng() % unsigned(n)); };
  const char dirs[] = "XYZ";
  for (int i = 0; i < 1000; ++i) {
    a.Resistors.push_back({c(), c(), 1, dirs[rng() % 3], 50});
    a.Capacitors.push_back({c(), c(), 1, dirs[rng() % 3], 1e-12});
    a.Inductors.push_back({c(), c(), 1, dirs[rng() % 3], 1e-9, 0});
    a.SparkGaps.push_back({c(), c(), 1, 100, dirs[rng() % 3], 0});
    a.VoltageSources.push_back({c(), c(), 1, dirs[rng() % 3], 50, '+'});
    a.OutputPoints.push_back({c(), c(), 1, "EHIJ"[rng() % 4], dirs[rng() % 3], ""});
  }
  for (int i = 0; i < 50; ++i) {
    const int x = c(), y = c();
    a.CurrentRegions.push_back({x, y, 1, x + 20, y + 20, 1, 'Z', ""});
    a.VoltageLines.push_back({x, y, 1, x + 30, y + 10, 1, 0, ""});
  }
  SectionView v;
  v.Axis = SectionAxis::Z;
  v.SizeFor(d.Nx, d.Ny, d.Nz);
  SectionGrid g(d);
  g.SetElements(a);
  g.SetView(v);
  g.SetSelection({true, 10, 10, 300, 200});
  g.resize(1000 + 2 * g.frameWidth() + 20, 800 + 2 * g.frameWidth() + 20);
  g.show();
  const QSize vp = g.viewport()->size();
  QImage target(vp, QImage::Format_RGB32), source(vp, QImage::Format_RGB32);
  source.fill(Qt::gray);
  const double ref = MedianMs(repeat * 4, [&] {
    QPainter p(&target);
    p.drawImage(0, 0, source);
  });
  for (int side : {1, 8}) {
    g.SetSides(side, side);
    const double ms = MedianMs(repeat * 4, [&] { g.viewport()->render(&target); });
    std::printf("bench: case=repaint_side%d n=%d ms=%.2f to_reference=%.2f\n", side, n, ms, ms / ref);
  }
}
#endif

int main(int argc, char** argv) {
  const bench::Options o = bench::ParseOptions(argc, argv, {500});
#ifdef RAVELIN_BENCH_DRAW
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Repaint(o.repeat);
#endif
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
    // The volume fill of an empty model from a corner, against one write pass over it.
    const double write = MedianMs(o.repeat, [&] { std::memset(d.Space.data(), 0, d.Space.size()); });
    uint8_t mat = 1;
    const double fill = MedianMs(o.repeat, [&] {
      FillVolume(d.Space, n, n, n, {1, 1, 1}, mat);
      mat = uint8_t(mat % 3 + 1);
    });
    std::printf("bench: case=volume_fill n=%d ms=%.2f to_reference=%.2f\n", n, fill, fill / write);
    SectionView v;
    v.Axis = SectionAxis::Z;
    v.SliceZ = n / 2;
    v.SizeFor(n, n, n);
    const double plane = MedianMs(o.repeat, [&] {
      FillSection(d.Space, v, 0, 0, mat);
      mat = uint8_t(mat % 3 + 1);
    });
    std::printf("bench: case=section_fill n=%d ms=%.3f\n", n, plane);
    // The model is full now: every cell moves or turns.
    std::string err;
    const double move = MedianMs(o.repeat, [&] { MoveModel(d, m, 1, 0, 0, err); });
    std::printf("bench: case=move_model n=%d ms=%.2f to_reference=%.2f\n", n, move, move / ref);
    const double turn = MedianMs(o.repeat, [&] { RotateModel(d, m, {SectionAxis::Z, n / 2, n / 2}, 0.5, err); });
    std::printf("bench: case=rotate_model n=%d ms=%.2f to_reference=%.2f\n", n, turn, turn / ref);
    const int c = n / 2;
    const double sweep = MedianMs(o.repeat, [&] {
      RevolveSelection(d, m, v, {c, c, c - 99, c - 99}, {SectionAxis::X, c, c}, err);
    });
    std::printf("bench: case=revolve_block n=%d ms=%.1f\n", n, sweep);
  }
  return 0;
}
