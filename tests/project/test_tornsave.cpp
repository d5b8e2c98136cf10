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
#include <sys/wait.h>
#include <unistd.h>

#include "project/modelfile.h"
#include "project/projectfile.h"
#include "project_fixture.h"
#include "solver/solverdata.h"

using namespace prjtest;

namespace {

// Set in a child process about to save: the process is killed right before its n-th file
// operation (a link, a rename or a removal), counted from 1.
std::atomic<int> KillBeforeOp{0};
std::atomic<int> Ops{0};
// Set where the disk takes no hard links.
std::atomic<bool> NoLinks{false};

void Step() {
  if (KillBeforeOp > 0 && ++Ops == KillBeforeOp) ::raise(SIGKILL);
}

template <class F>
F Real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// Every rename, link and removal of this test program passes through here (the real one
// does the work).
extern "C" int rename(const char* from, const char* to) noexcept {
  static const auto real = Real<int (*)(const char*, const char*)>("rename");
  Step();
  return real(from, to);
}

// A link is refused as vfat or exFAT refuse it while NoLinks is set.
extern "C" int link(const char* from, const char* to) noexcept {
  static const auto real = Real<int (*)(const char*, const char*)>("link");
  Step();
  if (NoLinks) {
    errno = EPERM;
    return -1;
  }
  return real(from, to);
}

extern "C" int remove(const char* path) noexcept {
  static const auto real = Real<int (*)(const char*)>("remove");
  Step();
  return real(path);
}

extern "C" int unlink(const char* path) noexcept {
  static const auto real = Real<int (*)(const char*)>("unlink");
  Step();
  return real(path);
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

// Saves p in a child process killed before its n-th file operation; true if it got through.
bool SaveKilledAt(int n, bool links, const std::string& fdt, Project& p) {
  const pid_t child = ::fork();
  if (child == 0) {
    NoLinks = !links;
    KillBeforeOp = n;
    std::string err;
    SaveProject(fdt, p.p, *p.d, err);
    std::_Exit(0);
  }
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) || WTERMSIG(status) == SIGKILL);
  return WIFEXITED(status);
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
  // Its model file gone: a copy is named as one that may be it.
  fs::rename(bin, tmp / "p.bin.old99999999_3");
  EXPECT_EQ(LoadProject(fdt, open.p, *open.d, {}, no).Status, ProjectLoadStatus::Refused);
  EXPECT_NE(asked.back().find("сохранением: p.bin.old99999999_3 — прежний p.bin (в имеющемся p.fdt не записано, с каким"),
            std::string::npos) << asked.back();
  fs::rename(tmp / "p.bin.old99999999_3", bin);
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

// A save of project b over project a killed before each of its file operations in turn,
// with hard links and without. Wherever the pair is torn, the message names first the copy
// that fits a file present, and that copy put back gives a pair that loads without a
// question; a copy an earlier torn save left, which fits nothing, comes last. A save while a
// file of the pair is missing removes nothing; the next good save leaves the pair alone.
TEST(TornSave, AKillAtEveryStepIsToldByTheCopyThatFitsAndAGoodSaveClearsTheRest) {
  Project a(1), b(2), c(3), older(4);
  b.p.Main.memoProjectNote = {"новое сохранение"};
  std::string err;
  int tornStates = 0;
  for (const bool links : {true, false}) {
    bool done = false;
    for (int n = 1; !done && n < 40; ++n) {
      SCOPED_TRACE((links ? "links, op " : "no links, op ") + std::to_string(n));
      TempDir tmp;
      const std::string fdt = tmp / "p.fdt", bin = tmp / "p.bin";
      ASSERT_TRUE(SaveProject(tmp / "older.fdt", older.p, *older.d, err)) << err;
      ASSERT_TRUE(SaveProject(tmp / "b.fdt", b.p, *b.d, err)) << err;
      ASSERT_TRUE(SaveProject(fdt, a.p, *a.d, err)) << err;
      const std::string bins[] = {ReadBytes(bin), ReadBytes(tmp / "b.bin")};
      const std::string stamps[] = {Keys(fdt).at({"Version", "ModelFile"}), Keys(tmp / "b.fdt").at({"Version", "ModelFile"})};
      const std::string olderBin = ReadBytes(tmp / "older.bin");
      fs::rename(tmp / "older.bin", tmp / "p.bin.old99999999_0");  // removed by the save
      for (const char* f : {"older.fdt", "b.fdt", "b.bin"}) fs::remove(tmp / f);
      done = SaveKilledAt(n, links, fdt, b);
      // 'a' or 'b' for a model or a project file of that save, '-' missing, '?' cut short.
      auto which = [&](const std::string& f) {
        if (!fs::exists(f)) return '-';
        IniFile ini;
        ini.parse(ReadBytes(f));
        const std::string got = f.find(".bin") != std::string::npos ? ReadBytes(f) : ini.readString("Version", "ModelFile", "");
        const auto& of = f.find(".bin") != std::string::npos ? bins : stamps;
        return got == of[0] ? 'a' : got == of[1] ? 'b' : '?';
      };
      const char F = which(fdt), B = which(bin);
      ASSERT_TRUE(F != '?' && B != '?');
      std::vector<std::string> copies = Files(tmp);
      std::erase_if(copies, [](const std::string& f) { return f == "p.fdt" || f == "p.bin"; });
      if (done) {
        EXPECT_EQ(std::tuple(F, B, copies.size()), std::tuple('b', 'b', 0u));
        break;
      }
      WriteBytes(tmp / "p.bin.old99999999_1", olderBin);  // left by a torn save three saves before

      Project open(5);
      std::string told;
      const auto no = [&](const std::string& q) { return told = q, false; };
      const ProjectLoadResult r = LoadProject(fdt, open.p, *open.d, {}, no);
      if (F == B) {
        EXPECT_EQ(std::tuple(r.Status, told), std::tuple(ProjectLoadStatus::Loaded, "")) << F;
      } else {
        ++tornStates;
        if (told.empty() && !r.Msgs.empty()) told = r.Msgs[0];
        EXPECT_EQ(r.Status, ProjectLoadStatus::Refused);
        const char fit = F != '-' ? F : B;  // the file present, and the copy that fits it
        const std::string side = F != '-' ? "p.bin" : "p.fdt";
        std::string fits;
        for (const std::string& f : copies)
          if (f.rfind(side + ".", 0) == 0 && which(tmp / f) == fit) fits = f;
        ASSERT_FALSE(fits.empty()) << F << B;
        const size_t first = told.find("прерванным сохранением: " + fits + " — ");
        EXPECT_NE(told.find(F != '-' ? ", с которым сохранен имеющийся p.fdt: переименованный в p.bin, он вернет пару"
                                     : ", сохраненный с имеющимся p.bin: переименованный в p.fdt, он вернет пару"),
                  std::string::npos) << told;
        // The orphan comes after every copy that fits, named as fitting nothing.
        const size_t orphan = told.find("p.bin.old99999999_1 — прежний p.bin, ни с одним из этих файлов проекта не сохранен");
        EXPECT_TRUE(first < orphan && orphan != std::string::npos) << told;
        const fs::path back = tmp.dir.string() + "_back";  // put back as told, in a copy of the folder
        fs::copy(tmp.dir, back);
        fs::rename(back / fits, back / side);
        EXPECT_EQ(LoadProject(back / "p.fdt", open.p, *open.d, {}, no).Status, ProjectLoadStatus::Loaded);
        EXPECT_EQ(int(open.d->Space(3, 2, 2)), fit == 'a' ? 1 : 2);
        fs::remove_all(back);
      }
      copies.insert(copies.end(), {"p.bin.old99999999_1", "p.bin", "p.fdt"});
      std::sort(copies.begin(), copies.end());
      // A save while a file of the pair is missing keeps every copy; a good save over both
      // leaves only its pair.
      if (F == '-' || B == '-') {
        ASSERT_TRUE(SaveProject(fdt, c.p, *c.d, err)) << err;
        EXPECT_EQ(Files(tmp), copies);
      }
      ASSERT_TRUE(SaveProject(fdt, c.p, *c.d, err)) << err;
      EXPECT_EQ(Files(tmp), (std::vector<std::string>{"p.bin", "p.fdt"}));
    }
    EXPECT_TRUE(done);
  }
  EXPECT_GE(tornStates, 5);

  // Names like a save's own that are not its leftovers stay: another project's, no number,
  // a number no process id is written as, and one of a process that still runs.
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt";
  const std::vector<std::string> others = {
      "p.bin.old", "p.fdt.tmp12_x", "p.fdt.tmp0123_1", "q.fdt.tmp99999999_1", "p.fdt.tmp99999999_1.txt",
      "p.bin.old" + std::to_string(::getpid()) + "_7"};
  for (const std::string& f : others) WriteBytes(tmp / f, "x");
  ASSERT_TRUE(SaveProject(fdt, a.p, *a.d, err)) << err;
  ASSERT_TRUE(SaveProject(fdt, a.p, *a.d, err)) << err;
  std::vector<std::string> expected = others;
  expected.insert(expected.end(), {"p.bin", "p.fdt"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Files(tmp), expected);
}

// Where the project file is missing, its copies are named whatever process id their names
// hold (ids are reused after a restart): the new one with the model file present, the old
// one with the old model file.
TEST(TornSave, WithoutHardLinksCopiesOfAnyProcessAreNamedByWhatTheyFit) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt";
  Project a(1), b(2), open(3);
  std::string err;
  ASSERT_TRUE(SaveProject(fdt, a.p, *a.d, err)) << err;
  // Link, rename, rename, link, rename p.fdt aside; killed before its new one comes in.
  ASSERT_FALSE(SaveKilledAt(6, false, fdt, b));
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
                       "сохранением: " + left[3] + " — новый p.fdt, сохраненный с имеющимся p.bin: переименованный в "
                       "p.fdt, он вернет пару; " + left[2] + " — прежний p.fdt, сохраненный с " + left[1] +
                       " (прежний p.bin): переименованные в p.fdt и p.bin, они вернут эту пару.");
  // Both put back as the message says: the old pair loads without a question.
  fs::rename(tmp / left[2], fdt);
  fs::rename(tmp / left[1], tmp / "p.bin");
  const ProjectLoadResult back = LoadProject(fdt, open.p, *open.d, {}, [](const std::string&) { return false; });
  EXPECT_EQ(std::tuple(back.Status, open.d->Space(3, 1, 2)), std::tuple(ProjectLoadStatus::Loaded, 1));
}
