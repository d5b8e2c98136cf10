#include "solver/lumped.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <map>

#include "solver/constants.h"
#include "solver/edgematerial.h"
#include "solver/numtext.h"
#include "solver/yee.h"

namespace rv {

using LD = long double;

double SourceValue(const ISignal* signal, bool NoSource, double T) {
  if (NoSource || !(T >= 0) || !signal) return 0;
  return signal->GetSignal(T / double(LightSpeed));
}

namespace {

// Within the 32-bit numbers of the run's fields and curves: not above the largest float, and
// not so small (short of 0) that it reads as 0 there.
bool InFloatRange(double v) { return std::fabs(v) <= double(FLT_MAX) && (v == 0 || std::fabs(v) >= double(FLT_MIN)); }

}  // namespace

bool UsableResistance(double R) { return R > 0 && InFloatRange(R); }
bool UsableCapacitance(double C) { return C >= 0 && InFloatRange(C); }
bool UsableInductance(double L) { return L > 0 && InFloatRange(L); }
bool UsableThreshold(double V) { return std::fabs(V) <= double(FLT_MAX); }

std::string WhyLumpedValueUnusable(double v) {
  if (!InFloatRange(v))
    return std::string(OutOfRangeReason) + " 32-битных чисел расчета: по модулю от " + FormatGeneral(FLT_MIN, 7) +
           " до " + FormatGeneral(FLT_MAX, 7);
  if (v == 0) return "на ноль уравнение элемента делит, и поле заполнится бесконечностями";
  return "элемент с отрицательным значением отдает энергию, и поле в расчете растет без ограничения";
}

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

// lambda of the inductor update for an edge of length len and cross-section area.
LD InductorFactor(double len, double area, double timeStep, double L) {
  return LD(len) * LD(timeStep) * LD(timeStep) / LD(InvEta0) / LD(area) / LD(L) / LD(LightSpeed);
}

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
  e.Absorbs = M.Ca != 1 || M.DebyeCoef != 0 || M.DebyeDecay != 1;
  e.Eps = M.DebyeDecay != 1 ? M.EpsInf : M.EpsStatic;
  return e;
}

// An edge as a map key: axis, then the cell.
using EdgeKey = std::array<int, 4>;

// The key of a record's edge; false for a record no run steps (X = 0, a cell outside the
// grid, a direction other than X, Y, Z).
template <class Rec>
bool SteppedEdge(const SolverData& d, const Rec& r, EdgeKey& key) {
  const int axis = AxisOf(r.Dir);
  if (r.X == 0 || axis < 0 || !LumpedCellInside(d, r.X, r.Y, r.Z)) return false;
  key = {axis, r.X, r.Y, r.Z};
  return true;
}

// The edge's E, writable or not as d is.
template <class Data>
auto& EdgeE(Data& d, int axis, int X, int Y, int Z) {
  return axis == 0 ? d.Ex(X, Y, Z) : axis == 1 ? d.Ey(X, Y, Z) : d.Ez(X, Y, Z);
}

}  // namespace

LumpedClash FindLumpedClash(const SolverData& d, const ElementArrays& el) {
  std::map<EdgeKey, int> gaps;  // each gap's edge and the first gap on it
  EdgeKey key;
  for (size_t g = 0; g < el.SparkGaps.size(); ++g)
    if (SteppedEdge(d, el.SparkGaps[g], key)) gaps.emplace(key, int(g));
  LumpedClash c;
  if (gaps.empty()) return c;
  auto look = [&](int kind, const auto& recs) {
    for (size_t r = 0; r < recs.size(); ++r) {
      if (!SteppedEdge(d, recs[r], key)) continue;
      const auto it = gaps.find(key);
      if (it == gaps.end() || (kind == KindSparkGap && it->second == int(r))) continue;
      if (!c || it->second < c.Gap) c = LumpedClash{it->second, kind, int(r)};
    }
  };
  look(KindSparkGap, el.SparkGaps);
  look(KindSource, el.VoltageSources);
  look(KindResistor, el.Resistors);
  look(KindCapacitor, el.Capacitors);
  look(KindInductor, el.Inductors);
  return c;
}

void LumpedRun::Clear() {
  SparkGaps.clear(); VoltageSources.clear(); Resistors.clear(); Capacitors.clear();
  Inductors.clear();
  GapEdges.clear(); SourceEdges.clear(); ResistorEdges.clear(); CapacitorEdges.clear();
  InductorEdges.clear();
  SourcePower.clear(); ResistorPower.clear(); CapacitorPower.clear(); InductorPower.clear();
  GapPower.clear();
  joints_.clear();
  gapHeld_.clear();
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

  // One update per edge. B and K (see Update) add up in record order, sources first.
  const LD inv = InvEta0, ts = d.TimeStep, c = LightSpeed;
  std::map<EdgeKey, size_t> at;
  std::vector<LD> B, K;
  auto joint = [&](const Edge& e, const auto& rec) -> size_t {
    const auto [it, added] = at.emplace(EdgeKey{e.Axis, rec.X, rec.Y, rec.Z}, joints_.size());
    if (added) {
      Joint j;
      j.Axis = e.Axis; j.X = rec.X; j.Y = rec.Y; j.Z = rec.Z;
      j.Len = e.Len;
      joints_.push_back(j);
      B.push_back(0);
      K.push_back(0);
    }
    return it->second;
  };
  auto stepped = [](const Edge& e) { return e.Active && e.Axis >= 0; };
  for (size_t r = 0; r < VoltageSources.size(); ++r) {
    const Edge& e = SourceEdges[r];
    if (!stepped(e)) continue;
    const size_t j = joint(e, VoltageSources[r]);
    const LD R = VoltageSources[r].R, A = e.Area, len = e.Len;
    joints_[j].Sources.push_back({r, ts / R / inv / A});
    B[j] += ts * len / 2 / R / inv / A;
  }
  for (size_t r = 0; r < Resistors.size(); ++r) {
    const Edge& e = ResistorEdges[r];
    if (!stepped(e)) continue;
    const size_t j = joint(e, Resistors[r]);
    joints_[j].Resistors.push_back(r);
    B[j] += ts * LD(e.Len) / 2 / LD(Resistors[r].Value) / inv / LD(e.Area);
  }
  for (size_t r = 0; r < Capacitors.size(); ++r) {
    const Edge& e = CapacitorEdges[r];
    if (!stepped(e)) continue;
    const size_t j = joint(e, Capacitors[r]);
    joints_[j].Capacitors.push_back(r);
    K[j] += LD(Capacitors[r].Value) * LD(e.Len) / inv / LD(e.Area) * c;
  }
  for (size_t r = 0; r < Inductors.size(); ++r) {
    const Edge& e = InductorEdges[r];
    if (stepped(e))
      joints_[joint(e, Inductors[r])].Inductors.push_back({r, InductorFactor(e.Len, e.Area, d.TimeStep, Inductors[r].L)});
  }
  SourcePower.assign(VoltageSources.size(), 0);
  ResistorPower.assign(Resistors.size(), 0);
  CapacitorPower.assign(Capacitors.size(), 0);
  InductorPower.assign(Inductors.size(), 0);
  GapPower.assign(SparkGaps.size(), 0);
  gapHeld_.assign(SparkGaps.size(), 0);
  for (size_t j = 0; j < joints_.size(); ++j) {
    Joint& J = joints_[j];
    J.Den = 1 + K[j] + B[j];
    J.Keep = (1 + K[j] - B[j]) / J.Den;
  }

  // A gap holds its edge alone: one that shares it is left out.
  std::map<EdgeKey, int> gapsAt;
  for (size_t r = 0; r < SparkGaps.size(); ++r) {
    const Edge& e = GapEdges[r];
    if (stepped(e)) ++gapsAt[EdgeKey{e.Axis, SparkGaps[r].X, SparkGaps[r].Y, SparkGaps[r].Z}];
  }
  for (size_t r = 0; r < SparkGaps.size(); ++r) {
    Edge& e = GapEdges[r];
    if (!stepped(e)) continue;
    const EdgeKey key{e.Axis, SparkGaps[r].X, SparkGaps[r].Y, SparkGaps[r].Z};
    if (gapsAt[key] > 1 || at.count(key))
      refuse(e, "Разрядник на одном ребре с другим элементом", r);
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

bool LumpedRun::KeepEdges(const SolverData& d) {
  if (!Fits(d)) return false;
  for (Joint& j : joints_) j.OldE = EdgeE(d, j.Axis, j.X, j.Y, j.Z);
  return true;
}

bool LumpedRun::Update(SolverData& d, const ISignal* signal, int Step) {
  if (!Fits(d)) return false;

  const LD inv = InvEta0;
  const double courant[3] = {d.CourantX, d.CourantY, d.CourantZ};
  const bool power = d.SAROn && Step >= d.SARDelay;
  const double dtSec = double(d.TimeStep) / double(LightSpeed);

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
        const double before = E;
        E = float(LD(courant[e.Axis]) * LD(E) / 500000 / std::sqrt(2.0L));
        // The spark takes the energy of the field it removes, as the power sums count it.
        if (power)
          GapPower[r] += e.Eps * e.Area * e.Len * (before * before - double(E) * double(E)) / 2 / dtSec;
      }
    }
  }

  // The other four kinds, one update per edge (see the header). The sums start at -0, which
  // adds nothing to any value, and terms a kind leaves out are exact: with one element on
  // the edge the update keeps the bits of that element's own formula.
  const LD V = SourceEdges.empty() ? 0 : SourceValue(signal, false, d.CurTime);
  if (Step == 0)
    for (tInductor& s : Inductors) s.Accum = 0;
  for (const Joint& j : joints_) {
    float& E = EdgeE(d, j.Axis, j.X, j.Y, j.Z);
    const LD C = EdgeCurlH(d, kAxisLetter[j.Axis], j.X, j.Y, j.Z);
    LD drive = -0.0L, held = -0.0L;
    for (const auto& [r, alpha] : j.Sources) drive += (VoltageSources[r].Polarity == '-' ? -1 : 1) * V * alpha;
    for (const auto& [r, lambda] : j.Inductors) held += -(lambda * LD(Inductors[r].Accum));
    E = float(drive / j.Den + j.Keep * LD(j.OldE) + C / inv / j.Den + held / j.Den);
    if (power) {
      // Each branch's current at mid-step times the edge's voltage averaged over the step,
      // as the edges' sums take theirs. The inductor's current is the one the update used.
      const double U = (double(j.OldE) + double(E)) / 2 * j.Len;
      for (const auto& [r, alpha] : j.Sources) {
        const tVoltageSource& s = VoltageSources[r];
        SourcePower[r] += U * (U - (s.Polarity == '-' ? -1 : 1) * double(V)) / s.R;
      }
      for (const size_t r : j.Resistors) ResistorPower[r] += U * U / Resistors[r].Value;
      for (const size_t r : j.Capacitors)
        CapacitorPower[r] += U * Capacitors[r].Value * (double(E) - double(j.OldE)) * j.Len / dtSec;
      for (const auto& [r, lambda] : j.Inductors)
        InductorPower[r] += U * j.Len * dtSec * double(Inductors[r].Accum) / Inductors[r].L;
    }
    for (const auto& [r, lambda] : j.Inductors) Inductors[r].Accum = float(LD(Inductors[r].Accum) + LD(E));
  }
  return true;
}

double LumpedRun::OtherPower() const {
  double p = 0;
  for (const auto* v : {&CapacitorPower, &InductorPower, &GapPower})
    for (const double x : *v) p += x;
  return p;
}

int LumpedRun::OtherCount() const {
  int n = 0;
  for (const auto* v : {&GapEdges, &CapacitorEdges, &InductorEdges})
    for (const Edge& e : *v) n += e.Active && e.Axis >= 0;
  return n;
}

bool LumpedRun::SettlePower(SolverData& d) const {
  const int nx = nx_, ny = ny_, nz = nz_;
  for (const t3DSpaceArray* a : {&d.PowerX, &d.PowerY, &d.PowerZ})
    if (a->len1() != nx + 1 || a->len2() != ny + 1 || a->len3() != nz + 1) return false;
  auto sum = [&d](int axis, int X, int Y, int Z) -> float& {
    return axis == 0 ? d.PowerX(X, Y, Z) : axis == 1 ? d.PowerY(X, Y, Z) : d.PowerZ(X, Y, Z);
  };
  for (const Joint& j : joints_) sum(j.Axis, j.X, j.Y, j.Z) = 0;
  for (size_t r = 0; r < SparkGaps.size(); ++r) {
    const Edge& e = GapEdges[r];
    if (!e.Active || e.Axis < 0) continue;
    const tSparkGap& g = SparkGaps[r];
    float& p = sum(e.Axis, g.X, g.Y, g.Z);
    if (!g.Fired && e.Absorbs) gapHeld_[r] = p;
    else p = gapHeld_[r];
  }
  return true;
}

InductorGrid InductorGridOf(const SolverData& d) {
  InductorGrid g;
  g.Nx = d.Nx; g.Ny = d.Ny; g.Nz = d.Nz;
  g.Dx = d.Dx; g.Dy = d.Dy; g.Dz = d.Dz;
  g.TimeStep = d.TimeStep;
  g.MurFace = d.MurFace; g.DissipationFace = d.DissipationFace; g.RTABCFace = d.RTABCFace;
  g.SymEFace = d.SymEFace; g.SymHFace = d.SymHFace;
  return g;
}

double InductorLambda(const InductorGrid& g, int axis, double L) {
  const double s[3] = {g.Dx, g.Dy, g.Dz};
  if (axis < 0 || axis > 2) return 0;
  return double(InductorFactor(s[axis], s[(axis + 1) % 3] * s[(axis + 2) % 3], g.TimeStep, L));
}

int InductorFaceReach(int axis, double dx, double dy, double dz) {
  const double s[3] = {dx, dy, dz};
  if (axis < 0 || axis > 2) return 4;
  const double along = std::max(s[(axis + 1) % 3], s[(axis + 2) % 3]) / s[axis];
  const double need = std::max(2.0, std::ceil(2.25 * along + 1.75 - 1e-9));
  return need < 1e6 ? int(need) : 1000000;
}

namespace {

// The check keeps this share of the margin in reserve for what its sums leave out: the
// couplings beyond kCouplingReach, the quadrature's error, the fields' float rounding.
constexpr double kBoundReserve = 0.01;
// Inductors and images farther apart than this many cells are taken as independent. Below
// the step's limit their coupling falls off exponentially: at the new project's step
// (S = 0.9977) it is below 0.1 % of an edge's own term from here on. At a step right at the
// limit it falls off as 1/r and is 1.7 % here.
constexpr int kCouplingReach = 16;

// The 8-point Gauss-Legendre rule on [0, 1]: points and weights.
struct Gauss8 {
  std::array<double, 8> x{}, w{};
  Gauss8() {
    const int n = 8;
    for (int i = 0; i < n; ++i) {
      double z = std::cos(3.14159265358979323846 * (i + 0.75) / (n + 0.5)), dp = 1;
      for (int it = 0; it < 100; ++it) {
        double p1 = 1, p2 = 0;
        for (int j = 0; j < n; ++j) {
          const double p3 = p2;
          p2 = p1;
          p1 = ((2 * j + 1) * z * p2 - j * p3) / (j + 1);
        }
        dp = n * (z * p1 - p2) / (z * z - 1);
        const double z1 = z;
        z = z1 - p1 / dp;
        if (std::fabs(z - z1) < 1e-15) break;
      }
      x[size_t(i)] = (1 - z) / 2;
      w[size_t(i)] = 1 / ((1 - z * z) * dp * dp);
    }
  }
};

// One axis of the coupling's sum over the phase advance theta per cell in [0, pi], as an
// average (weights add up to 1): panels of Gauss points in u, theta = pi (1 - u^3), so the
// points crowd to theta = pi, where 4 - K nears zero when the step nears the limit; u^2 of
// the weight makes the sum's 1/r^2 there bounded. sin2 and cos2 of theta/2, cos2 formed
// from u so that 1 - w keeps its digits near the corner.
struct AxisRule {
  std::vector<double> theta, weight, sin2, cos2;
};

AxisRule MakeAxisRule(int panels) {
  static const Gauss8 g;
  AxisRule r;
  const double pi = 3.14159265358979323846;
  for (int p = 0; p < panels; ++p)
    for (size_t i = 0; i < g.x.size(); ++i) {
      const double u = 1 - (p + g.x[i]) / panels, phi = pi * u * u * u;
      const double c = std::sin(phi / 2), s = std::cos(phi / 2);
      r.theta.push_back(pi - phi);
      r.weight.push_back(g.w[i] / panels * 3 * u * u);
      r.sin2.push_back(s * s);
      r.cos2.push_back(c * c);
    }
  return r;
}

// e_a (4 - K)^-1 e_b on the unbounded vacuum grid for two E edges along axes a and b whose
// mid-points lie D2/2 cells apart. Per wave vector K has the eigenvalue 0 on the gradient
// and 4w on the two transverse directions, w = sum q_c^2 with q_c = sqrt(s_c) sin(theta_c/2)
// and s_c = (c dt / d_c)^2, which gives (delta_ab - q_a q_b) / (4 (1 - w)), averaged over the
// zone with the offset's phase; the integrand is even in every theta_c, so the octant does.
// With 1 - S^2 = 1 - sum s_c the gap, 1 - w = gap + sum s_c cos^2(theta_c/2).
class Coupling {
public:
  explicit Coupling(const std::array<double, 3>& s) : s_(s) {
    gap_ = std::max(0.0, 1 - (s[0] + s[1] + s[2]));
  }

  double operator()(int a, int b, std::array<int, 3> D2) {
    if (a > b) std::swap(a, b);
    if (D2 < std::array<int, 3>{}) D2 = {-D2[0], -D2[1], -D2[2]};  // even in the offset
    const std::array<int, 5> key{a, b, D2[0], D2[1], D2[2]};
    const auto it = memo_.find(key);
    if (it != memo_.end()) return it->second;
    return memo_[key] = Compute(a, b, D2);
  }

private:
  const AxisRule& Rule(int panels) {
    auto it = rules_.find(panels);
    if (it == rules_.end()) it = rules_.emplace(panels, MakeAxisRule(panels)).first;
    return it->second;
  }

  double Compute(int a, int b, const std::array<int, 3>& D2) {
    std::array<std::vector<double>, 3> f, sq, cq;  // phase times weight, s sin^2, s cos^2
    for (int c = 0; c < 3; ++c) {
      // Four panels resolve the corner; one more per two cells of offset its phase.
      const AxisRule& r = Rule(4 + (std::abs(D2[size_t(c)]) + 3) / 4);
      const double sc = s_[size_t(c)];
      const bool odd = a != b && (c == a || c == b);
      for (size_t i = 0; i < r.theta.size(); ++i) {
        const double arg = r.theta[i] * D2[size_t(c)] / 2;
        f[size_t(c)].push_back(r.weight[i] * (odd ? std::sqrt(sc * r.sin2[i]) * std::sin(arg) : std::cos(arg)));
        sq[size_t(c)].push_back(sc * r.sin2[i]);
        cq[size_t(c)].push_back(sc * r.cos2[i]);
      }
    }
    double sum = 0;
    const size_t n0 = f[0].size(), n1 = f[1].size(), n2 = f[2].size();
    for (size_t i = 0; i < n0; ++i)
      for (size_t j = 0; j < n1; ++j) {
        const double fij = f[0][i] * f[1][j], gij = gap_ + cq[0][i] + cq[1][j];
        double part = 0;
        for (size_t k = 0; k < n2; ++k) {
          const double num = a != b ? 1 : 1 - (a == 0 ? sq[0][i] : a == 1 ? sq[1][j] : sq[2][k]);
          part += f[2][k] * num / (gij + cq[2][k]);
        }
        sum += fij * part;
      }
    return sum / 4;
  }

  std::array<double, 3> s_;
  double gap_ = 0;
  std::map<std::array<int, 5>, double> memo_;
  std::map<int, AxisRule> rules_;
};

// The first Mur's, 1/R or RT-ABC face the site is too near: the face, the whole cells
// between the nearer end of its edge and the face's node plane, the cells it needs.
std::array<int, 3> NearestAbsorbingFace(const InductorGrid& d, const InductorSite& s) {
  const int n[3] = {d.Nx, d.Ny, d.Nz}, at[3] = {s.X, s.Y, s.Z};
  const int low[3] = {FaceX1, FaceY1, FaceZ1}, high[3] = {FaceXMax, FaceYMax, FaceZMax};
  for (int c = 0; c < 3; ++c) {
    for (const bool top : {false, true}) {
      const size_t f = size_t(top ? high[c] : low[c]);
      if (!d.MurFace[f] && !d.DissipationFace[f] && !d.RTABCFace[f]) continue;
      const int need = d.RTABCFace[f] ? kRTABCFaceReach : InductorFaceReach(c, d.Dx, d.Dy, d.Dz);
      // An edge along the normal reaches from node i to node i + 1.
      const int cells = top ? n[c] - at[c] - (s.Axis == c ? 1 : 0) : at[c] - 1;
      if (cells < need) return {int(f), cells, need};
    }
  }
  return {0, 0, 0};
}

// An E edge: twice its mid-point in cells, and its axis.
struct Member {
  std::array<int, 3> P2{};
  int Axis = 2;
  bool operator==(const Member&) const = default;
};

long long Dist2(const Member& a, const Member& b) {
  long long s = 0;
  for (size_t c = 0; c < 3; ++c) s += (long long)(a.P2[c] - b.P2[c]) * (a.P2[c] - b.P2[c]);
  return s;
}

bool Within(const Member& a, const Member& b, int cells) { return Dist2(a, b) <= 4LL * cells * cells; }

// An inductor with its mirror images in the symmetry faces. A face at node 1 copies ("for
// E") or negates ("for H") the tangential E of node 2 into its own plane: the run is then
// the unbounded grid mirrored about node 1.5 (at node N about N - 0.5), restricted to the
// fields that the mirror maps to themselves, with an image of every inductor. Mirroring
// keeps a tangential E and turns the normal one ("for E"), or the other way round ("for
// H"): Sign is the image's E over the edge's. An edge on the mirror plane that the mirror
// turns ("for E", normal to the face) holds a field of the plane alone, which the rest of
// the grid does not feed back: such an inductor (Plane) shares its margin only with others
// of its kind.
struct Site {
  Member Own;
  std::vector<std::pair<Member, int>> Images;  // with their signs; the edge itself first
  bool Plane = false;
  int Fixed = 0;  // mirror planes the edge lies on and is kept by
};

Site SiteOf(const InductorGrid& d, const InductorSite& in) {
  Site s;
  s.Own.Axis = in.Axis;
  s.Own.P2 = {2 * in.X, 2 * in.Y, 2 * in.Z};
  s.Own.P2[size_t(in.Axis)] += 1;
  s.Images.push_back({s.Own, 1});
  const int n[3] = {d.Nx, d.Ny, d.Nz};
  const int low[3] = {FaceX1, FaceY1, FaceZ1}, high[3] = {FaceXMax, FaceYMax, FaceZMax};
  // Images as far as another site within reach may see them.
  for (size_t q = 0; q < s.Images.size(); ++q)
    for (int c = 0; c < 3; ++c)
      for (const bool top : {false, true}) {
        const size_t f = size_t(top ? high[c] : low[c]);
        if (!d.SymEFace[f] && !d.SymHFace[f]) continue;
        const auto [from, sign] = s.Images[q];
        Member m = from;
        m.P2[size_t(c)] = top ? 4 * n[c] - 2 - m.P2[size_t(c)] : 6 - m.P2[size_t(c)];
        const int turn = (m.Axis == c) == (d.SymEFace[f] != 0) ? -1 : 1;
        if (m == from) {
          if (q == 0 && turn < 0) s.Plane = true;
          if (q == 0 && turn > 0) ++s.Fixed;
          continue;
        }
        const bool known = std::any_of(s.Images.begin(), s.Images.end(), [&](const auto& x) { return x.first == m; });
        if (!known && Within(m, s.Own, 2 * kCouplingReach)) s.Images.push_back({m, sign * turn});
      }
  return s;
}

// The Cholesky factor of I - M over the sites taken so far, M_ij = sqrt(lambda_i lambda_j)
// C_ij / (1 - reserve), C_ij = v_i (4 - K)^-1 v_j for the unit field v of each site and its
// images: the inductors are stable together while the factor exists.
class SharedMargin {
public:
  explicit SharedMargin(Coupling& g) : g_(g) {}

  // C_ij: the images of j as i's edge sees them (a site kept by a mirror has fewer images,
  // hence the weight).
  double Couple(const Site& a, const Site& b) {
    if (a.Plane != b.Plane) return 0;
    double sum = 0;
    for (const auto& [m, sign] : b.Images)
      if (Within(a.Own, m, kCouplingReach))
        sum += sign * g_(a.Own.Axis, m.Axis, {a.Own.P2[0] - m.P2[0], a.Own.P2[1] - m.P2[1], a.Own.P2[2] - m.P2[2]});
    return sum * std::sqrt(std::ldexp(1.0, b.Fixed - a.Fixed));
  }

  // Takes the site in with its lambda (keep: for good); false, changing nothing, when
  // I - M stops being positive definite with it.
  bool Add(const Site& site, double lambda, bool keep) {
    const double scale = 1 / (1 - kBoundReserve);
    std::vector<double> row;
    for (size_t j = 0; j < sites_.size(); ++j) {
      double a = -std::sqrt(lambda * lam_[j]) * Couple(site, sites_[j]) * scale;
      for (size_t k = 0; k < j; ++k) a -= row[k] * rows_[j][k];
      row.push_back(a / rows_[j][j]);
    }
    double diag = 1 - lambda * Couple(site, site) * scale;
    for (const double v : row) diag -= v * v;
    if (!(diag > 0)) return false;
    if (keep) {
      row.push_back(std::sqrt(diag));
      rows_.push_back(std::move(row));
      sites_.push_back(site);
      lam_.push_back(lambda);
    }
    return true;
  }

  const std::vector<Site>& Sites() const { return sites_; }

private:
  Coupling& g_;
  std::vector<Site> sites_;
  std::vector<double> lam_;
  std::vector<std::vector<double>> rows_;
};

}  // namespace

InductorBound CheckInductorStability(const InductorGrid& d, const std::vector<InductorSite>& sites) {
  InductorBound r;
  const double sizes[3] = {d.Dx, d.Dy, d.Dz};
  const double e = std::min(1.0, d.EpsMin), m = std::min(1.0, d.MuMin);
  if (sites.empty() || !(e > 0) || !(m > 0) || !(d.TimeStep > 0)) return r;
  // In a medium faster than vacuum the Rayleigh quotient of K grows by 1/(eps mu) and the
  // inductor's term by 1/eps (its own edge stays vacuum): a vacuum grid at that step.
  std::array<double, 3> s{};
  double sum = 0;
  for (size_t c = 0; c < 3; ++c) {
    if (!(sizes[c] > 0)) return r;
    s[c] = (d.TimeStep / sizes[c]) * (d.TimeStep / sizes[c]) / (e * m);
    sum += s[c];
  }
  if (!std::isfinite(sum)) return r;
  const bool mur = std::any_of(d.MurFace.begin(), d.MurFace.end(), [](uint8_t f) { return f != 0; });
  const double share = std::sqrt(sum);
  if (sum > 1)  // a step within the limit, but for its last digits
    for (double& v : s) v /= sum;
  Coupling g(s);
  SharedMargin margin(g);
  std::vector<int> taken;  // the sites in the margin, by index
  for (size_t i = 0; i < sites.size(); ++i) {
    const InductorSite& in = sites[i];
    // A record the run leaves out or refuses for its value is not stepped.
    const int at[3] = {in.X, in.Y, in.Z}, n[3] = {d.Nx, d.Ny, d.Nz};
    bool inside = in.Axis >= 0 && in.Axis <= 2 && UsableInductance(in.L);
    for (int c = 0; c < 3; ++c) inside = inside && at[c] >= 1 && at[c] <= n[c] - 1;
    if (!inside) continue;
    // On a face's plane the face sets the edge itself: the run start refuses the element
    // for its place (FaceWritingEdge), not for its L.
    bool onFace = false;
    for (int c = 0; c < 3; ++c) onFace = onFace || (c != in.Axis && (at[c] == 1 || at[c] == n[c]));
    if (onFace) continue;
    if (mur && share > kMurInductorStepShare * (1 + 1e-12)) {
      r.Site = int(i);
      r.StepShare = share;
      return r;
    }
    const double unit = InductorLambda(d, in.Axis, 1) / e;  // lambda * L
    const double alone = g(in.Axis, in.Axis, {0, 0, 0});
    const double aloneMinL = unit * alone / (1 - kBoundReserve);
    if (const auto [face, cells, need] = NearestAbsorbingFace(d, in); face) {
      r.Site = int(i);
      r.Face = face;
      r.FaceCells = cells;
      r.NeedCells = need;
      return r;
    }
    const Site site = SiteOf(d, in);
    if (margin.Add(site, unit / in.L, true)) {
      taken.push_back(int(i));
      continue;
    }

    r.Site = int(i);
    const double own = margin.Couple(site, site);
    r.AloneMinL = aloneMinL;
    r.Mirrored = own >= 1.001 * alone;
    // The largest lambda that still fits; with its images alone the site takes (1 - reserve)/own.
    double lo = 0, hi = (1 - kBoundReserve) / own;
    for (int it = 0; it < 60; ++it) {
      const double mid = (lo + hi) / 2;
      (margin.Add(site, mid, false) ? lo : hi) = mid;
    }
    r.MinL = lo > 0 ? unit / lo : INFINITY;
    // The sites before it that raise its bound: couplings of 1 % of its own term or more.
    std::vector<std::pair<long long, int>> near;
    for (size_t j = 0; j < taken.size(); ++j) {
      const Site& o = margin.Sites()[j];
      if (std::fabs(margin.Couple(site, o)) >= 0.01 * own) near.push_back({Dist2(site.Own, o.Own), taken[j]});
    }
    std::sort(near.begin(), near.end());
    for (const auto& [dist, j] : near) r.Near.push_back(j);
    return r;
  }
  return r;
}

}  // namespace rv
