#include "project/ui/TfmInputSource.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "platform/filedialog.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "platform/widgets.h"
#include "project/ui/ChildSignals.h"
#include "project/ui/TfmGetExpAmplitude.h"
#include "solver/numtext.h"

namespace rv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += (out.empty() ? "" : "\n") + l;
  return out;
}
QString Q(const char* s) { return QString::fromUtf8(s); }
std::string S(const QString& s) { return s.toStdString(); }

// The preset pulse dialog's amplitude: any number (the preset is scaled by it).
std::string AmplitudeRefusal(const std::string& text) {
  double v = 0;
  return TryStrToFloat(text, v) ? std::string()
                                : FieldRefusal("Неверное значение амплитуды", "Введите амплитуду", text,
                                               NotNumberReason(text), "число, например 1");
}

// Page names of Notebook1, one per kind.
constexpr const char* PageNames[SignalKindCount] = {
    "Sin", "SlowSin", "Gauss", "Gauss_radio", "Exp", "Exp_radio", "Blackmann_Harris",
    "None", "FromFile", "SinXdivX"};

QToolButton* Tool(QWidget* parent, const char* name, const char* caption, int tag) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(Q(caption));
  b->setProperty("Tag", tag);
  return b;
}

}  // namespace

TfmInputSource::TfmInputSource(SignalSource& source, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window), source_(source), prompter_(prompter) {
  setObjectName("fmInputSource");
  setWindowTitle(Q("Выбор сигнала"));
  programDir_ = platform::ExecutableDir();
  askAmplitude_ = [this]() -> std::optional<std::string> {
    TfmGetExpAmplitude dlg(this);
    dlg.check = [this, &dlg] {
      const std::string why = AmplitudeRefusal(S(dlg.Edit1->text()));
      return why.empty() || RefuseField(prompter_, dlg.Edit1, why);
    };
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return S(dlg.Edit1->text());
  };
  chooseFile_ = [this]() -> std::optional<std::string> {
    QFileDialog dlg(this, Q("Выбор файла входного сигнала"));
    platform::PrepareFileDialog(dlg);
    dlg.setNameFilter("*.srg *.grf");
    dlg.setDefaultSuffix("srg");
    dlg.setFileMode(QFileDialog::ExistingFile);
    const QString cur = edFileName->text();
    if (!cur.isEmpty()) dlg.selectFile(cur);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return S(dlg.selectedFiles().front());
  };

  auto* root = new QHBoxLayout(this);
  root->addWidget(buildPages());
  Panel2 = buildCharts();
  root->addWidget(Panel2, 1);
  resize(1000, 640);

  // Creation: no file loaded, the first unit and the first kind, then the kind's page.
  cur_.FileLoaded = false;
  setting_ = true;
  cbTime->setCurrentIndex(0);
  cbExpression->setCurrentIndex(0);
  setting_ = false;
  cbExpressionChange();
}

QLineEdit* TfmInputSource::edit(const char* name) {
  auto* e = new QLineEdit(Q(SignalEditDefault(name)));
  e->setObjectName(name);
  edits[name] = e;
  connect(e, &QLineEdit::textEdited, this, [this] {
    userChanged();
    stale_ = true;
  });
  // Enter or leaving the field redraws what the typed text makes of the signal.
  connect(e, &QLineEdit::editingFinished, this, [this] { refreshPreview(); });
  return e;
}

TfmInputSource::~TfmInputSource() { DetachChildSignals(this); }

QWidget* TfmInputSource::buildPages() {
  auto* left = new QWidget(this);
  auto* v = new QVBoxLayout(left);

  auto* top = new QFormLayout;
  cbExpression = new QComboBox(left);
  cbExpression->setObjectName("cbExpression");
  for (const char* k : SignalKindNames) cbExpression->addItem(Q(k));
  top->addRow(Q("Вид сигнала:"), cbExpression);
  v->addLayout(top);

  Notebook1 = new QStackedWidget(left);
  Notebook1->setObjectName("Notebook1");
  for (int k = 0; k < SignalKindCount; ++k) {
    auto* page = new QWidget(Notebook1);
    page->setObjectName(PageNames[k]);
    auto* f = new QFormLayout(page);
    for (const SignalEdit& e : SignalPageEdits(k)) f->addRow(Q(e.Caption), edit(e.Name));
    if (k == SigExp || k == SigExpRadio) {
      auto* row = new QHBoxLayout;
      const bool radio = k == SigExpRadio;
      const char* captions[3] = {ExpPresets[0].Caption, ExpPresets[1].Caption, ExpPresets[2].Caption};
      QToolButton** btns[3] = {radio ? &SpeedButton7 : &SpeedButton1,
                                radio ? &SpeedButton8 : &SpeedButton2,
                                radio ? &SpeedButton9 : &SpeedButton3};
      const char* names[3] = {radio ? "SpeedButton7" : "SpeedButton1",
                              radio ? "SpeedButton8" : "SpeedButton2",
                              radio ? "SpeedButton9" : "SpeedButton3"};
      for (int i = 0; i < 3; ++i) {
        const int tag = 2 * i + (radio ? 2 : 1);
        *btns[i] = Tool(page, names[i], captions[i], tag);
        row->addWidget(*btns[i]);
        connect(*btns[i], &QToolButton::clicked, this, [this, tag] { SpeedButton1Click(tag); });
      }
      f->addRow(Q("Импульсы:"), row);
    }
    if (k == SigNone) f->addRow(new QLabel(Q("Сигнал не задан"), page));
    if (k == SigFromFile) {
      cbTime = new QComboBox(page);
      cbTime->setObjectName("cbTime");
      for (const char* u : SignalTimeUnitNames) cbTime->addItem(Q(u));
      f->addRow(Q("Время в файле:"), cbTime);
      edFileName = edit("edFileName");
      f->addRow(Q("Файл:"), edFileName);
      btnOpenFile = new QPushButton(Q("Выбрать файл"), page);
      btnOpenFile->setObjectName("btnOpenFile");
      f->addRow(btnOpenFile);
      // Until a file is named the kind has nothing to read: said here, not as an error.
      lbNoFile = new QLabel(Q("Файл сигнала не выбран: выберите его кнопкой «Выбрать файл»."), page);
      lbNoFile->setObjectName("lbNoFile");
      lbNoFile->setWordWrap(true);
      f->addRow(lbNoFile);
      connect(btnOpenFile, &QPushButton::clicked, this, &TfmInputSource::btnOpenFileClick);
      connect(edFileName, &QLineEdit::textChanged, this, [this](const QString& t) {
        edFileName->setToolTip(t);  // edFileNameChange
        lbNoFile->setVisible(t.isEmpty());
      });
      lbNoFile->setVisible(edFileName->text().isEmpty());
      connect(cbTime, &QComboBox::currentIndexChanged, this, [this] {
        if (setting_) return;
        cbTimeChange();
        userChanged();
        changedPreview();
      });
    }
    Notebook1->addWidget(page);
  }
  v->addWidget(Notebook1);

  auto* gbTime = new QGroupBox(Q("Интервал показа"), left);
  auto* gt = new QGridLayout(gbTime);
  RadioButton1 = new QRadioButton(Q("Как время счета в проекте"), gbTime);
  RadioButton1->setObjectName("RadioButton1");
  RadioButton2 = new QRadioButton(Q("Задать, нс:"), gbTime);
  RadioButton2->setObjectName("RadioButton2");
  RadioButton2->setChecked(true);
  edMaxTime = edit("edMaxTime");
  gt->addWidget(RadioButton1, 0, 0, 1, 2);
  gt->addWidget(RadioButton2, 1, 0);
  gt->addWidget(edMaxTime, 1, 1);
  v->addWidget(gbTime);

  auto* gbSpectr = new QGroupBox(Q("Спектр, Гц"), left);
  auto* gs = new QFormLayout(gbSpectr);
  edFMin = edit("edFMin");
  edFMax = edit("edFMax");
  eddF = edit("eddF");
  eddF->setEnabled(false);
  gs->addRow(Q("от:"), edFMin);
  gs->addRow(Q("до:"), edFMax);
  gs->addRow(Q("шаг:"), eddF);
  CheckBox2 = new QCheckBox(Q("Шаг авто"), gbSpectr);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setChecked(true);
  CheckBox3 = new QCheckBox(Q("Не показывать спектр"), gbSpectr);
  CheckBox3->setObjectName("CheckBox3");
  CheckBox3->setChecked(true);
  gs->addRow(CheckBox2);
  gs->addRow(CheckBox3);
  Label29 = new QLabel(gbSpectr);
  Label29->setObjectName("Label29");
  gs->addRow(Label29);
  v->addWidget(gbSpectr);

  CheckBox1 = new QCheckBox(Q("Измерить"), left);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setChecked(true);
  v->addWidget(CheckBox1);

  auto* buttons = new QHBoxLayout;
  ShowSignal = new QPushButton(Q("Показать сигнал"), left);
  ShowSignal->setObjectName("ShowSignal");
  btnClose = new QPushButton(Q("Закрыть"), left);
  btnClose->setObjectName("btnClose");
  buttons->addWidget(ShowSignal);
  buttons->addWidget(btnClose);
  v->addLayout(buttons);
  v->addStretch();

  connect(cbExpression, &QComboBox::currentIndexChanged, this, [this] {
    if (setting_) return;
    cbExpressionChange();
    userChanged();
  });
  connect(ShowSignal, &QPushButton::clicked, this, [this] { ShowSignalClick(); });
  connect(CheckBox1, &QCheckBox::clicked, this, [this] {
    ShowSignalClick();  // CheckBox1Click
    userChanged();
  });
  connect(CheckBox2, &QCheckBox::clicked, this, [this] {
    CheckBox2Click();
    userChanged();
    changedPreview();
  });
  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{CheckBox3, RadioButton1, RadioButton2})
    connect(b, &QAbstractButton::clicked, this, [this] {
      userChanged();
      changedPreview();
    });
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
  return left;
}

QWidget* TfmInputSource::buildCharts() {
  auto* panel = new QWidget(this);
  panel->setObjectName("Panel2");
  auto* v = new QVBoxLayout(panel);
  auto makeChart = [&](const char* name, const char* caption, int tag, QToolButton*& zin,
                       const char* zinName,
                       QToolButton*& zout, const char* zoutName, QToolButton*& all,
                       const char* allName, QToolButton*& vert, const char* vertName,
                       QSpinBox*& width, const char* widthName) {
    auto* chart = new QCustomPlot(panel);
    chart->setObjectName(name);
    chart->setAccessibleName(Q(caption));
    chart->setMinimumHeight(200);
    chart->setInteractions(QCP::Interactions(QCP::iRangeDrag) | QCP::iRangeZoom);
    chart->plotLayout()->insertRow(0);
    // The caption is the title until the signal kind or the spectrum names the chart.
    auto* title = new QCPTextElement(chart, Q(caption), QFont("Arial", 10, QFont::Bold));
    chart->plotLayout()->addElement(0, 0, title);
    chart->addGraph();
    chart->graph(0)->setPen(QPen(Qt::red, 1));
    auto* bar = new QHBoxLayout;
    zin = Tool(panel, zinName, "Увеличить", tag);
    zout = Tool(panel, zoutName, "Уменьшить", tag);
    all = Tool(panel, allName, "All", tag);
    vert = Tool(panel, vertName, "Уменьшить по вертикали", tag);
    width = new QSpinBox(panel);
    width->setObjectName(widthName);
    width->setRange(SignalLineWidthMin, SignalLineWidthMax);
    width->setValue(1);
    width->setProperty("Tag", tag);
    for (QWidget* w : std::initializer_list<QWidget*>{zin, zout, all, vert}) bar->addWidget(w);
    bar->addStretch();
    bar->addWidget(new QLabel(Q("Толщина:"), panel));
    bar->addWidget(width);
    connect(zin, &QToolButton::clicked, this, [this, tag] { ZoomPercent(tag, 120); });
    connect(zout, &QToolButton::clicked, this, [this, tag] { ZoomPercent(tag, 83); });
    connect(all, &QToolButton::clicked, this, [this, tag] { ShowAll(tag); });
    connect(vert, &QToolButton::clicked, this, [this, tag] { WidenVertical(tag); });
    connect(width, &QSpinBox::valueChanged, this, [this, tag] {
      SpinEdit1Change(tag);
      if (!setting_) userChanged();
    });
    v->addWidget(chart, 1);
    v->addLayout(bar);
    return std::make_pair(chart, title);
  };
  std::tie(Chart1, Chart1Title) =
      makeChart("Chart1", "Форма сигнала", 1, BitBtn1, "BitBtn1", BitBtn2, "BitBtn2", BitBtn3,
                "BitBtn3", SpeedButton5, "SpeedButton5", SpinEdit1, "SpinEdit1");
  std::tie(Chart2, Chart2Title) =
      makeChart("Chart2", "Спектр сигнала", 2, BitBtn6, "BitBtn6", BitBtn4, "BitBtn4", BitBtn5,
                "BitBtn5", SpeedButton4, "SpeedButton4", SpinEdit2, "SpinEdit2");
  Series1 = Chart1->graph(0);
  Series1->setName("Series1");
  // A signal the run would refuse shows that refusal where its curve would be.
  lbPreviewRefusal = NewRefusalLabel(panel);
  lbPreviewRefusal->setMinimumHeight(200);
  v->insertWidget(v->indexOf(Chart1), lbPreviewRefusal, 1);
  FastLineSeries1 = Chart2->graph(0);
  FastLineSeries1->setName("FastLineSeries1");
  FastLineSeries1->setPen(QPen(Qt::blue, 1));
  // The measurement follows what is visible (Chart1AfterDraw).
  connect(Chart1->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this] { updateMeasurement(); });
  return panel;
}

// ---------------------------------------------------------------- settings

SignalPageSettings TfmInputSource::GetSettings() const {
  SignalPageSettings s;
  for (int i = 0; i < SignalEditCount; ++i)
    s.Edits[size_t(i)] = S(edits.at(SignalSectionEdits[size_t(i)])->text());
  s.SpinEdit1 = SpinEdit1->value();
  s.SpinEdit2 = SpinEdit2->value();
  s.cbTime = cbTime->currentIndex();
  s.cbExpression = cbExpression->currentIndex();
  s.CheckBox1 = CheckBox1->isChecked();
  s.CheckBox2 = CheckBox2->isChecked();
  s.CheckBox3 = CheckBox3->isChecked();
  s.RadioButton1 = RadioButton1->isChecked();
  s.RadioButton2 = RadioButton2->isChecked();
  return s;
}

void TfmInputSource::SetSettings(const SignalPageSettings& s) {
  const bool was = setting_;
  setting_ = true;
  for (int i = 0; i < SignalEditCount; ++i)
    edits.at(SignalSectionEdits[size_t(i)])->setText(Q(s.Edits[size_t(i)]));
  SpinEdit1->setValue(s.SpinEdit1);
  SpinEdit2->setValue(s.SpinEdit2);
  cbTime->setCurrentIndex(std::clamp(s.cbTime, 0, int(UnitMetres)));
  cbExpression->setCurrentIndex(std::clamp(s.cbExpression, 0, SignalKindCount - 1));
  CheckBox1->setChecked(s.CheckBox1);
  CheckBox2->setChecked(s.CheckBox2);
  CheckBox3->setChecked(s.CheckBox3);
  (s.RadioButton2 ? RadioButton2 : RadioButton1)->setChecked(true);
  CheckBox2Click();
  setting_ = was;
}

bool TfmInputSource::ApplyProjectSettings(const SignalPageSettings& s) {
  SetSettings(s);
  cbExpressionChange();
  return cbExpression->currentIndex() != SigFromFile || cur_.FileLoaded;
}

bool TfmInputSource::SaveSignalSettings(const std::string& fileName) {
  Messages msgs;
  const bool ok = rv::SaveSignalSettings(fileName, GetSettings(), msgs);
  showMessages(msgs);
  return ok;
}

bool TfmInputSource::LoadSignalSettings(const std::string& fileName) {
  SignalPageSettings s = GetSettings();
  Messages msgs;
  if (!rv::LoadSignalSettings(fileName, s, msgs)) {
    showMessages(msgs);
    return false;
  }
  return ApplyProjectSettings(s);
}

// ---------------------------------------------------------------- handlers

void TfmInputSource::cbExpressionChange() {
  const int kind = cbExpression->currentIndex();
  Notebook1->setCurrentIndex(kind);
  ShowSignalClick();
  Chart1Title->setText(cbExpression->currentText() + "\n");
  Panel2->setVisible(kind != SigNone);
  Chart1->replot();
}

QLabel* TfmInputSource::NewRefusalLabel(QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName("lbPreviewRefusal");
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignCenter);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  l->setStyleSheet("QLabel { color: #b00000; background: white; border: 1px solid #b00000; padding: 12px; }");
  l->hide();
  return l;
}

SignalRunUse TfmInputSource::previewUse() {
  SignalRunUse u;
  if (runUse_) {
    u = runUse_();
  } else if (runTime_) {
    std::string dT;
    double ns = 0;
    runTime_(u.StepCount, dT);
    if (TryStrToFloat(dT, ns) && ns > 0) u.StepSec = ns / 1e9;
  }
  // With nothing placed yet to take the signal, its values are checked as a plane wave of
  // 1 V/m per unit would take them: the preview says now what a run will refuse later.
  if (!u.PlaneWave && u.SourceGain <= 0) u.PlaneWave = true;
  return u;
}

void TfmInputSource::showPreviewRefusal(const std::string& text) {
  previewRefusal_ = text;
  lbPreviewRefusal->setText(Q(text));
  lbPreviewRefusal->setVisible(!text.empty());
  Chart1->setVisible(text.empty());
  if (text.empty()) return;
  // The curve of the values before is no longer the signal: it goes, with its measure and
  // spectrum.
  px_.clear();
  py_.clear();
  Series1->data()->clear();
  FastLineSeries1->data()->clear();
  spectrum_ = SpectrumResult{};
  clearMeasurement();
  Chart1->replot();
  Chart2->replot();
}

bool TfmInputSource::previewInterval(double& T) {
  if (RadioButton1->isChecked()) {
    int steps = 0;
    std::string dT;
    if (runTime_) runTime_(steps, dT);
    double dt;
    if (!runTime_ || !TryStrToFloat(dT, dt)) {
      say("Ошибка в шаге по времени в главной форма");
      return false;
    }
    T = double(steps - 1) * dt / 1e9;
  } else {
    double ns;
    if (!TryStrToFloat(S(edMaxTime->text()), ns)) {
      say("Ошибка в интервале времени показа");
      return false;
    }
    T = ns / 1e9;
  }
  return true;
}

void TfmInputSource::resolveFileName() {
  if (cbExpression->currentIndex() != SigFromFile || edFileName->text().isEmpty()) return;
  // A name without a folder is the program's own folder's file.
  const std::string name = S(edFileName->text());
  const std::string full = ResolveSignalFileName(name, programDir_);
  if (full != name) {
    const bool was = setting_;
    setting_ = true;
    edFileName->setText(Q(full));
    setting_ = was;
  }
}

bool TfmInputSource::RefreshForRun(std::string& refusal, std::vector<std::string>& warnings) {
  const int kind = cbExpression->currentIndex();
  resolveFileName();
  const SignalPageSettings st = GetSettings();
  SignalSettings s = cur_;
  SignalRefresh rf = RefreshSignal(kind, st.ParamTexts(), st.Edit("edFileName"), st.cbTime, s);
  // "Нет сигнала" stops the refresh but is no failure: the run goes with a zero signal.
  if (!rf.Proceed && kind != SigNone) {
    // The last message says why; what came before it (a missing file) is a warning.
    refusal = rf.Messages.empty() ? std::string("Обнаружены ошибки в значениях параметров сигналов")
                                  : rf.Messages.back();
    if (!rf.Messages.empty()) rf.Messages.pop_back();
    warnings = rf.Messages;
    return false;
  }
  // A signal file that is not loaded leaves the signal zero: the run start's check of the
  // signal's values refuses that, naming the file, when anything takes the signal.
  warnings.clear();
  cur_ = s;
  source_.Set(cur_);
  return true;
}

bool TfmInputSource::SignalForRun(SignalSettings& s) {
  const int kind = cbExpression->currentIndex();
  resolveFileName();
  const SignalPageSettings st = GetSettings();
  s = cur_;
  // "Нет сигнала" ends the refresh with the kind taken: no failure.
  return RefreshSignal(kind, st.ParamTexts(), st.Edit("edFileName"), st.cbTime, s).Proceed || kind == SigNone;
}

bool TfmInputSource::SignalReady() {
  SignalSettings s;
  return SignalForRun(s);
}

bool TfmInputSource::ShowSignalClick() {
  stale_ = false;
  const int kind = cbExpression->currentIndex();
  resolveFileName();
  const SignalPageSettings st = GetSettings();
  SignalRefresh rf = RefreshSignal(kind, st.ParamTexts(), st.Edit("edFileName"), st.cbTime, cur_);
  source_.Set(cur_);
  if (kind == SigFromFile && cur_.FileLoaded)
    edMaxTime->setText(Q(FormatGeneral(rf.FileLastTime * 1e9, 7)));
  showMessages(rf.Messages);
  if (kind == SigNone) {
    showPreviewRefusal("");  // chosen on purpose: nothing to refuse
    return true;  // the charts are hidden; nothing to draw
  }
  if (!rf.Proceed) {
    // Told by a box, the reason is the last message; unasked, every message stands here.
    showPreviewRefusal(rf.Messages.empty() ? std::string("Обнаружены ошибки в значениях параметров сигналов")
                       : quiet_        ? Joined(rf.Messages)
                                       : rf.Messages.back());
    return false;
  }
  // The run start's own check: what it would refuse is not drawn as if it were a signal.
  if (const RunRefusal no = SignalValueRefusal(cur_, previewUse())) {
    showPreviewRefusal(no.text);
    return false;
  }
  showPreviewRefusal("");

  double T = 0;
  if (!previewInterval(T)) {
    if (quiet_) showPreviewRefusal(Joined(held_));
    return false;
  }
  double fMax = 0;
  const bool fileSpectrum = !CheckBox3->isChecked() && kind == SigFromFile && cur_.FileLoaded &&
                            cur_.File && cur_.File->Times.size() > 2 &&
                            TryStrToFloat(S(edFMax->text()), fMax);
  const double h = PreviewStep(SignalBaseStep(kind, cur_.Params), T, fileSpectrum,
                               fileSpectrum ? double(cur_.File->Times.back()) : 0, fMax);
  const SignalSettings snap = cur_;
  SamplePreview([&snap](double t) { return EvaluateSignal(snap, t); }, T, h, px_, py_);

  Series1->setData(QVector<double>(px_.begin(), px_.end()), QVector<double>(py_.begin(), py_.end()),
                   true);
  Chart1->yAxis->setLabel(Q("Амплитуда"));
  Chart1->xAxis->setLabel(Q("t, нс"));
  {
    const QSignalBlocker block(Chart1->xAxis);
    Series1->rescaleKeyAxis();
  }
  if (autoY1_) {
    Series1->rescaleValueAxis();
    Chart1->yAxis->scaleRange(1.1);  // headroom: the amplitude line stays off the frame
  }
  updateMeasurement();
  Chart1->replot();
  ShowSpectrum();
  return true;
}

void TfmInputSource::ShowSpectrum() {
  if (px_.size() < 10) return;
  FastLineSeries1->data()->clear();
  if (CheckBox3->isChecked()) {
    Chart2->replot();
    return;
  }
  autoY2_ = true;
  double fMin = 0, fMax = 0;
  if (!TryStrToFloat(S(edFMin->text()), fMin) || !TryStrToFloat(S(edFMax->text()), fMax)) {
    if (quiet_) Label29->setText(Q("Ошибка в границах спектра"));
    else prompter_.message("Ошибка в границах спектра");
    Chart2->replot();
    return;
  }
  SpectrumRequest q;
  q.FMin = fMin;
  q.FMax = fMax;
  q.AutoStep = CheckBox2->isChecked();
  // A step that is no number is taken as the automatic one, like a step of 0.
  if (!TryStrToFloat(S(eddF->text()), q.DF)) q.DF = 0;
  Chart2Title->setText(Q("Модуль спектра"));
  const SignalSettings snap = cur_;
  spectrum_ = SignalSpectrum([&snap](double t) { return EvaluateSignal(snap, t); },
                             px_.back() * 1e-9, q, 2000, SteadyMs, [this](int percent) {
                               Label29->setText(QString::number(percent) + " %");
                               Label29->repaint();
                             });
  if (!spectrum_.Computed) {
    Chart2->replot();
    return;
  }
  if (spectrum_.Interrupted) {
    // Switched off for the next redraws; the note stays until the spectrum is asked again.
    Label29->setText(Q("Прервано по таймеру через 2 сек"));
    CheckBox3->setChecked(true);
  } else {
    Label29->clear();
  }
  FastLineSeries1->setData(QVector<double>(spectrum_.FMHz.begin(), spectrum_.FMHz.end()),
                           QVector<double>(spectrum_.Mag.begin(), spectrum_.Mag.end()), true);
  Chart2->yAxis->setLabel(Q("Отн. ампл."));
  Chart2->xAxis->setLabel(Q("f, МГц"));
  Chart2->rescaleAxes();
  Chart2->replot();
}

void TfmInputSource::clearMeasurement() {
  for (QCPAbstractItem* it : measureItems_) Chart1->removeItem(it);
  measureItems_.clear();
  measure_ = PulseMeasure{};
  measureText_.clear();
}

void TfmInputSource::updateMeasurement() {
  clearMeasurement();
  if (!CheckBox1->isChecked()) return;
  const QCPRange r = Chart1->xAxis->range();
  measure_ = MeasureVisible(px_, py_, r.lower, r.upper);
  if (!measure_.Valid) return;
  auto line = [&](double x1, double y1, double x2, double y2, QColor c, Qt::PenStyle st) {
    auto* l = new QCPItemStraightLine(Chart1);
    l->point1->setCoords(x1, y1);
    l->point2->setCoords(x2, y2);
    l->setPen(QPen(c, 1, st));
    measureItems_.push_back(l);
  };
  const double a = measure_.Amplitude;
  line(r.lower, a, r.upper, a, Qt::blue, Qt::DotLine);
  std::string text = "Амплитуда = " + FormatGeneral(a, 3);
  if (measure_.HasRise) {
    line(measure_.T10, 0, measure_.T10, 1, Qt::blue, Qt::SolidLine);
    line(measure_.T50, 0, measure_.T50, 1, Qt::red, Qt::SolidLine);
    line(measure_.T90, 0, measure_.T90, 1, Qt::blue, Qt::SolidLine);
    text += "; Тф = " + FormatGeneral(measure_.Rise, 3);
  }
  if (measure_.HasWidth) {
    line(measure_.T50Fall, 0, measure_.T50Fall, 1, Qt::red, Qt::SolidLine);
    text += "; Ти = " + FormatGeneral(measure_.Width, 3);
  }
  measureText_ = Q(text);
  auto* t = new QCPItemText(Chart1);
  t->position->setType(QCPItemPosition::ptAxisRectRatio);
  t->position->setCoords(0.01, 0.01);
  t->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont f("Arial");
  f.setPixelSize(14);
  t->setFont(f);
  t->setColor(Qt::blue);
  t->setText(measureText_);
  measureItems_.push_back(t);
  Chart1->replot(QCustomPlot::rpQueuedReplot);
}

void TfmInputSource::CheckBox2Click() { eddF->setEnabled(!CheckBox2->isChecked()); }

void TfmInputSource::btnOpenFileClick() {
  const std::optional<std::string> name = chooseFile_ ? chooseFile_() : std::nullopt;
  if (!name) return;
  const SignalFileResult f = LoadSignalFile(*name, cbTime->currentIndex());
  if (f.Status == SignalFileStatus::Empty) {
    // Nothing to take from it: the signal and the file name stay as they were.
    prompter_.message(f.Message);
    return;
  }
  edFileName->setText(Q(*name));
  userChanged();
  cur_.FileLoaded = f.Status == SignalFileStatus::Ok;
  if (cur_.FileLoaded) cur_.File = f.Table;
  cur_.FileName = *name;
  source_.Set(cur_);
  if (f.Status == SignalFileStatus::BadLine || f.Status == SignalFileStatus::NoMemory) {
    prompter_.message(f.Message);  // the loader's own message ends it
    return;
  }
  if (!cur_.FileLoaded) {
    prompter_.message("Ошибка: нет файла входного сигнала или его формат неверен\nФайл: " + *name);
    return;
  }
  ShowSignalClick();
}

void TfmInputSource::cbTimeChange() {
  if (cbTime->currentIndex() == SignalTimeUnitCount - 1) {
    prompter_.message("Пить надо меньше!!!");
    const bool was = setting_;
    setting_ = true;
    cbTime->setCurrentIndex(0);
    setting_ = was;
  }
}

void TfmInputSource::SpeedButton1Click(int tag) {
  if (tag < 1 || tag > 6) return;
  const std::optional<std::string> text = askAmplitude_ ? askAmplitude_() : std::nullopt;
  if (!text) return;
  double peak = 0;
  if (const std::string why = AmplitudeRefusal(*text); !why.empty() || !TryStrToFloat(*text, peak)) {
    prompter_.message(why);
    return;
  }
  const ExpPreset& e = ExpPresets[size_t((tag - 1) / 2)];
  const bool radio = tag % 2 == 0;
  edits.at(radio ? "edExpRadio_a" : "edExp_a")->setText(Q(FloatToStr(e.a)));
  edits.at(radio ? "edExpRadio_b" : "edExp_b")->setText(Q(FloatToStr(e.b)));
  edits.at(radio ? "edExpRadioAmpl" : "edExpAmpl")->setText(Q(FloatToStr(peak * e.Factor)));
  userChanged();
  ShowSignalClick();
}

QCustomPlot* TfmInputSource::chartOf(int tag) const { return tag == 2 ? Chart2 : Chart1; }

void TfmInputSource::ZoomPercent(int tag, double percent) {
  QCustomPlot* c = chartOf(tag);
  // Both axes about their middles: 120 shows 1/1.2 of the range, 83 widens it.
  for (QCPAxis* a : {c->xAxis, c->yAxis}) {
    const QCPRange r = a->range();
    const double mid = r.center(), half = r.size() / 2 * 100 / percent;
    a->setRange(mid - half, mid + half);
  }
  c->replot();
}

void TfmInputSource::ShowAll(int tag) {
  QCustomPlot* c = chartOf(tag);
  (tag == 2 ? autoY2_ : autoY1_) = true;
  c->rescaleAxes();
  c->yAxis->scaleRange(1.1);
  c->replot();
}

void TfmInputSource::WidenVertical(int tag) {
  QCustomPlot* c = chartOf(tag);
  (tag == 2 ? autoY2_ : autoY1_) = false;
  const QCPRange r = c->yAxis->range();
  const double d = std::max(std::fabs(r.upper), std::fabs(r.lower)) / 10;
  c->yAxis->setRange(r.lower - d, r.upper + d);
  c->replot();
}

void TfmInputSource::SpinEdit1Change(int tag) {
  QCustomPlot* c = chartOf(tag);
  QPen p = c->graph(0)->pen();
  p.setWidth((tag == 2 ? SpinEdit2 : SpinEdit1)->value());
  c->graph(0)->setPen(p);
  c->replot();
}

void TfmInputSource::userChanged() {
  if (!setting_ && modified_) *modified_ = 1;
}

void TfmInputSource::say(const std::string& m) {
  if (quiet_) held_.push_back(m);
  else prompter_.message(m);
}

void TfmInputSource::showMessages(const std::vector<std::string>& m) {
  for (const std::string& s : m) say(s);
}

void TfmInputSource::changedPreview() {
  stale_ = true;
  refreshPreview();
}

void TfmInputSource::refreshPreview() {
  if (setting_ || !stale_) return;
  // Unasked: no box pops up while the user moves between fields; what the signal cannot be
  // stands in the curve's place.
  quiet_ = true;
  held_.clear();
  ShowSignalClick();
  quiet_ = false;
  held_.clear();
}

void TfmInputSource::closeEvent(QCloseEvent* e) {
  QWidget::closeEvent(e);
  if (onClose_) onClose_();
}

void TfmInputSource::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  // Minimising this window minimises the whole program.
  if (e->type() == QEvent::WindowStateChange && isMinimized())
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != this && w->isVisible() && !w->isMinimized()) w->showMinimized();
}

}  // namespace rv
