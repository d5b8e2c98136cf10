// The tests' scratch folders: gone with their maker, kept while a forked child ends.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>

#include "common/scratch.h"

namespace fs = std::filesystem;

TEST(ScratchFolders, GoWithTheirMakerWithWhatTheyHoldButNotWithAForkedChild) {
  const fs::path root = rvtest::ScratchRoot();
  const fs::path dir = root / "probe";
  {
    rvtest::ScopedFolder f(dir);
    fs::create_directories(dir / "a" / "b");
    std::ofstream(dir / "a" / "b" / "file.txt") << "x";
    // A child that ends normally runs the destructors of what it shares: the folder stays.
    const pid_t child = fork();
    if (child == 0) std::exit(fs::exists(dir) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::exists(dir / "a" / "b" / "file.txt"));
  }
  EXPECT_FALSE(fs::exists(dir));
  // A fresh folder is empty, under the root.
  const std::string fresh = rvtest::FreshDir("probe", "x");
  std::ofstream(fresh + "old.txt") << "x";
  EXPECT_EQ(rvtest::FreshDir("probe", "x"), (root / "probe" / "x").string() + "/");
  EXPECT_TRUE(fs::is_empty(fresh));
}
