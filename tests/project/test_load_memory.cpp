// Every load of the project's files meets a failed allocation at each step in turn: it
// must say "Не хватает памяти", change nothing, and never let std::bad_alloc escape.
#include <gtest/gtest.h>

#include <algorithm>

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
  return std::any_of(m.begin(), m.end(), [](const std::string& s) { return s.find("е хватает памяти") != s.npos; });
}

}  // namespace

TEST(LoadOutOfMemory, EveryStepOfEveryLoadFailsCleanly) {
  RVTEST_NEEDS_ALLOC_FAIL();
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
    EXPECT_EQ(std::tuple(r.Status, SaysNoMemory(r.Msgs), p.Main.memoProjectNote, p.Outputs.sgOutPoint.RowCount(), d->Nx,
                         d->Layers[1].Name),
              std::tuple(ProjectLoadStatus::Refused, true, std::vector<std::string>{"прежний"}, 1, 5, tLayer{}.Name));
  });

  SignalFileResult f;
  rvtest::FailEachAllocation("signal file", [&] { f = LoadSignalFile(signal, UnitSec); }, [&](bool failed) {
    EXPECT_EQ(std::tuple(f.Status, SaysNoMemory({f.Message})),
              std::tuple(failed ? SignalFileStatus::NoMemory : SignalFileStatus::Ok, failed));
    if (!failed) {
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
      EXPECT_TRUE(SaysNoMemory(msgs) && s.Edits == before.Edits);
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
