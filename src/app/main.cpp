// The program: one shared data object, the windows, and the message loop.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLocale>

#include <clocale>
#include <memory>

#include "charts/ui/TfmChart.h"
#include "charts/ui/TfmFileAssoc.h"
#include "editor/ui/TfmCalculate.h"
#include "editor/ui/TfmLayers.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/desktop.h"
#include "platform/fileassoc.h"
#include "platform/help.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "platform/shellchannel.h"
#include "project/signalsource.h"
#include "project/versiontext.h"
#include "project/tables.h"
#include "project/ui/EditorLinks.h"
#include "project/ui/ProjectIO.h"
#include "project/ui/TfmInputSource.h"
#include "project/ui/TfmLamped.h"
#include "project/ui/TfmNew3dMain.h"
#include "project/ui/TfmOutPoint.h"
#include "project/ui/TfmStart.h"
#include "project/ui/TfmAbout.h"
#include "project/ui/TfmVisual.h"
#include "project/ui/TfmWaveLenCalc.h"
#include "solver/solverdata.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Numbers are read and written with "." whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
  QApplication::setApplicationName("Ravelin");
  // A start naming a file while the program already runs hands the file to it and ends.
  rv::platform::ShellChannel channel;
  if (!channel.BecomePrimary() && app.arguments().size() > 1) {
    const std::string path = QFileInfo(app.arguments().at(1)).absoluteFilePath().toStdString();
    if (rv::platform::ShellChannel::Send(rv::platform::DefaultChannelDir(),
                                         rv::platform::TopicForFile(path),
                                         rv::platform::OpenMacro(path)))
      return 0;
  }
  // The splash stays up at least this long from here, however fast the windows come up.
  const uint32_t t0 = rv::platform::GetTickCount();
  constexpr uint32_t kSplashMs = 1500;
  // Qt's own dialogs and menus speak the program's language; windows open on screen,
  // dialogs over their window; every window shows the program's icon.
  rv::platform::InstallQtTranslations(app);
  rv::platform::KeepWindowsOnScreen(app);
  rv::platform::InstallProgramIcon(app);

  // The shared state every window works on, created once.
  auto data = std::make_unique<rv::SolverData>();
  auto outputs = std::make_unique<rv::OutPointTables>();
  auto lamped = std::make_unique<rv::LampedTables>();
  auto signal = std::make_unique<rv::SignalSource>();

  // The chart window outlives the main window: a run winding down may still report to it.
  // It opens a curve file named on the command line itself (not a project: that is the
  // main window's, at its first activation).
  std::unique_ptr<rv::TfmChart> chart;
  std::unique_ptr<rv::TfmOpenGL> editor;
  // The live view outlives the main window too: a run winding down hands it its last frames.
  auto fmVisual = std::make_unique<rv::TfmVisual>(*data);
  fmVisual->setAttribute(Qt::WA_QuitOnClose, false);
  // The main window first: it is the program's main window and closing it ends the program.
  // The project file type is the desktop's at every start.
  const rv::platform::DesktopPaths desktopPaths = rv::platform::DesktopPaths::FromEnvironment();
  const std::string exe = QCoreApplication::applicationFilePath().toStdString();
  rv::platform::RegisterProjectFileType(desktopPaths, exe);
  rv::TfmNew3dMain mainWindow(*data);
  rv::QtPrompter prompter(&mainWindow);
  auto* fmWaveLenCalc = new rv::TfmWaveLenCalc(&mainWindow);
  // The splash, painted at once so that it is seen while the other windows are created.
  const rv::VersionLabels version = rv::MakeVersionLabels(rv::platform::VersionString());
  rv::TfmStart fmStart(version);
  fmStart.show();
  fmStart.repaint();
  app.processEvents(QEventLoop::ExcludeUserInputEvents);
  chart = std::make_unique<rv::TfmChart>(rv::TfmChart::DefaultOptions(app.arguments().mid(1)));
  chart->setAttribute(Qt::WA_QuitOnClose, false);
  chart->setShowMainWindow([&mainWindow] {
    mainWindow.show();
    mainWindow.raise();
    mainWindow.activateWindow();
  });
  auto* fmLamped = new rv::TfmLamped(*data, *lamped, prompter, &mainWindow);
  auto* fmOutPoint = new rv::TfmOutPoint(*data, *outputs, prompter, &mainWindow);
  auto* fmInputSource = new rv::TfmInputSource(*signal, prompter, &mainWindow);
  // The editor: its own top-level window, its dialogs on it.
  editor = std::make_unique<rv::TfmOpenGL>(*data, prompter);
  editor->setAttribute(Qt::WA_QuitOnClose, false);
  auto* fmCalculate = new rv::TfmCalculate(prompter, editor.get());
  auto* fmLayers = new rv::TfmLayers(*editor, prompter, fmCalculate, editor.get());
  editor->SetLayersWindow(fmLayers);

  auto* fmFileAssoc = new rv::TfmFileAssoc(desktopPaths, exe, chart.get());
  QObject::connect(chart->N38, &QAction::triggered, fmFileAssoc, &QDialog::exec);
  chart->N38->setEnabled(true);
  auto* fmAbout = new rv::TfmAbout(version, &mainWindow);
  rv::platform::ProgramHelp help;

  rv::MainWindowLinks links;
  links.fmAbout = fmAbout;
  links.fmWaveLenCalc = fmWaveLenCalc;
  links.help = &help;
  links.versionText = version.versionText;
  links.outputs = outputs.get();
  links.lamped = lamped.get();
  links.signal = signal.get();
  links.fmLamped = fmLamped;
  links.fmOutPoint = fmOutPoint;
  links.fmChart = chart.get();
  links.fmInputSource = fmInputSource;
  links.fmOpenGL = editor.get();
  links.fmLayers = fmLayers;
  links.fmVisual = fmVisual.get();
  links.refreshTables = [fmLamped, fmOutPoint] {
    fmLamped->RefreshFromTables();
    fmOutPoint->RefreshFromTables();
  };
  mainWindow.SetLinks(links);
  rv::LinkEditorToMain(mainWindow, *editor, *fmLayers, *fmCalculate);

  // "Сохранить проект", "Загрузить проект", the history and the command line.
  rv::QtProjectFileDialogs projectDialogs(&mainWindow);
  rv::ProjectIO projectIO(mainWindow, prompter, projectDialogs);
  projectIO.ApplicationTitle = "Ravelin";
  mainWindow.SetProjectFileHandlers(projectIO.Handlers());
  mainWindow.SetCommandLine(app.arguments().mid(1));
  data->Modified = 0;

  channel.SetHandler(rv::platform::kTopicProject, [&mainWindow](const std::string& line) {
    mainWindow.ddeFdtdExecuteMacro(line);
  });
  channel.SetHandler(rv::platform::kTopicChart, [&chart](const std::string& line) {
    // A file that cannot be read gives the loader's message; the window shows all the same.
    chart->LoadGraphFile(QString::fromStdString(rv::platform::MacroFileName(line)));
    chart->show();
    chart->raise();
    chart->activateWindow();
  });

  rv::platform::WaitSinceTick(t0, kSplashMs);
  fmStart.close();
  mainWindow.show();
  return app.exec();
}
