#include "text/KeyedCollection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Error.h"

namespace zentora::excel {
namespace {

using TextCollection = KeyedCollection<std::string>;

std::vector<std::string> KeysInOrder(const TextCollection& collection) {
  std::vector<std::string> keys;
  for (std::int32_t i = 1; i <= collection.Count(); ++i) keys.push_back(collection.KeyAt(i));
  return keys;
}

template <typename Operation>
Error CaughtError(Operation operation) {
  try {
    operation();
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error was thrown";
  return Error(ErrorCode::InvalidArgument, "");
}

TEST(KeyedCollectionKeys, CompareBySimpleCaseFolding) {
  TextCollection collection;
  collection.Add("ärzte", "1");
  collection.Add("Straße", "2");
  collection.Add("{A1B2C3D4-0000-4000-8000-00000000ABCD}", "3");

  ASSERT_NE(collection.Find("ÄRZTE"), nullptr);
  EXPECT_EQ(*collection.Find("ÄRZTE"), "1");
  EXPECT_EQ(*collection.Find("STRAßE"), "2");
  EXPECT_EQ(*collection.Find("straẞe"), "2") << "capital sharp s folds to ß";
  EXPECT_EQ(collection.Find("STRASSE"), nullptr) << "full folding would make ß equal ss";
  EXPECT_EQ(*collection.Find("{a1b2c3d4-0000-4000-8000-00000000abcd}"), "3");
  EXPECT_EQ(collection.Find("{a1b2c3d4-0000-4000-8000-00000000abce}"), nullptr);
}

TEST(KeyedCollectionKeys, FoldingReachesBeyondLatin) {
  TextCollection collection;
  collection.Add("ΣΟΦΊΑ", "greek");
  collection.Add("KELVIN", "ascii");
  EXPECT_EQ(*collection.Find("σοφία"), "greek");
  EXPECT_EQ(*collection.Find("\u212Aelvin"), "ascii") << "the Kelvin sign folds to k";
  EXPECT_TRUE(collection.Contains("kElViN"));
}

TEST(KeyedCollectionKeys, IllFormedBytesCompareExactly) {
  TextCollection collection;
  collection.Add(std::string("A\xFF"), "bad");
  EXPECT_EQ(*collection.Find(std::string("a\xFF")), "bad");
  EXPECT_EQ(collection.Find(std::string("a\xFE")), nullptr);
  EXPECT_EQ(collection.Find("a"), nullptr);
}

TEST(KeyedCollectionKeys, DuplicateKeyNamesTheKeyAndChangesNothing) {
  TextCollection collection;
  collection.Add("Ärzte", "1");
  const Error error = CaughtError([&] { collection.Add("äRZTE", "2"); });
  EXPECT_EQ(error.code(), ErrorCode::DuplicateKey);
  EXPECT_NE(std::string(error.what()).find("\"äRZTE\""), std::string::npos) << error.what();
  EXPECT_EQ(collection.Count(), 1);
  EXPECT_EQ(CaughtError([&] { collection.Insert(1, "ÄRZTE", "3"); }).code(), ErrorCode::DuplicateKey);
  EXPECT_EQ(collection.Count(), 1);
  EXPECT_EQ(*collection.Find("ärzte"), "1");
}

TEST(KeyedCollectionOrder, PositionsFollowInsertionAndInsertBefore) {
  TextCollection collection;
  collection.Add("b", "2");
  collection.Insert(1, "a", "1");
  collection.Insert(3, "d", "4");
  collection.Insert(3, "c", "3");
  EXPECT_EQ(KeysInOrder(collection), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(collection.At(3), "3");
  EXPECT_EQ(CaughtError([&] { collection.Insert(6, "e", "5"); }).code(), ErrorCode::OutOfRange);
  EXPECT_EQ(CaughtError([&] { collection.Insert(0, "e", "5"); }).code(), ErrorCode::OutOfRange);
}

TEST(KeyedCollectionOrder, RemovalFromTheMiddleKeepsPositionsAndKeysRight) {
  TextCollection collection;
  for (int i = 1; i <= 6; ++i) collection.Add("key" + std::to_string(i), std::to_string(i));
  collection.RemoveAt(2);
  collection.RemoveKey("KEY4");
  EXPECT_EQ(KeysInOrder(collection), (std::vector<std::string>{"key1", "key3", "key5", "key6"}));
  EXPECT_EQ(collection.At(3), "5");
  EXPECT_FALSE(collection.Contains("key2"));
  EXPECT_FALSE(collection.Contains("key4"));
  collection.Add("key2", "again");
  EXPECT_EQ(collection.At(5), "again");
}

TEST(KeyedCollectionOrder, ReplaceKeepsThePositionUnderTheNewKey) {
  TextCollection collection;
  collection.Add("old", "7");
  collection.Add("other", "8");
  collection.Replace(1, "new", "7");
  EXPECT_EQ(KeysInOrder(collection), (std::vector<std::string>{"new", "other"}));
  EXPECT_FALSE(collection.Contains("old"));
  collection.Replace(1, "NEW", "7");
  EXPECT_EQ(collection.KeyAt(1), "NEW") << "a key may change its letter case in place";
  EXPECT_EQ(CaughtError([&] { collection.Replace(1, "OTHER", "9"); }).code(), ErrorCode::DuplicateKey);
  EXPECT_EQ(collection.At(1), "7");
  EXPECT_EQ(CaughtError([&] { collection.Replace(3, "x", "9"); }).code(), ErrorCode::OutOfRange);
}

TEST(KeyedCollectionOrder, EntriesWithoutKeysCountByPosition) {
  TextCollection names;
  names.AddWithoutKey("Vorname");
  names.AddWithoutKey("Vorname");
  names.Add("k", "keyed");
  EXPECT_EQ(names.Count(), 3);
  EXPECT_EQ(names.KeyAt(1), "");
  EXPECT_EQ(names.At(2), "Vorname");
  EXPECT_FALSE(names.Contains(""));
  names.RemoveAt(1);
  EXPECT_EQ(names.At(2), "keyed");
}

TEST(KeyedCollectionErrors, MissingPositionsAndKeysNameWhatIsMissing) {
  TextCollection collection;
  collection.Add("a", "1");
  const Error outside = CaughtError([&] { collection.At(2); });
  EXPECT_EQ(outside.code(), ErrorCode::OutOfRange);
  EXPECT_NE(std::string(outside.what()).find("position 2"), std::string::npos) << outside.what();
  EXPECT_EQ(CaughtError([&] { collection.RemoveAt(0); }).code(), ErrorCode::OutOfRange);
  const Error missing = CaughtError([&] { collection.RemoveKey("zz"); });
  EXPECT_EQ(missing.code(), ErrorCode::InvalidArgument);
  EXPECT_NE(std::string(missing.what()).find("\"zz\""), std::string::npos) << missing.what();
}

TEST(KeyedCollectionClear, ClearCollectionEmptiesAndTheCollectionStaysUsable) {
  KeyedCollection<std::int16_t> columns;
  columns.Add("id", 1);
  columns.Add("$Vorname", 4);
  ClearCollection(columns);
  EXPECT_EQ(columns.Count(), 0);
  EXPECT_EQ(columns.Find("id"), nullptr);
  columns.Add("ID", 2);
  EXPECT_EQ(*columns.Find("id"), 2);
}

TEST(KeyedCollectionScale, ManyEntriesStayReachableAfterMiddleEdits) {
  TextCollection collection;
  constexpr int kEntries = 20000;
  for (int i = 0; i < kEntries; ++i) collection.Add("Key" + std::to_string(i), std::to_string(i));
  collection.RemoveAt(kEntries / 2);
  collection.Insert(1, "first", "-1");
  EXPECT_EQ(collection.Count(), kEntries);
  for (int i = 0; i < kEntries; ++i) {
    if (i == kEntries / 2 - 1) continue;
    const std::string* value = collection.Find("KEY" + std::to_string(i));
    ASSERT_NE(value, nullptr) << i;
    ASSERT_EQ(*value, std::to_string(i));
  }
  EXPECT_EQ(collection.At(kEntries / 2 + 1), std::to_string(kEntries / 2));
}

}  // namespace
}  // namespace zentora::excel
