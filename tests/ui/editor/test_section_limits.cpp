// The section planes and cell sides as the main window's grid and cell sizes change (on a
// virtual X server).
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "../project/ui_fixture.h"
#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmCalculate.h"
#include "editor/ui/TfmLayers.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/prompter.h"
#include "project/ui/EditorLinks.h"
#include "project/ui/TfmNew3dMain.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"

namespace {

struct Linked {
  rv::SolverData d;
  rv::ScriptedPrompter p;
  rv::TfmNew3dMain w{d};
  rv::TfmOpenGL editor{d, p};
  rv::TfmCalculate* calc = new rv::TfmCalculate(p, &editor);
  rv::TfmLayers* layers = new rv::TfmLayers(editor, p, calc, &editor);

  Linked() {
    w.SetPrompter(&p);
    editor.SetLayersWindow(layers);
    rv::MainWindowLinks links;
    links.fmOpenGL = &editor;
    w.SetLinks(links);
    rv::LinkEditorToMain(w, editor, *layers, *calc);
    w.mnNewProjectClick();
  }
  void Grid(int nx, int ny, int nz) {
    w.spX->setValue(nx), w.spY->setValue(ny), w.spZ->setValue(nz);
  }
  void Sections(int x, int y, int z) {
    editor.SpinEdit1->setValue(x), editor.SpinEdit2->setValue(y), editor.SpinEdit3->setValue(z);
  }
  // Values and maxima of the three section spins.
  std::vector<int> Spins() const {
    std::vector<int> v;
    for (const QSpinBox* s : {editor.SpinEdit1, editor.SpinEdit2, editor.SpinEdit3})
      v.insert(v.end(), {s->value(), s->maximum()});
    return v;
  }
};

TEST(SectionLimits, RunStartAndDoublingHoldPlanesToModelCells) {
  Linked L;
  L.Grid(30, 30, 30);
  L.editor.FormActivate();
  L.Sections(29, 12, 29);
  // The grid shrinks without the editor being opened: the run start pulls the planes in.
  L.Grid(12, 20, 8);
  L.w.seStepCount->setValue(2);
  L.w.rgSources->findChild<QRadioButton*>("rgSources2")->click();  // lumped sources
  rv::StringGrid& g = L.w.Lamped().sgSourses;
  std::atomic<uint8_t> m{0};
  rv::AddGridRow(g, m);
  for (auto [c, t] : {std::pair{0, "5"}, {1, "5"}, {2, "4"}, {3, "50"}, {4, "Z"}, {5, "+"}}) g.SetCell(c, 1, t);
  rv::SetResultPaths(L.d, rvtest::FreshDir("section_limits", "run") + "run.fdt");
  L.w.btnPuskClick();
  EXPECT_EQ(L.Spins(), (std::vector<int>{11, 11, 12, 19, 7, 7}));
  ASSERT_TRUE(rvtest::WaitFor([&] { return !L.w.Running(); }, 60000));

  // Doubling doubles the planes; a plane at N-1 lands on the new N-1, not on index 2N.
  L.Sections(5, 19, 7);
  L.w.mnDoubleVolumClick();
  ASSERT_TRUE(L.p.messages.empty()) << L.p.messages.front();
  EXPECT_EQ(L.Spins(), (std::vector<int>{10, 23, 38, 39, 14, 15}));
}

TEST(SectionLimits, ZoomRefusesCellSizesThatAreNoPositiveNumbers) {
  Linked L;
  L.Grid(10, 10, 10);
  L.editor.FormActivate();
  L.editor.rbZClick();
  L.editor.SpeedButton7Click();
  const std::pair<int, int> sides{L.editor.StringGrid1->DefaultColWidth(),
                                  L.editor.StringGrid1->DefaultRowHeight()};
  struct Case { const char* text; const char* message; };
  for (const Case c : {Case{"abc", "Размер ячейки \"abc\" не является числом"},
                       Case{"0", "Размер ячейки должен быть больше нуля: \"0\""},
                       Case{"-1e-3", "Размер ячейки должен быть больше нуля: \"-1e-3\""}}) {
    L.p.errors.clear();
    L.w.edY->setText(QString::fromUtf8(c.text));
    L.editor.SpeedButton7Click();
    L.editor.SpeedButton6Click();
    EXPECT_EQ(L.p.errors, (std::vector<std::string>{c.message, c.message})) << c.text;
    EXPECT_EQ(std::pair(L.editor.StringGrid1->DefaultColWidth(), L.editor.StringGrid1->DefaultRowHeight()),
              sides)
        << c.text;
  }
}

}  // namespace
