// The project commands of the main window: "Сохранить проект" (btnSaveResClick) and
// "Загрузить проект" (Button2Click), with their dialogs, questions, captions and flags.
// The main window implements ProjectHost and calls these; the files themselves are the
// core's (project/projectfile.h).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "project/ui/ProjectHost.h"

class QWidget;

namespace rv {

class Prompter;

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
  // The commands as the main window's menu, close question, history and command line call
  // them.
  ProjectFileHandlers Handlers();
  // "Ravelin - name.fdt": the caption of the window holding the project `fileName`.
  std::string CaptionFor(const std::string& fileName) const;

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
