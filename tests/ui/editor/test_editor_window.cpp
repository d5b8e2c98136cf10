// The editor window and its materials and thin-wire dialogs, wired to the main window as
// the program wires them (on a virtual X server).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <memory>

#include "../project/ui_fixture.h"
#include "editor/ui/TfmCalculate.h"
#include "editor/ui/TfmLayers.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/prompter.h"
#include "project/ui/EditorLinks.h"
#include "project/ui/ProjectIO.h"
#include "project/ui/TfmNew3dMain.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"

using rv::PromptButton;
using rvtest::WaitFor;

namespace {

struct Program {
  rv::SolverData d;
  rv::ScriptedPrompter p;
  rv::TfmNew3dMain w{d};
  rv::TfmOpenGL editor{d, p};
  rv::TfmCalculate* calc = new rv::TfmCalculate(p, &editor);
  rv::TfmLayers* layers = new rv::TfmLayers(editor, p, calc, &editor);

  Program() {
    w.SetPrompter(&p);
    editor.SetLayersWindow(layers);
    rv::MainWindowLinks links;
    links.fmOpenGL = &editor;
    links.fmLayers = layers;
    w.SetLinks(links);
    rv::LinkEditorToMain(w, editor, *layers, *calc);
    w.mnNewProjectClick();
  }
  // A grid of n^3 nodes, every cell empty.
  void Grid(int n) {
    for (QSpinBox* s : {w.spX, w.spY, w.spZ}) s->setValue(n);
    editor.FormActivate();
    d.Space.fill(0);
  }
  void SetCell(int r, int c, const char* text) { layers->StringGrid1->item(r - 1, c)->setText(text); }
};

TEST(EditorWindow, OpensAndEditsMaterials) {
  Program P;
  P.Grid(10);
  EXPECT_FALSE(P.editor.isVisible());
  QTest::mouseClick(P.w.Button4, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&P.editor));
  EXPECT_EQ(std::tuple(P.editor.SpinEdit1->maximum(), P.editor.windowTitle().toStdString(), P.d.GLReady.load()),
            std::tuple(9, "Объект", 1));

  // "Новый матер.", colour and on/off each leave the project modified.
  rv::TfmLayers& L = *P.layers;
  L.FormActivate();
  P.d.Modified = 0;
  L.btnAddLayerClick();
  EXPECT_EQ(std::tuple(P.editor.LayerCount(), L.StringGrid1->rowCount(), P.d.Modified.load()), std::tuple(2, 2, 1));
  P.d.Modified = 0;
  L.SetColorChooser([](uint32_t& c) { c = 0x123456; return true; });
  L.SelectCell(rv::ColColor, 2);
  EXPECT_EQ(std::tuple(P.d.Layers[2].Color, P.d.Modified.load()), std::tuple(0x123456u, 1));
  P.d.Modified = 0;
  L.SelectCell(rv::ColOn, 2);
  EXPECT_EQ(std::tuple(P.d.Layers[2].On, L.StringGrid1->item(1, rv::ColOn)->text().toStdString(), P.d.Modified.load()),
            std::tuple(0, "ОТКЛ", 1));
  L.SelectCell(rv::ColOn, 2);

  // Deleting a used material asks, snapshots, and undo brings cells and count back.
  P.d.Space(3, 3, 3) = 2;
  P.d.Space(4, 4, 4) = 1;
  L.SelectCell(rv::ColName, 2);
  P.p.answers = {PromptButton::Cancel};
  L.BitBtn1Click();
  EXPECT_EQ(P.editor.LayerCount(), 2);
  P.p.answers = {PromptButton::Ok};
  L.BitBtn1Click();
  EXPECT_EQ(P.p.questions.back(), "Удалить материал, который содержится в проекте?");
  EXPECT_EQ(std::tuple(P.editor.LayerCount(), int(P.d.Space(3, 3, 3)), P.editor.CurLayer()), std::tuple(1, 0, 1));
  ASSERT_TRUE(P.editor.mnUndo->isEnabled());
  P.editor.mnUndo->trigger();
  EXPECT_EQ(std::tuple(int(P.d.Space(3, 3, 3)), P.editor.LayerCount(), P.editor.mnUndo->isEnabled(), P.editor.ComboBox1->count()),
            std::tuple(2, 2, false, 2));

  // Unreadable or unphysical numbers keep the window open with the cell selected.
  L.FormActivate();
  L.open();
  for (auto [col, text] : {std::pair{rv::ColEpsStatic, "1,5"}, {rv::ColMu, "0"}}) {
    P.SetCell(2, col, text);
    P.p.messages.clear();
    QTest::mouseClick(L.btnSave, Qt::LeftButton);
    EXPECT_EQ(P.p.messages, std::vector<std::string>{"Устранить ошибки!"});
    EXPECT_EQ(std::tuple(L.isVisible(), L.StringGrid1->currentRow(), L.StringGrid1->currentColumn()), std::tuple(true, 1, int(col)));
    P.SetCell(2, col, "2");
  }
  QTest::mouseClick(L.btnSave, Qt::LeftButton);
  EXPECT_FALSE(L.isVisible());
  EXPECT_EQ(P.d.Layers[2].EpsStatic, 2.0);
  // The main window's stability labels follow the largest permittivity.
  P.SetCell(2, rv::ColEpsStatic, "100");
  EXPECT_TRUE(L.btnSaveClick());
  EXPECT_EQ(P.w.lbMaxFreq->text().toStdString(), "150.00");

  // The thin-wire calculator takes the main window's cells; "Выбрать.." does nothing.
  P.w.edY->setText("0.02");
  P.calc->FormActivate();
  EXPECT_EQ(P.calc->edY->text().toStdString(), "0.02");
  EXPECT_FALSE(P.calc->Button1->isEnabled());
  P.calc->Button2Click();
  EXPECT_EQ(P.calc->Memo1->toPlainText().toStdString(),
            "Новая проводимость:\n51031.0363079829\nПогонное сопротивление:\n0.00391918358845309");
}

TEST(EditorWindow, ProjectLoadActivationAndMinimise) {
  Program P;
  P.Grid(30);
  rv::EditorState s;
  s.X = 20;
  s.Y = 5;
  s.LayerCount = 3;
  P.w.SetEditorState(s);
  rv::StringGrid& g = P.w.Outputs().sgCurrent;
  std::atomic<uint8_t> m{0};
  rv::AddGridRow(g, m);
  for (int c = 0; c < 6; ++c) g.SetCell(c, 1, std::to_string(2 + c));  // flat in no axis
  auto regionMessages = [&] {
    int n = 0;
    for (const std::string& t : P.p.messages) n += t.find("Токовый регион") != std::string::npos;
    return n;
  };
  // Saved, then loaded three times: the editor takes the project's view and materials,
  // and the region's message comes once.
  rvtest::ScriptedDialogs dialogs;
  rv::ProjectIO io(P.w, P.p, dialogs);
  const std::string file = rvtest::FreshDir("editor_window", "load") + "p.fdt";
  dialogs.save = {file};
  ASSERT_TRUE(io.btnSaveResClick());
  P.w.SetEditorState(rv::EditorState{});
  for (int load = 0; load < 3; ++load) {
    dialogs.open = {file};
    io.Button2Click(true);
    QApplication::processEvents();
  }
  EXPECT_EQ(std::tuple(P.editor.SpinEdit1->value(), P.editor.SpinEdit2->value(), P.w.GetEditorState().LayerCount,
                       P.editor.ComboBox1->count(), regionMessages()),
            std::tuple(20, 5, 3, 3, 1));
  // A smaller grid pulls a section position down to its last cell.
  P.Grid(12);
  EXPECT_EQ(P.editor.SpinEdit1->value(), 11);
  EXPECT_EQ(P.editor.SpinEdit1->toolTipDuration(), P.editor.ComboBox1->toolTipDuration());
  const int tip = P.editor.ComboBox1->toolTipDuration();
  g.SetCell(0, 1, "3");
  P.editor.FormActivate();
  QApplication::processEvents();
  EXPECT_EQ(regionMessages(), 2);  // the table changed
  EXPECT_EQ(P.editor.ComboBox1->toolTipDuration(), tip);  // does not grow

  // Minimising the editor minimises the program.
  P.w.show();
  P.editor.ShowFromMain();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&P.editor));
  P.editor.showMinimized();
  EXPECT_TRUE(WaitFor([&] { return P.w.isMinimized(); }, 3000));
}

// A run with SAR on keeps the model it started with: drawing, filling, deleting a material
// and undoing during the run leave its reports as they are without the edits.
TEST(EditorWindow, EditsDuringARunDoNotReachItsReports) {
  const std::string dir = rvtest::FreshDir("editor_run", "sar");
  std::string reports[2];
  for (int edit = 0; edit < 2; ++edit) {
    Program P;
    P.Grid(40);
    rv::tLayer& body = P.d.Layers[1];
    body.Sigma = 0.5, body.EpsStatic = 40, body.EpsInf = 40, body.Density = 1000;
    for (int x = 15; x <= 25; ++x)
      for (int y = 15; y <= 25; ++y)
        for (int z = 22; z <= 28; ++z) P.d.Space(x, y, z) = 1;
    P.editor.Materials().LayerCount = 2;
    P.w.seStepCount->setValue(300);
    P.w.cbEnergy->setChecked(true);
    QTest::mouseClick(P.w.rgSources->findChild<QRadioButton*>("rgSources2"), Qt::LeftButton);
    rv::StringGrid& g = P.w.Lamped().sgSourses;
    std::atomic<uint8_t> m{0};
    rv::AddGridRow(g, m);
    for (auto [c, t] : {std::pair{0, "20"}, {1, "20"}, {2, "18"}, {3, "50"}, {4, "Z"}, {5, "+"}})
      g.SetCell(c, 1, t);
    rv::SetResultPaths(P.d, dir + "run.fdt");
    P.w.btnPuskClick();
    ASSERT_TRUE(P.w.Running());
    if (edit) {
      P.w.btnPauzaClick();
      // Draw, fill, delete material 1 (used: asks), undo the delete.
      P.editor.SaveUndo();
      P.d.Space(20, 20, 24) = 2;
      P.editor.SaveUndo();
      for (int x = 1; x < 40; ++x)
        for (int y = 1; y < 40; ++y) P.d.Space(x, y, 10) = 2;
      P.layers->FormActivate();
      P.layers->SelectCell(rv::ColName, 1);
      P.p.answers = {PromptButton::Ok};
      P.layers->BitBtn1Click();
      ASSERT_EQ(P.editor.LayerCount(), 1);
      P.editor.Data().Layers[1].Name = "renamed";
      P.editor.mnUndoClick();
      P.editor.FormActivate();
      P.w.btnPauzaClick();
    }
    ASSERT_TRUE(WaitFor([&] { return !P.w.Running(); }, 60000));
    EXPECT_TRUE(P.p.errors.empty());
    reports[edit] = rvtest::ReadFile(P.d.SARDir + "SAR_by_Cell.dat") + rvtest::ReadFile(P.d.SARDir + "SAR_by_1g.dat");
    ASSERT_GT(reports[edit].size(), 1000u);
  }
  EXPECT_TRUE(reports[0] == reports[1]);
}

}  // namespace
