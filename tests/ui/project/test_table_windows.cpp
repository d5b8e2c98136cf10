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
  ASSERT_EQ(std::tuple(w.lamped.sgResistors.RowCount(), fm.sgResistors->model()->rowCount()), std::tuple(2, 1));
  EXPECT_EQ(std::tuple(int(w.d->Modified), fm.sgResistors->isEnabled(), fm.sgResistors->currentIndex()),
            std::tuple(1, true, fm.sgResistors->model()->index(0, 0)));

  for (int c = 0; c < 4; ++c) TypeIntoCell(fm.sgResistors, 0, c, QString::number(c < 3 ? c + 3 : 50));
  EXPECT_EQ(w.lamped.sgResistors.Cells(3, 1), "50");

  // The direction cell cycles on each click and never opens for editing.
  ClickCell(fm.sgResistors, 0, 4);
  EXPECT_EQ(std::tuple(w.lamped.sgResistors.Cells(4, 1), ViewText(fm.sgResistors, 0, 4)), std::tuple("X", "X"));
  ClickCell(fm.sgResistors, 0, 4);
  EXPECT_EQ(w.lamped.sgResistors.Cells(4, 1), "Y");
  QTest::qWait(20);  // no editor opened
  EXPECT_EQ(std::tuple(fm.sgResistors->viewport()->findChild<QLineEdit*>(), fm.sgResistors->currentIndex().column()),
            std::tuple(nullptr, 3));

  rv::ElementArrays a;
  EXPECT_TRUE(rv::LoadElementArrays(*w.d, w.out, w.lamped, a).empty());
  ASSERT_EQ(a.Resistors.size(), 1u);
  const auto& e = a.Resistors[0];
  EXPECT_EQ(std::tuple(e.X, e.Y, e.Z, e.Value, e.Dir), std::tuple(3, 4, 5, 50.0, 'Y'));
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
  for (const char* pol : {"+", "-"}) {
    ClickCell(fm.sgSourses, 1, 5);
    EXPECT_EQ(w.lamped.sgSourses.Cells(5, 2), pol);
  }
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
  EXPECT_EQ(std::tuple(w.lamped.sgSourses.RowCount(), fm.sgSourses->isEnabled()), std::tuple(1, false));
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
  for (rv::StringGridView* v : {fm.sgOutPoint, fm.sgCurrent, fm.sgVoltage, fm.sgFarPoints})
    EXPECT_FALSE(v->model()->rowCount() != 0 || v->isEnabled()) << v->objectName().toStdString();
  EXPECT_EQ(std::tuple(fm.seOutputRate->value(), fm.cbShowGr->isChecked()), std::tuple(1, true));

  QTest::mouseClick(fm.Button2, Qt::LeftButton);
  ASSERT_EQ(w.out.sgOutPoint.RowCount(), 2);
  ClickCell(fm.sgOutPoint, 0, 1);  // the cycle itself is the table's
  EXPECT_EQ(ViewText(fm.sgOutPoint, 0, 1), "X");

  // The other tables edit every column as text.
  fm.PageControl1->setCurrentIndex(1);
  QTest::mouseClick(fm.Button5, Qt::LeftButton);
  TypeIntoCell(fm.sgCurrent, 0, 1, "2");
  EXPECT_EQ(w.out.sgCurrent.Cells(1, 1), "2");

  w.d->Modified = 0;
  fm.seOutputRate->setValue(10);
  QTest::mouseClick(fm.cbNoWriteFile, Qt::LeftButton);
  EXPECT_EQ(std::tuple(w.out.seOutputRate, w.out.cbNoWriteFile, int(w.d->Modified)), std::tuple(10, true, 1));

  // A project read into the tables shows when the window refreshes, without marking it.
  w.out.seOutputRate = 7;
  w.out.cbShowGr = false;
  w.d->Modified = 0;
  fm.RefreshFromTables();
  EXPECT_EQ(std::tuple(fm.seOutputRate->value(), fm.cbShowGr->isChecked(), int(w.d->Modified)), std::tuple(7, false, 0));

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
    for (auto [key, col] : {std::pair{Qt::Key_Right, last}, {Qt::Key_Left, 0}}) {
      for (int i = 0; i < last; ++i) QTest::keyClick(c.view, key);
      EXPECT_EQ(c.view->currentIndex().column(), col);
    }
    for (size_t col = 0; col < c.cells.size(); ++col) EXPECT_EQ(g.Cells(int(col), 1), c.cells[col]);
    EXPECT_EQ(w.d->Modified, 0);

    c.view->setCurrentIndex(c.view->model()->index(0, c.letterCol));
    QTest::keyClick(c.view, Qt::Key_Space);  // no editor opened
    EXPECT_EQ(std::tuple(g.Cells(c.letterCol, 1), int(w.d->Modified), c.view->viewport()->findChild<QLineEdit*>()),
              std::tuple(c.stepped, 1, nullptr));
    c.window->hide();
  }
}

}  // namespace
