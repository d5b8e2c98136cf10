#include <gtest/gtest.h>

#include "project/modelfile.h"
#include "project_fixture.h"

using namespace prjtest;

namespace {

tSpace Empty(int n1, int n2, int n3) {
  tSpace s;
  s.allocate(n1 + 1, n2 + 1, n3 + 1);
  return s;
}

}  // namespace

TEST(ModelFile, RunLengthLayoutAndRoundTrip) {
  TempDir dir;
  const std::string p = dir / "layout.bin";
  std::string err;
  tSpace s = Empty(4, 3, 2);
  ASSERT_TRUE(WriteModelFile(p, s, 4, 3, 2, err)) << err;
  EXPECT_EQ(ReadInts(p), (std::vector<int32_t>{0, 24}));
  s(1, 1, 1) = 7;   // first cell differs from all others
  s(4, 3, 2) = 7;   // and the very last one
  ASSERT_TRUE(WriteModelFile(p, s, 4, 3, 2, err));
  EXPECT_EQ(ReadInts(p), (std::vector<int32_t>{7, 1, 0, 22, 7, 1}));

  // Many short runs, the outer layer included.
  const int n = 20;
  s = Empty(n, n, n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= n; ++k) s(i, j, k) = uint8_t((i * 7 + j * 3 + k) % 5 == 0 ? (i + k) % 254 : 0);
  s(n, n, n) = 254; s(n, 1, 1) = 3; s(1, n, 1) = 4; s(1, 1, n) = 5;
  ASSERT_TRUE(WriteModelFile(p, s, n, n, n, err)) << err;
  tSpace r = Empty(n, n, n);
  std::vector<int> percents;
  ASSERT_TRUE(ReadModelFile(p, "6", n, n, n, n, r, err, [&](int pc) { percents.push_back(pc); })) << err;
  int differ = 0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= n; ++k) differ += r(i, j, k) != s(i, j, k);
  EXPECT_EQ(differ, 0);
  // Plane k of 21 shows k * 100 / 21 rounded: 9.52 is 10, 14.29 is 14.
  ASSERT_EQ(percents.size(), size_t(n));
  EXPECT_EQ(std::tuple(percents[0], percents[1], percents.back()), std::tuple(10, 14, 100));
  // The layout follows the format text in text order: "10" sorts before "5".
  for (const char* older : {"10", "0", "4"}) EXPECT_FALSE(ModelFileFullLayout(older)) << older;
  for (const char* full : {"5", "6"}) EXPECT_TRUE(ModelFileFullLayout(full)) << full;
}

TEST(ModelFile, ShortHostileAndMissingFiles) {
  TempDir dir;
  std::string err;
  const std::string p = dir / "hostile.bin";
  // Short file: the rest stays empty. Material 255 and negative materials read as empty.
  WriteInts(p, {3, 5, 255, 2, -7, 1});
  tSpace r = Empty(4, 4, 4);
  ASSERT_TRUE(ReadModelFile(p, "6", 4, 4, 4, 4, r, err)) << err;
  EXPECT_EQ(std::tuple(r(1, 1, 1), r(4, 1, 1), r(1, 2, 1), r(2, 2, 1), r(4, 2, 1), r(1, 3, 1)),
            std::tuple(3, 3, 3, 0, 0, 0));

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
  EXPECT_EQ(std::tuple(z(2, 1, 1), z(3, 1, 1)), std::tuple(4, 0));

  EXPECT_FALSE(ReadModelFile(dir / "does-not-exist.bin", "6", 4, 4, 4, 4, z, err));
  EXPECT_NE(err.find("does-not-exist.bin"), std::string::npos);
  EXPECT_FALSE(WriteModelFile(dir / "no/such/folder/x.bin", z, 4, 4, 4, err));
}

TEST(ModelFile, ClampedZStopsReading) {
  TempDir dir;
  const std::string p = dir / "clamp.bin";
  std::string err;
  // The limit is checked between pairs: one pair per plane here.
  WriteInts(p, {1, 16, 2, 16, 1, 16, 2, 16, 1, 16, 2, 16});
  tSpace r = Empty(4, 4, 6);
  ASSERT_TRUE(ReadModelFile(p, "6", 4, 4, 6, 3, r, err));
  EXPECT_EQ(std::tuple(r(4, 4, 3), r(1, 1, 4)), std::tuple(1, 0));
}
