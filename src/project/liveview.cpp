#include "project/liveview.h"

#include <cmath>
#include <fstream>

#include "solver/edgematerial.h"
#include "solver/numtext.h"
#include "solver/solverdata.h"

namespace rv {

LiveScale MakeLiveScale(int mantissa, int exponent, bool log) {
  LiveScale s;
  s.max = StrToFloatDef(IntToStr(mantissa) + "e" + IntToStr(exponent), 0);
  s.min = -s.max;
  s.log = log;
  return s;
}

namespace {
// trunc(t) held to 0..9; a NaN (the logarithm of a negative) counts as 0.
int Steps(double t) { return !(t > 0) ? 0 : t >= 9 ? 9 : int(t); }
}  // namespace

int ColorIndex(const LiveScale& s, double v) {
  if (std::isnan(v)) return 9;
  if (!s.log) {
    if (!(s.max > s.min)) return 9;
    v = std::min(std::max(v, s.min), s.max);
    const double t = std::nearbyint(18 / (s.max - s.min) * (v - s.min));
    return t < 0 ? 0 : t > 18 ? 18 : int(t);
  }
  if (v == 0) return 9;
  if (v < 0) return Steps(std::log(s.max / -v) * 1.35);
  return 18 - Steps(std::log(s.min / -v) * 1.35);
}

ColorIndexer::ColorIndexer(const LiveScale& s) : s_(s) {
  fast_ = s.log && MakeBands(-s.min, bands_[0]) && MakeBands(s.max, bands_[1]);
}

bool ColorIndexer::MakeBands(double m, Bands& b) {
  // Far from overflow and subnormals, so the relative margin below holds.
  if (!(m >= 1e-280 && m <= 1e280)) return false;
  std::array<double, 9> lo;
  for (int n = 1; n <= 9; ++n) {
    // The index reaches n where log(m / |v|) * 1.35 = n. The margin is far wider than the
    // rounding of the logarithm's argument, result and product, and far narrower than a step.
    const double t = m * std::exp(-n / 1.35);
    lo[size_t(n - 1)] = t * (1 - 1e-9);
    b.hi[size_t(n - 1)] = t * (1 + 1e-9);
  }
  b.hi[9] = -1;
  // One octave more at each end: below all changes (9 above) and above them all (none).
  b.first = Octave(lo[8]) - 1;
  b.last = Octave(lo[0]) + 1;
  for (int e = b.first; e <= b.last; ++e) {
    Bands::Octave& o = b.octave[size_t(e - b.first)];
    const double top = std::ldexp(1.0, e - 1022);  // octave e is [top / 2, top)
    o = {};
    for (double l : lo)
      if (l >= top) ++o.above;
      else o.lo = std::max(o.lo, l);
  }
  return true;
}

std::array<std::string, 20> ScaleLabels(const LiveScale& s) {
  std::array<std::string, 20> lb;
  lb[0] = FormatGeneral(s.max, 3);
  lb[19] = FormatGeneral(s.min, 3);
  for (int n = 1; n <= 9; ++n) {
    const double v = s.log ? s.max / std::exp(n * 20.0 / 27.0) : s.max * (19 - 2 * n) / 19.0;
    lb[n] = FormatGeneral(v, 2);
    lb[19 - n] = FormatGeneral(-v, 2);
  }
  return lb;
}

const std::array<Rgb, 19>& LivePalette() {
  static const std::array<Rgb, 19> p = {{{255, 0, 0},   {255, 100, 0}, {255, 138, 0},
                                         {255, 192, 0}, {255, 255, 0}, {192, 255, 0},
                                         {139, 255, 0}, {100, 200, 0}, {50, 100, 0},
                                         {0, 0, 0},     {0, 0, 90},    {0, 50, 110},
                                         {0, 100, 139}, {0, 150, 192}, {0, 192, 255},
                                         {0, 138, 255}, {150, 0, 255}, {180, 0, 255},
                                         {255, 0, 255}}};
  return p;
}

std::optional<SlicePicture> BuildSlice(SliceAxis axis, int pos, int nx, int ny, int nz,
                                       const std::function<double(int, int, int)>& field,
                                       const LiveScale& scale) {
  // Across the picture runs `a` (1..na-1), up it `b` (1..nb-1).
  const int na = axis == SliceAxis::Z ? nx : nz;
  const int nb = axis == SliceAxis::Y ? nx : ny;
  const int nPos = axis == SliceAxis::X ? nx : axis == SliceAxis::Y ? ny : nz;
  if (pos < 1 || pos > nPos - 1 || na < 2 || nb < 2) return std::nullopt;
  SlicePicture p;
  p.width = na - 1;
  p.height = nb - 1;
  p.index.resize(size_t(p.width) * size_t(p.height));
  const ColorIndexer colour(scale);
  for (int b = 1; b < nb; ++b)
    for (int a = 1; a < na; ++a) {
      const double v = axis == SliceAxis::X   ? field(pos, b, a)
                       : axis == SliceAxis::Y ? field(b, pos, a)
                                              : field(a, b, pos);
      p.index[size_t(nb - 1 - b) * size_t(p.width) + size_t(a - 1)] =
          uint8_t(colour(-v));
    }
  return p;
}

std::string FrameFileName(char plane, int frame) {
  std::string n = IntToStr(frame);
  if (n.size() < 6) n.insert(0, 6 - n.size(), '_');
  return std::string(1, plane) + n + ".bmp";
}

namespace {
void Put(std::string& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b += char((v >> (8 * i)) & 0xFF);
}
}  // namespace

bool WriteSliceBmp(const std::string& path, const SlicePicture& p) {
  const uint32_t row = (uint32_t(p.width) * 3 + 3) & ~3u;
  const uint32_t pixels = row * uint32_t(p.height);
  std::string b;
  b.reserve(54 + pixels);
  b += "BM";
  Put(b, 54 + pixels, 4);
  Put(b, 0, 4);
  Put(b, 54, 4);
  Put(b, 40, 4);
  Put(b, uint32_t(p.width), 4);
  Put(b, uint32_t(p.height), 4);  // positive: rows stored bottom-up
  Put(b, 1, 2);
  Put(b, 24, 2);
  Put(b, 0, 4);
  Put(b, pixels, 4);
  Put(b, 2835, 4);
  Put(b, 2835, 4);
  Put(b, 0, 4);
  Put(b, 0, 4);
  const auto& pal = LivePalette();
  for (int y = p.height - 1; y >= 0; --y) {
    const size_t start = b.size();
    for (int x = 0; x < p.width; ++x) {
      const Rgb c = pal[p.at(x, y)];
      b += char(c.b);
      b += char(c.g);
      b += char(c.r);
    }
    b.append(row - (b.size() - start), '\0');
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(b.data(), std::streamsize(b.size()));
  return bool(out.flush());
}

double SliceValue(const SolverData& d, LiveQuantity q, int i, int j, int k, int step) {
  // An element of `a`, or 0 outside it: the view reads its own planes, never past them.
  auto at = [](const t3DSpaceArray& a, int x, int y, int z) -> double {
    return a.inside(x, y, z) ? a(x, y, z) : 0.0;
  };
  switch (q) {
    case LiveQuantity::Ex: return at(d.Ex, i, j, k);
    case LiveQuantity::Ey: return at(d.Ey, i, j, k);
    case LiveQuantity::Ez: return at(d.Ez, i, j, k);
    case LiveQuantity::Hx: return at(d.Hx, i, j, k);
    case LiveQuantity::Hy: return at(d.Hy, i, j, k);
    case LiveQuantity::Hz: return at(d.Hz, i, j, k);
    case LiveQuantity::Ix:
      if (j <= 1 || k <= 1) return 0;
      return (at(d.Hz, i, j, k) - at(d.Hz, i, j - 1, k)) * d.Dz +
             (at(d.Hy, i, j, k - 1) - at(d.Hy, i, j, k)) * d.Dy;
    case LiveQuantity::Iy:
      if (i <= 1 || k <= 1) return 0;
      return (at(d.Hx, i, j, k) - at(d.Hx, i, j, k - 1)) * d.Dx +
             (at(d.Hz, i - 1, j, k) - at(d.Hz, i, j, k)) * d.Dz;
    case LiveQuantity::Iz:
      if (i <= 1 || j <= 1) return 0;
      return (at(d.Hy, i, j, k) - at(d.Hy, i - 1, j, k)) * d.Dy +
             (at(d.Hx, i, j - 1, k) - at(d.Hx, i, j, k)) * d.Dx;
    case LiveQuantity::AbsE: {
      const double x = at(d.Ex, i, j, k), y = at(d.Ey, i, j, k), z = at(d.Ez, i, j, k);
      return std::sqrt(x * x + y * y + z * z);
    }
    case LiveQuantity::AbsH: {
      const double x = at(d.Hx, i, j, k), y = at(d.Hy, i, j, k), z = at(d.Hz, i, j, k);
      return std::sqrt(x * x + y * y + z * z);
    }
    case LiveQuantity::SAR: {
      if (!d.SAROn || step <= d.SARDelay || !d.PowerX.inside(i, j, k)) return 0;
      double s = 0;
      const std::pair<const t3DSpaceArray*, char> axes[] = {
          {&d.PowerX, 'X'}, {&d.PowerY, 'Y'}, {&d.PowerZ, 'Z'}};
      for (const auto& [power, axis] : axes) {
        const double density = GetEdgeMaterial(d, i, j, k, axis).Density;
        if (density > 0) s += at(*power, i, j, k) / density;
      }
      return s / d.Dx / d.Dy / d.Dz / (step - d.SARDelay);
    }
    case LiveQuantity::dT: return d.HeatingOn ? at(d.TempRise, i, j, k) : 0;
  }
  return 0;
}

}  // namespace rv
