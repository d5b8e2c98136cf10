// The main window: project settings, run control and the journal of runs.
#pragma once
#include <QMainWindow>

namespace rv {
struct SolverData;

class TfmNew3dMain : public QMainWindow {
  Q_OBJECT
public:
  explicit TfmNew3dMain(SolverData& data, QWidget* parent = nullptr);
  static QString DefaultCaption();

private:
  SolverData& d_;
};

}  // namespace rv
