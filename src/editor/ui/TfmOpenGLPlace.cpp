// The editor window's output and element tool bars: outputs and lumped elements placed at
// the anchor cell, and the current-region output of the selection.
#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>

#include "editor/elementarrays.h"
#include "editor/placing.h"
#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmGetValue.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/prompter.h"
#include "platform/widgets.h"
#include "solver/solverdata.h"

namespace rv {

namespace {
QString Q(const char* s) { return QString::fromUtf8(s); }

// A hidden button keeps its place in the bar but takes none on screen.
QToolButton* Button(QToolBar* bar, const char* name, const char* caption, const std::string& hint,
                    bool visible = true) {
  auto* b = new QToolButton(bar);
  b->setObjectName(name);
  b->setText(Q(caption));
  b->setToolTip(QString::fromStdString(hint));
  bar->addWidget(b)->setVisible(visible);
  return b;
}

struct OutputButtonDef {
  const char* name;
  const char* caption;
  int tag;
  std::string hint;
  bool hidden;
};

std::string CurrentHint(char axis) {
  return std::string("Вывод тока в направлении ") + axis + " (по всем 4-м векторам E ребер ячейки)";
}
const char* DensityHint =
    "Вывод плотн. тока в яч. (ток деленый на ее площадь). Верно для ячейки, по соседству с которой (для "
    "заданного направления) нет проводящих ячеек.";

struct ElementDef {
  ElementKind kind;
  const char* names[3];
  const char* letter;
  const char* hint;
  const char* dialog;
  const char* caption;
};
const ElementDef ElementDefs[5] = {
    {ElementKind::Resistor, {"ToolButton20", "ToolButton22", "ToolButton23"}, "R", "Ввод резистора", "fmGeRValue",
     "Ввод резистора"},
    {ElementKind::Capacitor, {"ToolButton26", "ToolButton27", "ToolButton28"}, "C", "Ввод конденсатора",
     "fmGetCValue", "Ввод конденсатора"},
    {ElementKind::Source, {"ToolButton31", "ToolButton32", "ToolButton33"}, "V",
     "Ввод резистивного источника напряжения", "fmGetVValue", "Ввод источника напряжения"},
    {ElementKind::SparkGap, {"ToolButton36", "ToolButton37", "ToolButton38"}, "B", "Ввод разрядника", "fmGetBValue",
     "Ввод разрядника"},
    {ElementKind::Inductor, {"ToolButton24", "ToolButton34", "ToolButton39"}, "L", "Ввод катушки индуктивности",
     "fmGetLValue", "Ввод индуктивности"},
};
}  // namespace

void TfmOpenGL::buildPlacing() {
  const std::string J = DensityHint;
  const OutputButtonDef outs[21] = {
      {"ToolButton1", "Ex", 1, "Вывод поля E", false},   {"ToolButton2", "Ey", 2, "Вывод поля E", false},
      {"ToolButton3", "Ez", 3, "Вывод поля E", false},   {"ToolButton13", "|E|", 4, "Вывод поля E", false},
      {"ToolButton4", "Hx", 11, "Вывод поля H", false},  {"ToolButton14", "Hy", 12, "Вывод поля H", false},
      {"ToolButton6", "Hz", 13, "Вывод поля H", false},  {"ToolButton7", "|H|", 14, "Вывод поля H", false},
      {"ToolButton9", "Ix", 21, CurrentHint('X'), false}, {"ToolButton15", "Iy", 22, CurrentHint('Y'), false},
      {"ToolButton10", "Iz", 23, CurrentHint('Z'), false},
      {"ToolButton11", "|I|", 24,
       "Вывод модуля тока по всем 12-м векторам E ячейки (следует использовать осторожно)", true},
      {"ToolButton16", "Jx", 31, J, false},              {"ToolButton17", "Jy", 32, J, false},
      {"ToolButton18", "Jz", 33, J, false},              {"ToolButton19", "|J|", 34, J + " (следует использовать осторожно)", true},
      {"ToolButton42", "Ux", 41, "Вывод напряжения", false}, {"ToolButton43", "Uy", 42, "Вывод напряжения", false},
      {"ToolButton44", "Uz", 43, "Вывод напряжения", false}, {"ToolButton45", "|U|", 44, "Вывод напряжения", false},
      {"ToolButton48", "P", 45, "вычисление средней поглощенной мощности", false},
  };
  for (size_t i = 0; i < 21; ++i) {
    QToolButton* b = Button(ToolBar2, outs[i].name, outs[i].caption, outs[i].hint, !outs[i].hidden);
    b->setCheckable(true);
    b->setProperty("tag", outs[i].tag);
    OutputButtons[i] = b;
    connect(b, &QToolButton::clicked, this, [this, b] { ToolButton1Click(b); });
  }
  for (size_t k = 0; k < 5; ++k) {
    const ElementDef& e = ElementDefs[k];
    const bool source = e.kind == ElementKind::Source;
    TfmGetValue* dlg = ValueDialogs[k] =
        new TfmGetValue(e.dialog, e.caption, ElementValueLabel(e.kind), source ? PolarityLabel : nullptr, this);
    // The dialog refuses what the run start would, naming the field and the text.
    dlg->check = [this, dlg, kind = e.kind] {
      int field = 0;
      const std::string why = ElementValueRefusal(kind, dlg->Edit1->text().toStdString(),
                                                  dlg->Edit2 ? dlg->Edit2->text().toStdString() : "", field);
      return why.empty() || RefuseField(prompter_, field == 2 ? dlg->Edit2 : dlg->Edit1, why);
    };
    for (int i = 0; i < 3; ++i) {
      const std::string caption = std::string(e.letter) + "xyz"[i];
      QToolButton* b = Button(ToolBar3, e.names[i], caption.c_str(), e.hint);
      b->setProperty("tag", i + 1);
      ElementButtons[k * 3 + size_t(i)] = b;
      connect(b, &QToolButton::clicked, this, [this, k, b] { elementClick(int(k), b); });
    }
  }
  btnShowOutputs = Button(ToolBar2, "btnShowOutputs", "Т", "Показать таблицу точек вывода");
  btnShowLamped = Button(ToolBar3, "btnShowLamped", "Т", "Показать таблицу элементов");
  connect(btnShowOutputs, &QToolButton::clicked, this, &TfmOpenGL::btnShowOutputsClick);
  connect(btnShowLamped, &QToolButton::clicked, this, &TfmOpenGL::btnShowLampedClick);
  btnDelLamped = Button(ToolBar3, "btnDelLamped", "Del", "Удалить элемент");
  btnDelLamped->setEnabled(false);
  connect(btnDelLamped, &QToolButton::clicked, this, &TfmOpenGL::btnDelLampedClick);
  connect(mnCurrentRegion, &QAction::triggered, this, &TfmOpenGL::mnCurrentRegionClick);
}

void TfmOpenGL::tablesEdited() {
  if (main_.tablesChanged) main_.tablesChanged();
  LoadElementArrays();
  StringGrid1->viewport()->update();
}

void TfmOpenGL::btnShowOutputsClick() {
  if (main_.showOutputs) main_.showOutputs();
  LoadElementArrays();
  ShowAnchorButtons();
}

void TfmOpenGL::btnShowLampedClick() {
  if (main_.showLamped) main_.showLamped();
  LoadElementArrays();
  ShowAnchorButtons();
}

void TfmOpenGL::ToolButton1Click(QToolButton* sender) {
  const OutputKind* k = OutputKindOfTag(sender->property("tag").toInt());
  if (!k || !main_.outputs) return;
  SetOutputAt(main_.outputs->sgOutPoint, *k, AnchorCell, sender->isChecked(), d_.Modified);
  tablesEdited();
}

void TfmOpenGL::elementClick(int kind, QToolButton* sender) {
  TfmGetValue* dlg = ValueDialogs[size_t(kind)];
  if (!main_.lamped || ExecDialog(*dlg) != QDialog::Accepted) return;
  const char dir = "XYZ"[std::clamp(sender->property("tag").toInt(), 1, 3) - 1];
  std::string err;
  if (!AddElementAt(*main_.lamped, ElementDefs[kind].kind, AnchorCell, dlg->Edit1->text().toStdString(), dir,
                    dlg->Edit2 ? dlg->Edit2->text().toStdString() : std::string(), d_.Modified, err)) {
    prompter_.warning(err);
    return;
  }
  DisableLumpedButtons();
  tablesEdited();
}

void TfmOpenGL::btnDelLampedClick() {
  if (main_.lamped) DeleteElementsAt(*main_.lamped, AnchorCell, d_.Modified);
  EnableLumpedButtons();
  tablesEdited();
}

void TfmOpenGL::DisableLumpedButtons() {
  for (QToolButton* b : ElementButtons) b->setEnabled(false);
  btnDelLamped->setEnabled(true);
}

void TfmOpenGL::EnableLumpedButtons() {
  for (QToolButton* b : ElementButtons) b->setEnabled(true);
  btnDelLamped->setEnabled(false);
}

void TfmOpenGL::ShowAnchorButtons() {
  for (QToolButton* b : OutputButtons) b->setChecked(false);
  if (main_.outputs)
    for (int tag : OutputTagsAt(main_.outputs->sgOutPoint, AnchorCell))
      for (QToolButton* b : OutputButtons)
        if (b->property("tag").toInt() == tag) b->setChecked(true);
  EnableLumpedButtons();
  const Cell3& c = AnchorCell;
  int i;
  if (FindSparkGapAt(elements_, c[0], c[1], c[2], i) || FindSourceAt(elements_, c[0], c[1], c[2], i) ||
      FindResistorAt(elements_, c[0], c[1], c[2], i) || FindCapacitorAt(elements_, c[0], c[1], c[2], i) ||
      FindInductorAt(elements_, c[0], c[1], c[2], i))
    DisableLumpedButtons();
}

void TfmOpenGL::mnCurrentRegionClick() {
  if (!main_.outputs) return;
  const SectionGrid::Selection& s = StringGrid1->Sel();
  const auto row = CurrentRegionRow(View(), {s.Col1, s.Row1, s.Col2, s.Row2}, !GroupBox1->isHidden());
  AppendRow(main_.outputs->sgCurrent, std::vector<std::string>(row.begin(), row.end()), d_.Modified);
  tablesEdited();
}

}  // namespace rv
