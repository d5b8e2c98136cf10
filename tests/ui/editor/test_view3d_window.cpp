// The editor's 3-D view drawn on a virtual X server: the colours of cell faces, the section
// plane and a current region where the camera's projection puts them, the keys and the
// snapshots.

#include <QMenu>
#include <QPushButton>
#include <filesystem>
#include <QTemporaryDir>

#include <GL/glu.h>

#include "editor/ui/TfmParobolaDLG.h"
#include "editor/ui/TfmSellParms.h"
#include "editor_fixture.h"

namespace {

// Draws a frame and gives the colour at the projection of (x, y, z).
QColor At(Editor& F, double x, double y, double z) {
  const QImage img = F.v->grabFramebuffer();
  double wx, wy, wz;
  const std::array<int, 4> vp{3, 3, img.width() - 6, img.height() - 6};
  EXPECT_TRUE(rv::ProjectPoint(F.v->Projection(), F.v->ModelView(), vp, x, y, z, wx, wy, wz));
  return img.pixelColor(int(wx), img.height() - 1 - int(wy));
}

void ExpectRgb(const QColor& c, int r, int g, int b, int tol = 2) {
  EXPECT_TRUE(std::abs(c.red() - r) <= tol && std::abs(c.green() - g) <= tol && std::abs(c.blue() - b) <= tol)
      << c.name().toStdString();
}

}  // namespace

TEST(View3dWindow, FaceShadesSectionPlaneAndCurrentRegion) {
  Editor F(20);
  Box(F.d, {5, 5, 5}, {14, 14, 14}, 1);
  rv::ModelChanged(F.d);
  F.w.rbOff->setChecked(true);
  F.w.mnShowCLines->setChecked(true);
  F.w.SetCamera({10, 10, 60, 10, 10, 0});
  ExpectRgb(At(F, 10, 10, 15), 255, 0, 0, 0);
  F.w.SetCamera({60, 10, 10, 0, 10, 10});
  ExpectRgb(At(F, 15, 10, 10), 191, 0, 0, 0);
  F.w.SetCamera({10, 60, 12, 10, 0, 10});
  ExpectRgb(At(F, 10, 15, 10), 128, 0, 0, 1);
  // The same pictures from the plain boxes.
  F.v->SetPlainBoxes(true);
  ExpectRgb(At(F, 10, 15, 10), 128, 0, 0, 1);
  F.v->SetPlainBoxes(false);

  // Empty model: the section plane over white, a current region in front of it.
  F.d.Space.fill(0);
  rv::ModelChanged(F.d);
  F.w.rbOff->setChecked(false);
  F.w.rbZ->trigger();
  F.w.SpinEdit3->setValue(3);
  rv::ModifiedFlag m{0};
  rv::AppendRow(F.outputs.sgCurrent, {"8", "8", "12", "12", "12", "12", "iz"}, m);
  F.w.LoadElementArrays();
  F.w.SetCamera({10, 10, 60, 10, 10, 0});
  ExpectRgb(At(F, 5, 5, 3.5), 204, 204, 204);
  ExpectRgb(At(F, 10.5, 10.5, 12.5), 41, 102, 82);
  // Switching the plane off leaves the region over white.
  F.w.rbOff->setChecked(true);
  ExpectRgb(At(F, 5, 5, 3.5), 255, 255, 255, 0);
}

TEST(View3dWindow, ResetShowsADeepGridAndBadCellSizeKeepsThePicture) {
  // The reset view puts the eye at 3 Nz: the block's near face is 2 Nz away.
  Editor F(20);
  rv::SetGridSize(F.d, 100, 100, 1100);
  ASSERT_TRUE(rv::ResizeSpace(F.d));
  Box(F.d, {1, 1, 1}, {99, 99, 1099}, 1);
  rv::ModelChanged(F.d);
  F.w.rbOff->setChecked(true);
  F.w.btnResetClick();
  ExpectRgb(At(F, 50, 50, 1100), 255, 0, 0, 0);
  // The frame's drawing time, in milliseconds spelt in Cyrillic.
  EXPECT_TRUE(F.w.lbSpeed->text().endsWith(QString::fromUtf8(" мс"))) << F.w.lbSpeed->text().toStdString();
  // A cell size that is not a number skips the frame: the block stays on the picture.
  F.d.Space.fill(0);
  rv::ModelChanged(F.d);
  F.sizes[1] = "abc";
  ExpectRgb(At(F, 50, 50, 1100), 255, 0, 0, 0);
  F.sizes[1] = "0.001";
  ExpectRgb(At(F, 50, 50, 1100), 255, 255, 255, 0);
}

TEST(View3dWindow, KeysMoveTheCameraUnlessASectionControlHasTheFocus) {
  Editor F(100);
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
}

TEST(View3dWindow, SnapshotsAreNumberedAndAFailureKeepsTheCounter) {
  Editor F(20);
  QTemporaryDir tmp;
  F.d.ImagesDir = (tmp.path() + "/Images/").toStdString();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(F.w.btnKadrClick());
  EXPECT_EQ(QImage(tmp.path() + "/Images/Frame3D_____2.bmp").size(), F.v->size() * F.v->devicePixelRatioF());
  // A folder that cannot be made: a message, the counter stays.
  QFile blocker(tmp.path() + "/file");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  F.d.ImagesDir = (tmp.path() + "/file/Images/").toStdString();
  EXPECT_FALSE(F.w.btnKadrClick());
  EXPECT_EQ(std::tuple(F.w.FrameCounter, F.p.shown.empty()), std::tuple(3, false));
}

TEST(View3dWindow, ParabolaDrawsOnlyInAZSectionAndMarksTheProjectModified) {
  Editor F(100);
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
  run(F.w.rbX, 0);
  run(F.w.rbY, 0);
  EXPECT_EQ(std::tuple(Occupied(F.d), F.d.Modified.load()), std::tuple(0, 0));
  run(F.w.rbZ, 1);  // "-X": the vertex on the anchor's right
  EXPECT_EQ(std::tuple(F.d.Modified.load(), F.d.Space(55, 50, 5) != 0, F.d.Space(45, 50, 5) != 0), std::tuple(1, true, false));
}

TEST(View3dWindow, MatricesAndProjectionAgreeWithGlu) {
  Editor F(20);
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
  Editor F(20);
  F.w.ShowCellParameters(3, 4, 5);
  EXPECT_TRUE(F.w.fmSellParms->Memo1->toPlainText().startsWith("Координаты (X, Y, Z): 3, 4, 5"));
  // A switched-off conductor is vacuum to the solver: no resistances. Switched on after the
  // object box was found, the box follows and the solver's edge conducts.
  rv::TfmLayers layers(F.w, F.p, nullptr, &F.w);
  F.d.Layers[1].On = 0;
  F.d.Space(3, 4, 6) = 1;
  rv::ModelChanged(F.d);
  F.w.N12Click();
  const auto ohms = [&](int z) {
    F.w.ShowCellParameters(3, 4, z);
    return F.w.fmSellParms->Memo1->toPlainText().contains(QString::fromUtf8(" Ом/ "));
  };
  EXPECT_FALSE(ohms(6));
  layers.SelectCell(rv::ColOn, 1);
  const bool empty = ohms(5);
  EXPECT_EQ(std::pair(empty, ohms(6)), std::pair(false, true));
  // The window's item sits in the menu "Показывать".
  EXPECT_EQ(qobject_cast<QMenu*>(F.w.N25->parent())->title().toStdString(), "Показывать");
  F.w.N25->trigger();
  EXPECT_TRUE(F.w.N25->isChecked() && F.w.fmSellParms->isVisible());
  F.w.fmSellParms->close();
  EXPECT_FALSE(F.w.N25->isChecked() || F.w.fmSellParms->isVisible());
}

// The view builds its faces again after each change the editor makes and after the main
// window hands it another model, and never for a frame that only moves the camera.
TEST(View3dWindow, CachedFacesFollowEveryChangeOfTheModelAndNothingElse) {
  Editor F(12);
  rv::TfmLayers layers(F.w, F.p, nullptr, &F.w);
  F.w.rbOff->setChecked(true);
  const auto frame = [&] {
    F.v->grabFramebuffer();
    return std::pair(F.v->MeshBuilds(), F.v->CachedQuads());
  };
  auto [builds, quads] = frame();
  // Camera moves and repaints alone build nothing.
  F.w.RotateStep();
  F.w.SpinEdit3->setValue(2);
  EXPECT_EQ(frame().first, builds);
  int last = builds;
  std::size_t lastQuads = quads;
  const auto changed = [&](const char* what) {
    const auto [b, q] = frame();
    EXPECT_EQ(b, last + 1) << what;
    EXPECT_NE(q, lastQuads) << what;
    last = b, lastQuads = q;
  };
  F.w.SpinEdit3->setValue(1);
  F.w.btnPen->click();
  F.Drag({{1, 1}, {2, 1}});
  changed("pen");
  F.w.mnUndo->trigger();
  changed("undo");
  F.w.btnFill->click();
  F.Drag({{0, 0}});
  changed("fill");
  F.w.btnEraser->click();
  F.Drag({{5, 5}});
  changed("eraser");
  layers.SelectCell(rv::ColOn, 1);
  changed("material switched off");
  layers.SelectCell(rv::ColOn, 1);
  changed("material switched on");
  // The main window grows the grid, or loads another model of the same size.
  rv::SetGridSize(F.d, 14, 12, 12);
  ASSERT_TRUE(rv::ResizeSpace(F.d));
  F.d.Space(13, 1, 1) = 1;
  F.w.GridChanged();
  changed("grid grown");
  F.d.Space.fill(0);
  F.w.SetEditorState(rv::EditorState{});
  changed("project");
  EXPECT_EQ(lastQuads, 0u);
}

namespace {

std::vector<float> CameraOf(const rv::TfmOpenGL& e) { return {e.EyeX, e.EyeY, e.EyeZ, e.CenterX, e.CenterY, e.CenterZ}; }
std::vector<float> NewProjectCamera(int nx, int ny, int nz) {
  const rv::Camera c = rv::InitialCamera(nx, ny, nz);
  return {c.EyeX, c.EyeY, c.EyeZ, c.CenterX, c.CenterY, c.CenterZ};
}

}  // namespace

// A grid of another size puts the camera over the new grid as a new project's, whether the
// editor is open or opened after, and so does a doubled volume; activations, frames and a load
// with its stored camera leave the camera where it is; the reset command still resets.
TEST(View3dWindow, AGridSizeChangeAndOnlyThatPlacesTheCameraAsANewProjects) {
  Program P(30);
  rv::TfmOpenGL& e = P.editor;
  QTest::mouseClick(P.w.Button4, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
  e.GLView->setFocus();
  QTest::keyClick(e.GLView, Qt::Key_Up);
  const std::vector<float> moved = CameraOf(e);
  ASSERT_NE(moved, NewProjectCamera(30, 30, 30));
  e.FormActivate();
  e.GLView->grabFramebuffer();
  EXPECT_EQ(CameraOf(e), moved);

  // Saved with the moved camera, for the load below.
  rvtest::ScriptedDialogs dialogs;
  rv::ProjectIO io(P.w, P.p, dialogs);
  const std::string file = rvtest::FreshDir("view3d_window", "camera") + "p.fdt";
  dialogs.save = {file};
  ASSERT_TRUE(io.btnSaveResClick());

  // Changed on the grid page while the editor is open: the next frame is of the new grid.
  P.Sizes(60, 40, 50);
  e.GLView->grabFramebuffer();
  EXPECT_EQ(CameraOf(e), NewProjectCamera(60, 40, 50));
  // Changed while it is closed: reopening it shows the new grid.
  e.close();
  P.Sizes(20, 20, 24);
  QTest::mouseClick(P.w.Button4, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
  EXPECT_EQ(CameraOf(e), NewProjectCamera(20, 20, 24));

  // A load brings its own camera, and activations and frames keep it.
  P.d.Modified = 0;
  dialogs.open = {file};
  io.Button2Click(true);
  QApplication::processEvents();
  e.FormActivate();
  e.GLView->grabFramebuffer();
  EXPECT_EQ(std::tuple(P.d.SpaceNx, CameraOf(e)), std::tuple(30, moved));

  P.d.Modified = 0;
  P.w.mnDoubleVolumClick();
  ASSERT_NE(P.d.SpaceNx, 30);
  EXPECT_EQ(CameraOf(e), NewProjectCamera(P.d.SpaceNx, P.d.SpaceNy, P.d.SpaceNz));
  QTest::keyClick(e.GLView, Qt::Key_Up);
  e.N14->trigger();
  EXPECT_EQ(CameraOf(e), NewProjectCamera(P.d.SpaceNx, P.d.SpaceNy, P.d.SpaceNz));
  e.close();
}

namespace {

// The last frame's projection puts every corner of the domain box inside the view, and the
// frame shows each axis' name in its colour as high as the view's font.
void ExpectWholeBoxInView(rv::TfmOpenGL& editor, const std::string& what) {
  const QImage img = editor.GLView->grabFramebuffer();
  const int W = img.width(), H = img.height();
  const rv::SolverData& d = editor.Data();
  const double n[3] = {double(d.Nx), double(d.Ny), double(d.Nz)};
  std::vector<std::array<double, 3>> points;
  for (double x : {1.0, n[0]})
    for (double y : {1.0, n[1]})
      for (double z : {1.0, n[2]}) points.push_back({x, y, z});
  for (const auto& p : points) {
    double wx, wy, wz;
    ASSERT_TRUE(rv::ProjectPoint(editor.GLView->Projection(), editor.GLView->ModelView(), {3, 3, W - 6, H - 6},
                                 p[0], p[1], p[2], wx, wy, wz));
    EXPECT_TRUE(wx >= 3 && wx <= W - 3 && wy >= 3 && wy <= H - 3 && wz > 0 && wz < 1)
        << what << " (" << p[0] << "," << p[1] << "," << p[2] << ") at " << wx << "," << wy << " of " << W << "x" << H;
  }
  for (const rv::AxisLabel& a : editor.GLView->Labels()) {
    const QColor colour(a.Letter == 'X' ? 255 : 0, a.Letter == 'Y' ? 255 : 0, a.Letter == 'Z' ? 255 : 0);
    int top = H, bottom = -1;
    for (int y = std::max(3, int(a.Y - a.HalfH) - 2); y <= std::min(H - 4, int(a.Y + a.HalfH) + 2); ++y)
      for (int x = std::max(3, int(a.X - a.HalfW)); x <= std::min(W - 4, int(a.X + a.HalfW)); ++x)
        if (img.pixelColor(x, H - 1 - y) == colour) top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_GE(bottom - top + 1, editor.GLView->LabelPx() - 1) << what << " " << a.Letter;
  }
}

}  // namespace

// The samples open with their whole box and the axes' names in the 3-D view.
TEST(View3dWindow, SamplesShowTheirWholeBoxAndAxisNames) {
  const auto root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path();
  for (const char* sample : {"examples/dipole/dipole.fdt", "examples/scatterer/scatterer.fdt"}) {
    Program P;
    rvtest::ScriptedDialogs dialogs;
    rv::ProjectIO io(P.w, P.p, dialogs);
    dialogs.open = {(root / sample).string()};
    io.Button2Click(true);
    QApplication::processEvents();
    P.editor.ShowFromMain();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&P.editor));
    ASSERT_EQ(P.d.Nx, P.d.Nz) << sample;  // cubic cells: the scales are 1
    ExpectWholeBoxInView(P.editor, sample);
    P.editor.close();
  }
}

// The axes' names keep their size on flat, long, tiny and cubic grids.
TEST(View3dWindow, AxisNamesAreReadableWhateverTheGrid) {
  Program P(30);
  QTest::mouseClick(P.w.Button4, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&P.editor));
  for (const auto& [x, y, z] : {std::tuple(200, 200, 10), {300, 20, 20}, {20, 20, 300}, {2, 2, 3}, {50, 50, 50}}) {
    P.Sizes(x, y, z);
    ExpectWholeBoxInView(P.editor, std::to_string(x) + "x" + std::to_string(y) + "x" + std::to_string(z));
  }
  P.editor.close();
}

// Flat grids, whose box the rule's eye at 3 Nz is too close to take in: placed for a new grid,
// reset, or a new project's camera stored in a file, the camera stands back on the same line
// far enough to show the whole box; a camera the user moved stays where it is.
TEST(View3dWindow, AFlatGridIsSeenWholeAfterAGridChangeTheResetAndALoad) {
  Program P(30);
  rv::TfmOpenGL& e = P.editor;
  QTest::mouseClick(P.w.Button4, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
  P.Sizes(80, 80, 30);
  ExpectWholeBoxInView(e, "80x80x30");
  const rv::Camera placed = e.GetCamera();
  // The window made narrow, as a desktop may settle it after the first frame: still whole.
  const QSize size = e.size();
  e.resize(size.width() * 2 / 3, size.height());
  ASSERT_TRUE(QTest::qWaitFor([&] { return e.GLView->width() < e.GLView->height() * 3 / 4; }, 2000));
  ExpectWholeBoxInView(e, "80x80x30 narrow");
  e.resize(size);
  ASSERT_TRUE(QTest::qWaitFor([&] { return e.size() == size; }, 2000));
  e.GLView->grabFramebuffer();
  e.GLView->setFocus();
  QTest::keyClick(e.GLView, Qt::Key_Up);
  e.GLView->grabFramebuffer();
  EXPECT_FLOAT_EQ(e.EyeZ, placed.EyeZ - 10);
  e.btnResetClick();
  ExpectWholeBoxInView(e, "80x80x30 reset");
  EXPECT_FLOAT_EQ(e.EyeZ, placed.EyeZ);
  // A project stored with the rule's camera, as a new project saved before the editor was
  // ever shown: the same view.
  rv::EditorState s = e.GetEditorState();
  const rv::Camera rule = rv::InitialCamera(80, 80, 30);
  std::tie(s.EyeX, s.EyeY, s.EyeZ, s.CenterX, s.CenterY, s.CenterZ) =
      std::tuple(rule.EyeX, rule.EyeY, rule.EyeZ, rule.CenterX, rule.CenterY, rule.CenterZ);
  e.SetEditorState(s);
  ExpectWholeBoxInView(e, "80x80x30 stored");
  EXPECT_FLOAT_EQ(e.EyeZ, placed.EyeZ);
}
