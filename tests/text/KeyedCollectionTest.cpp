#include "text/KeyedCollection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Error.h"
#include "ExpectError.h"

namespace zentora::excel {
namespace {

using TextCollection = KeyedCollection<std::string>;

std::vector<std::string> KeysInOrder(const TextCollection& collection) {
  std::vector<std::string> keys;
  for (std::int32_t i = 1; i <= collection.Count(); ++i) keys.push_back(collection.KeyAt(i));
  return keys;
}

// Letter case is folded as the text helpers fold it; these checks only show that the collection's
// lookups and duplicate checks go through that folding.
TEST(KeyedCollectionKeys, FoldedKeysAreFoundAndDuplicatesNamedAndRefused) {
  TextCollection collection;
  collection.Add("Ärzte", "1");
  collection.Add("Straße", "2");
  ExpectError([&] { collection.Add("äRZTE", "3"); }, ErrorCode::DuplicateKey, "\"äRZTE\"");
  ExpectError([&] { collection.Insert(1, "ÄRZTE", "3"); }, ErrorCode::DuplicateKey, "ÄRZTE");
  EXPECT_EQ(collection.Count(), 2);
  EXPECT_EQ(*collection.Find("ärzte"), "1");
  EXPECT_EQ(*collection.Find("straẞe"), "2");
  EXPECT_EQ(collection.Find("STRASSE"), nullptr);
}

TEST(KeyedCollectionOrder, ReplaceMayChangeTheLetterCaseInPlaceAndBadPositionsNameThemselves) {
  TextCollection collection;
  collection.Add("old", "7");
  collection.Add("other", "8");
  collection.Replace(1, "NEW", "7");
  collection.Replace(1, "new", "7");
  EXPECT_EQ(KeysInOrder(collection), (std::vector<std::string>{"new", "other"}));
  ExpectError([&] { collection.Replace(1, "OTHER", "9"); }, ErrorCode::DuplicateKey, "OTHER");
  EXPECT_EQ(collection.At(1), "7");
  ExpectError([&] { collection.Replace(3, "x", "9"); }, ErrorCode::OutOfRange, "position 3");
  ExpectError([&] { collection.Insert(4, "e", "5"); }, ErrorCode::OutOfRange, "position 4");
  ExpectError([&] { collection.Insert(0, "e", "5"); }, ErrorCode::OutOfRange, "position 0");
  ExpectError([&] { collection.At(3); }, ErrorCode::OutOfRange, "position 3");
  ExpectError([&] { collection.RemoveAt(0); }, ErrorCode::OutOfRange, "position 0");
  ExpectError([&] { collection.RemoveKey("zz"); }, ErrorCode::InvalidArgument, "\"zz\"");
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

// Random additions, insertions, replacements and removals against a plain
// list of (key, value) pairs searched linearly, with keys from a small set so
// that the index sees many collisions, duplicates and removals in probe runs.
TEST(KeyedCollectionScale, RandomEditsAgreeWithALinearModel) {
  std::mt19937 random(2011);
  const auto folded = [](std::string key) {
    std::transform(key.begin(), key.end(), key.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return key;
  };
  std::vector<std::pair<std::string, std::string>> model;
  const auto modelPosition = [&](const std::string& key) {
    for (std::size_t i = 0; i < model.size(); ++i) {
      if (folded(model[i].first) == folded(key)) return static_cast<std::int32_t>(i + 1);
    }
    return 0;
  };
  TextCollection collection;
  for (int step = 0; step < 20000; ++step) {
    std::string key = "Key" + std::to_string(random() % 300);
    if (random() % 2 == 0) key = folded(key);
    const std::string value = std::to_string(step);
    const auto count = static_cast<std::int32_t>(model.size());
    const std::int32_t present = modelPosition(key);
    switch (random() % 4) {
      case 0: {
        const auto before = static_cast<std::int32_t>(1 + random() % static_cast<unsigned>(count + 1));
        if (present != 0) {
          ASSERT_THROW(collection.Insert(before, key, value), Error);
        } else {
          collection.Insert(before, key, value);
          model.insert(model.begin() + (before - 1), {key, value});
        }
        break;
      }
      case 1:
        if (count == 0) break;
        {
          const auto position = static_cast<std::int32_t>(1 + random() % static_cast<unsigned>(count));
          if (present != 0 && present != position) {
            ASSERT_THROW(collection.Replace(position, key, value), Error);
          } else {
            collection.Replace(position, key, value);
            model[static_cast<std::size_t>(position - 1)] = {key, value};
          }
        }
        break;
      case 2:
        if (count == 0) break;
        {
          const auto position = static_cast<std::int32_t>(1 + random() % static_cast<unsigned>(count));
          collection.RemoveAt(position);
          model.erase(model.begin() + (position - 1));
        }
        break;
      default:
        if (present == 0) {
          ASSERT_THROW(collection.RemoveKey(key), Error);
        } else {
          collection.RemoveKey(key);
          model.erase(model.begin() + (present - 1));
        }
    }
    ASSERT_EQ(collection.Count(), static_cast<std::int32_t>(model.size()));
    const std::string probe = "KEY" + std::to_string(random() % 300);
    const std::int32_t expected = modelPosition(probe);
    const std::string* found = collection.Find(probe);
    ASSERT_EQ(found != nullptr, expected != 0) << probe << " at step " << step;
    if (found != nullptr) {
      ASSERT_EQ(*found, model[static_cast<std::size_t>(expected - 1)].second);
    }
  }
  for (std::int32_t i = 1; i <= collection.Count(); ++i) {
    ASSERT_EQ(collection.KeyAt(i), model[static_cast<std::size_t>(i - 1)].first);
    ASSERT_EQ(*collection.Find(model[static_cast<std::size_t>(i - 1)].first), collection.At(i));
  }
}

}  // namespace
}  // namespace zentora::excel
