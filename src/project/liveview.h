// The live field view's pictures: the colour scale (linear or logarithmic, symmetric about
// zero), its 19-colour palette and labels, one slice of a quantity as palette indices, and
// the frames written to disk as 24-bit bitmaps.
#pragma once
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rv {

struct LiveScale {
  double max = 1, min = -1;
  bool log = false;
};
// The scale from its mantissa and exponent ("1" and "-3" give 0.001) and min = -max.
LiveScale MakeLiveScale(int mantissa, int exponent, bool log);

// Palette index 0..18 of a value on the scale: 0 at its minimum, 18 at its maximum. Fields
// are drawn negated (FieldColorIndex), so that a field at the maximum is red (0). NaN is
// black (9); infinities and scales that have no logarithm stay inside 0..18.
int ColorIndex(const LiveScale& s, double v);
inline int FieldColorIndex(const LiveScale& s, double field) { return ColorIndex(s, -field); }

// ColorIndex for many values on one scale. The logarithmic scale's steps are found by
// comparing |v| with the values where the index changes, computed once, instead of taking a
// logarithm per value; near such a value, and on scales too extreme for that, it takes the
// logarithm after all, so the index is always ColorIndex's.
class ColorIndexer {
 public:
  explicit ColorIndexer(const LiveScale& s);
  // Inline: it runs once per pixel.
  int operator()(double v) const;

 private:
  // Just below and above each change of the index, falling with the step; hi[9] < 0 ends
  // the list. The changes are more than a factor 2 apart, so each binary octave of |v|
  // holds at most one: per octave, how many lie above it and the one inside (or 0).
  struct Bands {
    std::array<double, 10> hi;
    int first = 0, last = 0;  // octaves (exponent bits) of the table's ends
    struct Octave {
      double lo = 0;
      int above = 0;
    };
    std::array<Octave, 16> octave;
  };
  static int Octave(double a) { return int(std::bit_cast<uint64_t>(a) >> 52); }  // a >= 0
  static bool MakeBands(double m, Bands& b);
  LiveScale s_;
  bool fast_ = false;
  std::array<Bands, 2> bands_{};  // positive values, negative ones
};

inline int ColorIndexer::operator()(double v) const {
  if (!fast_ || !(std::abs(v) > 0)) return ColorIndex(s_, v);  // linear, extreme scale, 0 or NaN
  // Without branches on the sign, which a field's picture changes at random.
  const int negative = v < 0;
  const Bands& b = bands_[size_t(negative)];
  const double a = std::abs(v);
  // The step is the number of changes above |v|, unless |v| is next to the following one.
  const Bands::Octave& o = b.octave[size_t(std::clamp(Octave(a), b.first, b.last) - b.first)];
  const int below = o.above + (a < o.lo);
  if (a <= b.hi[size_t(below)]) return ColorIndex(s_, v);
  return 18 - below - negative * (18 - 2 * below);
}

// The 20 labels of the palette strip, top (the maximum) to bottom.
std::array<std::string, 20> ScaleLabels(const LiveScale& s);

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};
// Red (0, the maximum) through black (9, zero) to magenta (18, the minimum).
const std::array<Rgb, 19>& LivePalette();

// One slice as palette indices, row 0 at the top.
struct SlicePicture {
  int width = 0, height = 0;
  std::vector<uint8_t> index;
  uint8_t at(int x, int y) const { return index[size_t(y) * size_t(width) + size_t(x)]; }
};
enum class SliceAxis { X, Y, Z };
// The slice through plane `pos` of `axis` of a grid of nx, ny, nz nodes (cells 1..n-1), with
// the first in-plane index growing to the right and the second upward. Nothing when `pos`
// is outside 1..n-1 of its axis: the picture shown before stays.
std::optional<SlicePicture> BuildSlice(SliceAxis axis, int pos, int nx, int ny, int nz,
                                       const std::function<double(int, int, int)>& field,
                                       const LiveScale& scale);

// "X_____1.bmp": the plane letter and the frame number padded with "_" to six characters.
std::string FrameFileName(char plane, int frame);
// The picture coloured through the palette as a 24-bit bitmap file; false when it cannot be
// written.
bool WriteSliceBmp(const std::string& path, const SlicePicture& p);

struct SolverData;

// The quantities of the view, in the order of its choice ("Ex" .. "dT").
enum class LiveQuantity { Ex, Ey, Ez, Hx, Hy, Hz, Ix, Iy, Iz, AbsE, AbsH, SAR, dT };
// The value of `q` at cell (i, j, k) after step `step`: a field component, the current
// through the cell's face from the circulation of H, |E|, |H|, the SAR averaged since the
// SAR delay, or the temperature rise. 0 where the quantity does not apply or a cell it
// needs lies outside the arrays.
double SliceValue(const SolverData& d, LiveQuantity q, int i, int j, int k, int step);

}  // namespace rv
