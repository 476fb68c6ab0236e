// The text helpers: one table of canonical forms per helper (a round trip alone misses a form that is
// wrong both ways), generated round trips for escaping, and the edges where a helper refuses.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Error.h"
#include "ExpectError.h"
#include "outside/Clock.h"
#include "outside/Files.h"
#include "outside/Guid.h"
#include "text/Escaping.h"
#include "text/LogText.h"
#include "text/Numbers.h"
#include "text/Search.h"
#include "text/Stamps.h"
#include "text/Tokens.h"

namespace zentora::excel {
namespace {

using Texts = std::vector<std::string>;

Texts AllTokens(std::string rest, std::string_view separator, bool unescaped) {
  Texts tokens;
  while (!rest.empty())
    tokens.push_back(unescaped ? NextTokenUnescaped(rest, separator) : NextToken(rest, separator));
  return tokens;
}

TEST(Tokens, CutAtSeparatorsFindUnescapedOnesAndTrim) {
  const std::tuple<const char*, const char*, bool, Texts> lists[] = {
      {"a=b=c", "=", false, {"a", "b", "c"}},
      {"a,,b, c ", ",", false, {"a", "", "b", " c "}},
      {"x||y|z", "||", false, {"x", "y|z"}},
      {"a,", ",", false, {"a"}},
      {"x\\|y|z", "|", true, {"x\\|y", "z"}},
      {"ID=1|Text=a\\\\|Data=b\\|c\\", "|", true, {"ID=1", "Text=a\\\\", "Data=b\\|c\\"}}};
  for (const auto& [text, separator, unescaped, tokens] : lists)
    EXPECT_EQ(AllTokens(text, separator, unescaped), tokens) << text;

  // An escaped backslash does not escape the bar; backslashes are counted in sixteen bits.
  const std::pair<std::string, std::int32_t> found[] = {{"a\\|b|c", 5},
                                                        {"a\\\\|b", 4},
                                                        {"a\\\\\\|b", 0},
                                                        {"|", 1},
                                                        {"", 0},
                                                        {"abc", 0},
                                                        {std::string(32767, '\\') + "|", 0},
                                                        {std::string(32766, '\\') + "|", 32767}};
  for (const auto& [text, position] : found) EXPECT_EQ(FindUnescaped(text, "|"), position) << text.size();
  EXPECT_EQ(FindUnescaped(std::string_view("\\\\|").substr(1), "|"), 0) << "what lies before the text";
  ExpectError([] { FindUnescaped(std::string(32768, '\\') + "|", "|"); }, ErrorCode::Overflow, "32769");

  const std::pair<const char*, const char*> trimmed[] = {
      {"\t\r\n x y \x01\x1F", "x y"}, {" \t ", ""}, {"\xC2\xA0Ärzte\xC2\xA0", "\xC2\xA0Ärzte\xC2\xA0"}};
  for (const auto& [text, trim] : trimmed) EXPECT_EQ(TrimBlanks(text), trim) << text;
  std::string rest = "  a , b\t ,c ";
  Texts trimmedTokens;
  for (int i = 0; i < 3; ++i) trimmedTokens.push_back(NextTrimmedToken(rest, ",") + "|" + rest);
  EXPECT_EQ(trimmedTokens, (Texts{"a|b\t ,c", "b\t|c", "c|"}));
}

TEST(Escaping, CanonicalFormsAndRandomRoundTripsOverEveryControlCharacter) {
  // Extra characters become codes or escaped characters, after the fixed steps.
  const std::tuple<const char*, const char*, const char*> escaped[] = {
      {"a\\b|c\r\nd", "", "a\\\\b\\|c\\nd"}, {"lone\rCR", "", "loneCR"},
      {"lone\nLF", "", "lone\\nLF"},         {"a\tb", "\t", "a\\009b"},
      {"x,y*z", ",*", "x\\,y\\*z"},          {"Grüße", "ü", "Gr\\üße"},
      {"a\\b", "\\", "a\\\\\\\\b"}};
  for (const auto& [text, extra, escape] : escaped) EXPECT_EQ(EscapeText(text, extra), escape) << text;
  // Three characters (code points) are read as their leading number; what cannot be read stays.
  const std::pair<const char*, const char*> unescaped[] = {
      {"\\065", "A"},      {"\\q\\r\\\\\\|", "qr\\|"}, {"a\\nb", "a\r\nb"},
      {"\\12x", "\x0C"},   {"\\0095", "\t5"},          {"\\1", "\x01"},
      {"\\255", "\u00FF"}, {"\\9é!x", "\tx"},          {"\\ä", "ä"},
      {"end\\", "end\\"},  {"\\256x", "\\256x"},       {"\\999\\065", "\\999A"},
      {"\\1e5", "\\1e5"}};
  for (const auto& [text, plain] : unescaped) EXPECT_EQ(UnescapeText(text), plain) << text;

  // Every character below 32 but the line breaks (which escape as a line break) as an extra character.
  std::string controls;
  for (char c = 0; c < 32; ++c) controls += c == '\r' || c == '\n' ? "" : std::string(1, c);
  Texts pieces = {"\\", "|", "\\|", "a", "0", "65", "n", "ä", "€", " "};
  for (const char c : controls) pieces.emplace_back(1, c);
  std::mt19937 random(20110302);
  for (int round = 0; round < 2000; ++round) {
    Texts values(1 + random() % 4);
    for (std::string& value : values) {
      for (std::size_t n = random() % 12; n > 0; --n) value += pieces[random() % pieces.size()];
    }
    std::string joined;
    for (const std::string& value : values) joined += EscapeText(value, controls) + "|";
    ASSERT_EQ(joined.find_first_of(controls), std::string::npos) << joined;
    for (const std::string& value : values)
      ASSERT_EQ(UnescapeText(NextTokenUnescaped(joined, "|")), value) << "round " << round;
    ASSERT_EQ(joined, "");
  }
}

TEST(Numbers, ReadRoundAndWrite) {
  // Blanks inside a number count, a CR ends it; too small for a double is zero.
  const std::pair<const char*, double> leading[] = {{"12x", 12},       {"  -3.25abc", -3.25},
                                                    {"+7", 7},         {".5", 0.5},
                                                    {"5.", 5},         {"1e3", 1000},
                                                    {"2D2", 200},      {"1e", 1},
                                                    {"1e+x", 1},       {"4,5", 4},
                                                    {"0001234", 1234}, {" 1 2 3", 123},
                                                    {"\t- 4\n5", -45}, {"1\r2", 1},
                                                    {"", 0},           {"x12", 0},
                                                    {".", 0},          {"-", 0},
                                                    {"1e-400", 0}};
  for (const auto& [text, number] : leading) EXPECT_EQ(LeadingNumber(text), number) << text;
  // Plain digits up to nine are read directly, longer ones by the scanner.
  EXPECT_EQ((std::pair{LeadingNumber("999999999"), LeadingNumber("9999999999")}),
            (std::pair{999999999.0, 9999999999.0}));
  ExpectError([] { LeadingNumber("9e999"); }, ErrorCode::Overflow, "9e999");
  EXPECT_THROW(LeadingNumber(std::string(400, '9')), Error);
  EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0);
  // A lone point is a decimal point; too large for a double counts as 0.
  const std::pair<const char*, double> decimals[] = {{"4,5", 4.5},    {"1.234,6", 1234.6}, {"1.234", 1.234},
                                                     {"85%", 85},     {"0,4", 0.4},        {"", 0},
                                                     {"sehr gut", 0}, {"1e999", 0}};
  for (const auto& [text, number] : decimals) EXPECT_EQ(ParseDecimal(text), number) << text;

  // Halves round to even; out of range is an overflow naming the value.
  const std::pair<double, std::int32_t> rounded[] = {
      {4.5, 4}, {5.5, 6}, {-2.5, -2}, {-3.5, -4}, {3.7, 4}, {32767.4, 32767}, {-32768.5, -32768}};
  for (const auto& [value, integer] : rounded) EXPECT_EQ(ToInt16(value), integer) << value;
  EXPECT_EQ(ToInt32(0.49999999999999994), 0);
  EXPECT_EQ(ToInt32(2147483646.5), 2147483646);
  EXPECT_EQ(ToInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
  ExpectError([] { ToInt16(32767.5); }, ErrorCode::Overflow, "32767.5");
  for (const double value :
       {2147483647.5, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
    EXPECT_THROW(ToInt32(value), Error) << value;
  EXPECT_EQ(
      DecimalText(0) + " " + DecimalText(-17) + " " + DecimalText(std::numeric_limits<std::int64_t>::min()),
      "0 -17 -9223372036854775808");
}

TEST(Stamps, NotationsFoundInWorkbooksSecondsAndAge) {
  FixedClock clock({987, 1, 9, 0, 0, 5, 0});
  ClockOverride override(clock);
  EXPECT_EQ(NowStamp(), "09870109000005");
  // A time alone is read as the day part; other texts pass or are read as far as they go, never
  // failing; the ninth character counts code points.
  const std::pair<const char*, const char*> notations[] = {{"20110302143015", "20110302143015"},
                                                           {"20110302-143015", "20110302143015"},
                                                           {"02.03.2011 14:30:15", "20110302143015"},
                                                           {"2.3.11 8:05", "20110302080500"},
                                                           {"02/03/2011 14:30", "20110302143000"},
                                                           {"1.2.2010", "20100201000000"},
                                                           {"14:30", "00000014000000"},
                                                           {"1.1.30", "19300101000000"},
                                                           {"1.1.29", "20290101000000"},
                                                           {"1.1.0", "00000101000000"},
                                                           {"1.1.100", "01000101000000"},
                                                           {"", ""},
                                                           {"gestern", "gestern"},
                                                           {"x.y.z a:b:c", "00000000000000"},
                                                           {"1e999.2.2010", "20100200000000"},
                                                           {"-1.2.2010", "201002-01000000"},
                                                           {"ä1234567-x", "ä1234567x"}};
  for (const auto& [text, stamp] : notations) EXPECT_EQ(NormalizeStamp(text), stamp) << text;

  // Months count as 31 days; outside 32 bits, and without a year, the seconds are 0.
  const std::pair<const char*, std::int32_t> seconds[] = {{"19800101000000", 2764800},
                                                          {"19800101000001", 2764801},
                                                          {"02.01.1980", 2764800 + 86400},
                                                          {"19800131235959", 5443199},
                                                          {"19800201000000", 5443200},
                                                          {"20460924031407", 2147483647},
                                                          {"20460924031408", 0},
                                                          {"20461001000000", 0},
                                                          {"19140101000000", -2118528000},
                                                          {"19130206204552", -2147483647 - 1},
                                                          {"19130206204551", 0},
                                                          {"19000101000000", 0},
                                                          {"14:30", 0}};
  for (const auto& [text, count] : seconds) EXPECT_EQ(StampSeconds(text), count) << text;

  clock.Set({2011, 3, 2, 14, 30, 15, 999999});
  EXPECT_EQ(NowStamp(), "20110302143015");
  const std::pair<const char*, std::int32_t> ages[] = {{"20110302143000", 15},
                                                       {"20110302143015", 0},
                                                       {"20110302143016", -1},
                                                       {"", -1},
                                                       {"02.03.2011 14:30", 15}};
  for (const auto& [text, age] : ages) EXPECT_EQ(StampAge(text), age) << text;
  clock.Set({2046, 9, 24, 3, 14, 7, 0});  // a difference beyond 32 bits
  ExpectError([] { StampAge("19130206204552"); }, ErrorCode::Overflow, "19130206204552");
}

TEST(Search, ReplacesWithoutSearchingWhatItProducedAndFindsWholeWords) {
  // Case is ignored by lower-cased code points (the Kelvin sign is k, ß is not "ss"); in whole words a
  // replacement is the left neighbour of what follows.
  const std::tuple<const char*, const char*, const char*, bool, bool, const char*> replaced[] = {
      {"aaa", "a", "aa", false, false, "aaaaaa"},
      {"abab", "ab", "b", false, false, "bb"},
      {"a.b.c", ".", "", false, false, "abc"},
      {"xyz", "", "q", false, false, "xyz"},
      {"Ärzte", "ä", "a", false, false, "Ärzte"},
      {"ÄRZTE und ärzte", "Ärzte", "X", true, false, "X und X"},
      {"Straße STRASSE", "STRAßE", "X", true, false, "X STRASSE"},
      {"\u212A-k", "k", "x", true, false, "x-x"},
      {"cat catalog cat_x 5cat cat", "cat", "dog", false, true, "dog catalog cat_x 5dog dog"},
      {"--", "-", "x", false, true, "x-"},
      {"CAT cat", "cat", "dog", true, true, "dog dog"}};
  for (const auto& [text, find, replacement, ignoreCase, wholeWord, result] : replaced) {
    std::string changed = text;
    ReplaceText(changed, find, replacement, ignoreCase, wholeWord);
    EXPECT_EQ(changed, result) << text;
  }
  // Digits are no word characters, the character before the start still counts, positions count bytes.
  const std::tuple<std::int32_t, const char*, const char*, std::int32_t> words[] = {
      {1, "xab ab", "ab", 5}, {1, "ab", "ab", 1},  {1, "ab1", "ab", 1},
      {2, "ab ab", "ab", 4},  {3, "xab", "ab", 0}, {1, "äab", "ab", 3},
      {1, "abc", "", 0},      {10, "ab", "ab", 0}, {1, "", "ab", 0}};
  for (const auto& [start, text, word, position] : words)
    EXPECT_EQ(FindWord(start, text, word), position) << text;
  ExpectError([] { FindWord(0, "ab", "ab"); }, ErrorCode::InvalidArgument, "0");
  for (const char* yes : {"A", "Z", "a", "z", "_", "m"}) EXPECT_TRUE(IsWordChar(yes)) << yes;
  for (const char* no : {"5", "@", "[", "`", "{", " ", "", "ä", "ß"}) EXPECT_FALSE(IsWordChar(no)) << no;
}

// Whole logs are read and written through the item; these are logs with parts missing or to spare.
TEST(LogText, PartsMissingOrToSpare) {
  EXPECT_EQ(LogCreationStamp("C") + "|" + LogModifyStamp("C") + "|" + LogModifyStamp("C,M"), "C||M");
  const std::pair<std::int32_t, std::int32_t> counts[] = {
      {LogModifyCountOf("C"), 0},
      {LogModifyCountOf("C,M"), 0},
      {LogViewCountOf("C,M*1,V*x"), 0},
      {LogViewCountOf("C,M*1,V* 2.5"), 2},
      {LogModifyCountOf("-Datensatz nicht mehr vorhanden-"), 0}};
  for (const auto& [count, expected] : counts) EXPECT_EQ(count, expected);
  ExpectError([] { LogModifyCountOf("C,M*2147483648"); }, ErrorCode::Overflow, "2147483648");

  using Write = void (*)(std::string&);
  const std::tuple<const char*, Write, const char*> writes[] = {
      {"", [](std::string& log) { SetLogViewCount(log, 1); }, ",,*1"},
      {"C", [](std::string& log) { SetLogModifyCount(log, 0); }, "C*0"},
      {"C", [](std::string& log) { SetLogModifyStamp(log, ""); }, "C*"},
      {"C", [](std::string& log) { SetLogViewStamp(log, "V"); }, "C,,V*"},
      {"C", [](std::string& log) { SetLogViewCount(log, 0); }, "C*0"},
      {"C,M*1,V*1,extra,more", [](std::string& log) { SetLogViewStamp(log, "W"); }, "C,M*1,W*1"},
      {"C,M*1,V*1,extra", [](std::string& log) { SetLogModifyStamp(log, "N"); }, "C,N*1,V*1,extra"}};
  for (const auto& [before, write, after] : writes) {
    std::string log = before;
    write(log);
    EXPECT_EQ(log, after) << before;
  }
}

TEST(Outside, GuidsClockOverridesAndFiles) {
  const std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(std::regex_match(*seen.insert(NewGuidText()).first, form));
  EXPECT_EQ(seen.size(), 200u);
  EXPECT_EQ(GuidText({0x3F, 0x25, 0x04, 0xE0, 0x4F, 0x89, 0x41, 0xD3, 0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C,
                      0x33, 0x01}),
            "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}");

  const LocalDateTime now = LocalNow();
  EXPECT_TRUE(now.year >= 2020 && now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31 &&
              now.microsecond < 1000000);
  FixedClock outer({2011, 3, 2, 14, 30, 15, 0});
  FixedClock inner({1999, 12, 31, 23, 59, 59, 500000});
  {
    ClockOverride outerOverride(outer);
    std::optional<ClockOverride> innerOverride(inner);
    EXPECT_FLOAT_EQ(SecondsSinceMidnight(), 86399.5f);
    innerOverride.reset();  // overrides nest and restore
    EXPECT_EQ(&CurrentClock(), &outer);
  }
  EXPECT_NE(&CurrentClock(), &outer);
  // A file exists only when it is a readable regular file.
  EXPECT_EQ((std::vector<bool>{FileExists("/proc/self/exe"), FileExists("/tmp"), FileExists("/nirgends.xlsx"),
                               FileExists("")}),
            (std::vector<bool>{true, false, false, false}));
}

}  // namespace
}  // namespace zentora::excel
