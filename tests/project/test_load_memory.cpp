// Every load of the project's files meets a failed allocation at each step in turn: it
// must say "Не хватает памяти", change nothing, and never let std::bad_alloc escape.
#include <gtest/gtest.h>

#include "common/alloc_fail.h"
#include "project/appsettings.h"
#include "project/projectfile.h"
#include "project/signalsettings.h"
#include "project/signalsource.h"
#include "project_fixture.h"
#include "solver/codepage.h"
#include "solver/solverdata.h"

using namespace prjtest;

namespace {

bool SaysNoMemory(const Messages& m) {
  for (const std::string& s : m)
    if (s.find("е хватает памяти") != std::string::npos) return true;
  return false;
}

}  // namespace

TEST(LoadOutOfMemory, EveryStepOfEveryLoadFailsCleanly) {
  TempDir dir;
  const std::string project = dir / "p.fdt", signal = dir / "s.txt", settings = dir / "a.ini";
  {
    ProjectData p;
    p.Main.spX = p.Main.spY = p.Main.spZ = 4;
    p.Main.memoProjectNote = {"заметка"};
    for (int r = 0; r < 3; ++r) AddRow(p.Outputs.sgOutPoint, {"E", "X", "2", "2", "2", "f"});
    auto d = std::make_unique<SolverData>();
    SetGridSize(*d, 4, 4, 4);
    ASSERT_TRUE(ResizeSpace(*d));
    d->Layers[1].Name = "медь";
    std::string err;
    ASSERT_TRUE(SaveProject(project, p, *d, err)) << err;
    WriteBytes(signal, "1 0.5\r\n2 0.25\r\n\r\n3 0\r\n");
    WriteBytes(settings, "[Ini]\r\nLastProjectFileName=/x.fdt\r\n");
  }

  ProjectData p;
  p.Main.memoProjectNote = {"прежний"};
  auto d = std::make_unique<SolverData>();
  SetGridSize(*d, 5, 5, 5);
  ProjectLoadResult r;
  rvtest::FailEachAllocation("project", [&] { r = LoadProject(project, p, *d); }, [&](bool failed) {
    if (!failed) {
      EXPECT_EQ(r.Status, ProjectLoadStatus::Loaded);
      EXPECT_EQ(p.Main.memoProjectNote, std::vector<std::string>{"заметка"});
      return;
    }
    EXPECT_EQ(r.Status, ProjectLoadStatus::Refused);
    EXPECT_TRUE(SaysNoMemory(r.Msgs));
    EXPECT_EQ(p.Main.memoProjectNote, std::vector<std::string>{"прежний"});
    EXPECT_EQ(p.Outputs.sgOutPoint.RowCount(), 1);
    EXPECT_EQ(d->Nx, 5);
    EXPECT_EQ(d->Layers[1].Name, tLayer{}.Name);
  });

  SignalFileResult f;
  rvtest::FailEachAllocation("signal file", [&] { f = LoadSignalFile(signal, UnitSec); }, [&](bool failed) {
    EXPECT_EQ(f.Status, failed ? SignalFileStatus::NoMemory : SignalFileStatus::Ok);
    if (failed) {
      EXPECT_TRUE(SaysNoMemory({f.Message}));
    } else {
      EXPECT_EQ(f.Table->Times.size(), 4u);
    }
  });

  OutPointTables t;
  ModifiedFlag mod{0};
  Messages msgs;
  rvtest::FailEachAllocation("tables", [&] { msgs.clear(); LoadOutPointSettings(t, project, mod, msgs); }, [&](bool failed) {
    EXPECT_EQ(t.sgOutPoint.RowCount(), failed ? 1 : 4);
    EXPECT_EQ(SaysNoMemory(msgs), failed);
  });

  SignalPageSettings s;
  s.Edit("edFileName") = "прежний";
  const SignalPageSettings before = s;
  rvtest::FailEachAllocation("signal settings", [&] { msgs.clear(); LoadSignalSettings(project, s, msgs); }, [&](bool failed) {
    if (failed) {
      EXPECT_TRUE(SaysNoMemory(msgs));
      EXPECT_EQ(s.Edits, before.Edits);
    }
  });

  AppSettings a;
  std::string err;
  bool ok = false;
  rvtest::FailEachAllocation(
      "settings", [&] { err.clear(); ok = ReadAppSettings(settings, "/home/", a, err); },
      [&](bool failed) {
        EXPECT_EQ(ok, !failed);
        EXPECT_EQ(SaysNoMemory({err}), failed);
        EXPECT_EQ(a.LastProjectFileName, failed ? "" : "/x.fdt");
      });
}
