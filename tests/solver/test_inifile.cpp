#include "solver/inifile.h"

#include "file_fixture.h"

using namespace rv;
using namespace rvtest;

TEST(IniFile, SaveKeepsForeignKeysOrderAndComments) {
  TempDir dir;
  const std::string path = dir / "project.ini";
  // cp1251 with CR LF, as the program writes it; a comment, a foreign section and key.
  // [Поле] Шаг=0.5
  WriteBytes(path, "; settings\r\n[Main]\r\nWidth = 10\r\nForeign=keep me\r\nHeight=20\r\n\r\n"
                   "[\xCF\xEE\xEB\xE5]\r\n\xD8\xE0\xE3=0.5\r\n\r\n[Other]\r\nx=1\r\n");
  IniFile ini;
  std::string err;
  ASSERT_TRUE(ini.load(path, &err)) << err;
  EXPECT_EQ(ini.sections(), (std::vector<std::string>{"Main", "Поле", "Other"}));
  EXPECT_EQ(ini.readSection("main"), (std::vector<std::string>{"Width", "Foreign", "Height"}));

  ini.writeInteger("MAIN", "height", 25);    // in place, spelling of the file kept
  ini.writeString("main", "Depth", "30");     // new key after the last one of its section
  ini.writeFloat("поле", "ШАГ", 0.25);
  ini.writeBool("New", "Flag", true);         // new section at the end
  ini.writeString("New", "Имя", "Значение");
  ASSERT_TRUE(ini.save(&err)) << err;

  EXPECT_EQ(ReadBytes(path),
            "; settings\r\n[Main]\r\nWidth=10\r\nForeign=keep me\r\nHeight=25\r\nDepth=30\r\n\r\n"
            "[\xCF\xEE\xEB\xE5]\r\n\xD8\xE0\xE3=0.25\r\n\r\n[Other]\r\nx=1\r\n\r\n[New]\r\nFlag=1\r\n"
            "\xC8\xEC\xFF=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n");

  IniFile back;
  ASSERT_TRUE(back.load(path, &err)) << err;
  EXPECT_EQ(back.text(), ini.text());
  EXPECT_EQ(std::tuple(back.readString("MAIN", "FOREIGN", ""), back.readString("new", "имя", ""),
                       back.readFloat("ПОЛЕ", "шаг", 0)), std::tuple("keep me", "Значение", 0.25));
}

TEST(IniFile, CaseInsensitiveNamesAndTypedReads) {
  IniFile ini;
  ini.parse("[Настройки Ёлки]\nЧисло= 42 \nDrob=-1.5e-3\nBad=12a\nOn=1\nOff=0\nFloatInt=2.0\n");
  const char* sec = " НАСТРОЙКИ ёлки ";
  // Ё and Е are different letters.
  EXPECT_TRUE(ini.sectionExists(sec) && !ini.sectionExists("настройки елки") && ini.valueExists(sec, "число"));
  EXPECT_FALSE(ini.valueExists(sec, "Missing") || ini.valueExists("Missing", "Число"));

  // Texts are trimmed; what is no number of the kind read gives the default.
  EXPECT_EQ(std::tuple(ini.readString(sec, "ЧИСЛО", "d"), ini.readInteger(sec, "Число", 0), ini.readFloat(sec, "drob", 0),
                       ini.readInteger(sec, "Bad", 7), ini.readInteger(sec, "FloatInt", 7), ini.readFloat(sec, "Bad", 1.5)),
            std::tuple("42", 42, -1.5e-3, 7, 7, 1.5));
  EXPECT_EQ(std::tuple(ini.readBool(sec, "on", false), ini.readBool(sec, "OFF", true), ini.readBool(sec, "Bad", true),
                       ini.readString("Nope", "Nope", "def")), std::tuple(true, false, true, "def"));

  ini.writeFloat("S", "v", 1e-7);
  ini.writeInteger("S", "big", -9000000000LL);  // beyond 32 bits
  EXPECT_EQ(std::tuple(ini.readString("s", "V", ""), ini.readString("S", "big", ""), ini.readInteger("S", "big", 3)),
            std::tuple("1E-7", "-9000000000", 3));
}

TEST(IniFile, LfOnlyBomAndOddLines) {
  TempDir dir;
  const std::string path = dir / "lf.ini";
  // UTF-8 with a byte-order mark and LF line ends; a line without "=", a repeated section.
  WriteBytes(path, "\xEF\xBB\xBF[Раздел]\nКлюч=Значение=с равенством\njust text\n  ; comment = not a key\n"
              "=orphan\n[Second]\nb=2\n[раздел]\nКлюч=ignored\nmore=3");
  IniFile ini;
  std::string err;
  ASSERT_TRUE(ini.load(path, &err)) << err;
  EXPECT_EQ(ini.sections(), (std::vector<std::string>{"Раздел", "Second"}));
  // "more" comes from the repeated section.
  EXPECT_EQ(std::tuple(ini.readString("раздел", "ключ", ""), ini.readString("раздел", "more", "")),
            std::tuple("Значение=с равенством", "3"));
  EXPECT_EQ(ini.readSection("Раздел"), (std::vector<std::string>{"Ключ", "more"}));
  EXPECT_FALSE(ini.valueExists("Раздел", "; comment"));
  EXPECT_EQ(ini.text(),
            "[Раздел]\r\nКлюч=Значение=с равенством\r\njust text\r\n  ; comment = not a key\r\n"
            "=orphan\r\nКлюч=ignored\r\nmore=3\r\n[Second]\r\nb=2\r\n");
  // Saved without the mark (the bytes of a save are checked above).
  ASSERT_TRUE(ini.save(&err)) << err;
  EXPECT_EQ(ReadBytes(path).substr(0, 11), "[\xD0\xE0\xE7\xE4\xE5\xEB]\r\n\xCA");
}

TEST(IniFile, BuiltFromNothingEraseAndDelete) {
  IniFile ini;
  ini.writeString("A", "k1", "v1");
  ini.writeString("B", "k", "line\r\nbreak");  // a break would split the line in the file
  ini.writeString("A", "k2", " padded ");
  ini.writeString("A", "", "no key");
  EXPECT_EQ(ini.text(), "[A]\r\nk1=v1\r\nk2=padded\r\n[B]\r\nk=line  break\r\n");

  ini.deleteKey("a", "K1");
  ini.deleteKey("Missing", "k");
  ini.eraseSection("b");
  EXPECT_EQ(ini.text(), "[A]\r\nk2=padded\r\n");
  EXPECT_FALSE(ini.sectionExists("B"));
}

TEST(IniFile, LoadAndSaveFailures) {
  TempDir dir;
  IniFile ini;
  std::string err;
  EXPECT_TRUE(ini.load(dir / "missing.ini", &err) && ini.sections().empty() && ini.text().empty());
  EXPECT_FALSE(ini.load(dir.dir.string(), &err) || err.empty());  // a folder cannot be read as a file

  IniFile unnamed;
  unnamed.writeString("S", "k", "v");
  EXPECT_FALSE(unnamed.save(&err));

  // A failed save leaves the old file as it was.
  const std::string path = dir / "keep.ini";
  WriteBytes(path, "[S]\r\nk=old\r\n");
  IniFile good;
  ASSERT_TRUE(good.load(path));
  good.writeString("S", "k", "new");
  err.clear();
  EXPECT_FALSE(good.saveAs(dir / "no/such/dir/x.ini", &err) || err.empty());
  EXPECT_EQ(std::tuple(good.path(), ReadBytes(path)), std::tuple(path, "[S]\r\nk=old\r\n"));
  ASSERT_TRUE(good.save(&err)) << err;
  EXPECT_EQ(ReadBytes(path), "[S]\r\nk=new\r\n");
}

TEST(IniFile, LongSectionsRepeatedNamesAndRunsOfRawLines) {
  std::string text = "[T]\n";
  for (int i = 0; i < 3000; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "KEY7=repeated\n; note\n\n\n[U]\nx=1\n";
  IniFile ini;
  ini.parse(text);
  // Any order of lookups finds every key; of a repeated name the first one counts.
  for (int i = 2999; i >= 0; i -= 7) EXPECT_EQ(ini.readInteger("t", "kEY" + std::to_string(i), -1), i);
  EXPECT_EQ(std::tuple(ini.readString("T", "key7", ""), ini.readSection("T").size()), std::tuple("7", 3000u));

  ini.writeString("T", "Key7", "seven");  // the first one changes
  ini.writeString("T", "New", "n");       // after the note, ahead of the blank lines
  ini.deleteKey("T", "key5");
  EXPECT_EQ(std::tuple(ini.readString("T", "KEY7", ""), ini.valueExists("T", "Key5"), ini.readString("T", "Key2999", "")),
            std::tuple("seven", false, "2999"));
  const std::string out = ini.text();
  EXPECT_EQ(out.substr(out.find("KEY7=")), "KEY7=repeated\r\n; note\r\nNew=n\r\n\r\n\r\n[U]\r\nx=1\r\n");
  ini.deleteKey("T", "key7");  // every line of the name goes
  EXPECT_EQ(std::tuple(ini.valueExists("T", "KEY7"), ini.readString("T", "new", "")), std::tuple(false, "n"));
}
