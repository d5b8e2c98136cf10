#include "editor/ui/View3D.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSpinBox>
#include <QSurfaceFormat>

#include <GL/gl.h>
#include <algorithm>

#include "editor/symbols3d.h"
#include "editor/ui/TfmOpenGL.h"

namespace rv {

void DrawShadedBox(const float* c, float x, float y, float z, float w, float l, float h) {
  const float x1 = x + w, y1 = y + l, z1 = z + h;
  const auto shade = [c](float k) { glColor4f(c[0] * k, c[1] * k, c[2] * k, c[3]); };
  glBegin(GL_QUADS);
  shade(1);
  glVertex3f(x, y, z); glVertex3f(x1, y, z); glVertex3f(x1, y1, z); glVertex3f(x, y1, z);
  shade(0.75f);
  glVertex3f(x, y, z); glVertex3f(x, y1, z); glVertex3f(x, y1, z1); glVertex3f(x, y, z1);
  shade(0.5f);
  glVertex3f(x, y, z); glVertex3f(x1, y, z); glVertex3f(x1, y, z1); glVertex3f(x, y, z1);
  shade(1);
  glVertex3f(x, y, z1); glVertex3f(x1, y, z1); glVertex3f(x1, y1, z1); glVertex3f(x, y1, z1);
  shade(0.75f);
  glVertex3f(x1, y, z); glVertex3f(x1, y1, z); glVertex3f(x1, y1, z1); glVertex3f(x1, y, z1);
  shade(0.5f);
  glVertex3f(x, y1, z); glVertex3f(x1, y1, z); glVertex3f(x1, y1, z1); glVertex3f(x, y1, z1);
  glEnd();
}

namespace {
QSurfaceFormat ViewFormat() {
  QSurfaceFormat f;
  f.setProfile(QSurfaceFormat::CompatibilityProfile);
  f.setDepthBufferSize(24);
  return f;
}

QString Probe() {
  const auto why = [](const char* s) { return QString::fromUtf8(s); };
  QOpenGLContext ctx;
  ctx.setFormat(ViewFormat());
  if (!ctx.create()) return why("этот дисплей не дает OpenGL (контекст не создается)");
  if (ctx.isOpenGLES()) return why("этот дисплей дает только OpenGL ES, а виду нужен OpenGL");
  QOffscreenSurface surface;
  surface.setFormat(ctx.format());
  surface.create();
  if (!surface.isValid() || !ctx.makeCurrent(&surface))
    return why("контекст OpenGL этого дисплея не удается сделать текущим");
  const bool drawable = ctx.functions()->glGetString(GL_VERSION) != nullptr;
  ctx.doneCurrent();
  return drawable ? QString() : why("OpenGL этого дисплея не отвечает");
}
}  // namespace

bool View3D::Available(QString& why) {
  static const QString reason = Probe();
  why = reason;
  return reason.isEmpty();
}

View3D::View3D(TfmOpenGL& owner, QWidget* parent) : QOpenGLWidget(parent), w_(owner) {
  setFormat(ViewFormat());
  setFocusPolicy(Qt::StrongFocus);
  projection_[0] = projection_[5] = projection_[10] = projection_[15] = 1;
  modelview_ = projection_;
}

void View3D::initializeGL() {}

void View3D::resizeGL(int, int) {
  // A resize stops the rotation; the button keeps its caption.
  w_.StopRotationTimer();
}

void View3D::paintGL() {
  const SolverData& d = w_.Data();
  if (d.SpaceNx < 2 || d.SpaceNy < 2 || d.SpaceNz < 2) return;
  // A cell size that is not a usable number skips the frame; the last picture stays.
  if (!ViewScales(w_.CellSizeTexts(), sx_, sy_, sz_)) return;
  QElapsedTimer timer;
  timer.start();
  const qreal ratio = devicePixelRatioF();
  const int W = std::max(1, int(width() * ratio)), H = std::max(1, int(height() * ratio));
  frame_ = ViewFrame{W, H, sx_, sy_, sz_, d.Nx, d.Ny, d.Nz, LabelPx() * ratio};
  const ViewFrame& frame = frame_;
  // The main window changes the grid without telling the editor; a camera the rule placed
  // stands as far back as this view needs to show the whole box.
  w_.FitCameraToGrid();
  w_.FitCameraToView(frame);
  const ViewTransform t = ViewTransformFor(w_.GetCamera(), frame);
  glViewport(t.Viewport[0], t.Viewport[1], t.Viewport[2], t.Viewport[3]);
  glDepthRange(0, 1);
  projection_ = t.Projection;
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(projection_.data());
  // The up vector leans a little off +Y: the picture is tilted very slightly.
  modelview_ = t.ModelView;
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(modelview_.data());

  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // The blending below assumes a buffer without alpha, where destination alpha reads 1.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  glPolygonMode(GL_FRONT, GL_FILL);
  glEnable(GL_DEPTH_TEST);
  drawCells();
  if (!w_.mnShowCLines->isChecked()) drawAxes();
  drawElements();
  drawSectionPlane();
  glDisable(GL_DEPTH_TEST);
  labels_ = {};
  if (!w_.mnShowCLines->isChecked()) {
    labels_ = PlaceAxisLabels(t, frame);
    drawLabels(t);
  }
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glFinish();
  w_.ShowFrameTime(timer.elapsed());
}

void View3D::drawCells() {
  const SolverData& d = w_.Data();
  if (!plainBoxes_) {
    // Every writer of the model counts its change: no frame reads the cells to find out.
    const MeshKey key = MeshKeyOf(d);
    if (!meshBuilt_ || !(key == meshKey_)) {
      meshOk_ = BuildCellMesh(d, mesh_);
      meshKey_ = key;
      meshBuilt_ = true;
      ++meshBuilds_;
    }
  }
  if (plainBoxes_ || !meshOk_) {
    for (const CellRun& r : CollectRuns(d)) {
      if (!MaterialShown(d, r.material)) continue;
      const auto rgb = LayerRgb(d.Layers[r.material].Color);
      const float col[4] = {rgb[0], rgb[1], rgb[2], 1};
      DrawShadedBox(col, float(r.x * sx_), float(r.y0 * sy_), float(r.z * sz_), float(sx_),
                    float(r.n * sy_), float(sz_));
    }
    return;
  }
  glPushMatrix();
  glScaled(sx_, sy_, sz_);
  glEnableClientState(GL_VERTEX_ARRAY);
  for (const CellMesh::Group& g : mesh_.groups) {
    const auto rgb = LayerRgb(d.Layers[g.material].Color);
    const float k = FaceShade[size_t(g.axis)];
    glColor4f(rgb[0] * k, rgb[1] * k, rgb[2] * k, 1);
    glVertexPointer(3, GL_SHORT, 0, g.verts.data());
    glDrawArrays(GL_QUADS, 0, GLsizei(g.verts.size() / 3));
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
}

void View3D::drawAxes() {
  const SolverData& d = w_.Data();
  const float sx = float(sx_), sy = float(sy_), sz = float(sz_);
  const float xm = d.Nx * sx, ym = d.Ny * sy, zm = d.Nz * sz;
  const auto line = [](float a, float b, float c, float e, float f, float g) {
    glVertex3f(a, b, c);
    glVertex3f(e, f, g);
  };
  glLineWidth(2);
  glLineStipple(2, 0xEEEE);
  glEnable(GL_LINE_STIPPLE);
  glBegin(GL_LINES);
  glColor3f(1, 0, 0); line(1, 1, 1, xm, 1, 1);
  glColor3f(0, 1, 0); line(1, 1, 1, 1, ym, 1);
  glColor3f(0, 0, 1); line(1, 1, 1, 1, 1, zm);
  glColor3f(0.75f, 0.75f, 0.75f);
  line(xm, 1, 1, xm, ym, 1); line(xm, 1, 1, xm, 1, zm); line(1, ym, 1, xm, ym, 1);
  line(1, ym, 1, 1, ym, zm); line(1, 1, zm, xm, 1, zm); line(1, 1, zm, 1, ym, zm);
  line(xm, ym, zm, 1, ym, zm); line(xm, ym, zm, xm, 1, zm); line(xm, ym, zm, xm, ym, 1);
  glEnd();
  glDisable(GL_LINE_STIPPLE);
  glBegin(GL_LINES);
  // The arrowheads, no larger than a small box allows; the axes' names are drawn over the
  // picture (drawLabels).
  const float a = float(ArrowSize(frame_));
  glColor3f(1, 0, 0);
  line(xm - a, 1 + a, 1, xm, 1, 1); line(xm - a, 1 - a, 1, xm, 1, 1);
  glColor3f(0, 1, 0);
  line(1 + a, ym - a, 1, 1, ym, 1); line(1 - a, ym - a, 1, 1, ym, 1);
  glColor3f(0, 0, 1);
  line(1, 1 + a, zm - a, 1, 1, zm); line(1, 1 - a, zm - a, 1, 1, zm);
  glEnd();
  if (w_.mnGround->isChecked()) {
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA_SATURATE, GL_SRC_COLOR);
    glAlphaFunc(GL_ALWAYS, 0.1f);
    glPolygonMode(GL_FRONT, GL_FILL);
    glBegin(GL_QUADS);
    glColor4f(0, 1, 0, 0.5f);
    glVertex3f(1, 1, 1); glVertex3f(xm, 1, 1); glVertex3f(xm, 1, zm); glVertex3f(1, 1, zm);
    glEnd();
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
  }
  glLineWidth(1);
}

double View3D::LabelPx() const { return std::max(12.0, QFontMetricsF(font()).height()); }

void View3D::drawLabels(const ViewTransform& t) {
  // In window pixels over the picture: the same size whatever the grid and the camera.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const auto& vp = t.Viewport;
  glOrtho(vp[0], vp[0] + vp[2], vp[1], vp[1] + vp[3], -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glLineWidth(2);
  glBegin(GL_LINES);
  for (const AxisLabel& l : labels_) {
    if (!l.Shown) continue;
    glColor3f(l.Letter == 'X', l.Letter == 'Y', l.Letter == 'Z');
    for (const auto& s : LetterStrokes(l)) {
      glVertex2d(s[0], s[1]);
      glVertex2d(s[2], s[3]);
    }
  }
  glEnd();
  glLineWidth(1);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(projection_.data());
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(modelview_.data());
}

void View3D::drawElements() {
  for (const SymbolPrim& p : ElementSymbols(w_.Elements(), sx_, sy_, sz_)) {
    if (p.kind == SymbolPrim::Box) {
      DrawShadedBox(p.color.data(), p.v[0][0], p.v[0][1], p.v[0][2], p.v[1][0], p.v[1][1],
                    p.v[1][2]);
      continue;
    }
    if (p.smooth) glEnable(GL_LINE_SMOOTH);
    glColor4fv(p.color.data());
    glBegin(p.kind == SymbolPrim::Lines ? GL_LINES
            : p.kind == SymbolPrim::LineStrip ? GL_LINE_STRIP : GL_QUADS);
    for (const auto& v : p.v) glVertex3f(v[0], v[1], v[2]);
    glEnd();
  }
}

void View3D::drawSectionPlane() {
  const double sx = sx_, sy = sy_, sz = sz_;
  const auto v = [&](double x, double y, double z) { glVertex3d(x * sx, y * sy, z * sz); };
  glPolygonMode(GL_FRONT, GL_FILL);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA_SATURATE, GL_SRC_COLOR);
  glAlphaFunc(GL_ALWAYS, 0.1f);
  if (!w_.rbOff->isChecked()) {
    glColor4f(0.8f, 0.8f, 0.8f, 0.2f);
    glBegin(GL_QUADS);
    const struct { QAction* item; QSpinBox* position; int axis; } sections[3] = {
        {w_.rbY, w_.SpinEdit2, 1}, {w_.rbX, w_.SpinEdit1, 0}, {w_.rbZ, w_.SpinEdit3, 2}};
    for (const auto& s : sections) {
      if (!s.item->isChecked()) continue;
      for (const auto& c : SectionQuad(frame_, s.axis, s.position->value())) glVertex3d(c[0], c[1], c[2]);
    }
    glEnd();
  }
  glColor4f(0.2f, 0.5f, 0.4f, 0.8f);
  // Bounded by the array: a table row without a record draws nothing.
  for (const tCurrentRegion& r : w_.Elements().CurrentRegions) {
    if (r.X1 == 0) continue;  // an unreadable row
    const double x1 = r.X1 + 0.5, y1 = r.Y1 + 0.5, z1 = r.Z1 + 0.5, x2 = r.X2 + 0.5,
                 y2 = r.Y2 + 0.5, z2 = r.Z2 + 0.5;
    glBegin(GL_QUADS);
    switch (r.Plane) {
      case 'X': v(x1, y1, z1); v(x1, y2, z1); v(x1, y2, z2); v(x1, y1, z2); break;
      case 'Y': v(x1, y1, z1); v(x2, y2, z1); v(x2, y2, z2); v(x1, y1, z2); break;
      case 'Z': v(x1, y1, z1); v(x2, y1, z1); v(x2, y2, z2); v(x1, y2, z2); break;
      default: break;
    }
    glEnd();
  }
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_BLEND);
}

void View3D::keyPressEvent(QKeyEvent* e) {
  if (!w_.FormKeyDown(e->key(), e->modifiers())) QOpenGLWidget::keyPressEvent(e);
}

void View3D::keyReleaseEvent(QKeyEvent* e) {
  w_.FormKeyUp(e->modifiers());
  QOpenGLWidget::keyReleaseEvent(e);
}

void View3D::mousePressEvent(QMouseEvent* e) {
  setFocus();
  QOpenGLWidget::mousePressEvent(e);
}

}  // namespace rv
