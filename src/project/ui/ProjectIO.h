// The project commands of the main window: "Сохранить проект" (btnSaveResClick) and
// "Загрузить проект" (Button2Click), with their dialogs, questions, captions and flags.
// The main window implements ProjectHost and calls these; the files themselves are the
// core's (project/projectfile.h).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "project/mainsettings.h"
#include "project/projectfile.h"
#include "project/tables.h"

class QWidget;

namespace rv {

struct SolverData;
class Prompter;
class TfmInputSource;

// The two file dialogs' state: the file each holds and the folder each opens in.
struct ProjectDialogState {
  std::string OpenFileName, OpenDir;  // "Открыть проект"
  std::string SaveFileName, SaveDir;  // "Сохранить проект"
};

// Asks for a project file name; empty when the user cancels.
class ProjectFileDialogs {
public:
  virtual ~ProjectFileDialogs() = default;
  virtual std::optional<std::string> SaveProjectName(const ProjectDialogState& s) = 0;
  virtual std::optional<std::string> OpenProjectName(const ProjectDialogState& s) = 0;
};

// Qt's file dialogs ("*.fdt", default extension "fdt"); the replace question is the
// command's own, so the save dialog asks none.
class QtProjectFileDialogs : public ProjectFileDialogs {
public:
  explicit QtProjectFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  std::optional<std::string> SaveProjectName(const ProjectDialogState& s) override;
  std::optional<std::string> OpenProjectName(const ProjectDialogState& s) override;

private:
  QWidget* parent_;
};

// What the commands need of the main window and of the windows it reaches.
class ProjectHost {
public:
  virtual ~ProjectHost() = default;
  virtual SolverData& Data() = 0;
  // The main window's settings, from and into its controls (setting them marks nothing
  // modified).
  virtual MainSettings GetMainSettings() = 0;
  virtual void SetMainSettings(const MainSettings& s) = 0;
  virtual OutPointTables& Outputs() = 0;
  virtual LampedTables& Lamped() = 0;
  // The table windows show their tables again.
  virtual void TablesLoaded() {}
  // The editor's section planes (their maximum follows the grid), camera and material
  // count; setting them also stops the editor's delayed redraw.
  virtual EditorState GetEditorState() = 0;
  virtual void SetEditorState(const EditorState& s) = 0;
  // The editor takes up the new model: re-sizes its copies, limits its section planes,
  // rebuilds its element arrays and material list, recomputes the object bounds.
  virtual void EditorFormActivate() {}
  // The live field view's settings (kept here until that window exists).
  virtual VizualSettings GetVizual() { return vizual_; }
  virtual void SetVizual(const VizualSettings& v) { vizual_ = v; }
  // The signal window; null when there is none (its settings are then kept here).
  virtual TfmInputSource* SignalWindow() = 0;
  virtual std::string& ProjectFileName() = 0;
  virtual uint8_t& ProjectReady() = 0;
  virtual ProjectDialogState& Dialogs() = 0;
  virtual void AddToHistory(const std::string& fileName) = 0;
  // The window's caption, shown at once (the load's progress goes through it).
  virtual void SetCaption(const std::string& text) = 0;
  // After a load: ComboBox1Change, cbFarDiagramClick, spXChange without marking the
  // project modified, the pending messages, TabSheet2Show.
  virtual void ProjectLoaded() {}

protected:
  VizualSettings vizual_;
};

class ProjectIO {
public:
  ProjectIO(ProjectHost& host, Prompter& prompter, ProjectFileDialogs& dialogs);

  // "Сохранить проект": asks for the name (and whether to replace an existing file), writes
  // the project file and the model file. True, with ProjectSaved set and Modified cleared,
  // only when both files were written.
  bool btnSaveResClick();
  // "Загрузить проект": with a sender, the open dialog chooses the file; without, the file
  // named by ProjectFileName is loaded (history, command line, shell).
  void Button2Click(bool withSender);
  // A load by name for the history, the command line and the shell: the name becomes
  // ProjectFileName and is loaded; if the load does not happen, ProjectFileName goes back.
  void LoadProjectByName(const std::string& name);
  // "На всякий случай сохраним проект?" while the project is modified. False when the
  // command asking must stop: Cancel, or Yes and then the save did not happen.
  bool AskSaveFirst();

  uint8_t ProjectSaved = 0;                 // a save went through
  std::string ApplicationTitle = "Ravelin";

private:
  void load(const std::string& name, const std::string& fallback);
  ProjectData gather();

  ProjectHost& host_;
  Prompter& prompter_;
  ProjectFileDialogs& dialogs_;
  SignalPageSettings signal_;  // used when there is no signal window
};

}  // namespace rv
