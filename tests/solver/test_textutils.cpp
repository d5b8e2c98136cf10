#include "solver/textutils.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(TextUtils, WordCount) {
  EXPECT_EQ(WordCount(""), 0);
  EXPECT_EQ(WordCount("   "), 0);
  EXPECT_EQ(WordCount("abc"), 1);
  EXPECT_EQ(WordCount("abc "), 1);
  EXPECT_EQ(WordCount("  a  b  "), 2);
  EXPECT_EQ(WordCount("1.5 2.5 3.5"), 3);
  EXPECT_EQ(WordCount("a\tb"), 1);  // a tab separates nothing
  EXPECT_EQ(WordCount("Время  Поле"), 2);
}

TEST(TextUtils, GetWord) {
  EXPECT_EQ(GetWord("1.5 2.5", 1), "1.5");
  EXPECT_EQ(GetWord("1.5 2.5", 2), "2.5");
  EXPECT_EQ(GetWord("1.5 2.5", 3), "");
  EXPECT_EQ(GetWord("1.5 2.5", 0), "1.5 2.5");
  EXPECT_EQ(GetWord("1.5 2.5", -1), "1.5 2.5");
  EXPECT_EQ(GetWord("", 2), "");
  EXPECT_EQ(GetWord("a  b", 2), "");  // words are taken as separated by single blanks
  EXPECT_EQ(GetWord("a  b", 3), "b");
  EXPECT_EQ(GetWord("a b ", 3), "");
  EXPECT_EQ(GetWord("a b ", 4), "");
}

TEST(TextUtils, NormalizeAndCopy) {
  EXPECT_EQ(NormalizeBlanks("\t1  2"), "1 2");
  EXPECT_EQ(NormalizeBlanks("  a \t b\t"), "a b");
  EXPECT_EQ(NormalizeBlanks(" \t "), "");
  EXPECT_EQ(NormalizeBlanks(""), "");
  EXPECT_EQ(NormalizeBlanks("Поле\t\tЕ"), "Поле Е");
  EXPECT_EQ(NormalizeBlanks(NormalizeBlanks("\t1  2 ")), "1 2");
  EXPECT_EQ(CopyText("x y"), "x y");
}
