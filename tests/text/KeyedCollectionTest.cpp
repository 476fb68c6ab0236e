#include "text/KeyedCollection.h"

#include <gtest/gtest.h>
#include <strings.h>

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

// Letter case is folded as the text helpers fold it; these checks only show that the collection's
// lookups and duplicate checks go through that folding, and how positions and unkeyed entries behave.
TEST(KeyedCollection, FoldedKeysPositionsAndEntriesWithoutKeys) {
  TextCollection collection;
  collection.Add("Ärzte", "1");
  collection.Add("Straße", "2");
  ExpectError([&] { collection.Add("äRZTE", "3"); }, ErrorCode::DuplicateKey, "\"äRZTE\"");
  EXPECT_EQ(*collection.Find("ärzte") + *collection.Find("straẞe"), "12");
  EXPECT_EQ(collection.Find("STRASSE"), nullptr);
  // Replace may change the letter case in place; bad positions name themselves.
  collection.Replace(1, "ÄRZTE", "7");
  collection.Replace(1, "ärzte", "7");
  EXPECT_EQ(
      std::string(collection.KeyAt(1)) + "," + std::string(collection.KeyAt(2)) + "," + collection.At(1),
      "ärzte,Straße,7");
  ExpectError([&] { collection.Replace(1, "STRAẞE", "9"); }, ErrorCode::DuplicateKey, "STRAẞE");
  ExpectError([&] { collection.Insert(0, "e", "5"); }, ErrorCode::OutOfRange, "position 0");
  ExpectError([&] { collection.At(3); }, ErrorCode::OutOfRange, "position 3");
  ExpectError([&] { collection.RemoveKey("zz"); }, ErrorCode::InvalidArgument, "\"zz\"");

  // Entries without keys count by position; clearing empties the collection, which stays usable.
  TextCollection names;
  names.AddWithoutKey("Vorname");
  names.AddWithoutKey("Vorname");
  names.Add("k", "keyed");
  EXPECT_EQ(std::string(names.KeyAt(1)) + "|" + names.At(2) + "|" + names.At(3), "|Vorname|keyed");
  ClearCollection(names);
  EXPECT_TRUE(names.Count() == 0 && names.Find("k") == nullptr);
  names.Add("K", "again");
  EXPECT_EQ(*names.Find("k"), "again");
}

// Random additions, insertions, replacements and removals against a plain list of (key, value) pairs
// searched linearly, with keys from a small set so that the index sees many collisions, duplicates
// and removals in probe runs. Edits the model refuses (a duplicate key, a position past the end, a
// missing key) must throw. Some keys are too long to be kept inside their entry; the second round
// reserves room for 200,000 entries first, which puts the table and the entries in mapped memory.
TEST(KeyedCollectionScale, RandomEditsAgreeWithALinearModel) {
  for (const std::int32_t reserved : {0, 200000}) {
    std::mt19937 random(2011);
    std::vector<std::pair<std::string, std::string>> model;
    const auto modelPosition = [&](const std::string& key) {
      const auto at = std::find_if(model.begin(), model.end(), [&](const auto& entry) {
        return strcasecmp(entry.first.c_str(), key.c_str()) == 0;
      });
      return static_cast<std::int32_t>(at == model.end() ? 0 : at - model.begin() + 1);
    };
    TextCollection collection;
    collection.Reserve(reserved);
    for (int step = 0; step < 20000; ++step) {
      std::string key = "Key" + std::to_string(random() % 300);
      if (random() % 2 == 0) key[0] = 'k';
      if (random() % 8 == 0) key += std::string(40, '-');
      const std::pair<std::string, std::string> entry{key, std::to_string(step)};
      const std::int32_t present = modelPosition(key);
      const auto position =
          static_cast<std::int32_t>(1 + random() % (model.size() + 1));  // may be past the end
      const auto at = model.begin() + (position - 1);
      const bool inside = at != model.end();
      const auto kind = random() % 4;
      const bool allowed = kind == 0   ? present == 0
                           : kind == 1 ? inside && (present == 0 || present == position)
                           : kind == 2 ? inside
                                       : present != 0;
      const auto change = [&] {
        if (kind == 0) collection.Insert(position, key, entry.second);
        if (kind == 1) collection.Replace(position, key, entry.second);
        if (kind == 2) collection.RemoveAt(position);
        if (kind == 3) collection.RemoveKey(key);
      };
      if (!allowed) {
        EXPECT_THROW(change(), Error);
      } else if (change(); kind == 0) {
        model.insert(at, entry);
      } else if (kind == 1) {
        *at = entry;
      } else {
        model.erase(kind == 2 ? at : model.begin() + (present - 1));
      }
      ASSERT_EQ(collection.Count(), static_cast<std::int32_t>(model.size())) << "step " << step;
      const std::string probe = "KEY" + std::to_string(random() % 300);
      const std::string* found = collection.Find(probe);
      const auto expected = static_cast<std::size_t>(modelPosition(probe));
      ASSERT_EQ(found ? *found : "-", expected ? model[expected - 1].second : "-")
          << probe << " at step " << step;
    }
    for (std::int32_t i = 1; i <= collection.Count(); ++i) {
      ASSERT_EQ(collection.KeyAt(i), model[static_cast<std::size_t>(i - 1)].first);
      ASSERT_EQ(*collection.Find(model[static_cast<std::size_t>(i - 1)].first), collection.At(i));
    }
  }
}

}  // namespace
}  // namespace zentora::excel
