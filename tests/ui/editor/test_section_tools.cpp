// The section grid's tools driven with the mouse (on a virtual X server).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "editor_fixture.h"
#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/prompter.h"
#include "project/tables.h"
#include "solver/solverdata.h"

namespace {

TEST(SectionTools, PenEraserRightEraseLineFillsAndUndo) {
  Editor E;
  E.w.btnPen->click();
  E.Drag({{1, 1}, {2, 1}, {4, 1}});  // a fast drag leaves the skipped cell
  EXPECT_EQ(E.Cells({{1, 1}, {2, 1}, {3, 1}, {4, 1}}), (std::vector<int>{1, 1, 0, 1}));
  E.w.btnEraser->click();
  E.Drag({{2, 1}});
  EXPECT_EQ(E.Cell(2, 1), 0);
  // A right press empties the cell; undo brings it back.
  E.Drag({{4, 1}}, Qt::RightButton);
  EXPECT_EQ(E.Cell(4, 1), 0);
  E.w.mnUndo->trigger();
  EXPECT_EQ(E.Cell(4, 1), 1);
  // A line in the section, from the press cell to the release cell.
  E.w.btnLine->click();
  E.Drag({{0, 5}, {6, 5}});
  EXPECT_EQ(E.Cells({{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}}), std::vector<int>(7, 1));
  // The section fill stops at the line; the volume fill reaches the other sections.
  E.w.Materials().LayerCount = 2;
  E.w.Materials().CurLayer = 2;
  E.w.btnFill->click();
  E.Drag({{0, 10}});
  // (10, 0) lies round the line's end.
  EXPECT_EQ(E.Cells({{0, 10}, {10, 0}, {0, 6}}), (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(E.d.Space(1, 1, 2), 0);
  E.w.btn3Dfill->click();
  E.w.Materials().CurLayer = 1;
  E.Drag({{0, 10}});
  EXPECT_EQ(E.Cell(0, 10), 1);
  EXPECT_EQ(E.d.Space(1, 1, 2), 0);  // material 2 was only in this section
  // A switched-off material: the fill changes nothing.
  E.d.Layers[1].On = 0;
  E.Cell(0, 10) = 0;
  E.Drag({{0, 10}});
  EXPECT_EQ(E.Cell(0, 10), 0);
  // The pen only takes its snapshot.
  E.w.mnUndo->trigger();  // brings the materials of the snapshot back: switch it off again
  E.d.Layers[1].On = 0;
  E.d.Modified = 0;
  E.w.btnPen->click();
  E.Cell(0, 9) = E.Cell(1, 9) = 0;
  E.Drag({{0, 9}, {1, 9}});
  EXPECT_EQ(E.Cells({{0, 9}, {1, 9}}), (std::vector<int>{0, 0}));
  EXPECT_EQ(std::tuple(E.w.mnUndo->isEnabled(), E.d.Modified.load()), std::tuple(true, 1));
  E.d.Layers[1].On = 1;
}

TEST(SectionTools, SelectionAnchorStatusAndVoltageOutput) {
  Editor E;
  E.w.btnSelect->click();
  // Dragged upwards: the whole rectangle grey; downwards: its outline only.
  E.Drag({{2, 8}, {6, 3}});
  ASSERT_TRUE(E.w.SelActive());
  const QRgb grey = qRgb(0x80, 0x80, 0x80);
  EXPECT_EQ(E.Pixel(4, 5), grey);
  E.Drag({{2, 3}, {6, 8}});
  EXPECT_EQ(std::tuple(E.g->Sel().Col1, E.Pixel(4, 5), E.Pixel(2, 5)), std::tuple(2, qRgb(255, 255, 255), grey));
  E.Drag({{2, 3}, {6, 3}});  // within one row: nothing
  EXPECT_FALSE(E.w.SelActive());
  E.Drag({{2, 3}, {6, 8}});
  E.w.btnEraser->click();
  EXPECT_EQ(std::tuple(E.w.SelActive(), E.Pixel(2, 5)), std::tuple(false, qRgb(255, 255, 255)));

  // The anchor and the distance to the pointer.
  E.w.btnSelect->click();
  E.Drag({{4, 6}});  // x 5, y 5
  E.Send(QEvent::MouseMove, 6, 6, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(E.w.StatusPanel1->text().toStdString(), "Выбрана ячейка 5, 5, 1. Длина 0.003, 0, 0 = 0.003 м");

  // The voltage output: the first cell at the button, the second at the next press.
  E.Drag({{0, 10}});  // 1, 1, 1
  E.w.tbEnterUout->setChecked(true);
  E.Drag({{3, 7}});   // 4, 4, 1
  EXPECT_FALSE(E.w.tbEnterUout->isChecked());
  const rv::StringGrid& v = E.outputs.sgVoltage;
  ASSERT_EQ(v.RowCount(), 2);
  EXPECT_EQ(std::tuple(v.Cells(3, 1), v.Cells(6, 1), E.w.Elements().VoltageLines.size()),
            std::tuple("4", "U (1,1,1;4,4,1)", 1u));
}

}  // namespace
