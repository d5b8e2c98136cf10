#include "project/ui/ProjectIO.h"

#include <QFileDialog>

#include <filesystem>

#include "platform/filedialog.h"
#include "platform/prompter.h"
#include "project/appsettings.h"
#include "project/gridsettings.h"
#include "project/ui/TfmInputSource.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"

namespace rv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::optional<std::string> RunDialog(QFileDialog& dlg, const std::string& dir,
                                     const std::string& file) {
  dlg.setNameFilter("*.fdt");
  dlg.setDefaultSuffix("fdt");
  if (!dir.empty()) dlg.setDirectory(Q(dir));
  if (!file.empty()) dlg.selectFile(Q(FileNamePart(file)));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  return dlg.selectedFiles().front().toStdString();
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// ProjectReady is 0 exactly while the files are read, however the reading ends.
class NotReady {
public:
  explicit NotReady(uint8_t& f) : f_(f) { f_ = 0; }
  ~NotReady() { f_ = 1; }

private:
  uint8_t& f_;
};

}  // namespace

std::optional<std::string> QtProjectFileDialogs::SaveProjectName(const ProjectDialogState& s) {
  QFileDialog dlg(parent_, QString::fromUtf8("Сохранить проект"));
  platform::PrepareFileDialog(dlg);
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setOption(QFileDialog::DontConfirmOverwrite);
  return RunDialog(dlg, s.SaveDir, s.SaveFileName);
}

std::optional<std::string> QtProjectFileDialogs::OpenProjectName(const ProjectDialogState& s) {
  QFileDialog dlg(parent_, QString::fromUtf8("Открыть проект"));
  platform::PrepareFileDialog(dlg);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  dlg.setFileMode(QFileDialog::ExistingFile);
  return RunDialog(dlg, s.OpenDir, s.OpenFileName);
}

ProjectIO::ProjectIO(ProjectHost& host, Prompter& prompter, ProjectFileDialogs& dialogs)
    : host_(host), prompter_(prompter), dialogs_(dialogs) {}

ProjectData ProjectIO::gather() {
  ProjectData p;
  p.Main = host_.GetMainSettings();
  TfmInputSource* sw = host_.SignalWindow();
  p.Signal = sw ? sw->GetSettings() : signal_;
  p.Outputs = host_.Outputs();
  p.Lamped = host_.Lamped();
  p.Vizual = host_.GetVizual();
  p.Editor = host_.GetEditorState();
  return p;
}

bool ProjectIO::btnSaveResClick() {
  SolverData& d = host_.Data();
  if (d.CalcRunning) return false;
  if (!ResizeSpace(d)) {
    prompter_.message("Не хватает памяти для модели: проект не сохранён.");
    return false;
  }
  ProjectDialogState& dlg = host_.Dialogs();
  const std::optional<std::string> chosen = dialogs_.SaveProjectName(dlg);
  if (!chosen || chosen->empty()) return false;
  const std::string F = *chosen;
  dlg.OpenDir = dlg.SaveDir = FolderOf(F);
  dlg.SaveFileName = F;
  if (FileExists(F) &&
      prompter_.question("Файл " + F + "\nуже есть. Заменить?", PromptButton::Ok | PromptButton::Cancel) !=
          PromptButton::Ok)
    return false;

  std::string err;
  if (!SaveProject(F, gather(), d, err)) {
    // Nothing claims the project is stored: it stays modified under its old name.
    prompter_.message(err);
    return false;
  }
  ProjectSaved = 1;
  host_.ProjectFileName() = F;
  SetResultPaths(d, F);
  host_.AddToHistory(F);
  host_.SetCaption(CaptionFor(F));
  d.Modified = 0;
  return true;
}

bool ProjectIO::AskSaveFirst() {
  if (!host_.Data().Modified) return true;
  const PromptButton a = prompter_.question(
      "На всякий случай сохраним проект?", PromptButton::Yes | PromptButton::No | PromptButton::Cancel);
  if (a == PromptButton::Cancel) return false;
  if (a == PromptButton::No) return true;
  // Yes: going on without the save the user asked for would lose the edits.
  return btnSaveResClick();
}

ProjectFileHandlers ProjectIO::Handlers() {
  ProjectFileHandlers h;
  h.Save = [this] { return btnSaveResClick(); };
  h.AskSaveFirst = [this] { return AskSaveFirst(); };
  h.Load = [this] { Button2Click(true); };
  h.LoadByName = [this](const std::string& name) { LoadProjectByName(name); };
  h.Caption = [this](const std::string& name) { return CaptionFor(name); };
  return h;
}

std::string ProjectIO::CaptionFor(const std::string& fileName) const {
  return ApplicationTitle + " - " + FileNamePart(fileName);
}

void ProjectIO::Button2Click(bool withSender) {
  if (host_.Data().CalcRunning) return;
  if (withSender) {
    const std::optional<std::string> chosen = dialogs_.OpenProjectName(host_.Dialogs());
    if (!chosen || chosen->empty()) return;
    if (!AskSaveFirst()) return;
    load(*chosen, host_.ProjectFileName());
    return;
  }
  LoadProjectByName(host_.ProjectFileName());
}

void ProjectIO::LoadProjectByName(const std::string& name) {
  if (host_.Data().CalcRunning) return;
  std::string& current = host_.ProjectFileName();
  const std::string previous = current;
  current = name;
  // A save in between names the project in memory; the named project is still the one
  // to load.
  if (!AskSaveFirst()) {
    if (current == name) current = previous;
    return;
  }
  const std::string fallback = current == name ? previous : current;
  if (name.empty()) {
    current = fallback;
    return;
  }
  load(name, fallback);
}

void ProjectIO::load(const std::string& F, const std::string& fallback) {
  ProjectDialogState& dlg = host_.Dialogs();
  SolverData& d = host_.Data();

  ProjectData p = gather();
  ProjectLoadResult r;
  const std::string caption = host_.Caption();
  {
    NotReady busy(host_.ProjectReady());
    r = LoadProject(
        F, p, d,
        [this](int percent) { host_.SetCaption("Загрузка объекта: " + std::to_string(percent) + " %"); },
        [&](const std::string& question) {
          // The open project stays until the answer: so does its caption, not the reading's.
          if (!caption.empty()) host_.SetCaption(caption);
          return prompter_.question(question, PromptButton::Yes | PromptButton::No) == PromptButton::Yes;
        });
  }
  if (r.Status != ProjectLoadStatus::Loaded) {
    // Refused or not found (a missing file is named only when a killed save left copies of
    // it): the project in memory is the one before, under its own name and caption.
    host_.ProjectFileName() = fallback;
    if (!caption.empty()) host_.SetCaption(caption);
    ShowMessages(prompter_, r.Msgs);
    return;
  }

  host_.ProjectFileName() = F;
  dlg.OpenFileName = F;
  dlg.OpenDir = dlg.SaveDir = FolderOf(F);
  dlg.SaveFileName = FileNamePart(F);
  host_.AddToHistory(F);
  SetResultPaths(d, F);
  ShowMessages(prompter_, r.Msgs);

  host_.SetMainSettings(p.Main);
  host_.Outputs() = p.Outputs;
  host_.Lamped() = p.Lamped;
  host_.TablesLoaded();
  host_.SetVizual(p.Vizual);
  host_.SetEditorState(p.Editor);
  host_.EditorFormActivate();
  // A signal file that can't be read is reported by the window and left unloaded; the
  // rest of the project stays loaded.
  if (TfmInputSource* sw = host_.SignalWindow())
    sw->ApplyProjectSettings(p.Signal);
  signal_ = p.Signal;

  host_.SetCaption(CaptionFor(F));
  host_.ProjectLoaded();
  // What the load changed against the files is told where it stays readable.
  if (!r.ModelNote.empty()) host_.AddToJournal(r.ModelNote);
  const std::string stepNote = StoredTimeStepNote(p.Main);
  if (!stepNote.empty()) host_.AddToJournal(stepNote);
  // A model file taken as it is, or a stored step the page replaced, leaves the project
  // different from its files: a save then stores what is in use.
  d.Modified = r.ModelComplete && stepNote.empty() ? 0 : 1;
}

}  // namespace rv
