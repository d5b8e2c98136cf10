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
  const ModelFileCheck c = ReadModelFile(p, "6", n, n, n, n, r, [&](int pc) { percents.push_back(pc); });
  ASSERT_TRUE(c.Exact()) << c.Faults.front();
  EXPECT_EQ(std::tuple(c.Read, c.Empty, c.Shifted, c.Dropped, c.Stamp.Size), std::tuple(n * n * n, 0, 0, 0, fs::file_size(p)));
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
  const ModelFileCheck c = ReadModelFile(p, "6", 4, 4, 4, 4, r);
  EXPECT_EQ(std::tuple(r(1, 1, 1), r(4, 1, 1), r(1, 2, 1), r(2, 2, 1), r(4, 2, 1), r(1, 3, 1)),
            std::tuple(3, 3, 3, 0, 0, 0));
  EXPECT_EQ(std::tuple(c.InFile, c.Read, c.Empty), std::tuple(8, 5, 59));
  ASSERT_EQ(c.Faults.size(), 2u);
  EXPECT_EQ(c.Faults[0],
            "содержит в записи 3 (смещение 8) номер материала 255 вне пределов от 0 до 254 (всего таких серий: 2)");

  // A huge count fills only the grid; a grid larger than the model never writes outside it.
  WriteInts(p, {9, 2000000000});
  tSpace small = Empty(3, 3, 3);
  ReadModelFile(p, "6", 100, 100, 100, 100, small);
  EXPECT_EQ(small(3, 3, 3), 9);
  // Runs adding up past any count hold no surprise either.
  std::vector<int32_t> many;
  for (int i = 0; i < 5000; ++i) many.insert(many.end(), {i % 2, INT32_MAX});
  WriteInts(p, many);
  EXPECT_EQ(ReadModelFile(p, "6", 4, 4, 4, 4, r).Dropped, 5000 * int64_t(INT32_MAX) - 64);

  // A count below 1 is damage: the cells before it stay, none after it are placed.
  WriteInts(p, {4, 2, 5, 0, 6, 3});
  tSpace z = Empty(4, 4, 4);
  EXPECT_FALSE(ReadModelFile(p, "6", 4, 4, 4, 4, z).Exact());
  EXPECT_EQ(std::tuple(z(2, 1, 1), z(3, 1, 1)), std::tuple(4, 0));

  EXPECT_EQ(ReadModelFile(dir / "does-not-exist.bin", "6", 4, 4, 4, 4, z).Faults,
            std::vector<std::string>{"не найден"});
  EXPECT_EQ(ReadModelFile(dir.dir.string(), "6", 4, 4, 4, 4, z).Faults,
            std::vector<std::string>{"не открывается: это не файл"});
  EXPECT_FALSE(WriteModelFile(dir / "no/such/folder/x.bin", z, 4, 4, 4, err));
}

// Every way a model file can differ from what its 4 x 4 x 4 grid needs: what is wrong and
// where, and the cells read, left empty, possibly shifted or dropped. The model meant is
// 10 cells of 1, 6 of 2, 48 empty.
TEST(ModelFile, EachFaultNamedWithItsPlaceAndCounts) {
  TempDir dir;
  const std::string p = dir / "m.bin";
  const std::vector<int32_t> good = {1, 10, 2, 6, 0, 48};
  WriteInts(p, good);
  const std::string whole = ReadBytes(p);
  tSpace meant = Empty(4, 4, 4);
  ASSERT_TRUE(ReadModelFile(p, "6", 4, 4, 4, 4, meant).Exact());

  struct Case {
    const char* what;
    std::string bytes;
    std::string fault;  // the last fault
    int64_t read, empty, shifted, dropped;
  };
  auto ints = [&](const std::vector<int32_t>& v) {
    WriteInts(p, v);
    return ReadBytes(p);
  };
  const Case cases[] = {
      {"cut by 3 bytes", whole.substr(0, whole.size() - 3),
       "обрывается на середине пары записей 5–6 (смещение 16): в ней только 5 из 8 байт", 16, 48, 0, 0},
      {"cut by 5 bytes", whole.substr(0, whole.size() - 5),
       "обрывается на середине пары записей 5–6 (смещение 16): в ней только 3 из 8 байт", 16, 48, 0, 0},
      {"length 0", ints({1, 10, 2, 0, 0, 54}),
       "повреждён: в записи 4 (смещение 12) неверная длина серии 0, дальше файл не читается", 10, 54, 0, 0},
      {"length -5", ints({1, 10, 2, -5, 0, 59}),
       "повреждён: в записи 4 (смещение 12) неверная длина серии -5, дальше файл не читается", 10, 54, 0, 0},
      {"a run 3 too long", ints({1, 10, 2, 9, 0, 48}),
       "не соответствует сетке проекта: в нем 67 ячеек, а сетке 4 x 4 x 4 нужно 64; сетка заполняется на "
       "середине серии записи 6 (смещение 20)", 64, 0, 57, 3},
      {"pairs after the model", ints({1, 10, 2, 6, 0, 48, 5, 7}),
       "не соответствует сетке проекта: в нем 71 ячеек, а сетке 4 x 4 x 4 нужно 64; сетка заполнена ровно к "
       "концу записи 6 (смещение 20), после нее пар записей: еще 1", 64, 0, 61, 7},
      {"3 stray bytes", whole + std::string("\x01\x02\x03", 3),
       "после полной модели (серии покрывают все ячейки сетки) содержит лишние байты со смещения 24 (их 3, меньше "
       "пары записей)", 64, 0, 0, 0},
      {"a run 3 too long after one of material 300", ints({300, 10, 2, 9, 0, 48}),
       "не соответствует сетке проекта: в нем 67 ячеек, а сетке 4 x 4 x 4 нужно 64; сетка заполняется на "
       "середине серии записи 6 (смещение 20)", 54, 10, 54, 3},
      {"material 300", ints({1, 10, 300, 6, 0, 48}),
       "содержит в записи 3 (смещение 8) номер материала 300 вне пределов от 0 до 254", 58, 6, 0, 0},
      {"short", ints({1, 10, 2, 6}), "не соответствует сетке проекта: в нем 16 ячеек, а сетке 4 x 4 x 4 нужно 64", 16,
       48, 0, 0},
      {"empty", "", "не соответствует сетке проекта: в нем 0 ячеек, а сетке 4 x 4 x 4 нужно 64", 0, 64, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    WriteBytes(p, k.bytes);
    tSpace r = Empty(4, 4, 4);
    const ModelFileCheck c = ReadModelFile(p, "6", 4, 4, 4, 4, r);
    ASSERT_FALSE(c.Faults.empty());
    EXPECT_EQ(c.Faults.back(), k.fault);
    EXPECT_EQ(std::tuple(c.Read, c.Empty, c.Shifted, c.Dropped), std::tuple(k.read, k.empty, k.shifted, k.dropped));
    EXPECT_EQ(c.Stamp.Size, k.bytes.size());
    // What the counts claim holds against the model meant: no more cells differ than were
    // left empty or called possibly shifted (none where nothing is said to be lost).
    int differ = 0;
    for (int i = 1; i <= 4; ++i)
      for (int j = 1; j <= 4; ++j)
        for (int m = 1; m <= 4; ++m) differ += r(i, j, m) != meant(i, j, m);
    EXPECT_LE(differ, k.empty + k.shifted);
  }

  // The question and the journal's line say the same in their tenses.
  WriteInts(p, {1, 10, 2, 9, 0, 48});
  tSpace r = Empty(4, 4, 4);
  const ModelFileCheck c = ReadModelFile(p, "6", 4, 4, 4, 4, r);
  EXPECT_EQ(ModelFileQuestion(p, c),
            "Файл модели " + p + " " + c.Faults[0] + ".\nЯчеек сетки будет прочитано: 64 из 64; могут оказаться "
            "сдвинутыми: до 57 (где в файле лишние ячейки, по нему не видно); будут отброшены последние ячейки "
            "файла: 3.\nЗагрузить то, что в нем есть?\n«Нет» — проект не загружается, открытый остается как был.");
  EXPECT_EQ(ModelFileNote(p, c),
            "Файл модели " + p + " " + c.Faults[0] + ". Ячеек сетки прочитано: 64 из 64; могли оказаться сдвинутыми: до "
            "57 (где в файле лишние ячейки, по нему не видно); отброшены последние ячейки файла: 3.");
}

// The stamp is the file's size and its CRC-32 (the check value of "123456789" is CBF43926),
// the same whether taken while writing or while reading.
TEST(ModelFile, StampOfWrittenAndReadFiles) {
  TempDir dir;
  const std::string p = dir / "s.bin";
  WriteBytes(p, "123456789");
  tSpace r = Empty(4, 4, 4);
  const ModelFileStamp check = ReadModelFile(p, "6", 4, 4, 4, 4, r).Stamp;
  EXPECT_EQ(StampText(check), "9 CBF43926");

  tSpace s = Empty(30, 20, 10);
  for (int i = 1; i <= 30; ++i) s(i, i % 20 + 1, i % 10 + 1) = uint8_t(i);
  PendingFile f;
  std::string err;
  ModelFileStamp written;
  ASSERT_TRUE(f.Open(p, err) && WriteModel(f, s, 30, 20, 10, err, &written) && f.Finish(err) &&
              CommitFiles({&f}, err)) << err;
  EXPECT_EQ(ReadModelFile(p, "6", 30, 20, 10, 10, r).Stamp, written);
  EXPECT_EQ(written.Size, fs::file_size(p));

  ModelFileStamp back;
  ASSERT_TRUE(ParseStamp(StampText(written), back));
  EXPECT_EQ(back, written);
  ASSERT_TRUE(ParseStamp("0 00000000", back));
  for (const char* bad : {"", "12", "12 ABCDEFG", "12 ABCDEF012", "-1 00000000", "x 00000000", "12  ABCDEF01"})
    EXPECT_FALSE(ParseStamp(bad, back)) << bad;
  EXPECT_EQ(back, ModelFileStamp{});
}

TEST(ModelFile, ClampedZStopsReading) {
  TempDir dir;
  const std::string p = dir / "clamp.bin";
  WriteInts(p, {1, 16, 2, 16, 1, 16, 2, 16, 1, 16, 2, 16});
  tSpace r = Empty(4, 4, 6);
  ASSERT_TRUE(ReadModelFile(p, "6", 4, 4, 6, 3, r).Exact());
  EXPECT_EQ(std::tuple(r(4, 4, 3), r(1, 1, 4)), std::tuple(1, 0));
}
