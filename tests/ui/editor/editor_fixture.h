// The editor's window fixtures (on a virtual X server):
// - Editor: the editor alone on an n^3 grid with its own tables, shown, the section across Z
//   at z = 1 with 8-pixel cells; mouse helpers for the section grid;
// - Program: the main window with the editor, materials and thin-wire windows wired to it as
//   the program wires them.
#pragma once
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QToolButton>

#include "../project/ui_fixture.h"
#include "editor/placing.h"
#include "editor/testgrid.h"
#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmCalculate.h"
#include "editor/ui/TfmLayers.h"
#include "editor/ui/TfmOpenGL.h"
#include "editor/ui/View3D.h"
#include "platform/prompter.h"
#include "project/ui/EditorLinks.h"
#include "project/ui/TfmNew3dMain.h"
#include "solver/resultpaths.h"

struct Editor {
  rv::SolverData d;
  rv::ScriptedPrompter p;
  rv::OutPointTables outputs;
  rv::LampedTables lamped;
  rv::TfmOpenGL w{d, p};
  rv::SectionGrid* g = w.StringGrid1;
  rv::View3D* v = w.GLView;
  std::array<std::string, 3> sizes{"0.001", "0.001", "0.001"};

  explicit Editor(int n = 12) {
    rv::SetGridSize(d, n, n, n);
    d.Dx = d.Dy = d.Dz = 0.001;
    rv::EditorMainLinks l;
    l.outputs = &outputs;
    l.lamped = &lamped;
    l.cellSizes = [this] { return sizes; };
    w.SetMainLinks(l);
    w.rbZ->trigger();
    w.FormActivate();
    d.Space.fill(0);
    for (int i = 0; i < 3; ++i) w.SpeedButton7Click();  // 8 px cells
    w.resize(900, 700);
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
  QPoint At(int col, int row) const {
    const int pw = g->DefaultColWidth() + 1, ph = g->DefaultRowHeight() + 1;
    return {(col - g->LeftCol()) * pw + pw / 2, (row - g->TopRow()) * ph + ph / 2};
  }
  void Send(QEvent::Type t, int col, int row, Qt::MouseButton b, Qt::MouseButtons held) {
    const QPoint p = At(col, row);
    QMouseEvent e(t, p, g->viewport()->mapToGlobal(p), b, held, Qt::NoModifier);
    QApplication::sendEvent(g->viewport(), &e);
  }
  // A drag through the given (col, row) cells.
  void Drag(std::initializer_list<std::pair<int, int>> cells, Qt::MouseButton b = Qt::LeftButton) {
    auto it = cells.begin();
    Send(QEvent::MouseButtonPress, it->first, it->second, b, b);
    for (++it; it != cells.end(); ++it) Send(QEvent::MouseMove, it->first, it->second, Qt::NoButton, b);
    const auto last = *(cells.end() - 1);
    Send(QEvent::MouseButtonRelease, last.first, last.second, b, Qt::NoButton);
  }
  // Model cell of grid (col, row) in section Z = 1: x = col + 1, y = 11 - row.
  uint8_t& Cell(int col, int row) { return d.Space(col + 1, 11 - row, 1); }
  QRgb Pixel(int col, int row) { return g->viewport()->grab().toImage().pixel(At(col, row)); }
  std::vector<int> Cells(std::initializer_list<std::pair<int, int>> at) {
    std::vector<int> m;
    for (auto [c, r] : at) m.push_back(Cell(c, r));
    return m;
  }
};

struct Program {
  rv::SolverData d;
  rv::ScriptedPrompter p;
  rv::TfmNew3dMain w{d};
  rv::TfmOpenGL editor{d, p};
  rv::TfmCalculate* calc = new rv::TfmCalculate(p, &editor);
  rv::TfmLayers* layers = new rv::TfmLayers(editor, p, calc, &editor);

  // With a grid of n^3 nodes set before the editor is linked, as the program starts, and no
  // new project after it.
  explicit Program(int n = 0) {
    w.SetPrompter(&p);
    if (n) Sizes(n, n, n);
    editor.SetLayersWindow(layers);
    rv::MainWindowLinks links;
    links.fmOpenGL = &editor;
    links.fmLayers = layers;
    w.SetLinks(links);
    rv::LinkEditorToMain(w, editor, *layers, *calc);
    if (!n) w.mnNewProjectClick();
  }
  void Sizes(int nx, int ny, int nz) { w.spX->setValue(nx), w.spY->setValue(ny), w.spZ->setValue(nz); }
  // A grid of n^3 nodes, every cell empty.
  void Grid(int n) {
    Sizes(n, n, n);
    editor.FormActivate();
    d.Space.fill(0);
  }
  // Lumped sources, one of 50 Ohm along Z at the cell given.
  void Source(const char* x, const char* y, const char* z) {
    w.rgSources->findChild<QRadioButton*>("rgSources2")->click();
    rv::ModifiedFlag m{0};
    rv::AppendRow(w.Lamped().sgSourses, {x, y, z, "50", "Z", "+"}, m);
  }
};
