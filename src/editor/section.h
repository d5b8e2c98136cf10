// The section grid's geometry without the window: which model cell a grid cell shows, the
// on-screen cell sides, the glyph of an element in the section, the marks of outputs,
// current regions and voltage lines, and the distance text of the status bar.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "solver/elements.h"

namespace rv {

enum class SectionAxis { X, Y, Z };  // the section is perpendicular to this axis

char AxisLetter(SectionAxis a);

// One section of the model: its axis, its position on each axis and the grid's size.
// Columns run along the horizontal in-plane axis (Z in ⊥X, X otherwise), rows along the
// vertical one (Y in ⊥X and ⊥Z, Z in ⊥Y), the top row being the highest coordinate.
struct SectionView {
  SectionAxis Axis = SectionAxis::X;
  int SliceX = 1, SliceY = 1, SliceZ = 1;
  int RowCount = 1, ColCount = 1;
  // The grid's size for a grid of nodes nx, ny, nz (model cells 1..N-1).
  void SizeFor(int nx, int ny, int nz);
  int Slice() const { return Axis == SectionAxis::X ? SliceX : Axis == SectionAxis::Y ? SliceY : SliceZ; }
};

using Cell3 = std::array<int, 3>;

// The model cell of grid cell (col, row), `offset` sections further along the axis.
Cell3 SliceCellToModel(const SectionView& s, int col, int row, int offset);
// A model cell's in-plane coordinates: h along the columns (1 = column 0), v along the
// rows (1 = the bottom row), w along the section axis.
void ModelToPlane(const SectionView& s, const Cell3& c, int& h, int& v, int& w);

// ---- cell sides on screen
inline constexpr int MaxDrivingSide = 256;   // zoom in stops there
inline constexpr int MaxDerivedSide = 4096;

struct CellSides {
  int ColWidth = 1, RowHeight = 1;
  bool CanZoomIn = true;   // the zoom-in button
  bool CanZoomOut = false; // the zoom-out button
};

// True when the column width drives (the column axis has the smaller cell; a tie: ⊥X).
bool ColumnDrives(SectionAxis a, double dx, double dy, double dz);
CellSides ZoomIn(CellSides s, SectionAxis a, double dx, double dy, double dz);
CellSides ZoomOut(CellSides s, SectionAxis a, double dx, double dy, double dz);
// After a section choice: the smaller side drives and the other follows the new plane.
CellSides RederiveSides(CellSides s, SectionAxis a, double dx, double dy, double dz);

// ---- glyphs and marks
// Orientation class of an element's direction letter: 0 along the grid's vertical axis,
// 1 along its horizontal axis, 2 across the section, -1 for any other letter.
int ChooseGlyph(SectionAxis a, char letter);

struct PixRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};
// Where the glyph of class k for an element in the cell goes: centred on the cell's left edge
// (k = 0), bottom edge (1) or bottom-left corner (2). False for k outside 0..2.
bool GlyphTarget1(int k, const PixRect& r, PixRect& t);

// Glyph bases of the element kinds, in the order they are painted.
enum GlyphKind { GlyphSparkGap, GlyphCapacitor, GlyphSource, GlyphInductor, GlyphResistor, GlyphKindCount };
inline constexpr int GlyphBase[GlyphKindCount] = {9, 3, 6, 12, 0};

// What one section shows of the element arrays, looked up by cell: built once per change
// of the arrays or the section, in time proportional to the records and their extents in
// the plane.
class SectionMarks {
public:
  struct Marks {
    std::array<char, GlyphKindCount> Dir{};  // direction letter of the first element, 0: none
    bool Output = false;                     // some output point lies here
    bool CurrentMark = false;                // an I/J output across the section (OutputMarkAt)
    uint8_t RegionEdges = 0;                 // CurrentRegionEdges
    uint8_t VoltageMask = 0;                 // VoltageLineMask
  };
  void Build(const ElementArrays& a, const SectionView& s);
  // The marks at in-plane cell (h, v); null when nothing is there.
  const Marks* At(int h, int v) const;
  size_t Size() const { return map_.size(); }
  template <class F>
  void ForEach(F f) const {
    for (const auto& [k, m] : map_) f(int(k >> 32), int(int32_t(uint32_t(k))), m);
  }

private:
  Marks& at(int h, int v) { return map_[key(h, v)]; }
  static int64_t key(int h, int v) { return (int64_t(h) << 32) ^ uint32_t(v); }
  std::unordered_map<int64_t, Marks> map_;
};

// What the element arrays put on one cell of the section's plane, record by record: a current
// output across the section, the edges of current-region outlines, the voltage lines' segments.
// (SectionMarks holds the same for the whole plane.)
bool OutputMarkAt(const ElementArrays& a, SectionAxis axis, const Cell3& c);
uint8_t CurrentRegionEdges(const ElementArrays& a, const SectionView& s, const Cell3& c);
uint8_t VoltageLineMask(const ElementArrays& a, const SectionView& s, const Cell3& c);

// "Выбрана ячейка x, y, z. Длина LX, LY, LZ = L м": the span from the anchor to the
// pointer counts the cells at both ends.
std::string DistanceText(const Cell3& anchor, const Cell3& mouse, double dx, double dy, double dz);
std::string AnchorText(const Cell3& anchor);

}  // namespace rv
