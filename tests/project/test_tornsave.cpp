// A save torn apart: a model file beside a project file it was not saved with, mixed by
// hand or left by a process killed between the two renames; and the leftovers a killed
// save leaves, which the next save of that project removes.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string_view>

#include "project/modelfile.h"
#include "project/projectfile.h"
#include "project_fixture.h"
#include "solver/solverdata.h"

using namespace prjtest;

namespace {

// Set in a child process about to save: the process is killed right after a rename to a
// name holding this text (".bin": the model file renamed into place, before the project
// file follows it).
std::atomic<const char*> KillAfterRenameTo{nullptr};
// Set where the disk takes no hard links.
std::atomic<bool> NoLinks{false};

}  // namespace

// Every rename of this test program passes through here (the real one does the work).
extern "C" int rename(const char* from, const char* to) noexcept {
  using Rename = int (*)(const char*, const char*);
  static const Rename real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
  const int r = real(from, to);
  const char* kill = KillAfterRenameTo;
  if (r == 0 && kill && std::string_view(to).find(kill) != std::string_view::npos) ::raise(SIGKILL);
  return r;
}

// And every link: refused as vfat or exFAT refuse it while NoLinks is set.
extern "C" int link(const char* from, const char* to) noexcept {
  using Link = int (*)(const char*, const char*);
  static const Link real = reinterpret_cast<Link>(dlsym(RTLD_NEXT, "link"));
  if (NoLinks) {
    errno = EPERM;
    return -1;
  }
  return real(from, to);
}

namespace {

struct Project {
  ProjectData p;
  std::unique_ptr<SolverData> d = std::make_unique<SolverData>();
  // A 10 x 10 x 10 model with a block of material `m` (the grid is the same for every
  // project here, so only the cells tell them apart).
  explicit Project(uint8_t m) {
    p.Main.spX = p.Main.spY = p.Main.spZ = 10;
    SetGridSize(*d, 10, 10, 10);
    d->Space.allocate(11, 11, 11);
    d->UndoSpace.allocate(11, 11, 11);
    for (int k = 2; k <= 6; ++k)
      for (int j = m; j <= 8; ++j)
        for (int i = 3; i <= 9; ++i) d->Space(i, j, k) = m;
  }
};

std::vector<std::string> Files(const TempDir& t) {
  std::vector<std::string> v;
  for (const auto& e : fs::directory_iterator(t.dir)) v.push_back(e.path().filename().string());
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

TEST(TornSave, AMixedPairAsksAndAKeylessProjectLoadsAsBefore) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt", bin = tmp / "p.bin";
  Project a(1), b(2);
  std::string err;
  ASSERT_TRUE(SaveProject(tmp / "b.fdt", b.p, *b.d, err)) << err;
  ASSERT_TRUE(SaveProject(fdt, a.p, *a.d, err)) << err;
  const std::string stampA = Keys(fdt).at({"Version", "ModelFile"});
  fs::copy_file(tmp / "b.bin", bin, fs::copy_options::overwrite_existing);  // the new model, the old project

  Project open(3);
  std::vector<std::string> asked;
  auto no = [&](const std::string& q) { asked.push_back(q); return false; };
  EXPECT_EQ(LoadProject(fdt, open.p, *open.d, {}, no).Status, ProjectLoadStatus::Refused);
  ASSERT_EQ(asked.size(), 1u);
  const std::string stampB = Keys(tmp / "b.fdt").at({"Version", "ModelFile"});
  const std::string sizeB = stampB.substr(0, stampB.find(' ')), sizeA = stampA.substr(0, stampA.find(' '));
  EXPECT_EQ(asked[0].rfind("Файл модели " + bin + " не тот, с которым сохранен проект: в нем " + sizeB +
                               " байт, контрольная сумма " + stampB.substr(sizeB.size() + 1) +
                               ", а проект сохранен с файлом в " + sizeA + " байт, контрольная сумма " +
                               stampA.substr(sizeA.size() + 1) + " (так бывает, когда сохранение прервано).\n"
                               "Ячеек сетки будет прочитано: 1000 из 1000.\n",
                           0), 0u) << asked[0];
  EXPECT_EQ(open.d->Space(3, 3, 2), 3);
  // A model file damaged in itself says what its damage is, not that it is another file.
  const std::string newer = ReadBytes(tmp / "b.bin");
  WriteBytes(bin, newer.substr(0, newer.size() - 3));
  asked.clear();
  EXPECT_EQ(LoadProject(fdt, open.p, *open.d, {}, no).Status, ProjectLoadStatus::Refused);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].rfind("Файл модели " + bin + " обрывается на середине", 0), 0u) << asked[0];
  fs::copy_file(tmp / "b.bin", bin, fs::copy_options::overwrite_existing);

  // The same pair without the key and the first line, as earlier versions saved it: no
  // question.
  IniFile ini;
  ASSERT_TRUE(ini.load(fdt));
  ini.deleteKey("Version", "ModelFile");
  ASSERT_TRUE(ini.save());
  const std::string marked = ReadBytes(fdt);
  ASSERT_EQ(marked.rfind(std::string(ProjectFileOrderMark) + "\r\n", 0), 0u);
  WriteBytes(fdt, marked.substr(marked.find('\n') + 1));
  const ProjectLoadResult r = LoadProject(fdt, open.p, *open.d, {}, no);
  EXPECT_EQ(std::tuple(r.Status, r.ModelComplete, asked.size(), open.d->Space(3, 2, 2), open.d->Space(3, 1, 2)),
            std::tuple(ProjectLoadStatus::Loaded, true, 1u, 2, 0));
  // A stamp that is there but can't be read is a damaged one, whatever its text: asked,
  // naming the project file.
  ASSERT_TRUE(ini.load(fdt));
  for (const char* bad : {"abc", "", "456 85870D6", "456 85870D641", "456  85870D64", "-1 85870D64", "456 GGGGGGGG",
                          "85870D64", "1e3 85870D64", "456 85870D64 7", "99999999999999999999 85870D64"}) {
    ini.writeString("Version", "ModelFile", bad);
    ASSERT_TRUE(ini.save());
    asked.clear();
    EXPECT_EQ(LoadProject(fdt, open.p, *open.d, {}, no).Status, ProjectLoadStatus::Refused);
    EXPECT_EQ(asked.at(0).rfind("Файл проекта " + fdt + " поврежден: значение ModelFile раздела [Version] «" +
                                std::string(bad) + "» не читается", 0), 0u) << asked[0];
  }
}

TEST(TornSave, AKillBetweenTheRenamesIsToldAndTheNextSaveClearsWhatItLeft) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt", bin = tmp / "p.bin";
  Project a(1), b(2);
  std::string err;
  ASSERT_TRUE(SaveProject(fdt, a.p, *a.d, err)) << err;
  const std::string oldFdt = ReadBytes(fdt), oldBin = ReadBytes(bin);

  b.p.Main.memoProjectNote = {"новое сохранение"};
  EXPECT_EXIT(
      {
        KillAfterRenameTo = ".bin";
        SaveProject(fdt, b.p, *b.d, err);
        std::_Exit(0);
      },
      testing::KilledBySignal(SIGKILL), "");
  // The model was replaced, the project file was not; the old model and the new project
  // file wait beside them under the save's own names.
  ASSERT_EQ(ReadBytes(fdt), oldFdt);
  ASSERT_NE(ReadBytes(bin), oldBin);
  std::vector<std::string> left = Files(tmp);
  ASSERT_EQ(left.size(), 4u);
  EXPECT_EQ(left[1].rfind("p.bin.old", 0), 0u);
  EXPECT_EQ(ReadBytes(tmp / left[1]), oldBin);
  EXPECT_EQ(left[3].rfind("p.fdt.tmp", 0), 0u);

  Project open(3);
  std::vector<std::string> asked;
  EXPECT_EQ(LoadProject(fdt, open.p, *open.d, {}, [&](const std::string& q) {
              asked.push_back(q);
              return false;
            }).Status, ProjectLoadStatus::Refused);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find("не тот, с которым сохранен проект"), std::string::npos) << asked[0];

  // Names like the save's own that are not its leftovers stay: another project's, no
  // number, a number no process id is written as, and one of a process that still runs.
  const std::vector<std::string> others = {
      "p.bin.old", "p.fdt.tmp12_x", "p.fdt.tmp0123_1", "q.fdt.tmp99999999_1", "p.fdt.tmp99999999_1.txt",
      "p.bin.old" + std::to_string(::getpid()) + "_7"};
  for (const std::string& f : others) WriteBytes(tmp / f, "x");
  // The next save of the project removes what the killed one left, and nothing else, but
  // the old model file: the project file in place was saved with it.
  ASSERT_TRUE(SaveProject(fdt, a.p, *a.d, err)) << err;
  std::vector<std::string> expected = others;
  expected.insert(expected.end(), {"p.bin", "p.fdt", left[1]});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Files(tmp), expected);
  asked.clear();
  EXPECT_EQ(LoadProject(fdt, open.p, *open.d, {}, [&](const std::string&) { return false; }).Status,
            ProjectLoadStatus::Loaded);
  EXPECT_EQ(std::tuple(open.d->Space(3, 1, 2), open.d->Space(3, 2, 2)), std::tuple(1, 1));
}

// Where the disk takes no hard links, the old file is moved aside before the new one comes
// in: killed between the two, the project file is missing and its copy is the only one.
// Loading names the copies, whatever process id their names hold (ids are reused after a
// restart), with the old model file that belongs with the old project file; put back as
// told, the pair loads without a question; no save removes either copy of the pair alone.
TEST(TornSave, WithoutHardLinksAKilledSaveLeavesCopiesThatAreNamedAndKept) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt";
  Project a(1), b(2), open(3);
  std::string err;
  ASSERT_TRUE(SaveProject(fdt, a.p, *a.d, err)) << err;
  EXPECT_EXIT(
      {
        NoLinks = true;
        KillAfterRenameTo = "p.fdt.old";
        SaveProject(fdt, b.p, *b.d, err);
        std::_Exit(0);
      },
      testing::KilledBySignal(SIGKILL), "");
  std::vector<std::string> left = Files(tmp);  // p.bin, p.bin.old…, p.fdt.old…, p.fdt.tmp…
  ASSERT_EQ(left.size(), 4u);
  for (size_t i = 1; i < 4; ++i) {  // as a process that runs now would have named them
    const std::string was = std::exchange(left[i], left[i].substr(0, 9) + std::to_string(::getpid()) +
                                                       left[i].substr(left[i].find('_')));
    fs::rename(tmp / was, tmp / left[i]);
  }
  const ProjectLoadResult r = LoadProject(fdt, open.p, *open.d);
  ASSERT_EQ(std::tuple(r.Status, r.Msgs.size(), open.d->Space(3, 3, 2)), std::tuple(ProjectLoadStatus::Refused, 1u, 3));
  EXPECT_EQ(r.Msgs[0], "Проект " + fdt + " не загружен: файла нет, а рядом лежат файлы, оставленные прерванным "
                       "сохранением: " + left[2] + " — прежний p.fdt (с ним — " + left[1] + ", прежний p.bin), " +
                       left[3] + " — новый, который это сохранение записывало; чтобы вернуть файл, переименуйте "
                       "нужный в p.fdt; прежний p.fdt возвращайте вместе с " + left[1] +
                       ": его переименуйте в p.bin.");
  const std::string savedFdt = ReadBytes(tmp / left[2]);
  // A save while the project file is missing keeps every copy.
  ASSERT_TRUE(SaveProject(fdt, open.p, *open.d, err)) << err;
  EXPECT_EQ(Files(tmp), (std::vector<std::string>{"p.bin", left[1], "p.fdt", left[2], left[3]}));
  // The old project file put back alone: the next save keeps the old model file (and,
  // with both files there, the temporary of a process that runs: it may be saving).
  fs::rename(tmp / left[2], fdt);
  ASSERT_TRUE(SaveProject(fdt, open.p, *open.d, err)) << err;
  EXPECT_EQ(Files(tmp), (std::vector<std::string>{"p.bin", left[1], "p.fdt", left[3]}));
  // Both put back as the message says: the old pair loads without a question.
  WriteBytes(fdt, savedFdt);
  fs::rename(tmp / left[1], tmp / "p.bin");
  const ProjectLoadResult back = LoadProject(fdt, open.p, *open.d, {}, [](const std::string&) { return false; });
  EXPECT_EQ(std::tuple(back.Status, open.d->Space(3, 1, 2)), std::tuple(ProjectLoadStatus::Loaded, 1));
  // A model file gone the same way is named in its question.
  fs::rename(tmp / "p.bin", tmp / "p.bin.old99999999_0");
  std::string asked;
  LoadProject(fdt, open.p, *open.d, {}, [&](const std::string& q) { asked = q; return false; });
  EXPECT_NE(asked.find("не найден; рядом лежит файл, оставленный прерванным сохранением: p.bin.old99999999_0 — "
                       "прежний p.bin; чтобы вернуть файл, переименуйте его в p.bin.\n"), std::string::npos) << asked;
}
