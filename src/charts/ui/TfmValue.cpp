#include "charts/ui/TfmValue.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

TfmValue::TfmValue(const std::string& historyPath, QWidget* parent)
    : QDialog(parent), historyPath_(historyPath) {
  setObjectName("fmValue");
  Label1 = new QLabel("Величина:", this);
  edValue = new QComboBox(this);
  edValue->setObjectName("edValue");
  edValue->setEditable(true);
  edValue->setInsertPolicy(QComboBox::NoInsert);
  edValue->setCompleter(nullptr);
  edValue->setMinimumWidth(200);
  btnCancel = new QPushButton("Отмена", this);
  btnCancel->setObjectName("btnCancel");
  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  auto* row = new QHBoxLayout;
  row->addWidget(Label1);
  row->addWidget(edValue, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnOK);
  auto* lay = new QVBoxLayout(this);
  lay->addLayout(row);
  lay->addLayout(buttons);

  history_.Load(historyPath_);
  for (const std::string& s : history_.Items()) edValue->addItem(QString::fromStdString(s));
  edValue->setEditText(QString::fromStdString(history_.FirstOrZero()));

  edValue->lineEdit()->installEventFilter(this);
  connect(btnOK, &QPushButton::clicked, this, [this] {
    edValueExit();
    accept();
  });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfmValue::~TfmValue() {
  std::string err;
  history_.Save(historyPath_, err);  // a history that cannot be kept is no reason to complain
}

bool TfmValue::Execute(const QString& caption) {
  setWindowTitle(caption);
  edValue->lineEdit()->selectAll();
  edValue->setFocus();
  return exec() == QDialog::Accepted;
}

QString TfmValue::Text() const { return edValue->currentText(); }

bool TfmValue::Value(double& v) const { return ParseValueText(Text().toStdString(), v); }

void TfmValue::edValueExit() {
  const QString text = edValue->currentText();
  if (history_.Add(text.toStdString())) {
    edValue->insertItem(0, text.trimmed());
    edValue->setEditText(text);
  }
}

bool TfmValue::eventFilter(QObject* o, QEvent* e) {
  if (o == edValue->lineEdit()) {
    if (e->type() == QEvent::FocusOut) edValueExit();
    if (e->type() == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(e);
      const QString t = k->text();
      // Editing keys, shortcuts and Enter keep their usual meaning.
      if (t.isEmpty() || (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) ||
          k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter || k->key() == Qt::Key_Escape ||
          k->key() == Qt::Key_Backspace || k->key() == Qt::Key_Delete || k->key() == Qt::Key_Tab)
        return false;
      const QChar c = t.at(0);
      const char key = c.unicode() < 128 ? char(c.unicode()) : 0;
      const char f = key ? FilterValueKey(edValue->lineEdit()->text().toStdString(), key) : 0;
      if (f == 0) return true;
      if (f != key) {
        edValue->lineEdit()->insert(QString(QChar(f)));
        return true;
      }
    }
  }
  return QDialog::eventFilter(o, e);
}

}  // namespace rv
