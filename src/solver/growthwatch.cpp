#include "solver/growthwatch.h"

#include <algorithm>
#include <cmath>

#include "solver/constants.h"
#include "solver/numtext.h"
#include "solver/timeloop.h"
#include "solver/workpool.h"
#include "solver/yee.h"

namespace rv {

namespace {

bool FieldsShaped(const SolverData& d) {
  return FieldArraysMatch(d) && (!d.MagneticMaterials || d.HCoefCell.hasShape(d.Nx + 1, d.Ny + 1, d.Nz + 1));
}

const float* Row(const t3DSpaceArray& a, int i, int j) {
  return a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
}

// Sum of squares of p[k0..k1] in a fixed order (four running sums, then added).
double SumSq(const float* p, int k0, int k1) {
  double s[4] = {0, 0, 0, 0};
  int k = k0;
  for (; k + 3 <= k1; k += 4)
    for (int m = 0; m < 4; ++m) s[m] += double(p[k + m]) * double(p[k + m]);
  for (; k <= k1; ++k) s[0] += double(p[k]) * double(p[k]);
  return (s[0] + s[1]) + (s[2] + s[3]);
}

// The permittivity (F/m) an edge class stores energy with: from its coefficients,
// (1 + Ca) / (Cb c) is twice the permittivity, plus the Debye term's step share X in a
// dispersive medium, which is taken off (the energy at infinite frequency).
double ClassPermittivity(const EdgeCoefs& c) {
  const double cb = c.Cb, c0 = double(LightSpeed);
  if (!(cb > 0) || !std::isfinite(cb)) return 0;
  double twice = (1 + double(c.Ca)) / (cb * c0);
  if (c.DebyeDecay < 1 && c.DebyeCoef > 0) twice -= double(c.DebyeCoef) * double(Eps0) / (1 - double(c.DebyeDecay));
  return std::isfinite(twice) ? std::max(0.0, twice / 2) : 0;
}

// Sum of eps E^2 over the E update's edges of plane i.
double PlaneE(const SolverData& d, const EdgeCoefCache& cache, const std::vector<double>& eps, int i) {
  const t3DSpaceArray* comp[3] = {&d.Ex, &d.Ey, &d.Ez};
  double sum = 0;
  for (int a = 0; a < 3; ++a) {
    const auto r = UpdatedRange(a, d.Nx, d.Ny, d.Nz);
    if (i < r[0] || i > r[1] || r[4] > r[5]) continue;
    for (int j = r[2]; j <= r[3]; ++j) {
      const float* e = Row(*comp[a], i, j);
      const EdgeCoefCache::Row& row = cache.RowOf(a, i, j);
      if (row.Uniform >= 0) {
        sum += eps[size_t(row.Uniform)] * SumSq(e, r[4], r[5]);
      } else if (row.SegCount > 0) {
        const EdgeCoefCache::Seg* s = cache.Segs.data() + row.Offset;
        for (int g = 0; g < row.SegCount; ++g) {
          const int k1 = g + 1 < row.SegCount ? s[g + 1].K0 - 1 : r[5];
          sum += eps[s[g].Class] * SumSq(e, s[g].K0, k1);
        }
      } else {
        for (int k = r[4]; k <= r[5]; ++k) {
          const size_t c = cache.Wide ? size_t(cache.Index32[size_t(row.Offset) + k])
                                      : size_t(cache.Index16[size_t(row.Offset) + k]);
          sum += eps[c] * double(e[k]) * double(e[k]);
        }
      }
    }
  }
  return sum;
}

// Sum of mu H^2 over the H update's faces of plane i.
double PlaneH(const SolverData& d, int i) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const double c0 = double(LightSpeed);
  const bool perCell = d.MagneticMaterials != 0;
  const double uniformMu = d.HCoefUniform > 0 ? 1 / (double(d.HCoefUniform) * c0) : 0;
  auto rows = [&](const t3DSpaceArray& h, int j1, int k1) {
    double s = 0;
    for (int j = 1; j <= j1; ++j) {
      const float* p = Row(h, i, j);
      if (!perCell) {
        s += uniformMu * SumSq(p, 1, k1);
        continue;
      }
      const float* q = Row(d.HCoefCell, i, j);
      for (int k = 1; k <= k1; ++k)
        if (q[k] > 0) s += double(p[k]) * double(p[k]) / (double(q[k]) * c0);
    }
    return s;
  };
  double sum = rows(d.Hx, ny - 1, nz - 1);
  if (i <= nx - 1) sum += rows(d.Hy, ny, nz - 1) + rows(d.Hz, ny - 1, nz);
  return sum;
}

double ElementEnergy(const SolverData& d, const LumpedRun& l) {
  double w = 0;
  auto edgeE = [&](int axis, int X, int Y, int Z) {
    const t3DSpaceArray& a = axis == 0 ? d.Ex : axis == 1 ? d.Ey : d.Ez;
    return a.inside(X, Y, Z) ? double(a(X, Y, Z)) : 0.0;
  };
  for (size_t r = 0; r < l.Capacitors.size() && r < l.CapacitorEdges.size(); ++r) {
    const LumpedRun::Edge& e = l.CapacitorEdges[r];
    if (!e.Active || e.Axis < 0) continue;
    const double U = edgeE(e.Axis, l.Capacitors[r].X, l.Capacitors[r].Y, l.Capacitors[r].Z) * e.Len;
    w += 0.5 * l.Capacitors[r].Value * U * U;
  }
  for (size_t r = 0; r < l.Inductors.size() && r < l.InductorEdges.size(); ++r) {
    const LumpedRun::Edge& e = l.InductorEdges[r];
    if (!e.Active || e.Axis < 0 || !(l.Inductors[r].L > 0)) continue;
    const double flux = e.Len * d.TimeStepSec * double(l.Inductors[r].Accum);  // L I
    w += 0.5 * flux * flux / l.Inductors[r].L;
  }
  return w;
}

}  // namespace

double StoredEnergy(const SolverData& d, const EdgeCoefCache& cache, const LumpedRun& lumped,
                    std::vector<double>& planes) {
  if (!FieldsShaped(d) || !cache.Matches(d)) return 0;
  std::vector<double> eps(cache.Table.size());
  for (size_t c = 0; c < eps.size(); ++c) eps[c] = ClassPermittivity(cache.Table[c]);
  const int nx = d.Nx;
  planes.assign(size_t(nx) + 1, 0.0);
  ParallelFor(1, nx + 1, [&](int i) { planes[size_t(i)] = PlaneE(d, cache, eps, i) + PlaneH(d, i); },
              ParallelGrid(d.Nx, d.Ny, d.Nz));
  double sum = 0;
  for (int i = 1; i <= nx; ++i) sum += planes[size_t(i)];
  return 0.5 * d.Dx * d.Dy * d.Dz * sum + ElementEnergy(d, lumped);
}

FieldPeak LargestField(const SolverData& d) {
  FieldPeak best;
  best.Value = -1;
  const t3DSpaceArray* comp[3] = {&d.Ex, &d.Ey, &d.Ez};
  for (int a = 0; a < 3; ++a) {
    const t3DSpaceArray& e = *comp[a];
    for (int i = 1; i < e.len1(); ++i)
      for (int j = 1; j < e.len2(); ++j) {
        const float* p = Row(e, i, j);
        for (int k = 1; k < e.len3(); ++k) {
          // A value that is not finite is the largest of all.
          const double v = std::isfinite(p[k]) ? std::fabs(double(p[k])) : INFINITY;
          if (v > best.Value) best = FieldPeak{a, i, j, k, v};
        }
      }
  }
  if (best.Value < 0) best.Value = 0;
  return best;
}

void GrowthWatch::Prepare(const SolverData& d, const LumpedRun& lumped) {
  *this = GrowthWatch{};
  for (size_t r = 0; r < lumped.VoltageSources.size() && r < lumped.SourceEdges.size(); ++r)
    if (lumped.SourceEdges[r].Active && lumped.VoltageSources[r].R > 0)
      quarterConductance_ += 0.25 / lumped.VoltageSources[r].R;
  planeWave_ = d.ExternalField || d.TFSFSource;
  const double lx = std::max(0, d.Nx - 1) * d.Dx, ly = std::max(0, d.Ny - 1) * d.Dy,
               lz = std::max(0, d.Nz - 1) * d.Dz;
  volume_ = lx * ly * lz;
  area_ = 2 * (lx * ly + ly * lz + lz * lx);
  const double cross = d.TimeStep > 0 ? std::sqrt(lx * lx + ly * ly + lz * lz) / d.TimeStep : 0;
  crossSteps_ = std::isfinite(cross) && cross < 1e9 ? int(std::ceil(cross)) + 2 : 1000000000;
  floor_ = 0.5 * double(Eps0) * 1e-6 * volume_;  // 1 mV/m all over the grid
}

void GrowthWatch::Step(const SolverData& d, const EdgeCoefCache& cache, const LumpedRun& lumped,
                       const ISignal* signal, int step) {
  const double dt = d.TimeStepSec;
  // The sources' sample of this step, as the elements took it.
  const double V = SourceValue(signal, false, d.CurTime);
  if (std::isfinite(V)) delivered_ += quarterConductance_ * V * V * dt;
  // The plane wave reads its signal at retarded times, at most a step or so ahead of now
  // (the half steps of H and E): its largest value is taken over both.
  double W = 0;
  if (planeWave_) {
    W = SourceValue(signal, false, d.CurTime + 2 * d.TimeStep);
    if (std::isfinite(V)) waveIntegral_ += V * V * dt;
    for (const double v : {V, W})
      if (std::isfinite(v)) waveMax2_ = std::max(waveMax2_, v * v);
  }
  const bool anySource = quarterConductance_ > 0 || planeWave_;
  const double level = anySource ? std::max(std::fabs(V), std::fabs(W)) : 0.0;
  if (std::isfinite(level)) peak_ = std::max(peak_, level);
  if (level > 1e-6 * peak_) {
    quietSteps_ = 0;
    quietLeast_ = -1;
  } else {
    ++quietSteps_;
  }

  if (step != 0 && step < nextCheck_) return;
  nextCheck_ = step + kEvery;
  const double energy = StoredEnergy(d, cache, lumped, planes_);
  if (initial_ < 0) {
    initial_ = most_ = energy;
    return;
  }
  ++Checks;
  const double eps0 = double(Eps0), c0 = double(LightSpeed);
  const double wave = 2 * eps0 * waveMax2_ * volume_ + 2 * eps0 * c0 * area_ * waveIntegral_;
  Energy = energy;
  Bound = initial_ + delivered_ + wave;
  if (Bound > 0) WorstRatio = std::max(WorstRatio, energy / Bound);
  // Past twice the bound the run is already beyond what the physics allows: watched every
  // step from then on, so a fast growth is stopped at the margin, not many times past it.
  if (energy > 2 * Bound + floor_) nextCheck_ = step + 1;

  std::string why;
  if (energy > kMargin * Bound + floor_ || !std::isfinite(energy)) {
    why = Bound > 0 ? "энергия поля " + FormatGeneral(energy, 4) + " Дж в " + FormatGeneral(energy / Bound, 3) +
                          " раз больше той, что могли отдать источники (" + FormatGeneral(Bound, 4) + " Дж)"
                    : "энергия поля " + FormatGeneral(energy, 4) + " Дж, а источники не отдали ничего";
  } else if (quietSteps_ > 2 * crossSteps_ + kEvery) {
    // Against the least energy since the silence began; with a dispersive medium or PML
    // faces against the most of the run (the polarisation and the layer, which the sum
    // leaves out, may hand energy back to the grid).
    const bool dispersive = cache.AnyDispersive || d.AnyPML;
    const double ref = dispersive ? most_ : quietLeast_;
    const double growth = dispersive ? kQuietGrowthDispersive : kQuietGrowth;
    if (ref >= 0 && energy > growth * ref + floor_)
      why = "источники затихли, а энергия поля выросла до " + FormatGeneral(energy, 4) + " Дж, в " +
            FormatGeneral(energy / ref, 3) + (dispersive ? " раз больше наибольшей до того (" : " раз больше наименьшей после того (") +
            FormatGeneral(ref, 4) + " Дж)";
    quietLeast_ = quietLeast_ < 0 ? energy : std::min(quietLeast_, energy);
  }
  most_ = std::max(most_, energy);
  if (why.empty()) return;
  const FieldPeak p = LargestField(d);
  static const char* const kComp[3] = {"Ex", "Ey", "Ez"};
  throw RunDiverged(d.CurStep,
                    "Расчет расходится: на шаге " + std::to_string(d.CurStep) + " " + why +
                        "; поле растет без ограничения. Наибольшее поле " + FormatGeneral(p.Value, 4) +
                        " В/м — " + kComp[p.Axis] + " в ячейке (" + std::to_string(p.I) + ", " +
                        std::to_string(p.J) + ", " + std::to_string(p.K) +
                        "). Файлы результатов содержат значения до этого шага. Проверьте шаг по "
                        "времени, величины сосредоточенных элементов и их расстояние до "
                        "поглощающих граней.");
}

}  // namespace rv
