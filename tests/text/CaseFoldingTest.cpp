#include "text/internal/CaseFolding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
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

// Spellings in groups that fold alike (any member may replace any other), and ill-formed bytes.
const std::vector<std::vector<std::string>> kSpellings = {{"k", "K", "\u212A"},
                                                          {"ä", "Ä"},
                                                          {"ß", "ẞ"},
                                                          {"s", "S", "ſ"},
                                                          {"σ", "Σ"},
                                                          {"ǆ", "ǅ", "Ǆ"},
                                                          {"a", "A"},
                                                          {"i", "I"},
                                                          {"\u023A", "\u2C65"},
                                                          {"ss"},
                                                          {"SS"},
                                                          {"\u0130"},
                                                          {"-"},
                                                          {"7"},
                                                          {"€"},
                                                          {"\xFF"},
                                                          {"\xC3"},
                                                          {"\xE2\x84"}};

// Every other round the second key spells the first alike (long keys, at every alignment); otherwise
// both are short random keys, mostly different. Equality must agree with ICU's folding, and keys
// that are equal must hash equal.
TEST(CaseFolding, EqualityAgreesWithFoldingThroughIcuAndEqualKeysHashEqual) {
  std::mt19937 random(7);
  const auto pick = [&](const auto& list) -> const auto& { return list[random() % list.size()]; };
  for (int round = 0; round < 10000; ++round) {
    const bool alike = round % 2 == 0;
    std::string a;
    std::string b;
    for (std::size_t n = random() % (alike ? 40 : 6); n > 0; --n) {
      const auto& group = pick(kSpellings);
      a += pick(group);
      if (alike) b += pick(group);
    }
    for (std::size_t n = alike ? 0 : random() % 6; n > 0; --n) b += pick(pick(kSpellings));
    const bool expected = ReferenceFold(a) == ReferenceFold(b);
    ASSERT_EQ(FoldedEqual(a, b), expected) << a << " / " << b;
    ASSERT_TRUE(!expected || FoldedHash(a) == FoldedHash(b)) << a << " / " << b;
  }
}

TEST(CaseFolding, LongKeysAndTheKeysThatDiffer) {
  const std::string longKey(3000, 'Q');
  EXPECT_EQ(FoldedHash(longKey), FoldedHash(std::string(3000, 'q')));
  const std::tuple<std::string, std::string, bool> pairs[] = {
      {longKey + "Ä", std::string(3000, 'q') + "ä", true},
      {"Straße", "STRASSE", false},
      {"abc", "abcd", false},
      {"", "a", false},
      {"", "", true}};
  for (const auto& [a, b, equal] : pairs) EXPECT_EQ(FoldedEqual(a, b), equal) << a.size() << " " << b;
  EXPECT_NE(FoldedHash("{A1B2C3D4-0000-4000-8000-00000000ABCD}"),
            FoldedHash("{A1B2C3D4-0000-4000-8000-00000000ABCE}"));
}

}  // namespace
}  // namespace zentora::excel::detail
