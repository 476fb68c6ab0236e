#include "text/Search.h"

#include <gtest/gtest.h>

#include <string>

#include "Error.h"
#include "ExpectError.h"

namespace zentora::excel {
namespace {

std::string Replaced(std::string text, std::string_view find, std::string_view replacement,
                     bool ignoreCase = false, bool wholeWord = false) {
  ReplaceText(text, find, replacement, ignoreCase, wholeWord);
  return text;
}

TEST(ReplaceText, NeverSearchesWhatAReplacementProduced) {
  EXPECT_EQ(Replaced("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(Replaced("abab", "ab", "b"), "bb");
  EXPECT_EQ(Replaced("a.b.c", ".", ""), "abc");
  EXPECT_EQ(Replaced("xyz", "", "q"), "xyz");
  EXPECT_EQ(Replaced("", "a", "b"), "");
  EXPECT_EQ(Replaced("Ärzte", "ä", "a"), "Ärzte") << "exact comparison by default";
}

TEST(ReplaceText, IgnoringCaseComparesLowerCasedCodePoints) {
  EXPECT_EQ(Replaced("ÄRZTE und ärzte", "Ärzte", "X", true), "X und X");
  EXPECT_EQ(Replaced("Straße STRASSE", "STRAßE", "X", true), "X STRASSE");
  EXPECT_EQ(Replaced("\u212A-k", "k", "x", true), "x-x") << "the Kelvin sign lower-cases to k";
}

TEST(ReplaceText, WholeWordsOnly) {
  EXPECT_EQ(Replaced("cat catalog cat_x 5cat cat", "cat", "dog", false, true), "dog catalog cat_x 5dog dog");
  EXPECT_EQ(Replaced("--", "-", "x", false, true), "x-")
      << "the replacement is the left neighbour of what follows";
  EXPECT_EQ(Replaced("CAT cat", "cat", "dog", true, true), "dog dog");
}

TEST(FindWord, FindsOccurrencesFreeOnBothSidesFromAStartOfAtLeastOne) {
  EXPECT_EQ(FindWord(1, "xab ab", "ab"), 5);
  EXPECT_EQ(FindWord(1, "ab", "ab"), 1);
  EXPECT_EQ(FindWord(1, "ab1", "ab"), 1) << "digits are no word characters";
  EXPECT_EQ(FindWord(2, "ab ab", "ab"), 4);
  EXPECT_EQ(FindWord(3, "xab", "ab"), 0) << "the character before the start still counts";
  EXPECT_EQ(FindWord(1, "äab", "ab"), 3) << "positions count bytes";
  EXPECT_EQ(FindWord(1, "abc", ""), 0);
  EXPECT_EQ(FindWord(10, "ab", "ab"), 0);
  EXPECT_EQ(FindWord(1, "", "ab"), 0);
  ExpectError([] { FindWord(0, "ab", "ab"); }, ErrorCode::InvalidArgument, "0");
}

TEST(IsWordChar, OnlyAsciiLettersAndUnderscore) {
  for (const char* yes : {"A", "Z", "a", "z", "_", "m"}) EXPECT_TRUE(IsWordChar(yes)) << yes;
  for (const char* no : {"5", "@", "[", "`", "{", " ", "", "ä", "ß"}) EXPECT_FALSE(IsWordChar(no)) << no;
}

}  // namespace
}  // namespace zentora::excel
