#include "text/Escaping.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/Tokens.h"

namespace zentora::excel {
namespace {

// Every character below 32 except the line break characters, which escape as a line break.
std::string ControlCharacters() {
  std::string controls;
  for (char c = 0; c < 32; ++c) {
    if (c != '\r' && c != '\n') controls += c;
  }
  return controls;
}

TEST(EscapeText, EscapesBackslashBarLineBreaksAndExtraCharacters) {
  EXPECT_EQ(EscapeText("a\\b|c\r\nd", ""), "a\\\\b\\|c\\nd");
  EXPECT_EQ(EscapeText("lone\rCR", ""), "loneCR");
  EXPECT_EQ(EscapeText("lone\nLF", ""), "lone\\nLF");
  EXPECT_EQ(EscapeText("ends\\", ""), "ends\\\\");
  EXPECT_EQ(EscapeText("", ""), "");
  // Extra characters become codes or escaped characters.
  EXPECT_EQ(EscapeText("a\tb", "\t"), "a\\009b");
  EXPECT_EQ(EscapeText("x,y*z", ",*"), "x\\,y\\*z");
  EXPECT_EQ(EscapeText("Grüße", "ü"), "Gr\\üße");
  EXPECT_EQ(EscapeText("a\\b", "\\"), "a\\\\\\\\b") << "extra characters apply after the fixed steps";
}

TEST(UnescapeText, ReadsEachEscapeAndLeavesWhatItCannotRead) {
  EXPECT_EQ(UnescapeText("\\065"), "A");
  EXPECT_EQ(UnescapeText("\\q\\r\\\\\\|"), "qr\\|");
  EXPECT_EQ(UnescapeText("a\\nb"), "a\r\nb");
  EXPECT_EQ(UnescapeText("\\12x"), "\x0C") << "three characters are taken, read as their leading number";
  EXPECT_EQ(UnescapeText("\\0095"), "\t5");
  EXPECT_EQ(UnescapeText("\\1"), "\x01") << "fewer than three characters at the end";
  EXPECT_EQ(UnescapeText("\\255"), "\u00FF");
  EXPECT_EQ(UnescapeText("\\9é!x"), "\tx") << "the three characters are code points";
  EXPECT_EQ(UnescapeText("\\ä"), "ä");
  // What it cannot read stays.
  EXPECT_EQ(UnescapeText("end\\"), "end\\");
  EXPECT_EQ(UnescapeText("\\256x"), "\\256x") << "codes above 255 are no characters";
  EXPECT_EQ(UnescapeText("\\999\\065"), "\\999A") << "the search goes on after a failed code";
  EXPECT_EQ(UnescapeText("\\1e5"), "\\1e5");
  EXPECT_EQ(UnescapeText(""), "");
  EXPECT_EQ(UnescapeText("plain"), "plain");
}

TEST(EscapingRoundTrip, EveryCharacterBelow32WithCodes) {
  const std::string controls = ControlCharacters();
  const std::string text = "a" + controls + "9" + controls + "\\";
  const std::string escaped = EscapeText(text, controls);
  for (char c : controls) EXPECT_EQ(escaped.find(c), std::string::npos) << static_cast<int>(c);
  EXPECT_EQ(UnescapeText(escaped), text);
}

TEST(EscapingRoundTrip, RandomTextsSurviveAndSplitOnlyAtTheirSeparators) {
  const std::vector<std::string> pieces = {"\\", "|", "\\|", "a",  "0",    "65",
                                           "n",  "ä", "€",   "\t", "\x01", " "};
  std::mt19937 random(20110302);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> values(1 + random() % 4);
    for (std::string& value : values) {
      for (std::size_t n = random() % 12; n > 0; --n) value += pieces[random() % pieces.size()];
    }
    std::string joined;
    for (const std::string& value : values) joined += EscapeText(value, "\t\x01") + "|";
    for (const std::string& value : values) {
      ASSERT_EQ(UnescapeText(NextTokenUnescaped(joined, "|")), value) << "round " << round;
    }
    ASSERT_EQ(joined, "");
  }
}

}  // namespace
}  // namespace zentora::excel
