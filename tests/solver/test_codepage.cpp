#include "solver/codepage.h"

#include <iconv.h>

#include "file_fixture.h"
#include "solver/pendingfile.h"

using namespace rv;
using namespace rvtest;

namespace {

// Every high byte against the system's converter; a byte it rejects must be U+FFFD here.
void CheckTableAgainstIconv(const char* name, std::string (*toUtf8)(std::string_view)) {
  iconv_t cd = iconv_open("UTF-8", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "iconv has no " << name;
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in[1] = {static_cast<char>(b)}, out[8];
    char *inp = in, *outp = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool known = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1);
    EXPECT_EQ(toUtf8(std::string(1, in[0])), known ? std::string(out, outp) : "\xEF\xBF\xBD")
        << name << " byte " << b;
  }
  iconv_close(cd);
}

}  // namespace

TEST(Codepage, Cp1251TableMatchesIconv) { CheckTableAgainstIconv("CP1251", Cp1251ToUtf8); }
TEST(Codepage, Cp866TableMatchesIconv) { CheckTableAgainstIconv("CP866", Cp866ToUtf8); }

TEST(Codepage, Utf8ToCp1251) {
  for (int b = 0; b <= 0xFF; ++b) {  // every byte that stands for a character comes back
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(byte)), b == 0x98 ? "?" : byte) << b;
  }
  EXPECT_EQ(std::tuple(Utf8ToCp1251("a€№b"), Utf8ToCp1251("中😀\xEF\xBF\xBD"), Utf8ToCp1251("a\xD0")),
            std::tuple("a\x88\xB9" "b", "???", "a?"));
  // Overlong form, surrogate, stray continuation, cut-off sequence, past U+10FFFF.
  for (std::string_view bad : {"x\xC0\xAFy", "x\xED\xA0\x80y", "x\x80y", "x\xE2\x82y", "x\xF5\x80\x80\x80y"}) {
    const std::string out = Utf8ToCp1251(bad);
    EXPECT_TRUE(out.size() >= 3 && out.front() == 'x' && out.back() == 'y' &&
                out.find_first_not_of('?', 1) == out.size() - 1) << out;
  }
}

TEST(Codepage, ReadLineEndingsAndBom) {
  TempDir dir;
  const std::string path = dir / "in.txt";
  std::vector<std::string> lines{"stale"};
  std::string err;
  WriteBytes(path, "");
  EXPECT_TRUE(ReadTextLines(path, lines, err) && lines.empty());

  WriteBytes(path, "a\nb\r\n\r\n\xCF\xEE\xEB\xE5");  // LF, CR LF, empty line, no final ending
  ASSERT_TRUE(ReadTextLines(path, lines, err));
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "", "Поле"}));

  WriteBytes(path, "\xEF\xBB\xBFПоле\r\nx\r");  // UTF-8 with its mark
  ASSERT_TRUE(ReadTextLines(path, lines, err));
  EXPECT_EQ(lines, (std::vector<std::string>{"Поле", "x"}));
  std::string raw;
  ASSERT_TRUE(ReadRawText(path, raw, err));
  EXPECT_EQ(raw, "\xCF\xEE\xEB\xE5\r\nx\r");

  EXPECT_FALSE(ReadTextLines(dir / "missing.txt", lines, err));
  EXPECT_NE(err.find("missing.txt"), std::string::npos);
  err.clear();
  EXPECT_FALSE(ReadRawText(dir.dir.string(), raw, err) || err.empty());  // a folder is no file
}

TEST(Codepage, WholeFilesReplaceSafelyAndTogether) {
  TempDir dir;
  const std::string path = dir / "out.txt", sub = dir / "sub";
  auto entries = [&] {
    return std::distance(fs::directory_iterator(dir.dir), fs::directory_iterator());
  };
  std::string err;
  WriteBytes(path, "old");
  fs::permissions(path, fs::perms(0640));
  ASSERT_TRUE(WriteTextLines(path, {"new"}, err)) << err;  // the mode is the file's own
  EXPECT_EQ(std::tuple(ReadBytes(path), fs::status(path).permissions()), std::tuple("new\r\n", fs::perms(0640)));

  EXPECT_FALSE(WriteTextLines(dir / "no/such/dir.txt", {"x"}, err));
  EXPECT_NE(err.find("no/such/dir.txt"), std::string::npos);
  fs::create_directory(sub);
  EXPECT_FALSE(WriteTextLines(sub, {"x"}, err));  // a folder is no file
  // A read-only file is refused as a write to it fails, root or not.
  fs::permissions(path, fs::perms(0444));
  EXPECT_FALSE(WriteTextLines(path, {"x"}, err));
  EXPECT_NE(err.find("только для чтения"), std::string::npos) << err;
  EXPECT_EQ(ReadBytes(path), "new\r\n");
  fs::permissions(path, fs::perms(0644));
  EXPECT_EQ(entries(), 2);  // no temporary left behind

  // Two files together: the second cannot be put in place (its folder went away), so the
  // first gets its old contents back.
  fs::create_directory(dir / "away");
  const std::string second = dir / "away/second.txt";
  WriteBytes(second, "old 2");
  PendingFile a, b;
  ASSERT_TRUE(a.Open(path, err) && b.Open(second, err)) << err;
  a.Write("new A"); b.Write("new B");
  ASSERT_TRUE(a.Finish(err) && b.Finish(err)) << err;
  fs::rename(dir / "away", dir / "gone");
  EXPECT_FALSE(CommitFiles({&a, &b}, err));
  EXPECT_NE(err.find("second.txt"), std::string::npos);
  EXPECT_EQ(std::tuple(ReadBytes(path), entries()), std::tuple("new\r\n", 3));
}

TEST(Codepage, TextFileWriter) {
  TempDir dir;
  const std::string path = dir / "curve.txt";
  {
    TextFileWriter w;
    ASSERT_TRUE(w.open(path));
    w.writeLine("Время");
    w.write("1 ");
    w.writeLine("2");
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(w.open(path, true));
    w.writeLine("3");
  }  // the destructor closes
  EXPECT_EQ(ReadBytes(path), "\xC2\xF0\xE5\xEC\xFF\r\n1 2\r\n3\r\n");

  TextFileWriter bad;
  EXPECT_FALSE(bad.open(dir / "no/such/file.txt"));
  EXPECT_NE(bad.error().find("no/such/file.txt"), std::string::npos);
  bad.writeLine("ignored");
  EXPECT_FALSE(bad.close());

  if (fs::exists("/dev/full")) {  // a full disk shows at the latest when the buffer is flushed
    TextFileWriter full;
    ASSERT_TRUE(full.open("/dev/full"));
    for (int i = 0; i < 10000; ++i) full.writeLine("0123456789");
    EXPECT_FALSE(full.close());
    EXPECT_NE(full.error().find("/dev/full"), std::string::npos);
  }
}

TEST(Codepage, DosToWin) {
  // "Поле" in cp866 has only letters of 0x80..0xAF: each moves up by 64.
  EXPECT_EQ(DosToWin("\x8F\xAE\xAB\xA5 1"), "\xCF\xEE\xEB\xE5 1");
  EXPECT_EQ(Cp1251ToUtf8(DosToWin("\x80\x9F\xA0\xAF")), "АЯап");
  // "Привет" in cp866 holds р and т (0xE0, 0xE2): such a text counts as cp1251 already.
  EXPECT_EQ(DosToWin("\x8F\xE0\xA8\xA2\xA5\xE2"), "\x8F\xE0\xA8\xA2\xA5\xE2");
  EXPECT_EQ(DosToWin("a\xB0\xBF" "b\x80"), "ab\xC0");  // pseudo-graphics 176..191 dropped
}

TEST(Codepage, FoldCase) {
  EXPECT_EQ(FoldCase("ABCxyz09_[]"), "abcxyz09_[]");
  EXPECT_EQ(FoldCase("ЁЂЃЄЅІЇЈЉЊЋЌЎЏҐ ёђґ"), "ёђѓєѕіїјљњћќўџґ ёђґ");
  EXPECT_EQ(FoldCase("ÀÉ€"), "ÀÉ€");                      // other scripts are not folded
  EXPECT_EQ(FoldCase("A\xD0" "B\xFF"), "a\xD0" "b\xFF");  // bad bytes kept as they are
  for (int b = 0xC0; b <= 0xDF; ++b)  // А..Я against the cp1251 pairs
    EXPECT_EQ(FoldCase(Cp1251ToUtf8(std::string(1, static_cast<char>(b)))),
              Cp1251ToUtf8(std::string(1, static_cast<char>(b + 0x20))));
}

// A text cp1251 cannot hold is written as marked UTF-8 and reads back as typed; CR alone
// and LF CR end lines as CR LF does.
TEST(CodePage, TextCp1251LacksIsWrittenAsUtf8AndOldLineEndsSplitLines) {
  const std::string plain = "Диполь, R = 50 Ом\r\n", rich = "Диполь λ/2, 50 Ω \xF0\x9F\x98\x80\r\n";
  EXPECT_EQ(std::pair(rv::EncodeText(plain), rv::EncodeText(rich)), std::pair(rv::Utf8ToCp1251(plain), "\xEF\xBB\xBF" + rich));
  TempDir dir;
  std::string text, err;
  ASSERT_TRUE(rv::WriteTextLines(dir / "t.txt", {"Диполь λ/2, 50 Ω"}, err) && rv::ReadTextFile(dir / "t.txt", text, err))
      << err;
  EXPECT_EQ(text, "Диполь λ/2, 50 Ω\r\n");
  for (const std::string& t : {std::string("a\rb\r\rc\r"), std::string("a\n\rb\n\r\n\rc\n\r"),
                               std::string("a\r\nb\r\n\r\nc\r\n"), std::string("a\r\r\nb\n\nc")}) {
    rv::LineReader r(t);
    std::string got;
    for (std::string_view line; r.Next(line);) got += std::string(line) + "|";
    EXPECT_EQ(got, "a|b||c|") << t;
  }
}
