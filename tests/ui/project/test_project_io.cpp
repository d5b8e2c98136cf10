// The save and load commands over a stand-in main window: dialogs, questions, flags,
// captions, the save question before a load, and loads that must not half-happen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include "project/appsettings.h"
#include "solver/codepage.h"
#include "ui_fixture.h"

using namespace rv;
using rvtest::ReadFile;
using rvtest::WriteFile;
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
  std::string Caption() override { return caption; }
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

// Boxes as scripted, remembering the caption the window shows at each question.
struct CaptionPrompter : ScriptedPrompter {
  explicit CaptionPrompter(const FakeHost& h) : host(h) {}
  PromptButton question(const std::string& text, PromptButtons buttons) override {
    captions.push_back(host.caption);
    return ScriptedPrompter::question(text, buttons);
  }
  const FakeHost& host;
  std::vector<std::string> captions;
};

struct Rig {
  FakeHost host;
  CaptionPrompter prompter{host};
  ScriptedDialogs dialogs;
  ProjectIO io{host, prompter, dialogs};
};

// A project that differs from a new window in every part the commands carry.
void MakeProject(FakeHost& h) {
  h.main.spX = 10; h.main.spY = 11; h.main.spZ = 12;
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

// The project above saved as F through the save command.
void SaveProjectTo(const std::string& F) {
  Rig s;
  MakeProject(s.host);
  s.dialogs.save.push_back(F);
  ASSERT_TRUE(s.io.btnSaveResClick());
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
  const FakeHost& h = a.host;
  EXPECT_EQ(std::tuple(a.io.ProjectSaved, h.d->Modified.load(), h.fileName, h.caption, h.history[0], h.d->ProjectName),
            std::tuple(1, 0, dir + "p.fdt", "Ravelin - p.fdt", dir + "p.fdt", "p"));
  // A new file: no replace question.
  EXPECT_EQ(std::tuple(h.dlg.SaveDir, fs::exists(dir + "p.bin"), a.prompter.questions.empty()), std::tuple(dir, true, true));

  Rig b;
  b.host.d->Modified = 0;
  b.io.LoadProjectByName(dir + "p.fdt");
  FakeHost& g = b.host;
  EXPECT_TRUE(b.prompter.messages.empty() && g.prompter.messages.empty());
  EXPECT_EQ(std::tuple(g.fileName, g.caption, g.history[0], g.dlg.SaveFileName, g.d->ResultDir),
            std::tuple(dir + "p.fdt", "Ravelin - p.fdt", dir + "p.fdt", "p.fdt", dir + "Results - p/"));
  EXPECT_TRUE(g.main == h.main && g.editor == h.editor && g.GetVizual() == a.host.GetVizual());
  EXPECT_EQ(std::tuple(g.lamped.sgSourses.Cells(3, 1), g.d->Layers[2].Name), std::tuple("50", "Медь"));
  ASSERT_EQ(g.d->Space.len3(), 13);
  EXPECT_EQ(g.d->Space(10, 11, 12), 2);
  // The window shows the signal and the solver's signal follows.
  EXPECT_EQ(std::tuple(g.sw.cbExpression->currentIndex(), g.sw.edits.at("edGaussWidth")->text(),
                       g.source.Get().Params.GaussWidth), std::tuple(SigGauss, "2e-9", 2e-9));
  EXPECT_EQ(std::tuple(g.d->Modified.load(), g.ready, g.readyDuringProgress, g.tablesLoaded, g.editorActivated, g.loaded),
            std::tuple(0, 1, 0, 1, 1, 1));
  ASSERT_FALSE(g.progress.empty());
  EXPECT_EQ(g.progress.back(), "Загрузка объекта: 100 %");
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
  WriteFile(F, "[Keep]\r\nx=1\r\n");
  r.dialogs.save.push_back(F);
  r.prompter.answers.push_back(PromptButton::Cancel);
  EXPECT_FALSE(r.io.btnSaveResClick());
  EXPECT_EQ(r.prompter.questions, std::vector<std::string>{"Файл " + F + "\nуже есть. Заменить?"});
  // Not saved, still modified.
  auto unsaved = [&] { return std::tuple(r.io.ProjectSaved, r.host.d->Modified.load()) == std::tuple(0, 1); };
  EXPECT_TRUE(unsaved());
  EXPECT_EQ(ReadFile(F), "[Keep]\r\nx=1\r\n");

  // A file that can't be written: the message, no "saved", still modified, same name.
  r.dialogs.save.push_back(dir + "no such folder/p.fdt");
  EXPECT_FALSE(r.io.btnSaveResClick());
  ASSERT_EQ(r.prompter.messages.size(), 1u);
  EXPECT_NE(r.prompter.messages[0].find("no such folder"), std::string::npos);
  EXPECT_TRUE(unsaved());
  EXPECT_EQ(std::tuple(r.host.fileName, r.host.history[0]), std::tuple(dir + "mine.fdt", ""));

  // The model file can't be written (its name is taken by a folder): not saved either.
  fs::create_directories(dir + "q.bin/inside");
  r.dialogs.save.push_back(dir + "q.fdt");
  EXPECT_FALSE(r.io.btnSaveResClick());
  EXPECT_EQ(r.prompter.messages.size(), 2u);
  EXPECT_TRUE(unsaved());

  // OK replaces; keys of the earlier file stay.
  r.dialogs.save.push_back(F);
  r.prompter.answers.push_back(PromptButton::Ok);
  EXPECT_TRUE(r.io.btnSaveResClick() && r.io.ProjectSaved == 1);
  EXPECT_NE(ReadFile(F).find("[Keep]"), std::string::npos);
}

TEST(ProjectCommands, TheSaveQuestionBeforeALoad) {
  const std::string dir = Dir("question");
  SaveProjectTo(dir + "p.fdt");  // a project on disk to load
  Rig r;
  r.host.fileName = dir + "current.fdt";
  r.host.main.spX = 33;
  r.host.d->Modified = 1;

  // Open dialog, Yes, then the save dialog cancelled: the load is abandoned.
  r.dialogs.open.push_back(dir + "p.fdt");
  r.prompter.answers.push_back(PromptButton::Yes);
  r.io.Button2Click(true);
  EXPECT_EQ(r.prompter.questions.back(), "На всякий случай сохраним проект?");
  // The project in the window: its size, its name, modified.
  auto current = [&] { return std::tuple(r.host.main.spX, r.host.fileName, r.host.d->Modified.load()); };
  EXPECT_EQ(r.dialogs.saveAsked, 1);
  EXPECT_EQ(current(), std::tuple(33, dir + "current.fdt", 1));
  // Cancel at the question: abandoned too.
  r.dialogs.open.push_back(dir + "p.fdt");
  r.prompter.answers.push_back(PromptButton::Cancel);
  r.io.Button2Click(true);
  EXPECT_EQ(current(), std::tuple(33, dir + "current.fdt", 1));
  // By name the same, and the name goes back.
  r.prompter.answers.push_back(PromptButton::Cancel);
  r.io.LoadProjectByName(dir + "p.fdt");
  EXPECT_EQ(current(), std::tuple(33, dir + "current.fdt", 1));

  // By name, Yes, saved under another name: the named project is still the one loaded.
  r.prompter.answers.push_back(PromptButton::Yes);
  r.dialogs.save.push_back(dir + "other.fdt");
  r.io.LoadProjectByName(dir + "p.fdt");
  EXPECT_TRUE(fs::exists(dir + "other.fdt"));
  EXPECT_EQ(current(), std::tuple(10, dir + "p.fdt", 0));

  // Not modified: no question; No goes on without saving.
  const size_t asked = r.prompter.questions.size();
  r.host.main.spX = 44;
  r.dialogs.open.push_back(dir + "p.fdt");
  r.io.Button2Click(true);
  EXPECT_EQ(std::tuple(r.prompter.questions.size(), r.host.main.spX), std::tuple(asked, 10));
  r.host.d->Modified = 1;
  r.prompter.answers.push_back(PromptButton::No);
  r.dialogs.open.push_back(dir + "other.fdt");
  r.io.Button2Click(true);
  EXPECT_EQ(r.host.fileName, dir + "other.fdt");
  // A file that is gone: nothing happens, not even a message.
  r.host.d->Modified = 0;
  const MainSettings main = r.host.main;
  r.io.LoadProjectByName(dir + "gone.fdt");
  EXPECT_EQ(std::tuple(r.host.fileName, r.prompter.messages.empty()), std::tuple(dir + "other.fdt", true));
  // Gone, with the copy a killed save left beside it: the message names the copy.
  WriteFile(dir + "gone.fdt.old99999999_0", "x");
  r.io.LoadProjectByName(dir + "gone.fdt");
  EXPECT_EQ(std::tuple(r.prompter.messages.size(), r.host.fileName, r.host.main == main), std::tuple(1u, dir + "other.fdt", true));
  EXPECT_NE(rvtest::Joined(r.prompter.messages).find("gone.fdt.old99999999_0 — прежний gone.fdt"), std::string::npos);
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
  EXPECT_EQ(std::tuple(r.host.fileName, r.host.caption, r.host.main.spX, r.host.d->Space(1, 1, 1), r.host.ready, r.host.loaded),
            std::tuple(dir + "current.fdt", "Расчет электромагнитных полей методом FDTD", 33, 5, 1, 0));
  // Bytes of some other file chosen in the open dialog: not a project, and not remembered.
  std::string noise(2048, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 2654435761u) >> 13);
  WriteFile(dir + "noise.fdt", noise);
  r.dialogs.open = {dir + "noise.fdt"};
  r.io.Button2Click(true);
  EXPECT_EQ(std::tuple(r.prompter.messages.size(), r.host.fileName, r.host.history[0], r.host.main.spX, r.host.loaded),
            std::tuple(2u, dir + "current.fdt", "", 33, 0));

  // A signal file with a bad line: reported, unloaded, and the rest of the project loads.
  WriteFile(dir + "sig.srg", "1 1\r\n2 x\r\n");
  ASSERT_TRUE(WriteTextLines(dir + "s.fdt",
                             {"[Signal]", "cbExpression=8", "edFileName=" + dir + "sig.srg",
                              "[Version]", "FileFormat=6", "[Geometry]", "NX=5", "NY=5", "NZ=5"},
                             err));
  WriteFile(dir + "s.bin", std::string("\x01\0\0\0\x7d\0\0\0", 8));
  r.io.LoadProjectByName(dir + "s.fdt");
  ASSERT_FALSE(r.host.prompter.messages.empty());
  EXPECT_EQ(r.host.prompter.messages.back(), "Файл входного сигнала не читается из-за ошибки в строке 2");
  EXPECT_EQ(std::tuple(r.host.sw.FileLoaded(), r.host.sw.cbExpression->currentIndex()), std::tuple(false, SigFromFile));
  EXPECT_EQ(std::tuple(r.host.fileName, r.host.caption, r.host.main.spX, r.host.d->Space(5, 5, 5), r.host.d->Modified.load(),
                       r.host.loaded), std::tuple(dir + "s.fdt", "Ravelin - s.fdt", 5, 1, 0, 1));

  // No model file: asked; «Да» loads the project empty and leaves it modified.
  fs::remove(dir + "s.bin");
  r.prompter.answers.push_back(PromptButton::Yes);
  r.io.LoadProjectByName(dir + "s.fdt");
  ASSERT_FALSE(r.prompter.questions.empty());
  EXPECT_EQ(r.prompter.questions.back(), "Файл модели " + dir + "s.bin не найден.\nЯчеек сетки будет прочитано: 0 из "
                                         "125; останутся пустыми: 125.\nЗагрузить проект с пустой моделью?\n«Нет» — "
                                         "проект не загружается, открытый остается как был.");
  EXPECT_EQ(std::tuple(r.prompter.messages.size(), r.host.d->Space(5, 5, 5), r.host.d->Modified.load()),
            std::tuple(2u, 0, 1));
}

// A modified project is open and the one asked for has a model file that is missing or
// damaged in the middle, or a project file cut short: the save question answered «Нет»,
// then the question about the damaged file «Нет», and the open project stays exactly as it
// was: cells, grid, name, caption, settings, history and Modified.
TEST(ProjectCommands, NoToTheModelQuestionKeepsTheOpenProject) {
  const std::string dir = Dir("modelquestion");
  SaveProjectTo(dir + "p.fdt");
  const std::string good = ReadFile(dir + "p.bin");
  Rig r;
  MakeProject(r.host);
  r.host.fileName = dir + "current.fdt";
  r.host.caption = "Ravelin - current.fdt";
  r.host.main.spX = 33;
  r.host.d->Space(10, 11, 12) = 7;
  const MainSettings main = r.host.main;
  const std::string fdt = ReadFile(dir + "p.fdt");
  const std::string damaged[] = {"", good.substr(0, good.size() - 3), good.substr(0, 4) + std::string(4, '\0') + good.substr(8), good};
  for (const std::string& bytes : damaged) {
    fs::remove(dir + "p.bin");
    if (!bytes.empty()) WriteFile(dir + "p.bin", bytes);
    // With the model file whole, the project file is cut short: the same question, about it.
    WriteFile(dir + "p.fdt", bytes == good ? fdt.substr(0, fdt.size() * 2 / 3) : fdt);
    r.prompter.questions.clear();
    r.prompter.captions.clear();
    r.prompter.answers = {PromptButton::No, PromptButton::No};
    r.io.LoadProjectByName(dir + "p.fdt");
    ASSERT_EQ(r.prompter.questions.size(), 2u);
    const std::string damagedFile = bytes == good ? "Файл проекта " + dir + "p.fdt поврежден: " : "Файл модели " + dir + "p.bin ";
    EXPECT_EQ(r.prompter.questions[1].rfind(damagedFile, 0), 0u) << r.prompter.questions[1];
    // While asked, the window still names the open project, not the reading.
    EXPECT_EQ(r.prompter.captions, std::vector<std::string>(2, "Ravelin - current.fdt"));
    const FakeHost& h = r.host;
    EXPECT_TRUE(h.main == main);
    EXPECT_EQ(std::tuple(h.fileName, h.caption, h.history[0], h.d->Modified.load(), h.d->Nx, h.d->Space(10, 11, 12),
                         h.loaded, h.ready, r.prompter.messages.size()),
              std::tuple(dir + "current.fdt", "Ravelin - current.fdt", "", 1, 10, 7, 0, 1, 0u));
  }
  // A value damaged inside the project file: the same question names it, «Нет» keeps all.
  WriteFile(dir + "p.bin", good);
  WriteFile(dir + "p.fdt", std::string(fdt).insert(fdt.find("StepCount=") + 10, "?"));
  r.prompter.answers = {PromptButton::No, PromptButton::No};
  r.io.LoadProjectByName(dir + "p.fdt");
  EXPECT_NE(r.prompter.questions.back().find("p.fdt поврежден: [Geometry] StepCount = \"?"), std::string::npos);
  EXPECT_EQ(std::tuple(r.host.main == main, r.host.fileName, r.host.d->Space(10, 11, 12)),
            std::tuple(true, dir + "current.fdt", 7));
}
