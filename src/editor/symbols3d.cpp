#include "editor/symbols3d.h"

namespace rv {

namespace {

constexpr std::array<float, 4> Red{1, 0, 0, 1}, Blue{0, 0, 1, 1}, Yellow{1, 1, 0, 1},
    Cyan{0, 1, 1, 1};

// Offsets from an element's cell along its direction (a) and across it (b, c); for X the
// across axes are Y and Z, for Y they are X and Z, for Z they are X and Y.
class Frame {
public:
  Frame(int x, int y, int z, char dir, double sx, double sy, double sz)
      : cell_{double(x), double(y), double(z)}, scale_{sx, sy, sz} {
    ok_ = dir == 'X' || dir == 'Y' || dir == 'Z';
    a_ = ok_ ? dir - 'X' : 0;
    b_ = a_ == 0 ? 1 : 0;
    c_ = a_ == 2 ? 1 : 2;
  }
  bool ok() const { return ok_; }
  std::array<float, 3> at(double a, double b = 0, double c = 0) const {
    std::array<double, 3> p = cell_;
    p[a_] += a;
    p[b_] += b;
    p[c_] += c;
    return {float(p[0] * scale_[0]), float(p[1] * scale_[1]), float(p[2] * scale_[2])};
  }
  std::array<float, 3> extent(double along, double across) const {
    std::array<double, 3> e{across, across, across};
    e[a_] = along;
    return {float(e[0] * scale_[0]), float(e[1] * scale_[1]), float(e[2] * scale_[2])};
  }

private:
  std::array<double, 3> cell_, scale_;
  bool ok_;
  int a_ = 0, b_ = 1, c_ = 2;
};

bool InModel(int x, int y, int z) { return x >= 1 && y >= 1 && z >= 1; }

std::array<float, 4> Halved(const std::array<float, 4>& c) { return {c[0] / 2, c[1] / 2, c[2] / 2, c[3]}; }

// Two boxes across the edge at along-offsets a1 and a2 and the leads between them.
void TwoBoxes(std::vector<SymbolPrim>& out, const Frame& f, const std::array<float, 4>& col,
              double a1, double a2, double along, double half, bool wholeEdge) {
  out.push_back({SymbolPrim::Box, col, {f.at(a1, -half, -half), f.extent(along, 2 * half)}});
  out.push_back({SymbolPrim::Box, col, {f.at(a2, -half, -half), f.extent(along, 2 * half)}});
  if (wholeEdge)
    out.push_back({SymbolPrim::Lines, Halved(col), {f.at(0), f.at(1)}});
  else
    out.push_back({SymbolPrim::Lines, Halved(col), {f.at(0), f.at(a1), f.at(a2), f.at(1)}});
}

}  // namespace

std::vector<SymbolPrim> ElementSymbols(const ElementArrays& a, double sx, double sy, double sz) {
  std::vector<SymbolPrim> out;
  for (const tOutputPoint& p : a.OutputPoints)
    if (InModel(p.X, p.Y, p.Z)) {
      const Frame f(p.X, p.Y, p.Z, 'X', sx, sy, sz);
      out.push_back({SymbolPrim::Box, Blue, {f.at(0.25, 0.25, 0.25), f.extent(0.5, 0.5)}});
    }
  for (const tVoltageSource& s : a.VoltageSources) {
    const Frame f(s.X, s.Y, s.Z, s.Dir, sx, sy, sz);
    if (!f.ok()) continue;
    const double t = 1.0 / 3, tip = 2.0 / 3, r = 1.0 / 7;
    out.push_back({SymbolPrim::Lines, Red,
                   {f.at(0), f.at(1), f.at(t, r), f.at(tip), f.at(t, -r), f.at(tip),
                    f.at(t, 0, r), f.at(tip), f.at(t, 0, -r), f.at(tip)}});
    out.push_back({SymbolPrim::Quads, Red, {f.at(t, r), f.at(t, 0, r), f.at(t, -r), f.at(t, 0, -r)}});
  }
  for (const tSparkGap& g : a.SparkGaps) {
    const Frame f(g.X, g.Y, g.Z, g.Dir, sx, sy, sz);
    if (f.ok() && InModel(g.X, g.Y, g.Z)) TwoBoxes(out, f, Yellow, 0, 0.75, 0.25, 0.25, true);
  }
  for (const tLumpedElement& e : a.Resistors) {
    const Frame f(e.X, e.Y, e.Z, e.Dir, sx, sy, sz);
    if (!f.ok()) continue;
    out.push_back({SymbolPrim::Lines, Red,
                   {f.at(0), f.at(0.3), f.at(0.7), f.at(1), f.at(0.3, 0.2), f.at(0.7, 0.2),
                    f.at(0.3, -0.2), f.at(0.7, -0.2), f.at(0.3, 0.2), f.at(0.3, -0.2),
                    f.at(0.7, 0.2), f.at(0.7, -0.2)}});
  }
  for (const tLumpedElement& e : a.Capacitors) {
    const Frame f(e.X, e.Y, e.Z, e.Dir, sx, sy, sz);
    if (f.ok() && InModel(e.X, e.Y, e.Z)) TwoBoxes(out, f, Cyan, 0.3, 0.7, 0.05, 0.5, false);
  }
  for (const tInductor& l : a.Inductors) {
    const Frame f(l.X, l.Y, l.Z, l.Dir, sx, sy, sz);
    if (!f.ok()) continue;
    SymbolPrim p{SymbolPrim::LineStrip, Red, {}, true};
    for (auto [al, ac] : {std::pair{0.0, 0.0}, {0.1, 0.0}, {0.2, 0.4}, {0.4, -0.4}, {0.6, 0.4},
                          {0.8, -0.4}, {0.9, 0.0}, {1.0, 0.0}})
      p.v.push_back(f.at(al, ac));
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace rv
