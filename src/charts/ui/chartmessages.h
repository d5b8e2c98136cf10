// Message boxes of the chart viewer: real dialogs with Russian buttons, or a scripted
// stand-in in tests (a modal box would stop an unattended test).
#pragma once
#include <QString>

class QWidget;

namespace rv {

class ChartMessages {
public:
  virtual ~ChartMessages() = default;
  virtual void Error(QWidget* parent, const QString& text);
  virtual void Info(QWidget* parent, const QString& text);
  // "Да" / "Нет"; true for "Да".
  virtual bool YesNo(QWidget* parent, const QString& text);
};

}  // namespace rv
