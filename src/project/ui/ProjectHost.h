// What the project commands ("Сохранить проект", "Загрузить проект") need of the main
// window, and the commands as the main window calls them. The main window implements the
// host; the commands (ProjectIO) are handed to it as plain functions, so neither includes
// the other.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "project/mainsettings.h"
#include "project/projectfile.h"
#include "project/tables.h"

namespace rv {

struct SolverData;
class TfmInputSource;

// The two file dialogs' state: the file each holds and the folder each opens in.
struct ProjectDialogState {
  std::string OpenFileName, OpenDir;  // "Открыть проект"
  std::string SaveFileName, SaveDir;  // "Сохранить проект"
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
  virtual std::string Caption() { return {}; }
  // A line for the journal of the window, shown in its status line too.
  virtual void AddToJournal(const std::string& line) { (void)line; }
  // After a load: ComboBox1Change, cbFarDiagramClick, spXChange without marking the
  // project modified, the pending messages, TabSheet2Show.
  virtual void ProjectLoaded() {}

protected:
  VizualSettings vizual_;
};

// The project file commands, once they exist (ProjectIO::Handlers gives them all). An
// empty one leaves its command unavailable.
struct ProjectFileHandlers {
  std::function<bool()> Save;         // "Сохранить проект": true when the project was saved
  std::function<bool()> AskSaveFirst; // the save question; false: the command stops
  std::function<void()> Load;         // "Загрузить проект" through the open dialog
  std::function<void(const std::string&)> LoadByName;  // history, command line
  std::function<std::string(const std::string&)> Caption;  // the window's caption for a project file
};

}  // namespace rv
