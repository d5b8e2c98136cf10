// The editor's 3-D view: draws the model, the domain box, the element symbols and the
// section plane with OpenGL 1.1 in a compatibility context. It only draws: the camera, the
// switches and the model live in the editor window.
#pragma once
#include <QOpenGLWidget>

#include <array>
#include <cstdint>

#include "editor/view3d.h"

namespace rv {

class TfmOpenGL;

class View3D : public QOpenGLWidget {
  Q_OBJECT
public:
  explicit View3D(TfmOpenGL& owner, QWidget* parent = nullptr);
  // Whether this display gives the view its OpenGL (a compatibility context, not ES). Asked
  // once, before any view exists: showing a view without one brings the program down.
  // Otherwise `why` tells the user why there is no 3-D view.
  static bool Available(QString& why);
  // The matrices of the last frame drawn (identity before the first).
  const Mat4& Projection() const { return projection_; }
  const Mat4& ModelView() const { return modelview_; }
  // Draws each run as the plain six-face box instead of the cached arrays (for comparison).
  void SetPlainBoxes(bool on) { plainBoxes_ = on; }
  size_t CachedQuads() const { return mesh_.quads(); }
  // How often the cached faces were built from the model.
  int MeshBuilds() const { return meshBuilds_; }
  // The axis names of the last frame, in its pixels (none shown before the first).
  const std::array<AxisLabel, 3>& Labels() const { return labels_; }
  // The names' height in pixels: the view's font, never below 12.
  double LabelPx() const;

protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

private:
  void drawCells();
  void drawAxes();
  void drawElements();
  void drawSectionPlane();
  void drawLabels(const ViewTransform& t);

  TfmOpenGL& w_;
  Mat4 projection_{}, modelview_{};
  double sx_ = 1, sy_ = 1, sz_ = 1;
  ViewFrame frame_;  // the frame being drawn
  CellMesh mesh_;
  bool meshOk_ = false;
  bool plainBoxes_ = false;
  MeshKey meshKey_;
  bool meshBuilt_ = false;
  int meshBuilds_ = 0;
  std::array<AxisLabel, 3> labels_{};
};

// Six faces of a box, each in its shade of the colour (z full, x 0.75, y 0.5); leaves the
// halved colour current.
void DrawShadedBox(const float* color, float x, float y, float z, float w, float l, float h);

}  // namespace rv
