// The editor window's model operations and its object, cell, point-list and drawing files.
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolBar>

#include <new>

#include "editor/dxfimport.h"
#include "editor/modelfiles.h"
#include "editor/modelops.h"
#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmCopy.h"
#include "editor/ui/TfmGetDWGUnit.h"
#include "editor/ui/TfmMove.h"
#include "editor/ui/TfmObject.h"
#include "editor/ui/TfmOpenGL.h"
#include "editor/ui/TfmRotate.h"
#include "editor/ui/TfmTriangle.h"
#include "platform/filedialog.h"
#include "platform/prompter.h"
#include "platform/widgets.h"
#include "solver/codepage.h"
#include "solver/numtext.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"

namespace rv {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

QAction* Item(QMenu* m, const char* name, const char* caption) {
  QAction* a = m->addAction(QString::fromUtf8(caption));
  a->setObjectName(name);
  return a;
}

QMenu* MenuOf(QMenuBar* bar, const char* caption) {
  for (QAction* a : bar->actions())
    if (a->text() == QString::fromUtf8(caption)) return a->menu();
  return bar->addMenu(QString::fromUtf8(caption));
}

GridRect RectOf(const SectionGrid::Selection& s) { return {s.Col1, s.Row1, s.Col2, s.Row2}; }
}  // namespace

void TfmOpenGL::buildOperations() {
  QMenu* object = MenuOf(menuBar(), "Объект");
  N8 = Item(object, "N8", "Сохранить..");
  N15 = Item(object, "N15", "Загрузить..");
  N1 = Item(object, "N1", "Импорт..");
  object->addSeparator();
  mnDeleteAll = Item(object, "mnDeleteAll", "Удалить");
  N12 = Item(object, "N12", "Перерисовать");
  QMenu* edit = MenuOf(menuBar(), "Редактировать");
  mnMove = Item(edit, "mnMove", "Переместить объект..");
  N901 = Item(edit, "N901", "Поворот объекта..");
  fmCopy = new TfmCopy(this);
  fmMove = new TfmMove(this);
  fmRotate = new TfmRotate(this);
  fmObject = new TfmObject(this);
  fmTriangle = new TfmTriangle(this);
  fmGetDWGUnit = new TfmGetDWGUnit(this);
  fmGetDWGUnit->check = [this] {
    double scale = 0;
    const std::string why = DxfScaleRefusal(fmGetDWGUnit->Edit1->text().toStdString(), scale);
    return why.empty() || RefuseField(prompter_, fmGetDWGUnit->Edit1, why);
  };
  ExecDialog = [](QDialog& dlg) { return dlg.exec(); };
  ChooseFile = [this](bool save, const char* title, const char* filter) {
    const QString t = QString::fromUtf8(title), f = QString::fromUtf8(filter);
    const QString name = platform::AskFileName(this, save, t, fileFolder_, f, QFileDialog::DontConfirmOverwrite);
    return name.toStdString();
  };
  connect(N8, &QAction::triggered, this, &TfmOpenGL::N8Click);
  connect(N15, &QAction::triggered, this, &TfmOpenGL::N15Click);
  connect(N1, &QAction::triggered, this, &TfmOpenGL::N1Click);
  connect(mnDeleteAll, &QAction::triggered, this, &TfmOpenGL::mnDeleteAllClick);
  connect(N12, &QAction::triggered, this, &TfmOpenGL::N12Click);
  connect(mnMove, &QAction::triggered, this, &TfmOpenGL::mnMoveClick);
  connect(N901, &QAction::triggered, this, &TfmOpenGL::X2Click);
  connect(mnCopy, &QAction::triggered, this, &TfmOpenGL::mnCopyClick);
  connect(mnShapeRotate, &QAction::triggered, this, &TfmOpenGL::mnShapeRotateClick);
  connect(mnDelSelected, &QAction::triggered, this, &TfmOpenGL::mnDelSelectedClick);
}

void TfmOpenGL::afterOperation() {
  mnUndo->setEnabled(mat_.UndoReady);
  FillMaterialCombo();
  if (!d_.CalcRunning) FindObjectBounds(d_);
  Redraw();
}

// ---- model operations

void TfmOpenGL::mnDeleteAllClick() {
  if (prompter_.question(DeleteAllQuestion, PromptButton::Ok | PromptButton::Cancel) != PromptButton::Ok) return;
  DeleteAll(d_);
  afterOperation();
}

void TfmOpenGL::N12Click() {
  if (!d_.CalcRunning) FindObjectBounds(d_);
  Redraw();
}

void TfmOpenGL::mnDelSelectedClick() {
  DeleteSelected(d_, mat_, View(), RectOf(StringGrid1->Sel()));
  StringGrid1->SetSelection({});
  afterOperation();
}

void TfmOpenGL::mnCopyClick() {
  if (ExecDialog(*fmCopy) != QDialog::Accepted) return;
  const CloneOptions o = fmCopy->Options();
  if (CloneSelection(d_, mat_, View(), RectOf(StringGrid1->Sel()), o)) {
    afterOperation();
    return;
  }
  prompter_.warning("Слоя " + IntToStr(o.Section) + " в модели нет: слои от 1 до " +
                    IntToStr(CloneLastSection(d_, axis_)));
}

void TfmOpenGL::mnMoveClick() {
  if (ExecDialog(*fmMove) != QDialog::Accepted) return;
  const int dx = fmMove->seX->value(), dy = fmMove->seY->value(), dz = fmMove->seZ->value();
  std::string err;
  if (!MoveModel(d_, mat_, dx, dy, dz, err)) {
    prompter_.error(err);
    return;
  }
  if (fmMove->CheckBox1->isChecked() && main_.outputs && main_.lamped) {
    const int left = ShiftTableCoords(*main_.outputs, *main_.lamped, dx, dy, dz);
    d_.Modified = 1;
    if (main_.tablesChanged) main_.tablesChanged();
    LoadElementArrays();
    if (left) prompter_.warning(CellsLeftText(left));
  }
  afterOperation();
}

bool TfmOpenGL::askTurn(const char* caption, bool angle, Turn& t) {
  fmRotate->setWindowTitle(QString::fromUtf8(caption));
  fmRotate->RadioGroup1->setVisible(true);
  fmRotate->GroupBox2->setVisible(angle);
  fmRotate->SetGrid(d_.Nx, d_.Ny, d_.Nz);
  // Cell sizes that are no numbers refuse before the dialog asks anything.
  double dx, dy, dz;
  if (!cellSizes(dx, dy, dz) || ExecDialog(*fmRotate) != QDialog::Accepted) return false;
  t.Axis = fmRotate->Axis();
  t.Centre1 = fmRotate->SpinEdit1->value();
  t.Centre2 = fmRotate->SpinEdit2->value();
  t.Sy = dy / dx, t.Sz = dz / dx;
  return true;
}

void TfmOpenGL::X2Click() {
  Turn t;
  if (!askTurn("Осуществить поворот", true, t)) return;
  std::string err;
  if (!RotateModel(d_, mat_, t, fmRotate->Angle(), err)) return prompter_.error(err);
  afterOperation();
}

void TfmOpenGL::mnShapeRotateClick() {
  Turn t;
  if (!askTurn("Сделать фигуру вращения из выделенного", false, t)) return;
  std::string err;
  if (!RevolveSelection(d_, mat_, View(), RectOf(StringGrid1->Sel()), t, err)) return prompter_.error(err);
  afterOperation();
}

// ---- files

void TfmOpenGL::rememberFolder(const std::string& path) {
  fileFolder_ = QFileInfo(Q(path)).absolutePath();
}

bool TfmOpenGL::readText(const std::string& path, std::string& text) {
  std::string err;
  if (ReadTextFile(path, text, err)) return true;
  prompter_.error(err);
  return false;
}

void TfmOpenGL::N8Click() {
  const std::string path = ChooseFile(true, "Сохранить объект", "*.fid");
  if (path.empty()) return;
  if (QFileInfo::exists(Q(path)) &&
      prompter_.question("Файл " + path + "\nуже есть. Заменить?", PromptButton::Ok | PromptButton::Cancel) !=
          PromptButton::Ok)
    return;
  rememberFolder(path);
  std::string err;
  if (!WriteObjectFile(path, d_, mat_, err)) prompter_.error(err);
}

void TfmOpenGL::placePlan(const CellPlan& plan) {
  fmObject->Fill(plan.Summary, plan.AX, plan.AY, plan.AZ);
  if (ExecDialog(*fmObject) != QDialog::Accepted) return;
  ApplyCellPlan(plan, fmObject->spXo->value(), fmObject->spYo->value(), fmObject->spZo->value(), d_, mat_);
  afterOperation();
}

void TfmOpenGL::N15Click() {
  const std::string path = ChooseFile(false, "Открыть объект", "*.fid");
  if (path.empty()) return;
  rememberFolder(path);
  std::string text, err;
  CellPlan plan;
  if (!readText(path, text)) return;
  if (!ParseObject(text, d_, mat_, plan, err)) {
    prompter_.error(err);
    return;
  }
  placePlan(plan);
}

void TfmOpenGL::N1Click() {
  const std::string path = ChooseFile(false, "Импорт", "*.dxf *.cel *.3d");
  if (path.empty()) return;
  rememberFolder(path);
  const std::string ext = UpperCaseText(QFileInfo(Q(path)).suffix().toStdString());
  std::string text, err;
  if (ext == "DXF") {
    ImportDxf(path);
    return;
  }
  if ((ext != "CEL" && ext != "3D") || !readText(path, text)) return;
  if (ext == "CEL") {
    CellPlan plan;
    if (!ParseCellFile(text, mat_, plan, err)) {
      prompter_.error(err);
      return;
    }
    placePlan(plan);
    return;
  }
  std::vector<PointCell> points;
  if (!ParsePointList(text, points, err)) {
    prompter_.error(err);
    return;
  }
  ApplyPointList(points, d_, mat_);
  afterOperation();
}

void TfmOpenGL::setCommandsEnabled(bool on) {
  for (QWidget* w : {static_cast<QWidget*>(menuBar()), static_cast<QWidget*>(ToolBar2),
                     static_cast<QWidget*>(ToolBar3), Panel4})
    w->setEnabled(on);
  Importing = !on;
}

void TfmOpenGL::ImportDxf(const std::string& path) {
  double dx, dy, dz;
  if (!cellSizes(dx, dy, dz)) return;
  std::string text;
  if (!readText(path, text)) return;
  const DxfGrid g{dx, dy, dz, d_.Nx, d_.Ny, d_.Nz, RasterDivisor};
  fmTriangle->Memo1->clear();
  fmTriangle->Label1->clear();
  fmTriangle->BeginWork();
  setCommandsEnabled(false);
  const auto progress = [this](const std::string& s) { fmTriangle->Progress(s); };
  const auto stop = [this] { return fmTriangle->Pump(); };
  std::vector<std::string> report;
  std::string err;
  bool placed = false;
  // The plan's material numbers hold for the model it was made against; a project loaded
  // while the scale is asked for would get cells of other materials.
  const auto modelState = [this] {
    std::string s = IntToStr(mat_.LayerCount) + "|" + IntToStr(d_.Nx) + "|" + IntToStr(d_.Ny) + "|" + IntToStr(d_.Nz);
    for (int i = 1; i <= mat_.LayerCount; ++i) s += "|" + d_.Layers[size_t(i)].Name;
    return s;
  };
  const std::string before = modelState();
  // A stop is the user's own choice: the report says it, no message box.
  const auto refused = [&] {
    if (err == DxfStopped) fmTriangle->AddLines({err});
    else prompter_.error(err);
  };
  try {
    DxfPlan plan;
    const DxfStatus st = ParseDxf(text, g, d_, mat_, plan, report, err, progress, stop);
    fmTriangle->AddLines(report);
    report.clear();
    if (st == DxfStatus::Refused) {
      refused();
    } else if (st == DxfStatus::Ready && ExecDialog(*fmGetDWGUnit) == QDialog::Accepted) {
      double scale = 0;
      const std::string bad = DxfScaleRefusal(fmGetDWGUnit->Edit1->text().toStdString(), scale);
      if (modelState() != before) {
        prompter_.error("Модель изменилась во время импорта; импорт прерван");
      } else if (!bad.empty()) {
        prompter_.error(bad);
      } else {
        fmTriangle->Resume();
        placed = PlaceDxf(plan, scale, g, d_, mat_, report, err, progress, stop);
        fmTriangle->AddLines(report);
        if (!placed) refused();
      }
    }
  } catch (const std::bad_alloc&) {
    prompter_.error(NoMemoryMessage(path));
  }
  fmTriangle->Label1->setText(QString::fromUtf8(placed ? "Готово " : ""));
  // Clicks held back while the commands were off land on disabled controls.
  QCoreApplication::processEvents();
  setCommandsEnabled(true);
  fmTriangle->EndWork();
  // A stop put the snapshot back and offers the undo there was before.
  if (placed || err == DxfStopped) afterOperation();
}

}  // namespace rv
