#include "text/internal/CaseFolding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <unicode/uchar.h>

#include "text/internal/Utf8.h"

namespace zentora::excel::detail {
namespace {

// Folds code point by code point through ICU directly, as the reference.
std::u32string ReferenceFold(std::string_view text) {
  std::u32string folded;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = NextCodePoint(text, i);
    folded += c >= kIllFormedByte
                  ? c
                  : static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
  }
  return folded;
}

// Spellings that fold alike, in groups: any member may replace any other.
const std::vector<std::vector<std::string>> kAlikeSpellings = {{"k", "K", "\u212A"},
                                                               {"ä", "Ä"},
                                                               {"ß", "ẞ"},
                                                               {"s", "S", "ſ"},
                                                               {"σ", "Σ"},
                                                               {"-"},
                                                               {"7"},
                                                               {"\xFF"},
                                                               {"\xC3"},
                                                               {"z", "Z"},
                                                               {"ǆ", "ǅ", "Ǆ"}};

TEST(CaseFolding, AlikeSpellingsCompareAndHashEqualAtEveryAlignment) {
  std::mt19937 random(7);
  for (int round = 0; round < 5000; ++round) {
    std::string a;
    std::string b;
    for (std::size_t n = random() % 40; n > 0; --n) {
      const auto& group = kAlikeSpellings[random() % kAlikeSpellings.size()];
      a += group[random() % group.size()];
      b += group[random() % group.size()];
    }
    ASSERT_TRUE(FoldedEqual(a, b)) << a << " / " << b;
    ASSERT_EQ(FoldedHash(a), FoldedHash(b)) << a << " / " << b;
  }
}

TEST(CaseFolding, EqualityAgreesWithFoldingThroughIcu) {
  const std::vector<std::string> pieces = {"a",  "A",      "ä", "Ä",      "ss",     "ß",
                                           "SS", "\u0130", "i", "I",      "\u212A", "\xE2\x84",
                                           "k",  "\xFF",   "€", "\u023A", "\u2C65"};
  std::mt19937 random(11);
  for (int round = 0; round < 5000; ++round) {
    std::string a;
    std::string b;
    for (std::size_t n = random() % 6; n > 0; --n) a += pieces[random() % pieces.size()];
    for (std::size_t n = random() % 6; n > 0; --n) b += pieces[random() % pieces.size()];
    const bool expected = ReferenceFold(a) == ReferenceFold(b);
    ASSERT_EQ(FoldedEqual(a, b), expected) << a << " / " << b;
    if (expected) {
      ASSERT_EQ(FoldedHash(a), FoldedHash(b)) << a << " / " << b;
    }
  }
}

TEST(CaseFolding, LongKeysAndTheKeysThatDiffer) {
  const std::string longKey(3000, 'Q');
  EXPECT_EQ(FoldedHash(longKey), FoldedHash(std::string(3000, 'q')));
  EXPECT_TRUE(FoldedEqual(longKey + "Ä", std::string(3000, 'q') + "ä"));
  EXPECT_FALSE(FoldedEqual("Straße", "STRASSE"));
  EXPECT_FALSE(FoldedEqual("abc", "abcd"));
  EXPECT_FALSE(FoldedEqual("", "a"));
  EXPECT_TRUE(FoldedEqual("", ""));
  EXPECT_NE(FoldedHash("{A1B2C3D4-0000-4000-8000-00000000ABCD}"),
            FoldedHash("{A1B2C3D4-0000-4000-8000-00000000ABCE}"));
}

}  // namespace
}  // namespace zentora::excel::detail
