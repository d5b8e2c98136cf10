#include <gtest/gtest.h>

#include "project/appsettings.h"
#include "solver/file_fixture.h"
#include "solver/inifile.h"

using namespace rv;

TEST(History, MovesInsertsAndDropsTheOldest) {
  ProjectHistory h;
  AddToHistory(h, "/p/a.fdt");
  AddToHistory(h, "/p/a.fdt");
  EXPECT_EQ(std::tuple(h[0], h[1]), std::tuple("/p/a.fdt", ""));
  AddToHistory(h, "/p/b.fdt");
  AddToHistory(h, "/p/c.fdt");
  // c, b, a: a name differing from entry 3 only in Latin letter case moves it up, renamed.
  AddToHistory(h, "/P/A.FDT");
  EXPECT_EQ(std::tuple(h[0], h[1], h[2], h[3]), std::tuple("/P/A.FDT", "/p/c.fdt", "/p/b.fdt", ""));
  // The entry already at the top keeps its letter case.
  AddToHistory(h, "/p/a.fdt");
  EXPECT_EQ(h[0], "/P/A.FDT");
  // Cyrillic letters are not folded: another entry.
  AddToHistory(h, "/p/Проект.fdt");
  AddToHistory(h, "/p/проект.fdt");
  EXPECT_EQ(h[1], "/p/Проект.fdt");
  // Seventeen distinct files: the oldest drops out.
  for (int i = 0; i < 17; ++i) AddToHistory(h, "/q/" + std::to_string(i) + ".fdt");
  const auto captions = HistoryCaptions(h);
  EXPECT_EQ(std::tuple(h[0], h[15], captions[0], captions[15]),
            std::tuple("/q/16.fdt", "/q/1.fdt", "1. 16.fdt", "16. 1.fdt"));
}

TEST(AppSettingsFile, DefaultsRoundTripAndKeysKept) {
  rvtest::TempDir dir;
  const std::string path = dir / "ravelin.INI";
  AppSettings s;
  std::string err;
  ASSERT_TRUE(ReadAppSettings(path, "/home/u/", s, err));  // no file: defaults
  EXPECT_EQ(std::tuple(s.IniDirProjectOpen, s.LastProjectFileName), std::tuple("/home/u/", ""));
  {
    IniFile other;
    other.writeString("Other", "Key", "Значение");
    ASSERT_TRUE(other.saveAs(path, &err));
  }
  s.IniDirProjectOpen = "/data/проекты/";
  s.IniDirProjectSave = "";  // unknown: the key stays as it was
  s.LastProjectFileName = "/data/проекты/антенна.fdt";
  AddToHistory(s.History, s.LastProjectFileName);
  ASSERT_TRUE(WriteAppSettings(path, s, err)) << err;
  AppSettings r;
  ASSERT_TRUE(ReadAppSettings(path, "/home/u/", r, err));
  EXPECT_EQ(std::tuple(r.IniDirProjectOpen, r.IniDirProjectSave, r.LastProjectFileName, r.History[0]),
            std::tuple("/data/проекты/", "/home/u/", "/data/проекты/антенна.fdt", "/data/проекты/антенна.fdt"));
  IniFile check;
  ASSERT_TRUE(check.load(path, &err));
  EXPECT_EQ(check.readString("Other", "Key", ""), "Значение");
  EXPECT_EQ(std::tuple(FileNamePart("/a/b/c.fdt"), FolderOf("/a/b/c.fdt")), std::tuple("c.fdt", "/a/b/"));
}
