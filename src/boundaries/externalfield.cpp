#include "boundaries/externalfield.h"

#include <cmath>

#include "solver/constants.h"
#include "solver/workpool.h"

namespace rv {

namespace {

// The value at position (x, y) metres: the wave enters at X = 1 and at the wall it leans
// away from (Y = max for a >= 0), so y is counted from that wall.
double Value(const SolverData& d, const ExternalWave& w, double x, double y, double offset,
             double factor, bool singleR) {
  if (!w.Signal) return 0;
  const double a = std::abs(w.IncAngle);
  const double p = std::cos(a) * x + std::sin(a) * y;
  double r = d.CurTime - p + offset;
  if (singleR) r = float(r);
  if (r < 0) return 0;
  return w.Signal->GetSignal(r / double(LightSpeed)) * factor;
}

bool IsPML(const SolverData& d, int f) { return d.PMLFace[size_t(f)] != 0; }

// Threads only where a plane holds enough work to pay for them; the bits are the same.
bool Threaded(const SolverData& d) { return ParallelGrid(d.Nx, d.Ny, d.Nz); }

// Adds v to a column along z of an array, k0..k1.
void AddColumn(t3DSpaceArray& a, int i, int j, int k0, int k1, double v) {
  float* p = a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
  for (int k = k0; k <= k1; ++k) p[k] = float(double(p[k]) + v);
}

}  // namespace

double PMLWaveCos(const SolverData& d, const ExternalWave& w, double i, double j, double offset) {
  const double y = w.IncAngle >= 0 ? (d.Ny - j - 0.5) * d.Dy : (j - 0.5) * d.Dy;
  return Value(d, w, (i - 1) * d.Dx, y, offset, std::cos(w.IncAngle), false);
}

double PMLWaveSin(const SolverData& d, const ExternalWave& w, double i, double j, double offset) {
  const double y = w.IncAngle >= 0 ? (d.Ny - j) * d.Dy : (j - 1) * d.Dy;
  return Value(d, w, (i - 0.5) * d.Dx, y, offset, std::sin(w.IncAngle), false);
}

double PMLWaveH(const SolverData& d, const ExternalWave& w, double i, double j, double offset) {
  const double y = w.IncAngle >= 0 ? (d.Ny - j - 0.5) * d.Dy : (j - 0.5) * d.Dy;
  return Value(d, w, (i - 0.5) * d.Dx, y, offset, 1 / Eta120Pi, true);
}

void AddPMLWaveH(SolverData& d, const ExternalWave& wave, int sign, double offset) {
  const SignalPass sig(wave.Signal);
  const ExternalWave w{sig.get(), wave.IncAngle};
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const bool onX1 = IsPML(d, FaceX1), onXm = IsPML(d, FaceXMax), onY1 = IsPML(d, FaceY1), onYm = IsPML(d, FaceYMax);
  if (onX1 || onXm) {
    ParallelFor(1, ny, [&](int j) {
      if (onXm) AddColumn(d.Hz, nx - 1, j, 1, nz, sign * PMLWaveH(d, w, nx - 1, j, offset));
      if (onX1) AddColumn(d.Hz, 1, j, 1, nz, sign * PMLWaveH(d, w, 1, j, offset));
    }, Threaded(d));
  }
  if (onY1 || onYm) {
    // The corner columns belong to the X faces when those are PML, else to the Y faces: the
    // Ex injected beside them must meet a converted Hz either way.
    const int i0 = onX1 ? 2 : 1, i1 = onXm ? nx - 2 : nx - 1;
    ParallelFor(i0, i1 + 1, [&](int i) {
      if (onY1) AddColumn(d.Hz, i, 1, 1, nz, sign * PMLWaveH(d, w, i, 1, offset));
      if (onYm) AddColumn(d.Hz, i, ny - 1, 1, nz, sign * PMLWaveH(d, w, i, ny - 1, offset));
    }, Threaded(d));
  }
}

void AddPMLWaveE(SolverData& d, const ExternalWave& wave, int sign, double offset) {
  const SignalPass sig(wave.Signal);
  const ExternalWave w{sig.get(), wave.IncAngle};
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const bool onX1 = IsPML(d, FaceX1), onXm = IsPML(d, FaceXMax), onY1 = IsPML(d, FaceY1),
             onYm = IsPML(d, FaceYMax), onZ1 = IsPML(d, FaceZ1), onZm = IsPML(d, FaceZMax);
  auto cosv = [&](int i, int j) { return sign * PMLWaveCos(d, w, i, j, offset); };
  auto sinv = [&](int i, int j) { return sign * PMLWaveSin(d, w, i, j, offset); };
  auto add = [](t3DSpaceArray& a, int i, int j, int k, double v) {
    a(i, j, k) = float(double(a(i, j, k)) + v);
  };
  const bool par = Threaded(d);
  // The X faces' Ey, then the Y faces' Ex, then the Z faces' Ey and Ex, then the edge lines.
  if (onX1 || onXm) {
    ParallelFor(1, ny, [&](int j) {
      if (onXm) AddColumn(d.Ey, nx, j, 2, nz - 1, cosv(nx, j));
      if (onX1) AddColumn(d.Ey, 1, j, 2, nz - 1, cosv(1, j));
    }, par);
  }
  if (onY1 || onYm) {
    ParallelFor(1, nx, [&](int i) {
      if (onY1) AddColumn(d.Ex, i, 1, 2, nz - 1, sinv(i, 1));
      if (onYm) AddColumn(d.Ex, i, ny, 2, nz - 1, sinv(i, ny));
    }, par);
  }
  if (onZ1 || onZm) {
    ParallelFor(1, nx + 1, [&](int i) {
      for (int j = 1; j <= ny - 1 && i >= 2 && i <= nx - 1; ++j) {
        const double v = cosv(i, j);
        if (onZm) add(d.Ey, i, j, nz, v);
        if (onZ1) add(d.Ey, i, j, 1, v);
      }
      for (int j = 2; j <= ny - 1 && i <= nx - 1; ++j) {
        const double v = sinv(i, j);
        if (onZm) add(d.Ex, i, j, nz, v);
        if (onZ1) add(d.Ex, i, j, 1, v);
      }
    }, par);
  }
  for (int j = 1; j <= ny - 1; ++j) {
    if (onX1 && onZ1) add(d.Ey, 1, j, 1, cosv(1, j));
    if (onX1 && onZm) add(d.Ey, 1, j, nz, cosv(1, j));
    if (onZ1 && onXm) add(d.Ey, nx, j, 1, cosv(nx, j));
    if (onZm && onXm) add(d.Ey, nx, j, nz, cosv(nx, j));
  }
  for (int i = 1; i <= nx - 1; ++i) {
    if (onY1 && onZ1) add(d.Ex, i, 1, 1, sinv(i, 1));
    if (onY1 && onZm) add(d.Ex, i, 1, nz, sinv(i, 1));
    if (onYm && onZ1) add(d.Ex, i, ny, 1, sinv(i, ny));
    if (onYm && onZm) add(d.Ex, i, ny, nz, sinv(i, ny));
  }
}

}  // namespace rv
