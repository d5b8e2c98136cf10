#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "project/modelfile.h"

using namespace rv;

namespace {

std::string TempPath(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / "rv_modelfile_test";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

std::vector<int32_t> ReadInts(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<int32_t> v;
  unsigned char b[4];
  while (f.read(reinterpret_cast<char*>(b), 4))
    v.push_back(int32_t(b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24));
  return v;
}

void WriteInts(const std::string& path, const std::vector<int32_t>& v) {
  std::ofstream f(path, std::ios::binary);
  for (int32_t x : v) {
    const uint32_t u = uint32_t(x);
    const char b[4] = {char(u & 0xFF), char(u >> 8 & 0xFF), char(u >> 16 & 0xFF), char(u >> 24)};
    f.write(b, 4);
  }
}

tSpace Empty(int n1, int n2, int n3) {
  tSpace s;
  s.allocate(n1 + 1, n2 + 1, n3 + 1);
  return s;
}

}  // namespace

TEST(ModelFile, RunLengthLayout) {
  const std::string p = TempPath("layout.bin");
  std::string err;
  tSpace s = Empty(4, 3, 2);
  ASSERT_TRUE(WriteModelFile(p, s, 4, 3, 2, err)) << err;
  EXPECT_EQ(ReadInts(p), (std::vector<int32_t>{0, 24}));

  s(1, 1, 1) = 7;   // first cell differs from all others
  s(4, 3, 2) = 7;   // and the very last one
  ASSERT_TRUE(WriteModelFile(p, s, 4, 3, 2, err));
  EXPECT_EQ(ReadInts(p), (std::vector<int32_t>{7, 1, 0, 22, 7, 1}));
}

TEST(ModelFile, RoundTripIncludesOuterLayer) {
  const std::string p = TempPath("round.bin");
  std::string err;
  const int n = 50;
  tSpace s = Empty(n, n, n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= n; ++k) s(i, j, k) = uint8_t((i * 7 + j * 3 + k) % 5 == 0 ? (i + k) % 254 : 0);
  s(n, n, n) = 254; s(n, 1, 1) = 3; s(1, n, 1) = 4; s(1, 1, n) = 5;
  ASSERT_TRUE(WriteModelFile(p, s, n, n, n, err)) << err;
  tSpace r = Empty(n, n, n);
  int lastPercent = -1;
  ASSERT_TRUE(ReadModelFile(p, "6", n, n, n, n, r, err, [&](int pc) { lastPercent = pc; })) << err;
  bool same = true;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= n; ++k) same = same && r(i, j, k) == s(i, j, k);
  EXPECT_TRUE(same);
  EXPECT_EQ(lastPercent, 51 * 100 / 51);
}

TEST(ModelFile, OlderLayoutAndFormatTextOrder) {
  const std::string p = TempPath("old.bin");
  std::string err;
  // 9*9*9 cells of material 2 in the older layout for a 10^3 grid.
  WriteInts(p, {2, 729});
  tSpace r = Empty(10, 10, 10);
  ASSERT_TRUE(ReadModelFile(p, "4", 10, 10, 10, 10, r, err));
  EXPECT_EQ(r(9, 9, 9), 2);
  EXPECT_EQ(r(1, 1, 1), 2);
  EXPECT_EQ(r(10, 1, 1), 0);
  EXPECT_EQ(r(1, 10, 1), 0);
  EXPECT_EQ(r(1, 1, 10), 0);
  EXPECT_FALSE(ModelFileFullLayout("10"));  // text order: "10" sorts before "5"
  EXPECT_FALSE(ModelFileFullLayout("0"));
  EXPECT_TRUE(ModelFileFullLayout("5"));
  EXPECT_TRUE(ModelFileFullLayout("6"));
}

TEST(ModelFile, ShortHostileAndMissingFiles) {
  std::string err;
  const std::string p = TempPath("hostile.bin");
  // Short file: the rest stays empty. Material 255 and negative materials read as empty.
  WriteInts(p, {3, 5, 255, 2, -7, 1});
  tSpace r = Empty(4, 4, 4);
  ASSERT_TRUE(ReadModelFile(p, "6", 4, 4, 4, 4, r, err)) << err;
  EXPECT_EQ(r(1, 1, 1), 3); EXPECT_EQ(r(4, 1, 1), 3); EXPECT_EQ(r(1, 2, 1), 3);
  EXPECT_EQ(r(2, 2, 1), 0); EXPECT_EQ(r(4, 2, 1), 0); EXPECT_EQ(r(1, 3, 1), 0);

  // A huge count fills only the grid; a grid larger than the model never writes outside it.
  WriteInts(p, {9, 2000000000});
  tSpace small = Empty(3, 3, 3);
  ASSERT_TRUE(ReadModelFile(p, "6", 100, 100, 100, 100, small, err));
  EXPECT_EQ(small(3, 3, 3), 9);

  // A count below 1 is damage: stop with a message and keep what was read.
  WriteInts(p, {4, 2, 5, 0, 6, 3});
  tSpace z = Empty(4, 4, 4);
  EXPECT_FALSE(ReadModelFile(p, "6", 4, 4, 4, 4, z, err));
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(z(2, 1, 1), 4);
  EXPECT_EQ(z(3, 1, 1), 0);

  // A file cut inside a record.
  {
    std::ofstream f(p, std::ios::binary);
    f.write("\x01\x00\x00\x00\x02\x00", 6);
  }
  tSpace t = Empty(4, 4, 4);
  EXPECT_FALSE(ReadModelFile(p, "6", 4, 4, 4, 4, t, err));

  EXPECT_FALSE(ReadModelFile(TempPath("does-not-exist.bin"), "6", 4, 4, 4, 4, t, err));
  EXPECT_NE(err.find("does-not-exist.bin"), std::string::npos);
  EXPECT_FALSE(WriteModelFile("/nonexistent-folder/x.bin", t, 4, 4, 4, err));
}

TEST(ModelFile, ClampedZStopsReading) {
  const std::string p = TempPath("clamp.bin");
  std::string err;
  // The limit is checked between pairs: one pair per plane here.
  WriteInts(p, {1, 16, 2, 16, 1, 16, 2, 16, 1, 16, 2, 16});
  tSpace r = Empty(4, 4, 6);
  ASSERT_TRUE(ReadModelFile(p, "6", 4, 4, 6, 3, r, err));
  EXPECT_EQ(r(4, 4, 3), 1);
  EXPECT_EQ(r(1, 1, 4), 0);
}
