#include "charts/ui/TfmEditComments.h"

#include <QComboBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "charts/ui/TfmSpectr.h"
#include "charts/ui/dialogfields.h"
#include "solver/numtext.h"

namespace rv {

namespace {

QString Lines(const std::vector<std::string>& lines) {
  QStringList l;
  for (const auto& s : lines) l << QString::fromStdString(s);
  return l.join('\n');
}

std::vector<std::string> Lines(const QPlainTextEdit* m) {
  std::vector<std::string> out;
  const QString text = m->toPlainText();
  if (text.isEmpty()) return out;
  for (const QString& s : text.split('\n')) out.push_back(s.toStdString());
  return out;
}

QComboBox* Captions(QWidget* parent, const char* name, const QStringList& items) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->setEditable(true);
  c->addItems(items);
  return c;
}

QLineEdit* Hidden(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->hide();
  return e;
}

}  // namespace

TfmEditComments::TfmEditComments(ChartLook look, QWidget* parent) : QDialog(parent), look_(std::move(look)) {
  setObjectName("fmEditComments");
  setWindowTitle("Оформление надписей");
  MemoTitle = new QPlainTextEdit(this);
  MemoTitle->setObjectName("MemoTitle");
  MemoFoot = new QPlainTextEdit(this);
  MemoFoot->setObjectName("MemoFoot");
  for (QPlainTextEdit* m : {MemoTitle, MemoFoot}) m->setMaximumHeight(60);
  edLeftAxis = Captions(this, "edLeftAxis",
                        {"U, В", "U, кВ", "I, А", "I, кА", "E, В/м", "E, кВ/м", "H, А/м", "Спектральная плотность"});
  edBottomAxis = Captions(this, "edBottomAxis", {"t, нс", "t, мкс", "t, мс", "t, с", "f, ГГц", "f, МГц", "f, кГц", "f, Гц"});
  edRightAxis = new QLineEdit(this);
  edRightAxis->setObjectName("edRightAxis");
  edTopAxis = new QLineEdit(this);
  edTopAxis->setObjectName("edTopAxis");
  edLeftAngle = Hidden(this, "edLeftAngle");
  edRightAngle = Hidden(this, "edRightAngle");
  edTopAngle = Hidden(this, "edTopAngle");
  edBottomAngle = Hidden(this, "edBottomAngle");

  for (int i = 0; i < 11; ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString("SpeedButton%1").arg(i + 1));
    b->setText("Фонт");
    const auto e = ChartElement(i + 1);
    connect(b, &QToolButton::clicked, this, [this, e] { FontButtonClick(e); });
    SpeedButton[std::size_t(i)] = b;
  }
  auto btn = [this](ChartElement e) { return SpeedButton[std::size_t(int(e) - 1)]; };
  auto* grid = new QGridLayout;
  int row = 0;
  auto add = [&](const char* label, QWidget* field, ChartElement title, int labels) {
    grid->addWidget(new QLabel(QString::fromUtf8(label), this), row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(btn(title), row, 2);
    if (labels > 0) grid->addWidget(btn(ChartElement(labels)), row, 3);
    ++row;
  };
  add("Заголовок над графиком:", MemoTitle, ChartElement::Title, 0);
  add("Подпись под графиком:", MemoFoot, ChartElement::Foot, 0);
  add("Левая вертикаль (подпись):", edLeftAxis, ChartElement::LeftTitle, int(ChartElement::LeftLabels));
  add("Правая вертикаль:", edRightAxis, ChartElement::RightTitle, int(ChartElement::RightLabels));
  add("Верхняя горизонталь", edTopAxis, ChartElement::TopTitle, int(ChartElement::TopLabels));
  add("Нижняя горизонталь (подпись):", edBottomAxis, ChartElement::BottomTitle, int(ChartElement::BottomLabels));
  grid->addWidget(new QLabel("Легенда", this), row, 0);
  grid->addWidget(btn(ChartElement::Legend), row, 2);

  Button1 = new QPushButton("Фонт для всех надписей", this);
  Button1->setObjectName("Button1");
  connect(Button1, &QPushButton::clicked, this, &TfmEditComments::Button1Click);
  QGroupBox* legendBox = RadioGroup(this, "RadioGroup1", "Положение легенды", {"слева внизу", "справа"}, RadioGroup1);
  connect(RadioGroup1, &QButtonGroup::idClicked, this, [this](int id) { look_.alignLegend(id == 1); });

  FontD = new QFontDialog(this);
  FontD->setObjectName("FontD");
  FontD->setOption(QFontDialog::DontUseNativeDialog);
  FontD->setOption(QFontDialog::ScalableFonts);

  auto* lay = new QVBoxLayout(this);
  lay->addLayout(grid);
  lay->addWidget(Button1);
  lay->addWidget(legendBox);
  lay->addLayout(OkCancelRow(this, btnOK, btnCancel));
}

bool TfmEditComments::Execute(ChartTexts& t) {
  edLeftAxis->setEditText(QString::fromStdString(t.YAxisCaption));
  edBottomAxis->setEditText(QString::fromStdString(t.BottomAxisTitle));
  edTopAxis->setText(QString::fromStdString(t.TopAxisTitle));
  edRightAxis->setText(QString::fromStdString(t.RightAxisTitle));
  MemoTitle->setPlainText(Lines(t.Title));
  MemoFoot->setPlainText(Lines(t.Foot));
  edLeftAngle->setText(QString::number(t.LeftAngle));
  edRightAngle->setText(QString::number(t.RightAngle));
  edTopAngle->setText(QString::number(t.TopAngle));
  edBottomAngle->setText(QString::number(t.BottomAngle));
  RadioGroup1->button(look_.legendRight() ? 1 : 0)->setChecked(true);
  if (exec() != QDialog::Accepted) return false;
  t.YAxisCaption = edLeftAxis->currentText().toStdString();
  t.BottomAxisTitle = edBottomAxis->currentText().toStdString();
  t.TopAxisTitle = edTopAxis->text().toStdString();
  t.RightAxisTitle = edRightAxis->text().toStdString();
  t.Title = Lines(MemoTitle);
  t.Foot = Lines(MemoFoot);
  // The angles are not the user's to type: a text that is no number keeps the angle.
  t.LeftAngle = StrToIntDef(edLeftAngle->text().toStdString(), t.LeftAngle);
  t.RightAngle = StrToIntDef(edRightAngle->text().toStdString(), t.RightAngle);
  t.TopAngle = StrToIntDef(edTopAngle->text().toStdString(), t.TopAngle);
  t.BottomAngle = StrToIntDef(edBottomAngle->text().toStdString(), t.BottomAngle);
  return true;
}

void TfmEditComments::FontButtonClick(ChartElement e) {
  FontD->setCurrentFont(look_.font(e));
  if (FontD->exec() == QDialog::Accepted) look_.setFont(e, FontD->selectedFont());
  look_.repaint();
}

void TfmEditComments::Button1Click() {
  FontD->setCurrentFont(look_.font(ChartElement::Title));
  if (FontD->exec() == QDialog::Accepted) {
    const QFont f = FontD->selectedFont();
    for (ChartElement e : {ChartElement::Title, ChartElement::LeftTitle, ChartElement::LeftLabels,
                           ChartElement::BottomTitle, ChartElement::BottomLabels, ChartElement::Legend,
                           ChartElement::Foot})
      look_.setFont(e, f);
  }
  look_.repaint();
}

}  // namespace rv
