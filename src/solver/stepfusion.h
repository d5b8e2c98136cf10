// Work of a step folded into the E pass, where the E rows are in the cache anyway: the
// Mur Z faces (their new values and the saved planes), the PEC Z faces and the absorbed
// power of the step.
// The result is the same bits as the separate passes: the E pass does a row's part only
// when nothing between the E pass and the pass it replaces changes what it reads. Rows that
// hold a lumped element edge (the element rewrites its E after the E pass) keep the plain
// path, and the run leaves folding off altogether while a feature that writes E or H
// after the E pass is on (set by the run's hooks, see runsetup).
#pragma once
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "solver/solverdata.h"

namespace rv {

class EdgeCoefCache;

// The edges whose absorbed power a run adds up, as runs along z of the rows the E pass
// updates: the edges of materials that absorb (their E update loses energy: Ca != 1, or a
// dispersive medium) and the edges something reads the sums of (an output's cell). Elsewhere the sum would only be the stored energy's change, so it is left
// at 0 and the pass does not touch those arrays. Not built: every edge adds up.
class PowerSpans {
public:
  struct Run {
    int32_t K0, K1;
  };
  // Read edges {axis 0..2, i, j, k}; any outside the E pass's range are ignored.
  void Build(const SolverData& d, const EdgeCoefCache& cache,
             const std::vector<std::array<int, 4>>& readEdges);
  void Clear() { *this = PowerSpans{}; }
  bool Built() const { return built_; }
  // The runs of row (a, i, j), in order, none overlapping.
  std::pair<const Run*, int> Of(int a, int i, int j) const {
    const size_t r = size_t(i) * stride_ + size_t(j);
    const auto& s = start_[size_t(a)];
    if (r + 1 >= s.size()) return {nullptr, 0};
    return {runs_.data() + s[r], int(s[r + 1] - s[r])};
  }

private:
  bool built_ = false;
  size_t stride_ = 0;
  std::array<std::vector<uint32_t>, 3> start_;
  std::vector<Run> runs_;
};

struct StepFusion {
  // This step: fold the Mur Z faces (no incident wave) / the absorbed power.
  bool MurZ = false;
  bool Power = false;
  // The PEC Z faces' zeros (only while no face between the E pass and the PEC pass reads
  // or writes those edges: no Mur or symmetry face).
  bool PecZ = false;
  // The step's absorbed power is added up (with SAROn): the E pass keeps the previous E
  // where the power pass reads it.
  bool Accumulate = true;
  // Where the run adds up absorbed power (set once at run start).
  PowerSpans Spans;
  // The E pass looks at the Ez it writes, while the row is still in the cache, and sets
  // FoundNonFinite when one is INF or NaN: the rows (i, j) with i + j + CurStep even, so
  // every other row, the others on the next step. That is enough: a value that runs away
  // in any component reaches the Ez of its row and of the four rows beside it (the other
  // parity) within a step, and stays. Set only, never cleared, by the pass (any thread may
  // set it); the run clears it at its start.
  bool WatchFinite = false;
  mutable int FoundNonFinite = 0;

  // Marks the rows along z (component 0 Ex, 1 Ey, 2 Ez; cell indices i, j) that hold one
  // of the given edges {axis, i, j} as plain.
  void SetPlainRows(const SolverData& d, const std::vector<std::array<int, 3>>& edges) {
    stride_ = size_t(d.Ny) + 2;
    for (auto& m : mask_) m.assign((size_t(d.Nx) + 2) * stride_, 0);
    for (auto& r : PlainRows) r.clear();
    for (const auto& e : edges) {
      const int a = e[0], i = e[1], j = e[2];
      if (a < 0 || a > 2 || i < 0 || j < 0 || i > d.Nx + 1 || j > d.Ny + 1) continue;
      uint8_t& m = mask_[size_t(a)][size_t(i) * stride_ + size_t(j)];
      if (!m) PlainRows[size_t(a)].emplace_back(i, j);
      m = 1;
    }
  }
  bool Plain(int a, int i, int j) const {
    const auto& m = mask_[size_t(a)];
    const size_t n = size_t(i) * stride_ + size_t(j);
    return n < m.size() && m[n];
  }
  std::array<std::vector<std::pair<int, int>>, 3> PlainRows;

private:
  std::array<std::vector<uint8_t>, 3> mask_;
  size_t stride_ = 0;
};

// Mur's first-order update of a boundary edge: E_b := k*(E_n - E_b) + S, with
// k = (courant - 1)/(courant + 1) and S the inner edge's value saved a step before.
inline double MurCoef(double courant) { return (courant - 1) / (courant + 1); }
inline float MurPlain(double k, float en, float eb, float s) {
  return float(k * (double(en) - double(eb)) + double(s));
}

}  // namespace rv
