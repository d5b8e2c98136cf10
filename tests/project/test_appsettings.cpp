#include <gtest/gtest.h>

#include <filesystem>

#include "project/appsettings.h"
#include "solver/inifile.h"

using namespace rv;

TEST(History, MovesInsertsAndDropsTheOldest) {
  ProjectHistory h;
  AddToHistory(h, "/p/a.fdt");
  AddToHistory(h, "/p/a.fdt");
  EXPECT_EQ(h[0], "/p/a.fdt");
  EXPECT_EQ(h[1], "");
  AddToHistory(h, "/p/b.fdt");
  AddToHistory(h, "/p/c.fdt");
  // c, b, a: a name differing from entry 3 only in Latin letter case moves it up, renamed.
  AddToHistory(h, "/P/A.FDT");
  EXPECT_EQ(h[0], "/P/A.FDT");
  EXPECT_EQ(h[1], "/p/c.fdt");
  EXPECT_EQ(h[2], "/p/b.fdt");
  EXPECT_EQ(h[3], "");
  // The entry already at the top keeps its letter case.
  AddToHistory(h, "/p/a.fdt");
  EXPECT_EQ(h[0], "/P/A.FDT");
  // Cyrillic letters are not folded: another entry.
  AddToHistory(h, "/p/Проект.fdt");
  AddToHistory(h, "/p/проект.fdt");
  EXPECT_EQ(h[1], "/p/Проект.fdt");
  // Seventeen distinct files: the oldest drops out.
  for (int i = 0; i < 17; ++i) AddToHistory(h, "/q/" + std::to_string(i) + ".fdt");
  EXPECT_EQ(h[0], "/q/16.fdt");
  EXPECT_EQ(h[15], "/q/1.fdt");
  const auto captions = HistoryCaptions(h);
  EXPECT_EQ(captions[0], "1. 16.fdt");
  EXPECT_EQ(captions[15], "16. 1.fdt");
}

TEST(AppSettingsFile, DefaultsRoundTripAndKeysKept) {
  const std::string dir = ::testing::TempDir() + "appsettings_test/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = dir + "ravelin.INI";
  AppSettings s;
  std::string err;
  ASSERT_TRUE(ReadAppSettings(path, "/home/u/", s, err));  // no file: defaults
  EXPECT_EQ(s.IniDirProjectOpen, "/home/u/");
  EXPECT_EQ(s.LastProjectFileName, "");
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
  EXPECT_EQ(r.IniDirProjectOpen, "/data/проекты/");
  EXPECT_EQ(r.IniDirProjectSave, "/home/u/");
  EXPECT_EQ(r.LastProjectFileName, "/data/проекты/антенна.fdt");
  EXPECT_EQ(r.History[0], "/data/проекты/антенна.fdt");
  IniFile check;
  ASSERT_TRUE(check.load(path, &err));
  EXPECT_EQ(check.readString("Other", "Key", ""), "Значение");
  EXPECT_EQ(FileNamePart("/a/b/c.fdt"), "c.fdt");
  EXPECT_EQ(FolderOf("/a/b/c.fdt"), "/a/b/");
  std::filesystem::remove_all(dir);
}
