// The live field view's pictures: the colour scale (linear or logarithmic, symmetric about
// zero), its 19-colour palette and labels, one slice of a quantity as palette indices, and
// the frames written to disk as 24-bit bitmaps.
#pragma once
#include <array>
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
