#include "solver/textutils.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(TextUtils, WordCountGetWordAndNormalize) {
  const std::pair<const char*, int> counts[] = {
      {"", 0}, {"   ", 0}, {"abc", 1}, {"  a  b  ", 2}, {"a\tb", 1} /* a tab separates nothing */,
      {"Время  Поле", 2}};
  for (const auto& [text, n] : counts) EXPECT_EQ(WordCount(text), n) << text;

  // Words are taken as separated by single blanks; an index below 1 gives the whole text.
  const struct { const char* text; int n; const char* word; } words[] = {
      {"1.5 2.5", 1, "1.5"}, {"1.5 2.5", 2, "2.5"}, {"1.5 2.5", 3, ""}, {"1.5 2.5", 0, "1.5 2.5"},
      {"1.5 2.5", -1, "1.5 2.5"}, {"", 2, ""}, {"a  b", 2, ""}, {"a  b", 3, "b"}, {"a b ", 3, ""}};
  for (const auto& w : words) EXPECT_EQ(GetWord(w.text, w.n), w.word) << w.text << " " << w.n;

  const std::pair<const char*, const char*> blanks[] = {
      {"\t1  2", "1 2"}, {"  a \t b\t", "a b"}, {" \t ", ""}, {"", ""}, {"Поле\t\tЕ", "Поле Е"}};
  for (const auto& [text, want] : blanks) EXPECT_EQ(NormalizeBlanks(text), want) << text;
}
