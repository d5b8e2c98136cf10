// Helpers shared by the main-window and project-command tests: scratch folders, the event
// loop, scripted dialogs and the main window wired as the program wires it.
#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "charts/ui/TfmChart.h"
#include "platform/prompter.h"
#include "project/signalsource.h"
#include "common/scratch.h"
#include "project/ui/ProjectIO.h"
#include "project/ui/TfmInputSource.h"
#include "project/ui/TfmNew3dMain.h"
#include "solver/solverdata.h"

namespace rvtest {

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}
inline void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Serves the run's hand-offs as the program's event loop does, without the fixed sleeps of
// QTest::qWaitFor (each step of a run waits for one of them).
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  QTimer tick;
  tick.start(2);
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// File dialogs that answer from queues (nullopt: the user cancelled) and count the asks.
class ScriptedDialogs : public rv::ProjectFileDialogs {
public:
  std::optional<std::string> SaveProjectName(const rv::ProjectDialogState&) override {
    ++saveAsked;
    return next(save);
  }
  std::optional<std::string> OpenProjectName(const rv::ProjectDialogState&) override {
    ++openAsked;
    return next(open);
  }
  std::deque<std::optional<std::string>> save, open;
  int saveAsked = 0, openAsked = 0;

private:
  static std::optional<std::string> next(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
  }
};

using namespace rv;

inline std::string Joined(const std::vector<std::string>& texts) {
  std::string s;
  for (const auto& t : texts) s.append(s.empty() ? "" : " | ").append(t);
  return s;
}

// A chart window whose files stay in the test's folder and whose boxes are scripted.
inline rv::TfmChart::Options ChartOptions(const std::string& dir, rv::Prompter& prompter) {
  rv::TfmChart::Options o;
  o.settingsPath = dir + "chart.INI";
  o.valueHistoryPath = dir + "TmpVal.txt";
  o.defaultDir = dir;
  o.prompter = &prompter;
  return o;
}

// The main window wired as the program wires it, with scripted boxes and dialogs.
struct Program {
  explicit Program(rv::TfmChart* chart = nullptr) : sw(signal, prompter) {
    w.SetPrompter(&prompter);
    MainWindowLinks links;
    links.signal = &signal;
    links.fmInputSource = &sw;
    links.fmChart = chart;
    w.SetLinks(links);
    w.SetProjectFileHandlers(io.Handlers());
  }
  ~Program() {
    // No save question while the windows go.
    d.Modified = 0;
  }
  SolverData d;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  SignalSource signal;
  TfmInputSource sw;
  TfmNew3dMain w{d};
  ProjectIO io{w, prompter, dialogs};
};

inline std::string Caption(const QWidget& w) { return w.windowTitle().toStdString(); }

// Appends a row to a table and fills its first cells.
inline void Row(StringGrid& g, ModifiedFlag& m, std::initializer_list<const char*> cells) {
  AddGridRow(g, m);
  int c = 0;
  for (const char* t : cells) g.SetCell(c++, g.RowCount() - 1, t);
}

// A new project of n nodes per axis driven by the voltage sources only.
inline void SourcesOnlyProject(TfmNew3dMain& w, int n) {
  w.mnNewProjectClick();
  for (QSpinBox* s : {w.spX, w.spY, w.spZ}) s->setValue(n);
  QTest::mouseClick(w.rgSources->findChild<QRadioButton*>("rgSources2"), Qt::LeftButton);
}

}  // namespace rvtest
