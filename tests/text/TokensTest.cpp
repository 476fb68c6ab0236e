#include "text/Tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Error.h"
#include "ExpectError.h"

namespace zentora::excel {
namespace {

std::vector<std::string> AllTokens(std::string rest, std::string_view separator, bool unescaped) {
  std::vector<std::string> tokens;
  while (!rest.empty()) {
    tokens.push_back(unescaped ? NextTokenUnescaped(rest, separator) : NextToken(rest, separator));
  }
  return tokens;
}

TEST(NextToken, WalksAListFromLeftToRight) {
  std::string rest = "a=b=c";
  EXPECT_EQ(NextToken(rest, "="), "a");
  EXPECT_EQ(rest, "b=c");
  rest = "abc";
  EXPECT_EQ(NextToken(rest, "="), "abc");
  EXPECT_EQ(rest, "");
  EXPECT_EQ(NextToken(rest, "="), "");
  EXPECT_EQ(rest, "");
  EXPECT_EQ(AllTokens("a,,b, c ", ",", false), (std::vector<std::string>{"a", "", "b", " c "}));
  EXPECT_EQ(AllTokens("x||y|z", "||", false), (std::vector<std::string>{"x", "y|z"}));
  EXPECT_EQ(AllTokens("a,", ",", false), (std::vector<std::string>{"a"})) << "a trailing separator";
}

TEST(FindUnescaped, SkipsSeparatorsAfterAnOddNumberOfBackslashesCountedInSixteenBits) {
  EXPECT_EQ(FindUnescaped("a\\|b|c", "|"), 5);
  EXPECT_EQ(FindUnescaped("a\\\\|b", "|"), 4) << "an escaped backslash does not escape the bar";
  EXPECT_EQ(FindUnescaped("a\\\\\\|b", "|"), 0);
  EXPECT_EQ(FindUnescaped("|", "|"), 1);
  EXPECT_EQ(FindUnescaped("", "|"), 0);
  EXPECT_EQ(FindUnescaped("abc", "|"), 0);
  // Backslashes are counted in sixteen bits.
  EXPECT_EQ(FindUnescaped(std::string(32767, '\\') + "|", "|"), 0);
  EXPECT_EQ(FindUnescaped(std::string(32766, '\\') + "|", "|"), 32767);
  ExpectError([] { FindUnescaped(std::string(32768, '\\') + "|", "|"); }, ErrorCode::Overflow, "32769");
}

TEST(NextTokenUnescaped, CutsOnlyAtUnescapedSeparatorsAndKeepsBackslashes) {
  std::string rest = "x\\|y|z";
  EXPECT_EQ(NextTokenUnescaped(rest, "|"), "x\\|y");
  EXPECT_EQ(rest, "z");
  EXPECT_EQ(AllTokens("ID=1|Text=a\\\\|Data=b\\|c\\", "|", true),
            (std::vector<std::string>{"ID=1", "Text=a\\\\", "Data=b\\|c\\"}));
}

TEST(FirstToken, LeavesTheTextAlone) {
  EXPECT_EQ(FirstToken("C,M*1", ","), "C");
  EXPECT_EQ(FirstToken("C", ","), "C");
  EXPECT_EQ(FirstToken(",x", ","), "");
  EXPECT_EQ(FirstToken("", ","), "");
}

TEST(TrimBlanks, RemovesControlCharactersAndSpacesAtBothEnds) {
  EXPECT_EQ(TrimBlanks("\t\r\n x y \x01\x1F"), "x y");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(""), "");
  EXPECT_EQ(TrimBlanks("\xC2\xA0Ärzte\xC2\xA0"), "\xC2\xA0Ärzte\xC2\xA0") << "non-ASCII stays";
}

TEST(NextTrimmedToken, TrimsOnlySpacesFromTokenAndRest) {
  std::string rest = "  a , b\t ,c ";
  EXPECT_EQ(NextTrimmedToken(rest, ","), "a");
  EXPECT_EQ(rest, "b\t ,c");
  EXPECT_EQ(NextTrimmedToken(rest, ","), "b\t");
  EXPECT_EQ(rest, "c");
  EXPECT_EQ(NextTrimmedToken(rest, ","), "c");
  EXPECT_EQ(rest, "");
}

}  // namespace
}  // namespace zentora::excel
