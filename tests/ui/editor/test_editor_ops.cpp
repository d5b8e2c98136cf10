// The editor's section tools, placing buttons, model-operation commands and file commands,
// driven as the user drives them (dialogs answered through the window's dialog hook).

#include <QDialogButtonBox>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

#include "editor/dxfimport.h"
#include "editor/ui/TfmCopy.h"
#include "editor/ui/TfmGetDWGUnit.h"
#include "editor/ui/TfmGetValue.h"
#include "editor/ui/TfmMove.h"
#include "editor/ui/TfmRotate.h"
#include "editor/ui/TfmTriangle.h"
#include "editor_fixture.h"

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
    if (v.Edit2) v.Edit2->setText("-");
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
  EXPECT_EQ(std::tuple(E.p.warnings.back().rfind("Неверно задано внутреннее сопротивление: ", 0), E.lamped.sgSourses.RowCount()),
            std::tuple(0u, 1));
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
  // A clone to a section beyond the model is refused with a warning.
  w.StringGrid1->SetSelection({true, 1, 2, 3, 4});
  w.ExecDialog = [&](QDialog& dlg) {
    auto& c = static_cast<rv::TfmCopy&>(dlg);
    c.RadioButton3->setChecked(true);
    c.seNumLay->setValue(99);
    return int(QDialog::Accepted);
  };
  w.mnCopy->trigger();
  EXPECT_EQ(E.p.warnings.back(), "Слоя 99 в модели нет: слои от 1 до 11");
}

// Types each pair of texts into a value dialog and presses OK; notes after each press the text
// the still open dialog selects for retyping, "-" once it has closed.
struct DialogTyping {
  std::vector<std::pair<QString, QString>> texts;
  std::vector<QString> left;
  int operator()(QDialog& dlg) {
    dlg.show();
    for (const auto& [first, second] : texts) {
      dlg.findChild<QLineEdit*>("Edit1")->setText(first);
      if (auto* e2 = dlg.findChild<QLineEdit*>("Edit2")) e2->setText(second);
      emit dlg.findChild<QDialogButtonBox*>()->accepted();
      QString selected = dlg.isVisible() ? "" : "-";
      for (QLineEdit* e : dlg.findChildren<QLineEdit*>()) selected += e->selectedText();
      left.push_back(selected);
    }
    dlg.hide();
    return dlg.result();
  }
};

// The element dialogs and the drawing-scale dialog refuse a text that cannot be used, name
// the field and the text, and stay open until it is mended; only a usable value is placed.
TEST(EditorOps, ValueDialogsRefuseWhatCannotBeUsedAndStayOpen) {
  Editor E;
  rv::TfmOpenGL& w = E.w;
  w.SelectSectionCell(2, 3);  // cell (3, 8, 1)
  DialogTyping typing{{{"abc", ""}, {"-5", ""}, {"50", ""}}, {}};
  w.ExecDialog = [&](QDialog& dlg) { return typing(dlg); };
  w.ElementButtons[0]->click();  // Rx
  EXPECT_EQ(std::tuple(typing.left, E.p.warnings.size(), Row(E.lamped.sgResistors, 1)),
            std::tuple(std::vector<QString>{"abc", "-5", "-"}, 2u, "3|8|1|50|X|"));
  EXPECT_EQ(E.p.warnings.at(0), "Неверно задано сопротивление: «Сопротивление, Ом» = \"abc\" — не число. "
                                "Введите число больше 0, например 50.");
  // A source's polarity is named and selected; the dialog is left open, then cancelled.
  w.SelectSectionCell(5, 5);
  typing = {{{"50", "abc"}}, {}};
  w.ElementButtons[6]->click();  // Vx
  EXPECT_EQ(std::tuple(typing.left, E.lamped.sgSourses.RowCount()), std::tuple(std::vector<QString>{"abc"}, 1));
  EXPECT_NE(E.p.warnings.back().find("«Полярность, + или -» = \"abc\" — не «+» и не «-»"), std::string::npos);
  // The drawing's scale: a number above 0.
  typing = {{{"0", ""}, {"abc", ""}, {"0.001", ""}}, {}};
  EXPECT_EQ(std::tuple(typing(*w.fmGetDWGUnit), typing.left),
            std::tuple(int(QDialog::Accepted), std::vector<QString>{"0", "abc", "-"}));
  EXPECT_NE(E.p.warnings.back().find("«Чему равен один попугай в DWG-файле, м?» = \"abc\" — не число"), std::string::npos);
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
    EXPECT_TRUE(m.findChild<QLabel*>()->text().contains("Если объект переместится за пределы"));
    m.seX->setValue(3), m.seY->setValue(1), m.seZ->setValue(0);
    m.CheckBox1->setChecked(true);
    return int(QDialog::Accepted);
  };
  w.mnMove->trigger();
  // The tables move along and the arrays are rebuilt from them.
  EXPECT_EQ(std::tuple(int(E.d.Space(5, 3, 1)), Occupied(E.d), Row(E.lamped.sgResistors, 1), E.p.warnings,
                       w.Elements().Resistors.at(0).X),
            std::tuple(1, 1, "5|3|1|50|X|", std::vector{rv::CellsLeftText(1)}, 5));

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
  // The layer's material is appended; the unused first material is then removed.
  EXPECT_EQ(std::tuple(w.Importing, w.menuBar()->isEnabled(), int(E.d.Space(6, 1, 1)), Occupied(E.d), w.LayerCount(),
                       E.d.Layers[1].Name, w.fmTriangle->Label1->text().toStdString()),
            std::tuple(false, true, 1, 6, 1, "wire", "Готово "));
  // A material renamed while the scale is asked for refuses the import.
  E.d.Space.fill(0);
  w.ExecDialog = [&](QDialog&) {
    E.d.Layers[1].Name = "other";
    return int(QDialog::Accepted);
  };
  w.N1->trigger();
  EXPECT_EQ(std::tuple(Occupied(E.d), E.p.errors.size(), w.menuBar()->isEnabled()), std::tuple(0, 1u, true));
}

// "Прервать" in the import's window, while the drawing is read and while it is placed: the
// model, its materials and their count stay as they were, the report says so, the undo the
// user had is still offered, and the window takes no more input of its own than any other.
TEST(EditorOps, ALongDrawingImportCanBeStopped) {
  Editor E(40);
  rv::TfmOpenGL& w = E.w;
  const std::string file = rvtest::FreshDir("editor_ops", "stop") + "faces.dxf";
  {
    std::ofstream f(file);
    f << "0\nSECTION\n2\nTABLES\n0\nLAYER\n2\nplate\n0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < 2000; ++i)
      f << "0\n3DFACE\n8\nplate\n10\n0\n20\n0\n30\n" << i % 30 << "\n11\n30\n21\n0\n31\n" << i % 30
        << "\n12\n30\n22\n30\n32\n" << i % 30 << "\n13\n0\n23\n30\n33\n" << i % 30 << "\n";
    f << "0\nENDSEC\n0\nEOF\n";
  }
  w.ChooseFile = [&](bool, const char*, const char*) { return file; };
  w.SaveUndo();
  E.d.Space(5, 5, 5) = 1;  // the edit «Откат» takes back, before the imports as after them
  const auto press = [&] { QTimer::singleShot(0, w.fmTriangle->btnStop, &QPushButton::click); };
  int scaleAsked = 0;
  w.ExecDialog = [&](QDialog&) {
    ++scaleAsked;
    press();  // while placing
    return int(QDialog::Accepted);
  };
  for (bool reading : {true, false}) {
    if (reading) press();
    w.N1->trigger();
    EXPECT_EQ(std::tuple(scaleAsked, Occupied(E.d), w.LayerCount(), E.d.Layers[1].Name, E.p.errors.size()),
              std::tuple(reading ? 0 : 1, 1, 1, "Новый материал", 0u))
        << reading;
    EXPECT_EQ(w.fmTriangle->Memo1->toPlainText().split('\n').last().toStdString(), rv::DxfStopped);
    EXPECT_EQ(std::tuple(w.menuBar()->isEnabled(), w.fmTriangle->windowModality(), w.fmTriangle->btnStop->isVisible(),
                         w.fmTriangle->BitBtn1->isVisible()),
              std::tuple(true, Qt::NonModal, false, true));
  }
  ASSERT_TRUE(w.mnUndo->isEnabled());
  w.mnUndo->trigger();
  EXPECT_EQ(std::tuple(Occupied(E.d), w.mnUndo->isEnabled()), std::tuple(0, false));
}

}  // namespace
