// The editor's 3-D view drawn on a virtual X server: the colours of cell faces, the section
// plane and a current region where the camera's projection puts them, the keys and the
// snapshots.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "editor/ui/TfmParobolaDLG.h"
#include "editor/ui/TfmSellParms.h"

#include <GL/glu.h>
#include <cmath>

#include "editor/ui/TfmOpenGL.h"
#include "editor/ui/View3D.h"
#include "platform/prompter.h"
#include "project/tables.h"
#include "solver/solverdata.h"

namespace {

struct ViewFixture {
  rv::SolverData d;
  rv::ScriptedPrompter p;
  rv::OutPointTables outputs;
  rv::LampedTables lamped;
  rv::TfmOpenGL w{d, p};
  rv::View3D* v = nullptr;
  std::array<std::string, 3> sizes{"0.001", "0.001", "0.001"};

  explicit ViewFixture(int n = 20) {
    rv::SetGridSize(d, n, n, n);
    rv::EditorMainLinks l;
    l.outputs = &outputs;
    l.lamped = &lamped;
    l.cellSizes = [this] { return sizes; };
    w.SetMainLinks(l);
    w.FormActivate();
    d.Space.fill(0);
    d.Layers[1].Color = 0x0000FF;  // red
    d.Layers[1].On = 1;
    v = w.GLView;
    w.resize(900, 700);
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
  void Look(float ex, float ey, float ez, float cx, float cy, float cz) {
    w.SetCamera({ex, ey, ez, cx, cy, cz});
  }
  // Draws a frame and gives the colour at the projection of (x, y, z).
  QColor At(double x, double y, double z) {
    const QImage img = v->grabFramebuffer();
    double wx, wy, wz;
    const std::array<int, 4> vp{3, 3, img.width() - 6, img.height() - 6};
    EXPECT_TRUE(rv::ProjectPoint(v->Projection(), v->ModelView(), vp, x, y, z, wx, wy, wz));
    return img.pixelColor(int(wx), img.height() - 1 - int(wy));
  }
};

void ExpectRgb(const QColor& c, int r, int g, int b, int tol = 2) {
  EXPECT_TRUE(std::abs(c.red() - r) <= tol && std::abs(c.green() - g) <= tol && std::abs(c.blue() - b) <= tol)
      << c.name().toStdString();
}

}  // namespace

TEST(View3dWindow, FaceShadesSectionPlaneAndCurrentRegion) {
  ViewFixture F;
  for (int x = 5; x < 15; ++x)
    for (int y = 5; y < 15; ++y)
      for (int z = 5; z < 15; ++z) F.d.Space(x, y, z) = 1;
  F.w.rbOff->setChecked(true);
  F.w.mnShowCLines->setChecked(true);
  F.Look(10, 10, 60, 10, 10, 0);
  ExpectRgb(F.At(10, 10, 15), 255, 0, 0, 0);
  F.Look(60, 10, 10, 0, 10, 10);
  ExpectRgb(F.At(15, 10, 10), 191, 0, 0, 0);
  F.Look(10, 60, 12, 10, 0, 10);
  ExpectRgb(F.At(10, 15, 10), 128, 0, 0, 1);
  // The same pictures from the plain boxes.
  F.v->SetPlainBoxes(true);
  ExpectRgb(F.At(10, 15, 10), 128, 0, 0, 1);
  F.v->SetPlainBoxes(false);

  // Empty model: the section plane over white, a current region in front of it.
  F.d.Space.fill(0);
  F.w.rbOff->setChecked(false);
  F.w.rbZ->trigger();
  F.w.SpinEdit3->setValue(3);
  rv::ModifiedFlag m;
  rv::AddGridRow(F.outputs.sgCurrent, m);
  for (int c = 0; const char* t : {"8", "8", "12", "12", "12", "12", "iz"}) F.outputs.sgCurrent.SetCell(c++, 1, t);
  F.w.LoadElementArrays();
  F.Look(10, 10, 60, 10, 10, 0);
  ExpectRgb(F.At(5, 5, 3.5), 204, 204, 204);
  ExpectRgb(F.At(10.5, 10.5, 12.5), 41, 102, 82);
  // Switching the plane off leaves the region over white.
  F.w.rbOff->setChecked(true);
  ExpectRgb(F.At(5, 5, 3.5), 255, 255, 255, 0);
}

TEST(View3dWindow, ResetShowsADeepGridAndBadCellSizeKeepsThePicture) {
  // The reset view puts the eye at 3 Nz: the block's near face is 2 Nz away.
  ViewFixture F(20);
  rv::SetGridSize(F.d, 100, 100, 1100);
  ASSERT_TRUE(rv::ResizeSpace(F.d));
  for (int x = 1; x < 100; ++x)
    for (int y = 1; y < 100; ++y)
      for (int z = 1; z < 1100; ++z) F.d.Space(x, y, z) = 1;
  F.w.rbOff->setChecked(true);
  F.w.btnResetClick();
  ExpectRgb(F.At(50, 50, 1100), 255, 0, 0, 0);
  // A cell size that is not a number skips the frame: the block stays on the picture.
  F.d.Space.fill(0);
  F.sizes[1] = "abc";
  ExpectRgb(F.At(50, 50, 1100), 255, 0, 0, 0);
  F.sizes[1] = "0.001";
  ExpectRgb(F.At(50, 50, 1100), 255, 255, 255, 0);
}

TEST(View3dWindow, KeysMoveTheCameraUnlessASectionControlHasTheFocus) {
  ViewFixture F(100);
  F.w.btnResetClick();
  F.v->setFocus();
  QTest::keyClick(F.v, Qt::Key_Up);
  EXPECT_FLOAT_EQ(F.w.EyeZ, 290);
  QTest::keyClick(F.v, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_FLOAT_EQ(F.w.EyeZ, 289);
  F.w.SpinEdit1->setFocus();
  QTest::keyClick(F.w.SpinEdit1, Qt::Key_Up);
  EXPECT_FLOAT_EQ(F.w.EyeZ, 289);
  // The rotation button gives the focus to the view, so the keys reach the camera.
  F.w.SpeedButton1->click();
  F.w.SpeedButton1->click();
  QTest::keyClick(F.w.focusWidget(), Qt::Key_Down);
  EXPECT_FLOAT_EQ(F.w.EyeZ, 299);
  F.v->grabFramebuffer();
  EXPECT_TRUE(F.w.lbSpeed->text().endsWith(QString::fromUtf8(" мc")));
}

TEST(View3dWindow, SnapshotsAreNumberedAndAFailureKeepsTheCounter) {
  ViewFixture F;
  QTemporaryDir tmp;
  F.d.ImagesDir = (tmp.path() + "/Images/").toStdString();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(F.w.btnKadrClick());
  for (const char* n : {"Frame3D_____0.bmp", "Frame3D_____1.bmp", "Frame3D_____2.bmp"}) {
    const QImage img(tmp.path() + "/Images/" + n);
    EXPECT_EQ(img.size(), F.v->size() * F.v->devicePixelRatioF()) << n;
  }
  // A folder that cannot be made: a message, the counter stays.
  QFile blocker(tmp.path() + "/file");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  F.d.ImagesDir = (tmp.path() + "/file/Images/").toStdString();
  EXPECT_FALSE(F.w.btnKadrClick());
  EXPECT_EQ(F.w.FrameCounter, 3);
  EXPECT_FALSE(F.p.shown.empty());
}

TEST(View3dWindow, ParabolaDrawsOnlyInAZSectionAndMarksTheProjectModified) {
  ViewFixture F(100);
  const auto run = [&](QAction* section, int item) {
    section->trigger();
    F.w.AnchorCell = {50, 50, 5};
    F.d.Modified = 0;
    QTimer::singleShot(0, [&] {
      F.w.fmParobolaDLG->items[item]->setChecked(true);
      F.w.fmParobolaDLG->accept();
    });
    F.w.N26Click();
  };
  const auto cells = [&] {
    int n = 0;
    for (int x = 1; x < 100; ++x)
      for (int y = 1; y < 100; ++y) n += F.d.Space(x, y, 5) != 0;
    return n;
  };
  run(F.w.rbX, 0);
  run(F.w.rbY, 0);
  EXPECT_EQ(std::tuple(cells(), F.d.Modified.load()), std::tuple(0, 0));
  run(F.w.rbZ, 1);  // "-X"
  EXPECT_EQ(std::tuple(cells(), F.d.Modified.load(), F.d.Space(55, 50, 5) != 0), std::tuple(119, 1, true));
}

TEST(View3dWindow, MatricesAndProjectionAgreeWithGlu) {
  ViewFixture F;
  F.v->makeCurrent();
  const auto glMatrix = [](GLenum which) {
    rv::Mat4 m;
    glGetDoublev(which, m.data());
    return m;
  };
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(40, 1.37, 1, 2345);
  const rv::Mat4 p = glMatrix(GL_PROJECTION_MATRIX);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(3, 40, 70, 20, 10, 5, 1, 1000, 1);
  const rv::Mat4 m = glMatrix(GL_MODELVIEW_MATRIX);
  F.v->doneCurrent();
  // The driver keeps its matrices in single precision.
  const rv::Mat4 mp = rv::PerspectiveMatrix(40, 1.37, 1, 2345);
  const rv::Mat4 mm = rv::LookAtMatrix(3, 40, 70, 20, 10, 5, 1, 1000, 1);
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(p[i], mp[i], 1e-6 * (1 + std::abs(mp[i]))) << i;
    EXPECT_NEAR(m[i], mm[i], 1e-6 * (1 + std::abs(mm[i]))) << i;
  }
  // gluProject works in double precision without a context.
  const GLint vp[4] = {3, 3, 794, 594};
  double gx, gy, gz, wx, wy, wz;
  ASSERT_TRUE(gluProject(7, 8, 9, mm.data(), mp.data(), vp, &gx, &gy, &gz));
  ASSERT_TRUE(rv::ProjectPoint(mp, mm, {3, 3, 794, 594}, 7, 8, 9, wx, wy, wz));
  EXPECT_TRUE(std::abs(wx - gx) < 1e-9 && std::abs(wy - gy) < 1e-9 && std::abs(wz - gz) < 1e-12);
}

TEST(View3dWindow, CellWindowFollowsTheCellAndItsCloseBoxClearsTheMenuMark) {
  ViewFixture F;
  F.w.ShowCellParameters(3, 4, 5);
  EXPECT_TRUE(F.w.fmSellParms->Memo1->toPlainText().startsWith("Координаты (X, Y, Z): 3, 4, 5"));
  F.w.fmSellParms->Memo1->clear();
  F.w.ShowCellParameters(3, 4, 5);  // the same cell: not rewritten
  EXPECT_TRUE(F.w.fmSellParms->Memo1->toPlainText().isEmpty());
  F.w.N25->trigger();
  EXPECT_TRUE(F.w.N25->isChecked() && F.w.fmSellParms->isVisible());
  F.w.fmSellParms->close();
  EXPECT_FALSE(F.w.N25->isChecked() || F.w.fmSellParms->isVisible());
}
