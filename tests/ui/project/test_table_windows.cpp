// The lumped-element and output windows over their tables (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QTabBar>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <memory>

#include "editor/elementarrays.h"
#include "platform/prompter.h"
#include "project/ui/StringGridView.h"
#include "project/ui/TfmLamped.h"
#include "project/ui/TfmOutPoint.h"
#include "solver/solverdata.h"

namespace {

void ClickCell(rv::StringGridView* v, int viewRow, int col) {
  const QRect r = v->visualRect(v->model()->index(viewRow, col));
  QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, r.center());
  QApplication::processEvents();
}

// Types into a cell through the view's own editor and commits with Enter.
void TypeIntoCell(rv::StringGridView* v, int viewRow, int col, const QString& text) {
  const QModelIndex i = v->model()->index(viewRow, col);
  v->setCurrentIndex(i);
  v->edit(i);
  auto* editor = v->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, Qt::Key_Return);
  // The view commits the edit through a queued call.
  QTest::qWait(20);
}

QString ViewText(rv::StringGridView* v, int viewRow, int col) {
  return v->model()->index(viewRow, col).data().toString();
}

struct Windows {
  std::unique_ptr<rv::SolverData> d = std::make_unique<rv::SolverData>();
  rv::LampedTables lamped;
  rv::OutPointTables out;
  rv::ScriptedPrompter prompter;
};

TEST(TfmLampedWindow, ResistorRowAddedCycledAndBuilt) {
  Windows w;
  rv::TfmLamped fm(*w.d, w.lamped, w.prompter);
  fm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fm));
  EXPECT_EQ(w.d->Modified, 0);

  QTest::mouseClick(fm.Button2, Qt::LeftButton);  // "Новая строка"
  ASSERT_EQ(w.lamped.sgResistors.RowCount(), 2);
  EXPECT_EQ(w.d->Modified, 1);
  ASSERT_EQ(fm.sgResistors->model()->rowCount(), 1);
  EXPECT_TRUE(fm.sgResistors->isEnabled());
  EXPECT_EQ(fm.sgResistors->currentIndex(), fm.sgResistors->model()->index(0, 0));

  TypeIntoCell(fm.sgResistors, 0, 0, "3");
  TypeIntoCell(fm.sgResistors, 0, 1, "4");
  TypeIntoCell(fm.sgResistors, 0, 2, "5");
  TypeIntoCell(fm.sgResistors, 0, 3, "50");
  EXPECT_EQ(w.lamped.sgResistors.Cells(3, 1), "50");

  // The direction cell cycles on each click and never opens for editing.
  ClickCell(fm.sgResistors, 0, 4);
  EXPECT_EQ(w.lamped.sgResistors.Cells(4, 1), "X");
  EXPECT_EQ(ViewText(fm.sgResistors, 0, 4), "X");
  ClickCell(fm.sgResistors, 0, 4);
  EXPECT_EQ(w.lamped.sgResistors.Cells(4, 1), "Y");
  QTest::qWait(20);
  EXPECT_EQ(fm.sgResistors->viewport()->findChild<QLineEdit*>(), nullptr);  // no editor opened
  EXPECT_EQ(fm.sgResistors->currentIndex().column(), 3);

  rv::ElementArrays a;
  EXPECT_TRUE(rv::LoadElementArrays(*w.d, w.out, w.lamped, a).empty());
  ASSERT_EQ(a.Resistors.size(), 1u);
  EXPECT_EQ(a.Resistors[0].X, 3);
  EXPECT_EQ(a.Resistors[0].Y, 4);
  EXPECT_EQ(a.Resistors[0].Z, 5);
  EXPECT_EQ(a.Resistors[0].Value, 50.0);
  EXPECT_EQ(a.Resistors[0].Dir, 'Y');
}

TEST(TfmLampedWindow, PolarityDeleteAndClear) {
  Windows w;
  rv::TfmLamped fm(*w.d, w.lamped, w.prompter);
  fm.PageControl1->setCurrentIndex(2);
  fm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fm));

  // "Очистить всё" on an empty table asks nothing.
  QTest::mouseClick(fm.Button12, Qt::LeftButton);
  EXPECT_TRUE(w.prompter.questions.empty());

  for (int i = 0; i < 3; ++i) QTest::mouseClick(fm.Button11, Qt::LeftButton);
  ASSERT_EQ(fm.sgSourses->model()->rowCount(), 3);
  ClickCell(fm.sgSourses, 1, 5);
  EXPECT_EQ(w.lamped.sgSourses.Cells(5, 2), "+");
  ClickCell(fm.sgSourses, 1, 5);
  EXPECT_EQ(w.lamped.sgSourses.Cells(5, 2), "-");
  TypeIntoCell(fm.sgSourses, 2, 0, "7");

  // Delete the row the user has selected: the third row moves up.
  ClickCell(fm.sgSourses, 1, 0);
  QTest::mouseClick(fm.Button10, Qt::LeftButton);
  EXPECT_EQ(w.lamped.sgSourses.Cells(0, 2), "7");
  EXPECT_EQ(fm.sgSourses->model()->rowCount(), 2);

  // Answering No keeps the table; Yes empties and disables it.
  w.prompter.answers = {rv::PromptButton::No, rv::PromptButton::Yes};
  QTest::mouseClick(fm.Button12, Qt::LeftButton);
  EXPECT_EQ(w.lamped.sgSourses.RowCount(), 3);
  QTest::mouseClick(fm.Button12, Qt::LeftButton);
  EXPECT_EQ(w.lamped.sgSourses.RowCount(), 1);
  EXPECT_FALSE(fm.sgSourses->isEnabled());
  EXPECT_EQ(w.prompter.questions, (std::vector<std::string>{"Удалить все", "Удалить все"}));

  // Rows the editor adds while the window is hidden show when it opens again.
  fm.hide();
  rv::AddGridRow(w.lamped.sgInductor, w.d->Modified);
  w.lamped.sgInductor.SetCell(3, 1, "1e-9");
  fm.show();
  ASSERT_EQ(fm.sgInductor->model()->rowCount(), 1);
  EXPECT_EQ(ViewText(fm.sgInductor, 0, 3), "1e-9");
}

TEST(TfmOutPointWindow, TablesDirectionsAndOptions) {
  Windows w;
  rv::TfmOutPoint fm(*w.d, w.out, w.prompter);
  fm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fm));
  // Every page caption and column title in full at the font in use.
  QTabBar* tabs = fm.PageControl1->tabBar();
  EXPECT_LE(tabs->tabRect(3).right(), tabs->width());
  const QHeaderView* h = fm.sgOutPoint->horizontalHeader();
  EXPECT_GE(h->sectionSize(1), h->fontMetrics().horizontalAdvance(QString::fromUtf8("Направл")));
  EXPECT_EQ(fm.PageControl1->currentIndex(), 0);
  for (rv::StringGridView* v : {fm.sgOutPoint, fm.sgCurrent, fm.sgVoltage, fm.sgFarPoints}) {
    EXPECT_EQ(v->model()->rowCount(), 0);
    EXPECT_FALSE(v->isEnabled());
  }
  EXPECT_EQ(fm.seOutputRate->value(), 1);
  EXPECT_TRUE(fm.cbShowGr->isChecked());

  QTest::mouseClick(fm.Button2, Qt::LeftButton);
  ASSERT_EQ(w.out.sgOutPoint.RowCount(), 2);
  QString seen;
  for (int i = 0; i < 4; ++i) {
    ClickCell(fm.sgOutPoint, 0, 1);
    seen += "[" + ViewText(fm.sgOutPoint, 0, 1) + "]";
  }
  EXPECT_EQ(seen, "[X][Y][Z][]");

  // The other tables edit every column as text.
  fm.PageControl1->setCurrentIndex(1);
  QTest::mouseClick(fm.Button5, Qt::LeftButton);
  TypeIntoCell(fm.sgCurrent, 0, 1, "2");
  EXPECT_EQ(w.out.sgCurrent.Cells(1, 1), "2");

  w.d->Modified = 0;
  fm.seOutputRate->setValue(10);
  QTest::mouseClick(fm.cbNoWriteFile, Qt::LeftButton);
  EXPECT_EQ(w.out.seOutputRate, 10);
  EXPECT_TRUE(w.out.cbNoWriteFile);
  EXPECT_EQ(w.d->Modified, 1);

  // A project read into the tables shows when the window refreshes, without marking it.
  w.out.seOutputRate = 7;
  w.out.cbShowGr = false;
  w.d->Modified = 0;
  fm.RefreshFromTables();
  EXPECT_EQ(fm.seOutputRate->value(), 7);
  EXPECT_FALSE(fm.cbShowGr->isChecked());
  EXPECT_EQ(w.d->Modified, 0);

  QTest::mouseClick(fm.Button16, Qt::LeftButton);  // "Закрыть"
  EXPECT_FALSE(fm.isVisible());
}

// Arrow keys walk a row of both tables across their letter columns and back, changing
// nothing; Space on a letter cell steps it once and marks the project.
TEST(TableWindows, ArrowKeysOnlyMoveSpaceStepsALetter) {
  Windows w;
  rv::TfmLamped lamped(*w.d, w.lamped, w.prompter);
  rv::TfmOutPoint out(*w.d, w.out, w.prompter);
  struct Case {
    QDialog* window;
    rv::StringGridView* view;
    int letterCol;
    std::vector<const char*> cells;
    const char* stepped;
  };
  lamped.PageControl1->setCurrentIndex(2);
  for (const Case& c : {Case{&lamped, lamped.sgSourses, 4, {"3", "4", "5", "50", "Y", "+"}, "Z"},
                        Case{&out, out.sgOutPoint, 1, {"E", "X", "3", "4", "5", "p.srg"}, "Y"}}) {
    SCOPED_TRACE(c.view->objectName().toStdString());
    rv::StringGrid& g = c.view->grid();
    rv::AddGridRow(g, w.d->Modified);
    for (size_t col = 0; col < c.cells.size(); ++col) g.SetCell(int(col), 1, c.cells[col]);
    c.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c.window));
    c.view->setFocus();
    c.view->setCurrentIndex(c.view->model()->index(0, 0));
    w.d->Modified = 0;
    const int last = g.ColCount() - 1;
    for (int i = 0; i < last; ++i) QTest::keyClick(c.view, Qt::Key_Right);
    EXPECT_EQ(c.view->currentIndex().column(), last);
    for (int i = 0; i < last; ++i) QTest::keyClick(c.view, Qt::Key_Left);
    EXPECT_EQ(c.view->currentIndex().column(), 0);
    for (size_t col = 0; col < c.cells.size(); ++col) EXPECT_EQ(g.Cells(int(col), 1), c.cells[col]);
    EXPECT_EQ(w.d->Modified, 0);

    c.view->setCurrentIndex(c.view->model()->index(0, c.letterCol));
    QTest::keyClick(c.view, Qt::Key_Space);
    EXPECT_EQ(g.Cells(c.letterCol, 1), c.stepped);
    EXPECT_EQ(w.d->Modified, 1);
    EXPECT_EQ(c.view->viewport()->findChild<QLineEdit*>(), nullptr);  // no editor opened
    c.window->hide();
  }
}

}  // namespace
