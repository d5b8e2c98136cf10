#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"

using namespace rv::platform;

TEST(Platform, MemInfoParsing) {
  MemoryStatus st;
  ASSERT_TRUE(ParseMemInfo("MemTotal:       16000000 kB\nMemFree:  100 kB\n"
                           "MemAvailable:    4000000 kB\nBuffers: 5 kB\n", st));
  EXPECT_EQ(st.totalPhys, 16000000ull * 1024);
  EXPECT_EQ(st.availPhys, 4000000ull * 1024);
  EXPECT_EQ(st.memoryLoad, 75);
  MemoryStatus bad;
  EXPECT_FALSE(ParseMemInfo("garbage\n", bad));
  EXPECT_FALSE(ParseMemInfo("", bad));
  EXPECT_EQ(bad.totalPhys, 0u);
  // This machine's own status is sane.
  MemoryStatus real;
  ASSERT_TRUE(GetMemoryStatus(real));
  EXPECT_GT(real.totalPhys, 0u);
  EXPECT_LE(real.availPhys, real.totalPhys);
}

TEST(Platform, TickCountAdvancesAndFoldersEndInSlash) {
  const uint32_t t0 = GetTickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const uint32_t dt = GetTickCount() - t0;
  EXPECT_GE(dt, 25u);
  EXPECT_LT(dt, 5000u);
  for (const std::string& s : {ExecutableDir(), UserConfigDir(), HomeDir()}) {
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s.back(), '/');
  }
  EXPECT_NE(BesideExecutable("x.INI").find("x.INI"), std::string::npos);
  EXPECT_FALSE(VersionString().empty());
}
