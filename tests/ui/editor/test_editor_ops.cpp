// The editor's placing buttons, model-operation commands and file commands, driven as the
// user drives them (dialogs answered through the window's dialog hook).
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

#include <fstream>

#include "../project/ui_fixture.h"
#include "editor/dxfimport.h"
#include "editor/placing.h"
#include "editor/ui/TfmGetDWGUnit.h"
#include "editor/ui/TfmGetValue.h"
#include "editor/ui/TfmMove.h"
#include "editor/ui/TfmRotate.h"
#include "editor/ui/TfmTriangle.h"
#include "editor_fixture.h"

namespace {

std::string Row(const rv::StringGrid& g, int r) {
  std::string s;
  for (int c = 0; c < g.ColCount(); ++c) s += g.Cells(c, r) + "|";
  return s;
}

int Occupied(const rv::SolverData& d) {
  int n = 0;
  for (int x = 1; x < d.Nx; ++x)
    for (int y = 1; y < d.Ny; ++y)
      for (int z = 1; z < d.Nz; ++z) n += d.Space(x, y, z) != 0;
  return n;
}

TEST(EditorOps, OutputsAndElementsPlacedAndDeletedAtTheAnchor) {
  Editor E;
  rv::TfmOpenGL& w = E.w;
  w.SelectSectionCell(2, 3);  // cell (3, 8, 1)
  w.OutputButtons[0]->click();  // Ex
  EXPECT_EQ(Row(E.outputs.sgOutPoint, 1), "E|x|3|8|1|Ex(3,8,1).grf|");
  w.OutputButtons[0]->click();
  EXPECT_EQ(E.outputs.sgOutPoint.RowCount(), 1);

  std::string value = "50";
  w.ExecDialog = [&](QDialog& dlg) {
    auto& v = static_cast<rv::TfmGetValue&>(dlg);
    v.Edit1->setText(QString::fromStdString(value));
    if (v.Edit2) v.Edit2->setText("x");
    return int(QDialog::Accepted);
  };
  w.ElementButtons[1]->click();  // Ry
  EXPECT_EQ(Row(E.lamped.sgResistors, 1), "3|8|1|50|Y|");
  EXPECT_EQ(std::tuple(w.ElementButtons[0]->isEnabled(), w.btnDelLamped->isEnabled()), std::tuple(false, true));
  // Another cell frees the buttons; the cell with the resistor takes them again.
  w.SelectSectionCell(5, 5);
  EXPECT_TRUE(w.ElementButtons[0]->isEnabled());
  value = "";
  w.ElementButtons[6]->click();  // Vx without resistance: refused
  EXPECT_EQ(std::tuple(E.p.messages.back(), E.lamped.sgSourses.RowCount()), std::tuple(rv::BadResistanceText, 1));
  w.SelectSectionCell(2, 3);
  EXPECT_FALSE(w.ElementButtons[0]->isEnabled());
  w.btnDelLamped->click();
  EXPECT_EQ(std::tuple(E.lamped.sgResistors.RowCount(), w.ElementButtons[0]->isEnabled()), std::tuple(1, true));

  // The selection's commands: x 2..4, y 7..9 of the section z = 1.
  w.StringGrid1->SetSelection({true, 1, 2, 3, 4});
  w.mnCurrentRegion->trigger();
  EXPECT_EQ(E.outputs.sgCurrent.Cells(6, 1), "Iz (2,7,1;4,9,1)");
  E.d.Space(3, 8, 1) = 1, E.d.Space(6, 8, 1) = 1;
  w.mnDelSelected->trigger();
  EXPECT_EQ(std::tuple(int(E.d.Space(3, 8, 1)), int(E.d.Space(6, 8, 1)), w.SelActive()), std::tuple(0, 1, false));
}

TEST(EditorOps, MoveWithTablesReportsCellsLeftAndDeleteAllAsks) {
  Editor E;
  rv::TfmOpenGL& w = E.w;
  E.d.Space(2, 2, 1) = 1;
  rv::ModifiedFlag mod{0};
  rv::AppendRow(E.lamped.sgResistors, {"2", "2", "1", "50", "X"}, mod);
  rv::AppendRow(E.lamped.sgCapacitors, {"", "2", "1", "1e-12", "X"}, mod);
  w.ExecDialog = [&](QDialog& dlg) {
    auto& m = static_cast<rv::TfmMove&>(dlg);
    m.seX->setValue(3), m.seY->setValue(1), m.seZ->setValue(0);
    m.CheckBox1->setChecked(true);
    return int(QDialog::Accepted);
  };
  w.mnMove->trigger();
  EXPECT_EQ(std::tuple(int(E.d.Space(5, 3, 1)), Occupied(E.d)), std::tuple(1, 1));
  EXPECT_EQ(Row(E.lamped.sgResistors, 1), "5|3|1|50|X|");
  ASSERT_EQ(E.p.messages.size(), 1u);
  EXPECT_EQ(E.p.messages[0], rv::CellsLeftText(1));
  EXPECT_EQ(w.Elements().Resistors.size(), 1u);
  EXPECT_EQ(w.Elements().Resistors[0].X, 5);

  // Half a turn about Z through (6, 6): (5, 3) goes to (7, 9).
  w.ExecDialog = [&](QDialog& dlg) {
    auto& r = static_cast<rv::TfmRotate&>(dlg);
    r.AxisItems[2]->setChecked(true);
    r.SpinEdit1->setValue(6), r.SpinEdit2->setValue(6);
    r.RadioButton1->setChecked(true);
    return int(QDialog::Accepted);
  };
  w.N901->trigger();
  EXPECT_EQ(std::tuple(int(E.d.Space(7, 9, 1)), Occupied(E.d)), std::tuple(1, 1));

  E.p.answers = {rv::PromptButton::Cancel, rv::PromptButton::Ok};
  w.mnDeleteAll->trigger();
  EXPECT_EQ(Occupied(E.d), 1);
  E.d.Modified = 0;
  w.mnDeleteAll->trigger();
  EXPECT_EQ(std::tuple(Occupied(E.d), int(E.d.Modified)), std::tuple(0, 1));
}

TEST(EditorOps, ObjectFileRoundTripAndDrawingImport) {
  Editor E;
  rv::TfmOpenGL& w = E.w;
  const std::string dir = rvtest::FreshDir("editor_ops", "files");
  E.d.Space(3, 4, 5) = 1, E.d.Space(11, 11, 11) = 1;  // the last model cell of each axis
  std::string file = dir + "obj.fid";
  w.ChooseFile = [&](bool, const char*, const char*) { return file; };
  w.ExecDialog = [](QDialog&) { return int(QDialog::Accepted); };
  w.N8->trigger();
  E.d.Space.fill(0);
  w.N15->trigger();  // at the anchor the file proposes
  EXPECT_EQ(std::tuple(int(E.d.Space(3, 4, 5)), int(E.d.Space(11, 11, 11)), Occupied(E.d)), std::tuple(1, 1, 2));
  // An existing file is replaced only when the user agrees (an empty model would say so).
  const std::string saved = rvtest::ReadFile(file);
  E.p.answers = {rv::PromptButton::Cancel};
  E.d.Space.fill(0);
  w.N8->trigger();
  EXPECT_EQ(std::tuple(E.p.errors.size(), E.p.questions.size(), rvtest::ReadFile(file) == saved),
            std::tuple(0u, 1u, true));

  // A line 0..5 mm on cells of 1 mm at scale 0.001: cells 1..6 along x, commands back on.
  E.d.Space.fill(0);
  file = dir + "line.DXF";
  std::ofstream(file) << "0\nSECTION\n2\nTABLES\n0\nLAYER\n2\nwire\n0\nENDTAB\n0\nLINE\n8\nwire\n"
                         " 10\n0\n 20\n0\n 30\n0\n 11\n5\n 21\n0\n 31\n0\n0\nEOF\n";
  w.N1->trigger();
  EXPECT_FALSE(w.Importing);
  EXPECT_TRUE(w.menuBar()->isEnabled());
  // The layer's material is appended; the unused first material is then removed.
  for (int x = 1; x <= 6; ++x) EXPECT_EQ(int(E.d.Space(x, 1, 1)), 1) << x;
  EXPECT_EQ(std::tuple(Occupied(E.d), w.LayerCount(), E.d.Layers[1].Name), std::tuple(6, 1, "wire"));
  EXPECT_EQ(w.fmTriangle->Label1->text().toStdString(), "Готово ");
  // A material renamed while the scale is asked for refuses the import.
  E.d.Space.fill(0);
  w.ExecDialog = [&](QDialog&) {
    E.d.Layers[1].Name = "other";
    return int(QDialog::Accepted);
  };
  w.N1->trigger();
  EXPECT_EQ(std::tuple(Occupied(E.d), E.p.errors.size(), w.menuBar()->isEnabled()), std::tuple(0, 1u, true));
}

}  // namespace
