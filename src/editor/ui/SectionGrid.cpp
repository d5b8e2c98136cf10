#include "editor/ui/SectionGrid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>
#include <limits>

#include "solver/solverdata.h"

namespace rv {

namespace {

QColor LayerColor(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// The glyph shapes, drawn in a 15 x 15 box.
void DrawGlyph(QPainter& p, int i) {
  auto letter = [&](const char* t) {
    QFont f = p.font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 0, 15, 15), Qt::AlignCenter, QString::fromLatin1(t));
  };
  // Shapes drawn upright; class 1 is the same turned a quarter.
  auto turned = [&](bool flat, auto draw) {
    p.save();
    if (flat) {
      p.translate(7.5, 7.5);
      p.rotate(90);
      p.translate(-7.5, -7.5);
    }
    draw();
    p.restore();
  };
  const int kind = i / 3, k = i % 3;
  if (i == 15) {  // ring with a filled centre
    p.drawEllipse(QRectF(2, 2, 11, 11));
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(5.5, 5.5, 4, 4));
    return;
  }
  if (k == 2) {
    letter(kind == 0 ? "R" : kind == 1 ? "C" : kind == 2 ? "U" : kind == 3 ? "B" : "L");
    return;
  }
  turned(k == 1, [&] {
    switch (kind) {
      case 0:  // resistor
        p.drawRect(QRectF(4.5, 3.5, 6, 8));
        p.drawLine(QLineF(7.5, 0, 7.5, 3.5));
        p.drawLine(QLineF(7.5, 11.5, 7.5, 15));
        break;
      case 1:  // capacitor
        p.drawLine(QLineF(2, 6, 13, 6));
        p.drawLine(QLineF(2, 9, 13, 9));
        p.drawLine(QLineF(7.5, 0, 7.5, 6));
        p.drawLine(QLineF(7.5, 9, 7.5, 15));
        break;
      case 2: {  // source: circle with an arrow
        p.drawEllipse(QRectF(2, 2, 11, 11));
        p.drawLine(QLineF(7.5, 11, 7.5, 4));
        QPainterPath head;
        head.moveTo(7.5, 3);
        head.lineTo(5, 6.5);
        head.lineTo(10, 6.5);
        head.closeSubpath();
        p.fillPath(head, Qt::black);
        break;
      }
      case 3: {  // spark gap: two arrowheads pointing at each other
        QPainterPath a;
        a.moveTo(7.5, 6.5);
        a.lineTo(4, 1);
        a.lineTo(11, 1);
        a.closeSubpath();
        a.moveTo(7.5, 8.5);
        a.lineTo(4, 14);
        a.lineTo(11, 14);
        a.closeSubpath();
        p.fillPath(a, Qt::black);
        break;
      }
      default: {  // inductor: a coil
        for (int t = 0; t < 4; ++t) p.drawArc(QRectF(5, 1.5 + t * 3, 6, 3), 90 * 16, -180 * 16);
        p.drawLine(QLineF(8, 0, 8, 1.5));
        p.drawLine(QLineF(8, 13.5, 8, 15));
        break;
      }
    }
  });
}

}  // namespace

const std::array<QImage, 16>& SectionGrid::Glyphs() {
  static const std::array<QImage, 16> g = [] {
    std::array<QImage, 16> a;
    for (int i = 0; i < 16; ++i) {
      a[size_t(i)] = QImage(15, 15, QImage::Format_RGB32);
      a[size_t(i)].fill(Qt::white);
      QPainter p(&a[size_t(i)]);
      p.setRenderHint(QPainter::Antialiasing, false);
      p.setPen(QPen(Qt::black, 1));
      DrawGlyph(p, i);
    }
    return a;
  }();
  return g;
}

SectionGrid::SectionGrid(const SolverData& d, QWidget* parent) : QAbstractScrollArea(parent), d_(d) {
  setObjectName("StringGrid1");
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  view_.RowCount = view_.ColCount = 100;
  horizontalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setSingleStep(1);
  updateScrollBars();
}

void SectionGrid::SetView(const SectionView& v) {
  const bool same = v.Axis == view_.Axis && v.Slice() == view_.Slice() &&
                    v.RowCount == view_.RowCount && v.ColCount == view_.ColCount;
  if (same) {
    view_ = v;
    viewport()->update();
    return;
  }
  view_ = v;
  view_.RowCount = std::max(1, v.RowCount);
  view_.ColCount = std::max(1, v.ColCount);
  curCol_ = std::clamp(curCol_, 0, view_.ColCount - 1);
  curRow_ = std::clamp(curRow_, 0, view_.RowCount - 1);
  if (elements_) marks_.Build(*elements_, view_);
  updateScrollBars();
  updateGeometry();
  viewport()->update();
}

void SectionGrid::SetSides(int colWidth, int rowHeight) {
  colWidth_ = std::max(1, colWidth);
  rowHeight_ = std::max(1, rowHeight);
  updateScrollBars();
  updateGeometry();
  viewport()->update();
}

void SectionGrid::SetGridLines(bool on) {
  lines_ = on;
  updateScrollBars();
  updateGeometry();
  viewport()->update();
}

void SectionGrid::SetNeighbour(Neighbour n) {
  neighbour_ = n;
  viewport()->update();
}

void SectionGrid::SetSelection(const Selection& s) {
  sel_ = s;
  viewport()->update();
}

void SectionGrid::SetCurrentCell(int col, int row) {
  curCol_ = std::clamp(col, 0, view_.ColCount - 1);
  curRow_ = std::clamp(row, 0, view_.RowCount - 1);
  viewport()->update();
}

void SectionGrid::SetElements(const ElementArrays& a) {
  elements_ = &a;
  marks_.Build(a, view_);
  viewport()->update();
}

QSize SectionGrid::FullSize(const SectionView& v, int colWidth, int rowHeight) const {
  const int64_t line = lines_ ? 1 : 0, f = 2 * frameWidth();
  const auto px = [&](int64_t cells, int side) {
    return int(std::min<int64_t>(cells * (side + line) + f, std::numeric_limits<int>::max() / 2));
  };
  return {px(v.ColCount, colWidth), px(v.RowCount, rowHeight)};
}

QSize SectionGrid::sizeHint() const { return FullSize(view_, colWidth_, rowHeight_); }

QSize SectionGrid::minimumSizeHint() const { return {64, 64}; }

int SectionGrid::LeftCol() const { return horizontalScrollBar()->value(); }
int SectionGrid::TopRow() const { return verticalScrollBar()->value(); }

void SectionGrid::updateScrollBars() {
  // A section that fits without the scroll bars gets none (they would hide a part of it).
  const QSize full = maximumViewportSize();
  const bool fits = int64_t(view_.ColCount) * pitchW() <= full.width() &&
                    int64_t(view_.RowCount) * pitchH() <= full.height();
  const QSize vp = fits ? full : viewport()->size();
  const int cols = std::max(1, vp.width() / pitchW()), rows = std::max(1, vp.height() / pitchH());
  horizontalScrollBar()->setRange(0, std::max(0, view_.ColCount - cols));
  horizontalScrollBar()->setPageStep(cols);
  verticalScrollBar()->setRange(0, std::max(0, view_.RowCount - rows));
  verticalScrollBar()->setPageStep(rows);
}

void SectionGrid::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  updateScrollBars();
}

void SectionGrid::CellAt(const QPoint& p, int& col, int& row) const {
  col = row = -1;
  if (p.x() < 0 || p.y() < 0) return;
  const int64_t c = int64_t(LeftCol()) + p.x() / pitchW(), r = int64_t(TopRow()) + p.y() / pitchH();
  if (c < view_.ColCount) col = int(c);
  if (r < view_.RowCount) row = int(r);
}

void SectionGrid::mousePressEvent(QMouseEvent* e) {
  int c, r;
  CellAt(e->position().toPoint(), c, r);
  const bool right = e->buttons() & Qt::RightButton;
  if (c >= 0 && r >= 0 && !right) SetCurrentCell(c, r);
  emit MouseDown(c, r, right);
}

void SectionGrid::mouseMoveEvent(QMouseEvent* e) {
  int c, r;
  CellAt(e->position().toPoint(), c, r);
  emit MouseMove(c, r, e->buttons() & Qt::RightButton);
}

void SectionGrid::mouseReleaseEvent(QMouseEvent* e) {
  int c, r;
  CellAt(e->position().toPoint(), c, r);
  emit MouseUp(c, r, e->buttons() & Qt::RightButton);
}

void SectionGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QSize vp = viewport()->size();
  p.fillRect(QRect(QPoint(0, 0), vp), Qt::white);
  if (!d_.GLReady) return;
  const int pw = pitchW(), ph = pitchH(), w = colWidth_, h = rowHeight_;
  const int c0 = LeftCol(), r0 = TopRow();
  const int nc = std::min(view_.ColCount - c0, vp.width() / pw + 1);
  const int nr = std::min(view_.RowCount - r0, vp.height() / ph + 1);
  if (nc <= 0 || nr <= 0) return;
  const tSpace& S = d_.Space;
  auto material = [&](const Cell3& c) -> int {
    if (!S.inside(c[0], c[1], c[2])) return 0;
    const int m = S(c[0], c[1], c[2]);
    return m > 0 && m < MaxLayers ? m : 0;
  };
  // The selection, clipped to the grid wherever it lies.
  const int sc1 = std::min(sel_.Col1, sel_.Col2), sc2 = std::max(sel_.Col1, sel_.Col2);
  const int sr1 = std::min(sel_.Row1, sel_.Row2), sr2 = std::max(sel_.Row1, sel_.Row2);
  auto selected = [&](int c, int r) {
    return sel_.Active && c >= sc1 && c <= sc2 && r >= sr1 && r <= sr2 &&
           (c == sel_.Col1 || c == sel_.Col2 || r == sel_.Row1 || r >= sel_.Row2);
  };

  // 1. Colours: one pixel per cell, scaled without smoothing.
  if (colours_.width() != nc || colours_.height() != nr) colours_ = QImage(nc, nr, QImage::Format_RGB32);
  std::array<QRgb, MaxLayers> rgb{};
  for (int m = 1; m < MaxLayers; ++m)
    rgb[size_t(m)] = d_.Layers[size_t(m)].On ? LayerColor(d_.Layers[size_t(m)].Color).rgb() : qRgb(255, 255, 255);
  const QRgb white = qRgb(255, 255, 255), grey = qRgb(0x80, 0x80, 0x80);
  // Along a grid row the model cells lie a fixed stride apart.
  const size_t stride = view_.Axis == SectionAxis::X ? 1 : S.strideX();
  const int lenH = view_.Axis == SectionAxis::X ? S.len3() : S.len1();
  for (int r = 0; r < nr; ++r) {
    QRgb* line = reinterpret_cast<QRgb*>(colours_.scanLine(r));
    const Cell3 first = SliceCellToModel(view_, c0, r0 + r, 0);
    const int h0 = c0 + 1;
    const int inside = S.inside(first[0], first[1], first[2]) ? std::min(nc, lenH - h0) : 0;
    const uint8_t* cell = inside > 0 ? &S(first[0], first[1], first[2]) : nullptr;
    const bool rowSelected = sel_.Active && r0 + r >= sr1 && r0 + r <= sr2;
    for (int c = 0; c < nc; ++c) {
      const int m = c < inside ? cell[size_t(c) * stride] : 0;
      line[c] = rowSelected && selected(c0 + c, r0 + r) ? grey : m && m < MaxLayers ? rgb[size_t(m)] : white;
    }
  }
  p.drawImage(QRect(0, 0, nc * pw, nr * ph), colours_);

  auto rectOf = [&](int c, int r) {
    const int x = (c - c0) * pw, y = (r - r0) * ph;
    return PixRect{x, y, x + w, y + h};
  };
  // 2. The neighbouring section's frames.
  if (w > 2 && h > 2 && neighbour_ != Neighbour::Current) {
    const int off = neighbour_ == Neighbour::Previous ? -1 : 1;
    p.setBrush(Qt::NoBrush);
    for (int r = r0; r < r0 + nr; ++r)
      for (int c = c0; c < c0 + nc; ++c) {
        const Cell3 q = SliceCellToModel(view_, c, r, off);
        if (q[0] < 1 || q[0] >= d_.SpaceNx || q[1] < 1 || q[1] >= d_.SpaceNy || q[2] < 1 || q[2] >= d_.SpaceNz)
          continue;
        const int m = material(q);
        if (!m || !d_.Layers[size_t(m)].On) continue;
        const PixRect R = rectOf(c, r);
        p.setPen(LayerColor(d_.Layers[size_t(m)].Color));
        p.drawRect(R.Left, R.Top, R.Right - R.Left - 1, R.Bottom - R.Top - 1);
      }
  }
  // 3. Grid lines.
  if (lines_) {
    p.setPen(QColor(0xC0, 0xC0, 0xC0));
    for (int c = 1; c <= nc; ++c) p.drawLine(c * pw - 1, 0, c * pw - 1, nr * ph - 1);
    for (int r = 1; r <= nr; ++r) p.drawLine(0, r * ph - 1, nc * pw - 1, r * ph - 1);
  }

  // 4. Glyphs and marks of the cells in view, from the index.
  int hLo, vLo, wLo, hHi, vHi, wHi;
  ModelToPlane(view_, SliceCellToModel(view_, c0 - 1, r0 + nr, 0), hLo, vLo, wLo);
  ModelToPlane(view_, SliceCellToModel(view_, c0 + nc, r0 - 1, 0), hHi, vHi, wHi);
  const auto& glyphs = Glyphs();
  auto visit = [&](auto f) {
    for (int v = vLo; v <= vHi; ++v)
      for (int hh = hLo; hh <= hHi; ++hh)
        if (const SectionMarks::Marks* m = marks_.At(hh, v)) f(hh - 1, view_.RowCount - v, *m);
  };
  // Whichever is fewer: the cells in view, or the marks of the section.
  auto each = [&](auto f) {
    if (int64_t(nc) * nr <= int64_t(marks_.Size())) return visit(f);
    marks_.ForEach([&](int hh, int v, const SectionMarks::Marks& m) {
      if (hh >= hLo && hh <= hHi && v >= vLo && v <= vHi) f(hh - 1, view_.RowCount - v, m);
    });
  };
  auto line = [&](int x1, int y1, int x2, int y2) { p.drawLine(x1, y1, x2, y2); };
  each([&](int c, int r, const SectionMarks::Marks& m) {
    const PixRect R = rectOf(c, r);
    for (int k = 0; k < GlyphKindCount; ++k) {
      if (!m.Dir[size_t(k)]) continue;
      PixRect T;
      const int cls = ChooseGlyph(view_.Axis, m.Dir[size_t(k)]);
      if (GlyphTarget1(cls, R, T))
        p.drawImage(QRect(T.Left, T.Top, T.Right - T.Left, T.Bottom - T.Top), glyphs[size_t(GlyphBase[k] + cls)]);
    }
  });
  each([&](int c, int r, const SectionMarks::Marks& m) {
    const PixRect R = rectOf(c, r);
    const int mx = (R.Left + R.Right) / 2, my = (R.Top + R.Bottom) / 2;
    // The marks invert what is under them (pmNot); after an output's cross, which is
    // pmNotMerge in its material's colour, the lines of the cell keep that mode.
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    if (m.Output) {
      const int mat = material(SliceCellToModel(view_, c, r, 0));
      p.setPen(QPen(mat ? LayerColor(d_.Layers[size_t(mat)].Color) : QColor(Qt::black), 2));
      p.setCompositionMode(QPainter::RasterOp_NotSourceAndNotDestination);
      line(R.Left, R.Top, R.Right, R.Bottom);
      line(R.Right, R.Top, R.Left, R.Bottom);
    }
    p.setPen(QPen(QColor(0, 0, 0xFF), 2));
    if (m.CurrentMark) {
      // The loop through the centres of the eight neighbours.
      struct N { int dc, dr; };
      for (const N n : {N{1, 0}, N{-1, 0}, N{0, 1}, N{0, -1}, N{-1, -1}, N{1, 1}, N{1, -1}, N{-1, 1}}) {
        const int cc = c + n.dc, rr = r + n.dr;
        if (cc < 0 || rr < 0 || cc >= view_.ColCount || rr >= view_.RowCount) continue;
        const PixRect Q = rectOf(cc, rr);
        const int qx = (Q.Left + Q.Right) / 2, qy = (Q.Top + Q.Bottom) / 2;
        if (n.dr == 0) line(qx, Q.Top, qx, Q.Bottom);
        else if (n.dc == 0) line(Q.Left, qy, Q.Right, qy);
        else line(qx, n.dr < 0 ? Q.Bottom : Q.Top, n.dc < 0 ? Q.Right : Q.Left, qy);
      }
    }
    const uint8_t e = m.RegionEdges;
    if (e & 1) line(R.Left, my, R.Right, my);
    if (e & 2) line(mx, R.Top, mx, R.Bottom);
    if (e & 4) line(mx, R.Bottom, R.Right, my);
    if (e & 16) line(mx, R.Bottom, R.Left, my);
    if (e & 8) line(mx, R.Top, R.Right, my);
    if (e & 32) line(mx, R.Top, R.Left, my);
    p.setPen(QPen(QColor(0xFF, 0, 0), 2));
    const uint8_t vm = m.VoltageMask;
    if (vm & 1) line(R.Left, R.Bottom - 1, R.Right, R.Bottom - 1);
    if (vm & 2) line(R.Left, R.Top, R.Left, R.Bottom);
    if (vm & 8) line(R.Left, R.Bottom - 3, R.Left + 3, R.Bottom);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  });
}

}  // namespace rv
