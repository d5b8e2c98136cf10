#include "project/ui/TfmNew3dMain.h"

#include "solver/solverdata.h"

namespace rv {

QString TfmNew3dMain::DefaultCaption() {
  return QString::fromUtf8("Расчет электромагнитных полей методом FDTD");
}

TfmNew3dMain::TfmNew3dMain(SolverData& data, QWidget* parent) : QMainWindow(parent), d_(data) {
  setObjectName("fmNew3dMain");
  setWindowTitle(DefaultCaption());
  resize(900, 640);
}

}  // namespace rv
