// The program: one shared data object, the windows, and the message loop.
#include <QApplication>
#include <QLocale>

#include <clocale>
#include <memory>

#include "project/ui/TfmNew3dMain.h"
#include "solver/solverdata.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Numbers are read and written with "." whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
  QApplication::setApplicationName("Ravelin");

  auto data = std::make_unique<rv::SolverData>();
  rv::TfmNew3dMain mainWindow(*data);
  mainWindow.show();
  return app.exec();
}
