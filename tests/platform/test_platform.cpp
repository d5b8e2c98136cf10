#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"

using namespace rv::platform;

TEST(Platform, MemInfoParsing) {
  MemoryStatus st;
  ASSERT_TRUE(ParseMemInfo("MemTotal:       16000000 kB\nMemFree:  100 kB\n"
                           "MemAvailable:    4000000 kB\nBuffers: 5 kB\n", st));
  EXPECT_EQ(std::tuple(st.totalPhys, st.availPhys, st.memoryLoad), std::tuple(16000000ull * 1024, 4000000ull * 1024, 75));
  MemoryStatus bad;
  EXPECT_FALSE(ParseMemInfo("garbage\n", bad) || ParseMemInfo("", bad) || bad.totalPhys != 0);
  // This machine's own status is sane.
  MemoryStatus real;
  ASSERT_TRUE(GetMemoryStatus(real));
  EXPECT_TRUE(real.totalPhys > 0 && real.availPhys <= real.totalPhys);
}

TEST(Platform, TickCountAdvancesAndFoldersEndInSlash) {
  const uint32_t t0 = GetTickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const uint32_t dt = GetTickCount() - t0;
  EXPECT_TRUE(dt >= 25u && dt < 5000u) << dt;
  for (const std::string& s : {ExecutableDir(), UserConfigDir(), HomeDir()}) EXPECT_TRUE(!s.empty() && s.back() == '/') << s;
  EXPECT_NE(BesideExecutable("x.INI").find("x.INI"), std::string::npos);
}
