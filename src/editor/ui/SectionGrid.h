// The section grid `StringGrid1`: one grid cell per model cell of a section, painted in
// its material's colour, with the glyphs of elements and the marks of outputs, current
// regions and voltage lines. Up to thousands of cells a side: it paints only the cells in
// view, the colours as one pixel per cell scaled up, then the frames, glyphs and lines.
// Mouse events are reported in grid cells (-1 outside the cells); the editor acts on them.
#pragma once
#include <QAbstractScrollArea>
#include <QImage>

#include <array>

#include "editor/section.h"

namespace rv {

struct SolverData;

class SectionGrid : public QAbstractScrollArea {
  Q_OBJECT
public:
  SectionGrid(const SolverData& d, QWidget* parent = nullptr);

  enum class Neighbour { Current, Previous, Next };
  struct Selection {
    bool Active = false;
    int Col1 = 0, Row1 = 0, Col2 = 0, Row2 = 0;  // press and release cells, not sorted
  };

  // What to show; each setter repaints.
  void SetView(const SectionView& v);
  const SectionView& View() const { return view_; }
  void SetSides(int colWidth, int rowHeight);
  int DefaultColWidth() const { return colWidth_; }
  int DefaultRowHeight() const { return rowHeight_; }
  void SetGridLines(bool on);
  bool GridLines() const { return lines_; }
  void SetNeighbour(Neighbour n);
  void SetSelection(const Selection& s);
  const Selection& Sel() const { return sel_; }
  void SetCurrentCell(int col, int row);
  int Col() const { return curCol_; }
  int Row() const { return curRow_; }
  // The element arrays changed: rebuild the marks of the section.
  void SetElements(const ElementArrays& a);

  // The pixels the whole section `v` takes with cells of the sides given, frame included.
  QSize FullSize(const SectionView& v, int colWidth, int rowHeight) const;
  // The whole section as shown now; smaller, the grid scrolls.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  // The grid cell at a viewport point; -1 for a coordinate outside the cells.
  void CellAt(const QPoint& p, int& col, int& row) const;
  // The first column and row in view.
  int LeftCol() const;
  int TopRow() const;

  // The 16 glyphs, 15 x 15, black shapes on white.
  static const std::array<QImage, 16>& Glyphs();

signals:
  void MouseDown(int col, int row, bool right);
  void MouseMove(int col, int row, bool right);
  void MouseUp(int col, int row, bool right);

protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

private:
  void updateScrollBars();
  int pitchW() const { return colWidth_ + (lines_ ? 1 : 0); }
  int pitchH() const { return rowHeight_ + (lines_ ? 1 : 0); }

  const SolverData& d_;
  const ElementArrays* elements_ = nullptr;
  SectionView view_;
  SectionMarks marks_;
  int colWidth_ = 1, rowHeight_ = 1;
  bool lines_ = true;
  Neighbour neighbour_ = Neighbour::Current;
  Selection sel_;
  int curCol_ = 0, curRow_ = 0;
  QImage colours_;  // one pixel per cell in view, reused between paints
};

}  // namespace rv
