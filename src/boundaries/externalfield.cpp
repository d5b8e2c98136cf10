#include "boundaries/externalfield.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <cmath>
#include <vector>

#include "solver/constants.h"
#include "solver/workpool.h"

namespace rv {

namespace {

// The wave's geometry for one call: the values at positions (x, y) metres. The wave enters
// at X = 1 and at the wall it leans away from (Y = max for a >= 0), so y is counted from
// that wall.
struct Geometry {
  const ISignal* sig;
  double c, s;        // cos |a|, sin |a|
  double curTime, offset;

  Geometry(const SolverData& d, const ExternalWave& w, double offset)
      : sig(w.Signal), c(std::cos(std::abs(w.IncAngle))), s(std::sin(std::abs(w.IncAngle))),
        curTime(d.CurTime), offset(offset) {}

  // The signal at the retarded times of n positions, times factor: out[k] for (x[k], y[k]).
  // Values before the front are exactly 0; the signal is asked once for all the others.
  void Values(const double* x, const double* y, int n, double factor, bool singleR,
              double* out) const {
    if (!sig) {
      for (int k = 0; k < n; ++k) out[k] = 0;
      return;
    }
    constexpr int kMax = 256;
    double times[kMax], v[kMax];
    int slot[kMax];
    for (int b0 = 0; b0 < n; b0 += kMax) {
      const int nb = std::min(kMax, n - b0);
      int m = 0;
      for (int k = 0; k < nb; ++k) {
        double r = curTime - (c * x[b0 + k] + s * y[b0 + k]) + offset;
        if (singleR) r = float(r);
        slot[k] = r < 0 ? -1 : m;
        if (r >= 0) times[m++] = r / double(LightSpeed);
      }
      if (m > 0) sig->GetSignals(times, v, m);
      for (int k = 0; k < nb; ++k) out[b0 + k] = slot[k] < 0 ? 0.0 : v[slot[k]] * factor;
    }
  }
};

// The positions (metres) of the Ey-like and Ex-like edges and of the Hz faces; a >= 0
// counts y from the top wall.
double YCos(const SolverData& d, double a, double j) { return a >= 0 ? (d.Ny - j - 0.5) * d.Dy : (j - 0.5) * d.Dy; }
double YSin(const SolverData& d, double a, double j) { return a >= 0 ? (d.Ny - j) * d.Dy : (j - 1) * d.Dy; }
double XCos(const SolverData& d, double i) { return (i - 1) * d.Dx; }
double XHalf(const SolverData& d, double i) { return (i - 0.5) * d.Dx; }

double One(const SolverData& d, const ExternalWave& w, double x, double y, double offset,
           double factor, bool singleR) {
  double v = 0;
  Geometry(d, w, offset).Values(&x, &y, 1, factor, singleR, &v);
  return v;
}

bool IsPML(const SolverData& d, int f) { return d.PMLFace[size_t(f)] != 0; }

// Threads only where a plane holds enough work to pay for them; the bits are the same.
bool Threaded(const SolverData& d) { return ParallelGrid(d.Nx, d.Ny, d.Nz); }

// Adds v to a column along z of an array, k0..k1.
void AddColumn(t3DSpaceArray& a, int i, int j, int k0, int k1, double v) {
  float* p = a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
  for (int k = k0; k <= k1; ++k) p[k] = float(double(p[k]) + v);
}

// Values of one function along a line of edges, each times sign: i fixed and j = first..
// (alongJ), or j fixed and i = first.., n of them.
enum Fn { FCos, FSin, FH };
void Line(const SolverData& d, const ExternalWave& w, const Geometry& g, Fn fn, bool alongJ,
          int fixed, int first, int n, int sign, double* out) {
  const double a = w.IncAngle;
  const double factor = fn == FCos ? std::cos(a) : fn == FSin ? std::sin(a) : 1 / Eta120Pi;
  constexpr int kMax = 256;
  double x[kMax], y[kMax];
  for (int b0 = 0; b0 < n; b0 += kMax) {
    const int nb = std::min(kMax, n - b0);
    for (int k = 0; k < nb; ++k) {
      const double i = alongJ ? fixed : first + b0 + k, j = alongJ ? first + b0 + k : fixed;
      x[k] = fn == FCos ? XCos(d, i) : XHalf(d, i);
      y[k] = fn == FSin ? YSin(d, a, j) : YCos(d, a, j);
    }
    g.Values(x, y, nb, factor, fn == FH, out + b0);
    for (int k = 0; k < nb; ++k) out[b0 + k] = sign * out[b0 + k];
  }
}

}  // namespace

double PMLWaveCos(const SolverData& d, const ExternalWave& w, double i, double j, double offset) {
  return One(d, w, XCos(d, i), YCos(d, w.IncAngle, j), offset, std::cos(w.IncAngle), false);
}

double PMLWaveSin(const SolverData& d, const ExternalWave& w, double i, double j, double offset) {
  return One(d, w, XHalf(d, i), YSin(d, w.IncAngle, j), offset, std::sin(w.IncAngle), false);
}

double PMLWaveH(const SolverData& d, const ExternalWave& w, double i, double j, double offset) {
  return One(d, w, XHalf(d, i), YCos(d, w.IncAngle, j), offset, 1 / Eta120Pi, true);
}

void AddPMLWaveH(SolverData& d, const ExternalWave& wave, int sign, double offset) {
  const SignalPass sig(wave.Signal);
  const ExternalWave w{sig.get(), wave.IncAngle};
  const Geometry g(d, w, offset);
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const bool onX1 = IsPML(d, FaceX1), onXm = IsPML(d, FaceXMax), onY1 = IsPML(d, FaceY1), onYm = IsPML(d, FaceYMax);
  // The corner columns belong to the X faces when those are PML, else to the Y faces: the
  // Ex injected beside them must meet a converted Hz either way.
  const int i0 = onX1 ? 2 : 1, i1 = onXm ? nx - 2 : nx - 1;
  const int nj = std::max(ny - 1, 0), ni = std::max(i1 - i0 + 1, 0);
  // The columns' values first (a few hundred), then all columns in one hand-out.
  std::vector<double> xm(static_cast<size_t>(nj)), x1(xm.size()), y1(static_cast<size_t>(ni)), ym(y1.size());
  if (onXm) Line(d, w, g, FH, true, nx - 1, 1, nj, sign, xm.data());
  if (onX1) Line(d, w, g, FH, true, 1, 1, nj, sign, x1.data());
  if (onY1) Line(d, w, g, FH, false, 1, i0, ni, sign, y1.data());
  if (onYm) Line(d, w, g, FH, false, ny - 1, i0, ni, sign, ym.data());
  std::vector<LoopPart> parts;
  if (onX1 || onXm)
    parts.push_back({1, ny, [&](int j) {
                       if (onXm) AddColumn(d.Hz, nx - 1, j, 1, nz, xm[size_t(j - 1)]);
                       if (onX1) AddColumn(d.Hz, 1, j, 1, nz, x1[size_t(j - 1)]);
                     }});
  if (onY1 || onYm)
    parts.push_back({i0, i1 + 1, [&](int i) {
                       if (onY1) AddColumn(d.Hz, i, 1, 1, nz, y1[size_t(i - i0)]);
                       if (onYm) AddColumn(d.Hz, i, ny - 1, 1, nz, ym[size_t(i - i0)]);
                     }});
  ParallelForParts(parts, Threaded(d));
}

void AddPMLWaveE(SolverData& d, const ExternalWave& wave, int sign, double offset) {
  const SignalPass sig(wave.Signal);
  const ExternalWave w{sig.get(), wave.IncAngle};
  const Geometry g(d, w, offset);
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const bool onX1 = IsPML(d, FaceX1), onXm = IsPML(d, FaceXMax), onY1 = IsPML(d, FaceY1),
             onYm = IsPML(d, FaceYMax), onZ1 = IsPML(d, FaceZ1), onZm = IsPML(d, FaceZMax);
  const int nj = std::max(ny - 1, 0), ni = std::max(nx - 1, 0);
  // The X faces' Ey and the Y faces' Ex, each column with its ends on the edge lines where
  // a Z face is PML too; the Z faces' Ey and Ex row by row. Every element takes one value,
  // so all of it is one hand-out.
  std::vector<double> xm(static_cast<size_t>(nj)), x1(xm.size()), y1(static_cast<size_t>(ni)), ym(y1.size());
  if (onXm) Line(d, w, g, FCos, true, nx, 1, nj, sign, xm.data());
  if (onX1) Line(d, w, g, FCos, true, 1, 1, nj, sign, x1.data());
  if (onY1) Line(d, w, g, FSin, false, 1, 1, ni, sign, y1.data());
  if (onYm) Line(d, w, g, FSin, false, ny, 1, ni, sign, ym.data());
  const int k0 = onZ1 ? 1 : 2, k1 = onZm ? nz : nz - 1;
  std::vector<LoopPart> parts;
  if (onX1 || onXm)
    parts.push_back({1, ny, [&](int j) {
                       if (onXm) AddColumn(d.Ey, nx, j, k0, k1, xm[size_t(j - 1)]);
                       if (onX1) AddColumn(d.Ey, 1, j, k0, k1, x1[size_t(j - 1)]);
                     }});
  if (onY1 || onYm)
    parts.push_back({1, nx, [&](int i) {
                       if (onY1) AddColumn(d.Ex, i, 1, k0, k1, y1[size_t(i - 1)]);
                       if (onYm) AddColumn(d.Ex, i, ny, k0, k1, ym[size_t(i - 1)]);
                     }});
  if (onZ1 || onZm)
    parts.push_back({1, nx, [&](int i) {
                       // Ey for i = 2..Nx-1, j = 1..Ny-1; Ex for j = 2..Ny-1.
                       constexpr int kBlock = 64;
                       double v[kBlock];
                       auto plane = [&](t3DSpaceArray& a, Fn fn, int j0, int j1) {
                         float* col = a.data() + size_t(i) * a.strideX();
                         const size_t sy = a.strideY();
                         for (int b0 = j0; b0 <= j1; b0 += kBlock) {
                           const int nb = std::min(kBlock, j1 - b0 + 1);
                           // Every element is a line of its own: fetched while the values are
                           // computed.
                           for (int n = 0; n < nb; ++n) {
                             float* c = col + size_t(b0 + n) * sy;
                             if (onZ1) __builtin_prefetch(c + 1, 1);
                             if (onZm) __builtin_prefetch(c + nz, 1);
                           }
                           Line(d, w, g, fn, true, i, b0, nb, sign, v);
                           for (int n = 0; n < nb; ++n) {
                             float* c = col + size_t(b0 + n) * sy;
                             if (onZm) c[nz] = float(double(c[nz]) + v[n]);
                             if (onZ1) c[1] = float(double(c[1]) + v[n]);
                           }
                         }
                       };
                       if (i >= 2) plane(d.Ey, FCos, 1, ny - 1);
                       plane(d.Ex, FSin, 2, ny - 1);
                     }});
  ParallelForParts(parts, Threaded(d));
}

namespace {

// The faces in the order a user reads them, with their short names and normal axes.
struct NamedFace {
  Face face;
  const char* name;
  int axis;
};
constexpr NamedFace kFaces[6] = {{FaceX1, "X=1", 0},   {FaceXMax, "X=max", 0}, {FaceY1, "Y=1", 1},
                                 {FaceYMax, "Y=max", 1}, {FaceZ1, "Z=1", 2},   {FaceZMax, "Z=max", 2}};

struct Kind {
  const FaceFlags SolverData::*flags;
  const char* name;
  bool On(const SolverData& d, Face f) const { return (d.*flags)[size_t(f)] != 0; }
  bool Any(const SolverData& d) const {
    return std::any_of(std::begin(kFaces), std::end(kFaces), [&](const NamedFace& f) { return On(d, f.face); });
  }
};
const Kind kPML{&SolverData::PMLFace, "PML"}, kMur{&SolverData::MurFace, "Mur"},
    kInvR{&SolverData::DissipationFace, "1/R"}, kRTABC{&SolverData::RTABCFace, "RT-ABC"},
    kPEC{&SolverData::PECFace, "PEC"}, kSymE{&SolverData::SymEFace, "Symmetry for E"},
    kSymH{&SolverData::SymHFace, "Symmetry for H"};

// "грани X=1, X=max — Mur; грань Y=1 — PML": the faces `pick` takes, grouped by their kind
// among `kinds`, each group where its first face comes.
template <class Pick>
std::string Groups(const SolverData& d, std::initializer_list<Kind> kinds, Pick pick) {
  std::string text;
  std::vector<const Kind*> done;
  for (const NamedFace& f : kFaces)
    for (const Kind& k : kinds) {
      if (!pick(f) || !k.On(d, f.face) || std::find(done.begin(), done.end(), &k) != done.end()) continue;
      done.push_back(&k);
      std::string names;
      int count = 0;
      for (const NamedFace& g : kFaces)
        if (pick(g) && k.On(d, g.face)) names += (count++ ? ", " : "") + std::string(g.name);
      text += (text.empty() ? "" : "; ") + std::string(count > 1 ? "грани " : "грань ") + names + " — " + k.name;
    }
  return text;
}

}  // namespace

std::string ExternalFieldFaceConflict(const SolverData& d, double angleDeg) {
  auto every = [](const NamedFace&) { return true; };
  if (kPML.Any(d) && (kMur.Any(d) || kInvR.Any(d) || kRTABC.Any(d)))
    return "Внешнее поле: " + Groups(d, {kPML, kMur, kInvR, kRTABC}, every) +
           ". Такое сочетание не поддерживается: задайте PML всем поглощающим граням или ни одной.";
  if (angleDeg != 0 && kInvR.Any(d))
    return "Внешнее поле: " + Groups(d, {kInvR}, every) +
           ": грани 1/R пропускают только волну вдоль оси X. Задайте угол падения 0 или другие "
           "поглощающие грани.";
  // The wave's E lies in the xy plane and does not change along z; its Ex is 0 at angle 0
  // and its Ey at +-90 degrees. So a Z face holds as "Symmetry for E", a Y face as any
  // closed kind at 0, an X face as any closed kind at +-90.
  auto wrong = [&](const NamedFace& f) {
    const size_t n = size_t(f.face);
    if (!(d.PECFace[n] || d.SymEFace[n] || d.SymHFace[n])) return false;
    return f.axis == 2 ? !d.SymEFace[n] : f.axis == 1 ? angleDeg != 0 : std::abs(angleDeg) != 90;
  };
  const std::string faces = Groups(d, {kPEC, kSymE, kSymH}, wrong);
  if (!faces.empty())
    return "Внешнее поле: " + faces +
           ": падающая волна с такой гранью не согласуется. Допустимы: на гранях Z — "
           "Symmetry for E; на гранях Y — PEC или симметрия при угле падения 0; на гранях X — "
           "PEC или симметрия при угле ±90.";
  return "";
}

}  // namespace rv
