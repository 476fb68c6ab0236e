#include "outside/Guid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

namespace zentora::excel {
namespace {

TEST(NewGuidText, IsABracedUpperCaseVersion4Guid) {
  const std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string text = NewGuidText();
    ASSERT_EQ(text.size(), 38u);
    ASSERT_TRUE(std::regex_match(text, form)) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST(NewGuidText, CountingSourceGivesPredictableIdentifiers) {
  CountingGuidSource source;
  GuidOverride override(source);
  EXPECT_EQ(NewGuidText(), "{00000000-0000-4000-8000-000000000001}");
  EXPECT_EQ(NewGuidText(), "{00000000-0000-4000-8000-000000000002}");
  for (int i = 3; i <= 256; ++i) NewGuidText();
  EXPECT_EQ(NewGuidText(), "{00000000-0000-4000-8000-000000000101}");
}

TEST(GuidText, WritesTheBytesInTextOrder) {
  const GuidBytes bytes{0x3F, 0x25, 0x04, 0xE0, 0x4F, 0x89, 0x41, 0xD3,
                        0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C, 0x33, 0x01};
  EXPECT_EQ(GuidText(bytes), "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}");
}

}  // namespace
}  // namespace zentora::excel
