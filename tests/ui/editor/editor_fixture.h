// An editor window on a 12^3 grid with its own tables, shown on a virtual X server, the
// section across Z at z = 1 with 8-pixel cells; mouse helpers for the section grid.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/prompter.h"
#include "project/tables.h"
#include "solver/solverdata.h"

struct Editor {
  rv::SolverData d;
  rv::ScriptedPrompter p;
  rv::OutPointTables outputs;
  rv::LampedTables lamped;
  rv::TfmOpenGL w{d, p};
  rv::SectionGrid* g = nullptr;

  Editor() {
    rv::SetGridSize(d, 12, 12, 12);
    d.Dx = d.Dy = d.Dz = 0.001;
    rv::EditorMainLinks l;
    l.outputs = &outputs;
    l.lamped = &lamped;
    l.cellSizes = [] { return std::array<std::string, 3>{"0.001", "0.001", "0.001"}; };
    w.SetMainLinks(l);
    w.rbZ->trigger();
    w.FormActivate();
    d.Space.fill(0);
    g = w.StringGrid1;
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
  // A left drag through the given cells of grid row `row`.
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
  // The materials of the cells (col, row) given.
  std::vector<int> Cells(std::initializer_list<std::pair<int, int>> at) {
    std::vector<int> m;
    for (auto [c, r] : at) m.push_back(Cell(c, r));
    return m;
  }
};
