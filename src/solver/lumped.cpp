#include "solver/lumped.h"

#include <cmath>

#include "solver/constants.h"
#include "solver/edgematerial.h"
#include "solver/yee.h"

namespace rv {

using LD = long double;

double SourceValue(const ISignal* signal, bool NoSource, double T) {
  if (NoSource || !(T >= 0) || !signal) return 0;
  return signal->GetSignal(T / double(LightSpeed));
}

bool UsableResistance(double R) { return std::isfinite(R) && R > 0; }
bool UsableCapacitance(double C) { return std::isfinite(C) && C >= 0; }
bool UsableInductance(double L) { return std::isfinite(L) && L > 0; }

bool LumpedCellInside(const SolverData& d, int X, int Y, int Z) {
  return X >= 1 && Y >= 1 && Z >= 1 && X <= d.Nx - 1 && Y <= d.Ny - 1 && Z <= d.Nz - 1;
}

namespace {

int AxisOf(char dir) {
  switch (dir) {
    case 'X': return 0;
    case 'Y': return 1;
    case 'Z': return 2;
    default: return -1;
  }
}

const char kAxisLetter[3] = {'X', 'Y', 'Z'};

LumpedRun::Edge MakeEdge(const SolverData& d, int X, int Y, int Z, char dir) {
  LumpedRun::Edge e;
  if (X == 0 || !LumpedCellInside(d, X, Y, Z)) return e;
  e.Active = true;
  e.Axis = AxisOf(dir);
  if (e.Axis < 0) return e;
  const double s[3] = {d.Dx, d.Dy, d.Dz};
  e.Len = s[e.Axis];
  e.Area = s[(e.Axis + 1) % 3] * s[(e.Axis + 2) % 3];
  const tEdgeMaterial M = GetEdgeMaterial(d, X, Y, Z, kAxisLetter[e.Axis]);
  e.Ca = M.Ca;
  e.Cb = M.Cb;
  return e;
}

// The edge's E, writable or not as d is.
template <class Data>
auto& EdgeE(Data& d, int axis, int X, int Y, int Z) {
  return axis == 0 ? d.Ex(X, Y, Z) : axis == 1 ? d.Ey(X, Y, Z) : d.Ez(X, Y, Z);
}

}  // namespace

void LumpedRun::Clear() {
  SparkGaps.clear(); VoltageSources.clear(); Resistors.clear(); Capacitors.clear();
  Inductors.clear();
  GapEdges.clear(); SourceEdges.clear(); ResistorEdges.clear(); CapacitorEdges.clear();
  InductorEdges.clear();
  nx_ = ny_ = nz_ = 0;
  skipped_ = 0;
}

bool LumpedRun::Prepare(const SolverData& d, const ElementArrays& src, std::string* err) {
  Clear();
  nx_ = d.Nx; ny_ = d.Ny; nz_ = d.Nz;
  std::string first;
  auto refuse = [&](Edge& e, const std::string& what, size_t r) {
    if (!e.Active) return;
    e.Active = false;
    // Record r comes from data row r + 1 of its table.
    if (first.empty()) first = what + " в строке " + std::to_string(r + 1) + " таблицы";
  };

  SparkGaps = src.SparkGaps;
  for (auto& g : SparkGaps) {
    g.Fired = 0;
    GapEdges.push_back(MakeEdge(d, g.X, g.Y, g.Z, g.Dir));
  }
  VoltageSources = src.VoltageSources;
  for (size_t r = 0; r < VoltageSources.size(); ++r) {
    const auto& s = VoltageSources[r];
    SourceEdges.push_back(MakeEdge(d, s.X, s.Y, s.Z, s.Dir));
    if (!UsableResistance(s.R))
      refuse(SourceEdges.back(), "Неверное внутреннее сопротивление источника напряжения", r);
  }
  Resistors = src.Resistors;
  for (size_t r = 0; r < Resistors.size(); ++r) {
    const auto& s = Resistors[r];
    ResistorEdges.push_back(MakeEdge(d, s.X, s.Y, s.Z, s.Dir));
    if (!UsableResistance(s.Value)) refuse(ResistorEdges.back(), "Неверное сопротивление резистора", r);
  }
  Capacitors = src.Capacitors;
  for (size_t r = 0; r < Capacitors.size(); ++r) {
    const auto& s = Capacitors[r];
    CapacitorEdges.push_back(MakeEdge(d, s.X, s.Y, s.Z, s.Dir));
    if (!UsableCapacitance(s.Value)) refuse(CapacitorEdges.back(), "Неверная емкость конденсатора", r);
  }
  Inductors = src.Inductors;
  for (size_t r = 0; r < Inductors.size(); ++r) {
    auto& s = Inductors[r];
    s.Accum = 0;
    InductorEdges.push_back(MakeEdge(d, s.X, s.Y, s.Z, s.Dir));
    if (!UsableInductance(s.L)) refuse(InductorEdges.back(), "Неверная индуктивность", r);
  }

  for (const auto* v : {&GapEdges, &SourceEdges, &ResistorEdges, &CapacitorEdges, &InductorEdges})
    for (const Edge& e : *v)
      if (!e.Active) ++skipped_;
  if (!first.empty() && err) *err = first;
  return first.empty();
}

bool LumpedRun::Fits(const SolverData& d) const {
  auto shape = [](const t3DSpaceArray& a, int n1, int n2, int n3) {
    return a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
  };
  const int nx = nx_, ny = ny_, nz = nz_;
  return d.Nx == nx && d.Ny == ny && d.Nz == nz && shape(d.Ex, nx, ny + 1, nz + 1) &&
         shape(d.Ey, nx + 1, ny, nz + 1) && shape(d.Ez, nx + 1, ny + 1, nz) &&
         shape(d.Hx, nx + 1, ny, nz) && shape(d.Hy, nx, ny + 1, nz) && shape(d.Hz, nx, ny, nz + 1);
}

namespace {

template <class Rec>
void KeepOld(const SolverData& d, const std::vector<Rec>& recs, std::vector<LumpedRun::Edge>& edges) {
  for (size_t r = 0; r < recs.size(); ++r) {
    LumpedRun::Edge& e = edges[r];
    if (e.Active && e.Axis >= 0) e.OldE = EdgeE(d, e.Axis, recs[r].X, recs[r].Y, recs[r].Z);
  }
}

}  // namespace

bool LumpedRun::KeepEdges(const SolverData& d) {
  if (!Fits(d)) return false;
  KeepOld(d, VoltageSources, SourceEdges);
  KeepOld(d, Resistors, ResistorEdges);
  KeepOld(d, Capacitors, CapacitorEdges);
  KeepOld(d, Inductors, InductorEdges);
  return true;
}

bool LumpedRun::Update(SolverData& d, const ISignal* signal, int Step) {
  if (!Fits(d)) return false;

  const LD inv = InvEta0, ts = d.TimeStep, c = LightSpeed;
  const double courant[3] = {d.CourantX, d.CourantY, d.CourantZ};

  // Spark gaps: a broken-down gap holds its edge at 0 for the rest of the run.
  for (size_t r = 0; r < SparkGaps.size(); ++r) {
    tSparkGap& g = SparkGaps[r];
    const Edge& e = GapEdges[r];
    if (!e.Active) continue;
    if (g.Fired) {
      if (e.Axis >= 0) EdgeE(d, e.Axis, g.X, g.Y, g.Z) = 0;
      continue;
    }
    LD V = 0;
    if (e.Axis >= 0) V = std::fabs(LD(e.Len) * LD(EdgeE(d, e.Axis, g.X, g.Y, g.Z)));
    if (V >= LD(g.Threshold)) {
      g.Fired = 1;
      if (e.Axis >= 0) {
        float& E = EdgeE(d, e.Axis, g.X, g.Y, g.Z);
        E = float(LD(courant[e.Axis]) * LD(E) / 500000 / std::sqrt(2.0L));
      }
    }
  }

  // Resistive voltage sources (the signal drives them in every source mode).
  if (!SourceEdges.empty()) {
    const LD V = SourceValue(signal, false, d.CurTime);
    for (size_t r = 0; r < VoltageSources.size(); ++r) {
      const tVoltageSource& s = VoltageSources[r];
      const Edge& e = SourceEdges[r];
      if (!e.Active || e.Axis < 0) continue;
      float& E = EdgeE(d, e.Axis, s.X, s.Y, s.Z);
      const LD C = EdgeCurlH(d, kAxisLetter[e.Axis], s.X, s.Y, s.Z);
      const LD pol = s.Polarity == '-' ? -1 : 1;
      const LD R = s.R, A = e.Area, len = e.Len;
      const LD alpha = ts / R / inv / A;
      const LD beta = ts * len / 2 / R / inv / A;
      const LD Eold = e.OldE;
      E = float(pol * V * alpha / (1 + beta) + (1 - beta) / (1 + beta) * Eold +
                C / inv / (1 + beta));
    }
  }

  for (size_t r = 0; r < Resistors.size(); ++r) {
    const tLumpedElement& s = Resistors[r];
    const Edge& e = ResistorEdges[r];
    if (!e.Active || e.Axis < 0) continue;
    float& E = EdgeE(d, e.Axis, s.X, s.Y, s.Z);
    const LD C = EdgeCurlH(d, kAxisLetter[e.Axis], s.X, s.Y, s.Z);
    const LD beta = ts * LD(e.Len) / 2 / LD(s.Value) / inv / LD(e.Area);
    const LD Eold = e.OldE;
    E = float((1 - beta) / (1 + beta) * Eold + C / inv / (1 + beta));
  }

  for (size_t r = 0; r < Capacitors.size(); ++r) {
    const tLumpedElement& s = Capacitors[r];
    const Edge& e = CapacitorEdges[r];
    if (!e.Active || e.Axis < 0) continue;
    float& E = EdgeE(d, e.Axis, s.X, s.Y, s.Z);
    const LD C = EdgeCurlH(d, kAxisLetter[e.Axis], s.X, s.Y, s.Z);
    const LD kappa = LD(s.Value) * LD(e.Len) / inv / LD(e.Area) * c;
    const LD Eold = e.OldE;
    E = float(Eold + C / inv / (1 + kappa));
  }

  if (Step == 0)
    for (tInductor& s : Inductors) s.Accum = 0;
  for (size_t r = 0; r < Inductors.size(); ++r) {
    tInductor& s = Inductors[r];
    const Edge& e = InductorEdges[r];
    if (!e.Active || e.Axis < 0) continue;
    float& E = EdgeE(d, e.Axis, s.X, s.Y, s.Z);
    const LD C = EdgeCurlH(d, kAxisLetter[e.Axis], s.X, s.Y, s.Z);
    const LD lambda = LD(e.Len) * ts * ts / inv / LD(e.Area) / LD(s.L) / c;
    const LD Eold = e.OldE;
    E = float(Eold + C / inv - lambda * LD(s.Accum));
    s.Accum = float(LD(s.Accum) + LD(E));
  }
  return true;
}

}  // namespace rv
