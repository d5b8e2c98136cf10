// The save and load commands over a stand-in main window: dialogs, questions, flags,
// captions, the save question before a load, and loads that must not half-happen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/prompter.h"
#include "project/appsettings.h"
#include "project/ui/ProjectIO.h"
#include "project/ui/TfmInputSource.h"
#include "solver/codepage.h"
#include "solver/solverdata.h"

#include "ui_fixture.h"

using namespace rv;
using rvtest::ReadFile;
using rvtest::ScriptedDialogs;
using rvtest::WaitFor;
namespace fs = std::filesystem;

namespace {

std::string Dir(const std::string& name) { return rvtest::FreshDir("rv_project_io_test", name); }

// The main window as the commands see it.
class FakeHost : public ProjectHost {
public:
  FakeHost() : sw(source, prompter) {
    SetGridSize(*d, main.spX, main.spY, main.spZ);
    ResizeSpace(*d);
    sw.SetModifiedFlag(&d->Modified);
  }
  SolverData& Data() override { return *d; }
  MainSettings GetMainSettings() override { return main; }
  void SetMainSettings(const MainSettings& s) override { main = s; }
  OutPointTables& Outputs() override { return out; }
  LampedTables& Lamped() override { return lamped; }
  void TablesLoaded() override { ++tablesLoaded; }
  EditorState GetEditorState() override { return editor; }
  void SetEditorState(const EditorState& s) override { editor = s; }
  void EditorFormActivate() override { ++editorActivated; }
  TfmInputSource* SignalWindow() override { return &sw; }
  std::string& ProjectFileName() override { return fileName; }
  uint8_t& ProjectReady() override { return ready; }
  ProjectDialogState& Dialogs() override { return dlg; }
  void AddToHistory(const std::string& f) override { rv::AddToHistory(history, f); }
  void SetCaption(const std::string& t) override {
    caption = t;
    if (t.rfind("Загрузка объекта: ", 0) == 0) {
      progress.push_back(t);
      readyDuringProgress = ready;
    }
  }
  void ProjectLoaded() override { ++loaded; }

  std::unique_ptr<SolverData> d = std::make_unique<SolverData>();
  MainSettings main;
  OutPointTables out;
  LampedTables lamped;
  EditorState editor;
  SignalSource source;
  ScriptedPrompter prompter;  // the signal window's messages
  TfmInputSource sw;
  std::string fileName, caption = "Расчет электромагнитных полей методом FDTD";
  uint8_t ready = 1, readyDuringProgress = 1;
  ProjectDialogState dlg;
  ProjectHistory history;
  std::vector<std::string> progress;
  int tablesLoaded = 0, editorActivated = 0, loaded = 0;
};

struct Rig {
  FakeHost host;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  ProjectIO io{host, prompter, dialogs};
};

// A project that differs from a new window in every part the commands carry.
void MakeProject(FakeHost& h) {
  h.main.spX = 10;
  h.main.spY = 11;
  h.main.spZ = 12;
  h.main.edX = "0.001";
  h.main.ComboBox = {0, 1, 2, 3, 4, 5};
  h.main.memoProjectNote = {"Заметка"};
  SetGridSize(*h.d, 10, 11, 12);
  ResizeSpace(*h.d);
  h.d->Space(10, 11, 12) = 2;
  h.d->Layers[2].Name = "Медь";
  h.editor.LayerCount = 2;
  h.editor.EyeX = 7.5f;
  AddGridRow(h.lamped.sgSourses, h.d->Modified);
  h.lamped.sgSourses.SetCell(3, 1, "50");
  h.sw.cbExpression->setCurrentIndex(SigGauss);
  h.sw.edits.at("edGaussWidth")->setText("2e-9");
  h.SetVizual(VizualSettings{3, 4, 5, 6, true, 2, 1, -1, true, true, false, true});
  h.d->Modified = 1;
}

}  // namespace

TEST(ProjectCommands, SaveThenLoadBringsBackEveryWindow) {
  const std::string dir = Dir("roundtrip");
  Rig a;
  MakeProject(a.host);
  a.host.fileName = dir + "old.fdt";
  a.io.ProjectSaved = 0;
  a.dialogs.save.push_back(dir + "p.fdt");
  ASSERT_TRUE(a.io.btnSaveResClick());
  EXPECT_EQ(a.io.ProjectSaved, 1);
  EXPECT_EQ(a.host.d->Modified, 0);
  EXPECT_EQ(a.host.fileName, dir + "p.fdt");
  EXPECT_EQ(a.host.caption, "Ravelin - p.fdt");
  EXPECT_EQ(a.host.history[0], dir + "p.fdt");
  EXPECT_EQ(a.host.d->ProjectName, "p");
  EXPECT_EQ(a.host.dlg.SaveDir, dir);
  EXPECT_TRUE(fs::exists(dir + "p.bin"));
  EXPECT_TRUE(a.prompter.questions.empty());  // a new file: no replace question

  Rig b;
  b.host.d->Modified = 0;
  b.io.LoadProjectByName(dir + "p.fdt");
  EXPECT_TRUE(b.prompter.messages.empty());
  EXPECT_TRUE(b.host.prompter.messages.empty());
  EXPECT_EQ(b.host.fileName, dir + "p.fdt");
  EXPECT_EQ(b.host.caption, "Ravelin - p.fdt");
  EXPECT_EQ(b.host.main.spY, 11);
  EXPECT_EQ(b.host.main.edX, "0.001");
  EXPECT_EQ(b.host.main.ComboBox, a.host.main.ComboBox);
  EXPECT_EQ(b.host.main.memoProjectNote, a.host.main.memoProjectNote);
  EXPECT_EQ(b.host.lamped.sgSourses.Cells(3, 1), "50");
  EXPECT_EQ(b.host.editor.LayerCount, 2);
  EXPECT_EQ(b.host.editor.EyeX, 7.5f);
  EXPECT_EQ(b.host.GetVizual().imageRGroup, 6);
  EXPECT_EQ(b.host.d->Layers[2].Name, "Медь");
  ASSERT_EQ(b.host.d->Space.len3(), 13);
  EXPECT_EQ(b.host.d->Space(10, 11, 12), 2);
  EXPECT_EQ(b.host.sw.cbExpression->currentIndex(), SigGauss);
  EXPECT_EQ(b.host.sw.edits.at("edGaussWidth")->text(), "2e-9");
  EXPECT_EQ(b.host.source.Get().Params.GaussWidth, 2e-9);  // the solver's signal follows
  EXPECT_EQ(b.host.d->Modified, 0);
  EXPECT_EQ(b.host.ready, 1);
  EXPECT_EQ(b.host.readyDuringProgress, 0);
  ASSERT_FALSE(b.host.progress.empty());
  EXPECT_EQ(b.host.progress.back(), "Загрузка объекта: " + std::to_string(13 * 100 / 13) + " %");
  EXPECT_EQ(b.host.tablesLoaded, 1);
  EXPECT_EQ(b.host.editorActivated, 1);
  EXPECT_EQ(b.host.loaded, 1);
  EXPECT_EQ(b.host.history[0], dir + "p.fdt");
  EXPECT_EQ(b.host.dlg.SaveFileName, "p.fdt");
  EXPECT_EQ(b.host.d->ResultDir, dir + "Results - p/");
}

TEST(ProjectCommands, SaveStopsAtEveryNoAndAFailedWriteSaysSo) {
  const std::string dir = Dir("save");
  Rig r;
  MakeProject(r.host);
  r.host.fileName = dir + "mine.fdt";
  // Cancel in the dialog: nothing asked, nothing written.
  EXPECT_FALSE(r.io.btnSaveResClick());
  EXPECT_EQ(r.dialogs.saveAsked, 1);

  // An existing file and anything but OK at the replace question: the file stays.
  const std::string F = dir + "p.fdt";
  { std::ofstream(F) << "[Keep]\r\nx=1\r\n"; }
  r.dialogs.save.push_back(F);
  r.prompter.answers.push_back(PromptButton::Cancel);
  EXPECT_FALSE(r.io.btnSaveResClick());
  ASSERT_EQ(r.prompter.questions.size(), 1u);
  EXPECT_EQ(r.prompter.questions[0], "Файл " + F + "\nуже есть. Заменить?");
  EXPECT_EQ(ReadFile(F), "[Keep]\r\nx=1\r\n");
  EXPECT_EQ(r.io.ProjectSaved, 0);
  EXPECT_EQ(r.host.d->Modified, 1);

  // A file that can't be written: the message, no "saved", still modified, same name.
  r.dialogs.save.push_back(dir + "no such folder/p.fdt");
  EXPECT_FALSE(r.io.btnSaveResClick());
  ASSERT_EQ(r.prompter.messages.size(), 1u);
  EXPECT_NE(r.prompter.messages[0].find("no such folder"), std::string::npos);
  EXPECT_EQ(r.io.ProjectSaved, 0);
  EXPECT_EQ(r.host.d->Modified, 1);
  EXPECT_EQ(r.host.fileName, dir + "mine.fdt");
  EXPECT_TRUE(r.host.history[0].empty());

  // The model file can't be written (its name is taken by a folder): not saved either.
  fs::create_directories(dir + "q.bin/inside");
  r.dialogs.save.push_back(dir + "q.fdt");
  EXPECT_FALSE(r.io.btnSaveResClick());
  EXPECT_EQ(r.prompter.messages.size(), 2u);
  EXPECT_EQ(r.io.ProjectSaved, 0);
  EXPECT_EQ(r.host.d->Modified, 1);

  // OK replaces; keys of the earlier file stay.
  r.dialogs.save.push_back(F);
  r.prompter.answers.push_back(PromptButton::Ok);
  EXPECT_TRUE(r.io.btnSaveResClick());
  EXPECT_EQ(r.io.ProjectSaved, 1);
  EXPECT_NE(ReadFile(F).find("[Keep]"), std::string::npos);
}

TEST(ProjectCommands, TheSaveQuestionBeforeALoad) {
  const std::string dir = Dir("question");
  // A project on disk to load.
  {
    Rig s;
    MakeProject(s.host);
    s.dialogs.save.push_back(dir + "p.fdt");
    ASSERT_TRUE(s.io.btnSaveResClick());
  }
  Rig r;
  r.host.fileName = dir + "current.fdt";
  r.host.main.spX = 33;
  r.host.d->Modified = 1;

  // Open dialog, Yes, then the save dialog cancelled: the load is abandoned.
  r.dialogs.open.push_back(dir + "p.fdt");
  r.prompter.answers.push_back(PromptButton::Yes);
  r.io.Button2Click(true);
  EXPECT_EQ(r.prompter.questions.back(), "На всякий случай сохраним проект?");
  EXPECT_EQ(r.dialogs.saveAsked, 1);
  EXPECT_EQ(r.host.main.spX, 33);
  EXPECT_EQ(r.host.fileName, dir + "current.fdt");
  EXPECT_EQ(r.host.d->Modified, 1);
  // Cancel at the question: abandoned too.
  r.dialogs.open.push_back(dir + "p.fdt");
  r.prompter.answers.push_back(PromptButton::Cancel);
  r.io.Button2Click(true);
  EXPECT_EQ(r.host.main.spX, 33);
  // By name the same, and the name goes back.
  r.prompter.answers.push_back(PromptButton::Cancel);
  r.io.LoadProjectByName(dir + "p.fdt");
  EXPECT_EQ(r.host.main.spX, 33);
  EXPECT_EQ(r.host.fileName, dir + "current.fdt");

  // By name, Yes, saved under another name: the named project is still the one loaded.
  r.prompter.answers.push_back(PromptButton::Yes);
  r.dialogs.save.push_back(dir + "other.fdt");
  r.io.LoadProjectByName(dir + "p.fdt");
  EXPECT_TRUE(fs::exists(dir + "other.fdt"));
  EXPECT_EQ(r.host.main.spX, 10);
  EXPECT_EQ(r.host.fileName, dir + "p.fdt");
  EXPECT_EQ(r.host.d->Modified, 0);

  // Not modified: no question; No goes on without saving.
  const size_t asked = r.prompter.questions.size();
  r.host.main.spX = 44;
  r.dialogs.open.push_back(dir + "p.fdt");
  r.io.Button2Click(true);
  EXPECT_EQ(r.prompter.questions.size(), asked);
  EXPECT_EQ(r.host.main.spX, 10);
  r.host.d->Modified = 1;
  r.prompter.answers.push_back(PromptButton::No);
  r.dialogs.open.push_back(dir + "other.fdt");
  r.io.Button2Click(true);
  EXPECT_EQ(r.host.fileName, dir + "other.fdt");
  // A file that is gone: nothing happens, not even a message.
  r.io.LoadProjectByName(dir + "gone.fdt");
  EXPECT_EQ(r.host.fileName, dir + "other.fdt");
  EXPECT_TRUE(r.prompter.messages.empty());
}

TEST(ProjectCommands, DamagedFilesNeverLeaveHalfAProject) {
  const std::string dir = Dir("damaged");
  Rig r;
  r.host.fileName = dir + "current.fdt";
  r.host.main.spX = 33;
  r.host.d->Space(1, 1, 1) = 5;

  // Refused: a message, and the project in memory keeps its name, caption and data.
  std::string err;
  ASSERT_TRUE(WriteTextLines(dir + "tiny.fdt", {"[Geometry]", "NX=2", "NY=10", "NZ=10"}, err));
  r.io.LoadProjectByName(dir + "tiny.fdt");
  ASSERT_EQ(r.prompter.messages.size(), 1u);
  EXPECT_NE(r.prompter.messages[0].find("NX=2"), std::string::npos);
  EXPECT_EQ(r.host.fileName, dir + "current.fdt");
  EXPECT_EQ(r.host.caption, "Расчет электромагнитных полей методом FDTD");
  EXPECT_EQ(r.host.main.spX, 33);
  EXPECT_EQ(r.host.d->Space(1, 1, 1), 5);
  EXPECT_EQ(r.host.ready, 1);
  EXPECT_EQ(r.host.loaded, 0);

  // A signal file with a bad line: reported, unloaded, and the rest of the project loads.
  { std::ofstream(dir + "sig.srg") << "1 1\r\n2 x\r\n"; }
  ASSERT_TRUE(WriteTextLines(dir + "s.fdt",
                             {"[Signal]", "cbExpression=8", "edFileName=" + dir + "sig.srg",
                              "[Version]", "FileFormat=6", "[Geometry]", "NX=5", "NY=5", "NZ=5"},
                             err));
  { std::ofstream(dir + "s.bin", std::ios::binary).write("\x01\0\0\0\x7d\0\0\0", 8); }
  r.io.LoadProjectByName(dir + "s.fdt");
  ASSERT_FALSE(r.host.prompter.messages.empty());
  EXPECT_EQ(r.host.prompter.messages.back(), "Файл входного сигнала не читается из-за ошибки в строке 2");
  EXPECT_FALSE(r.host.sw.FileLoaded());
  EXPECT_EQ(r.host.sw.cbExpression->currentIndex(), SigFromFile);
  EXPECT_EQ(r.host.fileName, dir + "s.fdt");
  EXPECT_EQ(r.host.caption, "Ravelin - s.fdt");
  EXPECT_EQ(r.host.main.spX, 5);
  EXPECT_EQ(r.host.d->Space(5, 5, 5), 1);
  EXPECT_EQ(r.host.d->Modified, 0);
  EXPECT_EQ(r.host.loaded, 1);

  // No model file: the project loads empty, says so and stays modified.
  fs::remove(dir + "s.bin");
  r.io.LoadProjectByName(dir + "s.fdt");
  EXPECT_EQ(r.prompter.messages.size(), 2u);
  EXPECT_EQ(r.host.d->Space(5, 5, 5), 0);
  EXPECT_EQ(r.host.d->Modified, 1);
}
