// The program's texts and its help keep one alphabet per word: a Latin letter in a Russian
// word (or a Cyrillic one in "Ix") looks the same but defeats every search; so do lone
// Cyrillic doubles of the axis and field letters X, E and H.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The words of a file that break the rule, with their line numbers. In C++ the escapes
// ("\n" before a Russian word) are not letters of the word.
std::vector<std::string> BadWords(const std::string& text, bool cpp) {
  std::vector<std::string> bad;
  std::string word;
  bool lat = false, cyr = false;
  int line = 1;
  const auto end = [&] {
    // Х, Е, Н standing alone are the Latin letters' doubles: Russian has no such words.
    const bool lone = word == "Х" || word == "Е" || word == "Н";
    if ((lat && cyr) || lone) bad.push_back(std::to_string(line) + ": " + word);
    word.clear();
    lat = cyr = false;
  };
  for (size_t i = 0; i < text.size();) {
    if (cpp && text[i] == '\\' && i + 1 < text.size()) {
      end();
      const char e = text[i + 1];
      i += 2;
      if (e == 'x' || e == 'u' || e == 'U')
        while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i]))) ++i;
      continue;
    }
    // Cyrillic (U+0400 to U+04FF) is D0 to D3 and one more byte in UTF-8; the rest of
    // non-ASCII text is no letter here.
    const size_t at = i;
    const unsigned char c = static_cast<unsigned char>(text[i++]);
    while (c >= 0x80 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    const bool l = std::isalpha(c) != 0, y = c >= 0xD0 && c <= 0xD3 && i - at == 2;
    if (l || y) {
      lat = lat || l;
      cyr = cyr || y;
      word.append(text, at, i - at);
      continue;
    }
    end();
    if (c == '\n') ++line;
  }
  end();
  return bad;
}

}  // namespace

TEST(TextAlphabets, EveryWordOfTheProgramAndTheHelpIsOfOneAlphabet) {
  // The rule itself: mixed words and lone doubles are found, escapes and pure words are not.
  EXPECT_EQ(BadWords("\"Cопротивление\\nИзмените Ix Iх 5 MБ\"", true),
            (std::vector<std::string>{"1: Cопротивление", "1: Iх", "1: MБ"}));
  EXPECT_EQ(BadWords("оси Х\nполя Е х 10 \\x41Б", true), (std::vector<std::string>{"1: Х", "2: Е"}));

  const fs::path root = RAVELIN_SOURCE_DIR;
  ASSERT_TRUE(fs::exists(root / "help" / "index.html")) << root;
  std::vector<std::string> found;
  int files = 0;
  for (const char* dir : {"src", "help"})
    for (const auto& e : fs::recursive_directory_iterator(root / dir)) {
      const std::string ext = e.path().extension().string();
      if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".html")) continue;
      std::ifstream in(e.path(), std::ios::binary);
      std::stringstream ss;
      ss << in.rdbuf();
      ++files;
      const std::string name = fs::relative(e.path(), root).generic_string();
      for (const std::string& w : BadWords(ss.str(), ext != ".html")) found.push_back(name + ":" + w);
    }
  EXPECT_GT(files, 100);
  EXPECT_EQ(found, std::vector<std::string>{});
}
