// The editor window and its materials and thin-wire dialogs, wired to the main window as
// the program wires them; the section planes and cell sides as the main window's grid and
// cell sizes change (on a virtual X server).

#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QScreen>
#include <QTimer>
#include <QPushButton>
#include <QTableWidget>

#include "editor/ui/TfmCopy.h"
#include "editor/ui/TfmSellParms.h"
#include "editor_fixture.h"

using rv::PromptButton;
using rvtest::WaitFor;

namespace {

void SetCell(rv::TfmLayers& L, int r, int c, const char* text) { L.StringGrid1->item(r - 1, c)->setText(text); }

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
  L.SetColorChooser([](uint32_t& c) { c = 0x123456; return true; });
  const auto modifies = [&](const std::function<void()>& act) { P.d.Modified = 0, act(); return P.d.Modified.load(); };
  EXPECT_EQ((std::vector{modifies([&] { L.btnAddLayerClick(); }), modifies([&] { L.SelectCell(rv::ColColor, 2); }),
                         modifies([&] { L.SelectCell(rv::ColOn, 2); })}),
            std::vector<uint8_t>(3, 1));
  EXPECT_EQ(std::tuple(P.editor.LayerCount(), L.StringGrid1->rowCount(), P.d.Layers[2].Color, P.d.Layers[2].On,
                       L.StringGrid1->item(1, rv::ColOn)->text().toStdString()),
            std::tuple(2, 2, 0x123456u, 0, "ОТКЛ"));
  L.SelectCell(rv::ColOn, 2);

  // Deleting a used material asks, snapshots, and undo brings cells and count back.
  P.d.Space(3, 3, 3) = 2;
  P.d.Space(4, 4, 4) = 1;
  L.SelectCell(rv::ColName, 2);
  P.p.answers = {PromptButton::Cancel, PromptButton::Ok};
  L.BitBtn1Click();
  EXPECT_EQ(P.editor.LayerCount(), 2);
  L.BitBtn1Click();
  EXPECT_EQ(std::tuple(P.p.questions.back(), P.editor.LayerCount(), int(P.d.Space(3, 3, 3)), P.editor.CurLayer()),
            std::tuple("Удалить материал, который содержится в проекте?", 1, 0, 1));
  ASSERT_TRUE(P.editor.mnUndo->isEnabled());
  P.editor.mnUndo->trigger();
  EXPECT_EQ(std::tuple(int(P.d.Space(3, 3, 3)), P.editor.LayerCount(), P.editor.mnUndo->isEnabled(), P.editor.ComboBox1->count()),
            std::tuple(2, 2, false, 2));

  // Unreadable or unphysical numbers keep the window open with the cell selected; the warning
  // names the material, the column and the value.
  L.FormActivate();
  L.open();
  SetCell(L, 2, rv::ColMu, "0");
  SetCell(L, 2, rv::ColName, "Феррит");
  QTest::mouseClick(L.btnSave, Qt::LeftButton);
  EXPECT_EQ(std::tuple(P.p.warnings.size(), L.isVisible(), L.StringGrid1->currentRow(), L.StringGrid1->currentColumn()),
            std::tuple(1u, true, 1, int(rv::ColMu)));
  EXPECT_TRUE(P.p.warnings[0].starts_with("Устранить ошибки!\nМатериал 2 \"Феррит\": «Магн. пр.» = 0 — "));
  SetCell(L, 2, rv::ColMu, "1");
  SetCell(L, 2, rv::ColEpsStatic, "2");
  QTest::mouseClick(L.btnSave, Qt::LeftButton);
  EXPECT_FALSE(L.isVisible());
  EXPECT_EQ(P.d.Layers[2].EpsStatic, 2.0);
  // The main window's stability labels follow the largest permittivity.
  SetCell(L, 2, rv::ColEpsStatic, "100");
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
  // A field that gives no wire is refused, named with its text and selected; the result stays.
  P.calc->Edit2->setText("0");
  P.calc->Button2Click();
  EXPECT_EQ(std::tuple(P.p.warnings.back(), P.calc->Edit2->selectedText().toStdString(),
                       P.calc->Memo1->toPlainText().startsWith("Новая проводимость:\n51031.")),
            std::tuple("Неверно задано значение: «Частота, МГц:» = \"0\" — не больше 0. Введите число больше 0.", "0", true));
}

// Shows the materials window the way `open` does and presses "Ok" in it once it is up.
void OkIn(rv::TfmLayers& L, const std::function<void()>& open) {
  QTimer::singleShot(0, L.btnSave, [&L] { L.btnSave->click(); });
  open();
}

// Captions whole: every title of the materials table, in bold as the current column shows it,
// with all the columns in the window; the clone dialog wide enough for its caption beside
// the title bar's buttons, also when the user narrows it.
TEST(MaterialsWindow, TitlesOfTheTableAndOfTheCloneDialogAreWhole) {
  Program P(10);
  rv::TfmLayers& L = *P.layers;
  L.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&L));
  QHeaderView* h = L.StringGrid1->horizontalHeader();
  QFont bold = h->font();
  bold.setBold(true);
  for (int c = 0; c < rv::LayerColumnCount; ++c) {
    const QString t = QString::fromUtf8(rv::LayerColumnTitles()[size_t(c)]);
    EXPECT_GE(h->sectionSize(c), std::max(h->sectionSizeHint(c), QFontMetrics(bold).horizontalAdvance(t))) << c;
  }
  EXPECT_EQ(L.StringGrid1->horizontalScrollBar()->maximum(), 0);
  L.close();

  rv::TfmCopy copy;
  copy.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&copy));
  copy.resize(100, copy.height());
  QApplication::processEvents();
  const int bar = copy.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &copy);
  EXPECT_GE(copy.width(), QFontMetrics(bold).horizontalAdvance(copy.windowTitle()) + 4 * bar);
  copy.close();
}

// The materials window opened from the main window stands over it, not over the editor it
// belongs to (which would come forward with it), and so does the calculator opened from it;
// both go back to the editor after.
TEST(MaterialsWindow, StandsOverTheWindowItIsOpenedFrom) {
  Program P(10);
  rv::TfmLayers& L = *P.layers;
  QWidget *owner = nullptr, *calcOwner = nullptr;
  QTimer::singleShot(0, &L, [&] {
    owner = L.parentWidget();
    QTimer::singleShot(0, P.calc, [&] {
      calcOwner = P.calc->parentWidget();
      P.calc->reject();
    });
    L.Button1->click();
    L.reject();
  });
  P.w.N19->trigger();
  EXPECT_EQ(std::tuple(owner, calcOwner, L.parentWidget(), P.calc->parentWidget(), L.windowFlags().testFlag(Qt::Dialog)),
            (std::tuple<QWidget*, QWidget*, QWidget*, QWidget*, bool>(&P.w, &L, &P.editor, &P.editor, true)));
}

TEST(MaterialsWindow, ShowsTheMaterialsAsTheyAreAndReportsAWrongCellOnce) {
  Program P;
  P.Grid(10);
  rv::TfmLayers& L = *P.layers;
  const std::function<void()> fromMenu = [&] { P.w.N19->trigger(); };
  const std::function<void()> fromEditor = [&] { P.editor.SpeedButton3->click(); };
  // The table was last filled with copper; a new project then changes material 1, and OK in
  // the window opened from either place keeps the new project's material.
  for (const auto& open : {fromMenu, fromEditor}) {
    rv::tLayer& m1 = P.d.Layers[1];
    m1.Name = "Медь", m1.Sigma = 5.8e7;
    L.FormActivate();
    P.d.Modified = 0;
    P.w.mnNewProjectClick();
    const rv::tLayer fresh = P.d.Layers[1];
    ASSERT_NE(fresh.Name, "Медь");
    OkIn(L, open);
    EXPECT_EQ(std::tuple(P.d.Layers[1].Name, P.d.Layers[1].Sigma, L.isVisible()), std::tuple(fresh.Name, fresh.Sigma, false));
  }

  // A wrong cell is reported once while the user goes about correcting it.
  P.editor.Materials().LayerCount = 3;
  L.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&L));
  const auto click = [&](int r, int c) {
    QTest::mouseClick(L.StringGrid1->viewport(), Qt::LeftButton, {},
                      L.StringGrid1->visualItemRect(L.StringGrid1->item(r - 1, c)).center());
    QApplication::processEvents();
  };
  const auto errors = [&] {
    return int(std::count_if(P.p.warnings.begin(), P.p.warnings.end(), [](const std::string& t) { return t.starts_with("Ошибка!\n"); }));
  };
  SetCell(L, 2, rv::ColSigma, "abc");
  click(1, rv::ColName);
  EXPECT_EQ(std::tuple(errors(), L.StringGrid1->currentRow(), L.StringGrid1->currentColumn()),
            std::tuple(1, 1, int(rv::ColSigma)));
  // Clicks meanwhile say nothing more.
  for (auto [r, c] : {std::pair{2, int(rv::ColSigma)}, {1, int(rv::ColEpsStatic)}, {3, int(rv::ColMu)}}) click(r, c);
  EXPECT_EQ(errors(), 1);
  EXPECT_EQ(L.StringGrid1->currentRow(), 2);  // the user's own choice of cell holds
  // Corrected, it is taken; a new mistake is reported again.
  SetCell(L, 2, rv::ColSigma, "42");
  click(1, rv::ColName);
  EXPECT_EQ(std::tuple(errors(), P.d.Layers[2].Sigma), std::tuple(1, 42.0));
  SetCell(L, 2, rv::ColSigma, "4;2");
  click(1, rv::ColName);
  EXPECT_EQ(errors(), 2);
  // The caption follows the current material and its name as it is typed.
  L.SelectCell(rv::ColName, 3);
  SetCell(L, 3, rv::ColName, "Латунь");
  EXPECT_EQ(L.windowTitle().toStdString(), "Текущий материал: Латунь");
  L.SelectCell(rv::ColName, 1);
  EXPECT_EQ(L.windowTitle().toStdString(), "Текущий материал: " + P.d.Layers[1].Name);
  // "Ok" always says it.
  QTest::mouseClick(L.btnSave, Qt::LeftButton);
  EXPECT_EQ(std::tuple(P.p.warnings.back().starts_with("Устранить ошибки!\nМатериал 2 "), L.isVisible()),
            std::tuple(true, true));
  SetCell(L, 2, rv::ColSigma, "1");
  L.close();
}

// Created and linked as the program does on a 100^3 grid, then opened with "Объект": the
// camera looks at the whole model, the window lies wholly on the screen, and the section
// grid shows all of the section at a zoom the buttons reach, between its axis arrows.
TEST(EditorWindow, OpensOnScreenSizedToTheModel) {
  Program P(100);
  rv::TfmOpenGL& editor = P.editor;
  EXPECT_EQ(std::vector<float>({editor.EyeX, editor.EyeY, editor.EyeZ, editor.CenterX, editor.CenterY, editor.CenterZ}),
            std::vector<float>({50, 50, 300, 50, 50, 290}));
  QTest::mouseClick(P.w.Button4, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
  QApplication::processEvents();
  const QRect avail = editor.screen()->availableGeometry();
  EXPECT_TRUE(avail.contains(editor.frameGeometry())) << editor.frameGeometry().y();
  rv::SectionGrid* g = editor.StringGrid1;
  // 99 x 99 cells of 4 pixels and their lines: 495 pixels, all in view.
  EXPECT_EQ(std::tuple(g->DefaultColWidth(), g->DefaultRowHeight(), editor.SpeedButton5->isEnabled()),
            std::tuple(4, 4, true));
  EXPECT_GE(g->viewport()->width(), 99 * 5);
  EXPECT_GE(g->viewport()->height(), 99 * 5);
  EXPECT_GE(editor.GLView->width(), 400);
  // The arrows: up along the grid's left edge with its axis' name above, right along its
  // bottom edge with its name after it, "0" where they meet.
  const auto box = [&](QWidget* x) { return QRect(x->mapTo(&editor, QPoint(0, 0)), x->size()); };
  const QRect grid = box(g), up = box(editor.Image1), right = box(editor.Image2), zero = box(editor.Label1),
              v = box(editor.lb1), h = box(editor.lb2);
  EXPECT_TRUE(up.right() < grid.left() && up.top() <= grid.top() + 2 && up.bottom() >= grid.bottom() - 2);
  EXPECT_TRUE(right.top() > grid.bottom() && right.left() <= grid.left() + 2 && right.right() >= grid.right() - 2);
  EXPECT_TRUE(zero.top() > up.bottom() - 2 && zero.right() < right.left() + 2);
  EXPECT_TRUE(v.bottom() <= up.top() + 2 && h.left() >= right.right() - 2);
  EXPECT_EQ(std::tuple(editor.Label1->text().toStdString(), editor.lb1->text().toStdString(),
                       editor.lb2->text().toStdString()),
            std::tuple("0", "Y", "Z"));
  // The up arrow's head is at its top: black across its middle there, not at its foot.
  const QImage arrow = editor.Image1->grab().toImage();
  const auto dark = [&](int y) { return qGray(arrow.pixel(arrow.width() / 2 - 2, y)) < 128; };
  EXPECT_EQ(std::pair(dark(6), dark(arrow.height() - 6)), std::pair(true, false));
  // A new project's 50-cell grid is viewed from above its middle, not from a corner.
  P.d.Modified = 0;
  P.w.mnNewProjectClick();
  EXPECT_EQ(std::vector<float>({editor.EyeX, editor.EyeY, editor.EyeZ, editor.CenterX, editor.CenterY, editor.CenterZ}),
            std::vector<float>({25, 25, 150, 25, 25, 140}));
  // Its section is fitted anew, at larger cells; the user's zoom then stays through
  // activations until a grid of another size is fitted again, 100 x 110 included.
  const auto whole = [&] {
    const QSize full = g->FullSize(editor.View(), g->DefaultColWidth(), g->DefaultRowHeight());
    return full.width() <= g->width() && full.height() <= g->height();
  };
  EXPECT_TRUE(g->DefaultColWidth() > 4 && whole()) << g->DefaultColWidth();
  editor.SpeedButton7Click();
  const int zoomed = g->DefaultColWidth();
  editor.FormActivate();
  EXPECT_EQ(g->DefaultColWidth(), zoomed);
  P.Sizes(100, 110, 50);
  editor.FormActivate();
  EXPECT_TRUE(whole()) << g->DefaultColWidth() << " in " << g->width() << "x" << g->height();
  editor.close();
}

// The Z plane's 100 x 110 layer is fitted to the grid's room without scroll bars, grows
// with the window, and a zoom the user chose stays.
TEST(EditorWindow, SectionIsFittedOnPlaneSwitchAndFollowsTheWindowsGrowth) {
  Program P(10);
  rv::TfmOpenGL& editor = P.editor;
  P.Sizes(101, 111, 41);
  QTest::mouseClick(P.w.Button4, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
  QApplication::processEvents();
  rv::SectionGrid* g = editor.StringGrid1;
  const auto fitted = [&] {
    const QSize full = g->FullSize(editor.View(), g->DefaultColWidth(), g->DefaultRowHeight());
    return full.width() <= g->width() && full.height() <= g->height() && g->horizontalScrollBar()->maximum() == 0 &&
           g->verticalScrollBar()->maximum() == 0;
  };
  const auto resize = [&](int wd, int ht) {
    editor.resize(wd, ht);
    QApplication::processEvents();
    QTest::qWait(50);
  };
  editor.rbZ->trigger();
  QApplication::processEvents();
  EXPECT_EQ(std::tuple(editor.View().ColCount, editor.View().RowCount), std::tuple(100, 110));
  EXPECT_TRUE(fitted()) << g->DefaultColWidth() << " in " << g->width();
  resize(700, 600);
  const int narrow = g->DefaultColWidth();
  resize(1200, 1000);
  EXPECT_TRUE(g->DefaultColWidth() > narrow && fitted());
  editor.SpeedButton6Click();
  const int chosen = g->DefaultColWidth();
  resize(800, 700);
  editor.rbZ->trigger();
  EXPECT_EQ(g->DefaultColWidth(), chosen);
  editor.close();
}

TEST(EditorWindow, ProjectLoadActivationAndMinimise) {
  Program P;
  P.Grid(30);
  rv::EditorState s;
  s.X = 20, s.Y = 5, s.LayerCount = 3;
  P.w.SetEditorState(s);
  rv::StringGrid& g = P.w.Outputs().sgCurrent;
  rv::ModifiedFlag m{0};
  rv::AppendRow(g, {"2", "3", "4", "5", "6", "7"}, m);  // flat in no axis
  auto regionMessages = [&] {
    int n = 0;
    for (const std::string& t : P.p.warnings) n += t.find("Токовый регион") != std::string::npos;
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

// Nothing the editor knew of the model before outlives a new project or a load: the selection,
// the anchor in the status bar, a voltage output half entered, the cell window's cell, the
// undo, the material list. A grid change drops the picked cells only when the grid is another.
TEST(EditorWindow, ANewProjectOrALoadStartsClean) {
  Program P(30);
  rv::TfmOpenGL& e = P.editor;
  e.FormActivate();
  P.d.Space.fill(0);
  P.d.Layers[1].Name = "Латунь";
  rvtest::ScriptedDialogs dialogs;
  rv::ProjectIO io(P.w, P.p, dialogs);
  dialogs.save = dialogs.open = {rvtest::FreshDir("editor_window", "clean") + "p.fdt"};
  ASSERT_TRUE(io.btnSaveResClick());
  for (const char* material : {"Проводник", "Латунь"}) {  // a new project, then the load
    P.d.Space(21, 9, 9) = 1;
    e.SaveUndo();
    P.d.Space(21, 9, 9) = 0;
    e.StringGrid1->SetSelection({true, 2, 3, 20, 25});
    e.SelectSectionCell(20, 8);
    e.ShowCellParameters(21, 9, 9);
    e.tbEnterUout->setChecked(true);
    P.d.Layers[1].Name = "Медь";
    e.FillMaterialCombo();
    P.d.Modified = 0;
    material == std::string("Латунь") ? io.Button2Click(true) : P.w.mnNewProjectClick();
    QApplication::processEvents();
    EXPECT_EQ(std::tuple(e.SelActive(), e.StatusPanel1->text().toStdString(), e.tbEnterUout->isChecked(),
                         e.fmSellParms->Memo1->toPlainText().toStdString(), e.mnUndo->isEnabled(),
                         e.ComboBox1->itemText(0).toStdString()),
              std::tuple(false, "Выбрана ячейка 1, 1, 1", false, "", false, material));
    e.mnUndoClick();
    EXPECT_EQ(Occupied(P.d), 0) << material;
  }
  // A run start keeps the selection on the same grid; another grid drops it, and the status
  // bar, the cell window and a half entered output no longer speak of the cells picked.
  e.StringGrid1->SetSelection({true, 2, 3, 20, 25});
  e.SelectSectionCell(20, 8);
  e.ShowCellParameters(21, 9, 9);
  e.tbEnterUout->setChecked(true);
  e.GridChanged();
  EXPECT_TRUE(e.SelActive() && e.tbEnterUout->isChecked());
  P.Sizes(40, 30, 30);
  e.FormActivate();
  EXPECT_EQ(std::tuple(e.SelActive(), e.StatusPanel1->text().toStdString(), e.tbEnterUout->isChecked(),
                       e.fmSellParms->Memo1->toPlainText().toStdString()),
            std::tuple(false, "Выбрана ячейка 1, 1, 1", false, ""));
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
    Box(P.d, {15, 15, 22}, {25, 25, 28}, 1);
    P.editor.Materials().LayerCount = 2;
    P.w.seStepCount->setValue(300);
    P.w.cbEnergy->setChecked(true);
    P.Source("20", "20", "18");
    rv::SetResultPaths(P.d, dir + "run.fdt");
    P.w.btnPuskClick();
    ASSERT_TRUE(P.w.Running());
    if (edit) {
      P.w.btnPauzaClick();
      // Draw, fill, delete material 1 (used: asks), undo the delete.
      P.editor.SaveUndo();
      P.d.Space(20, 20, 24) = 2;
      P.editor.SaveUndo();
      Box(P.d, {1, 1, 10}, {39, 39, 10}, 2);
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

void Sections(Program& L, int x, int y, int z) {
  L.editor.SpinEdit1->setValue(x), L.editor.SpinEdit2->setValue(y), L.editor.SpinEdit3->setValue(z);
}

// Values and maxima of the three section spins.
std::vector<int> Spins(const Program& L) {
  std::vector<int> v;
  for (const QSpinBox* s : {L.editor.SpinEdit1, L.editor.SpinEdit2, L.editor.SpinEdit3})
    v.insert(v.end(), {s->value(), s->maximum()});
  return v;
}

TEST(SectionLimits, RunStartAndDoublingHoldPlanesToModelCells) {
  Program L;
  L.Sizes(30, 30, 30);
  L.editor.FormActivate();
  Sections(L, 29, 12, 29);
  // The grid shrinks without the editor being opened: the run start pulls the planes in.
  L.Sizes(12, 20, 8);
  L.w.seStepCount->setValue(2);
  L.Source("5", "5", "4");
  rv::SetResultPaths(L.d, rvtest::FreshDir("section_limits", "run") + "run.fdt");
  L.w.btnPuskClick();
  EXPECT_EQ(Spins(L), (std::vector<int>{11, 11, 12, 19, 7, 7}));
  ASSERT_TRUE(rvtest::WaitFor([&] { return !L.w.Running(); }, 60000));

  // Doubling doubles the planes; a plane at N-1 lands on the new N-1, not on index 2N.
  Sections(L, 5, 19, 7);
  L.w.mnDoubleVolumClick();
  ASSERT_TRUE(L.p.messages.empty()) << L.p.messages.front();
  EXPECT_EQ(Spins(L), (std::vector<int>{10, 23, 38, 39, 14, 15}));
}

TEST(SectionLimits, ZoomRefusesCellSizesThatAreNoPositiveNumbers) {
  Program L;
  L.Sizes(10, 10, 10);
  L.editor.FormActivate();
  L.editor.rbZClick();
  L.editor.SpeedButton7Click();
  const std::pair<int, int> sides{L.editor.StringGrid1->DefaultColWidth(),
                                  L.editor.StringGrid1->DefaultRowHeight()};
  struct Case { const char* text; const char* message; };
  const std::string where = ". Измените «Размер ячейки, м:» на странице «Геометрия».";
  for (const Case c : {Case{"abc", "Размер ячейки по Y = \"abc\" — не число"},
                       Case{"0", "Размер ячейки по Y = \"0\" — не больше 0"},
                       Case{"-1e-3", "Размер ячейки по Y = \"-1e-3\" — не больше 0"}}) {
    L.p.errors.clear();
    L.w.edY->setText(QString::fromUtf8(c.text));
    L.editor.SpeedButton7Click();
    L.editor.SpeedButton6Click();
    EXPECT_EQ(L.p.errors, (std::vector<std::string>{c.message + where, c.message + where})) << c.text;
    EXPECT_EQ(std::pair(L.editor.StringGrid1->DefaultColWidth(), L.editor.StringGrid1->DefaultRowHeight()),
              sides)
        << c.text;
  }
}

}  // namespace
