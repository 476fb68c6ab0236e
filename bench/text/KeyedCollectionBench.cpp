// Key lookups in a 1,000,000-entry keyed collection of item identifiers, next to
// std::unordered_map<std::string, std::string> with the same keys as the
// baseline, plus the cost of case folding on ASCII and non-ASCII keys.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "outside/Guid.h"
#include "text/KeyedCollection.h"
#include "text/Numbers.h"
#include "text/internal/CaseFolding.h"

namespace zentora::excel {
namespace {

constexpr int kEntries = 1'000'000;
constexpr std::size_t kQueries = 1 << 16;

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; });
  return text;
}

// The identifiers of a loaded workbook with row numbers as values, in both
// containers, each grown one entry at a time as loading does (no reserve).
struct Index {
  std::vector<std::string> keys;
  KeyedCollection<std::string> collection;
  std::unordered_map<std::string, std::string> baseline;
  std::vector<std::string> exactQueries;
  std::vector<std::string> otherCaseQueries;

  Index() {
    std::mt19937_64 random(42);
    keys.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
      GuidBytes bytes;
      for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
      keys.push_back(GuidText(bytes));
      collection.Add(keys.back(), DecimalText(i + 2));
      baseline.emplace(keys.back(), DecimalText(i + 2));
    }
    for (std::size_t q = 0; q < kQueries; ++q) {
      const std::string& key = keys[random() % keys.size()];
      exactQueries.push_back(key);
      otherCaseQueries.push_back(Lowered(key));
    }
  }
};

Index& SharedIndex() {
  static Index index;
  return index;
}

// Runs `lookup` over the queries. Independent lookups measure throughput (the
// processor overlaps the cache misses of several lookups); chained lookups,
// where the next query depends on the last result, measure the latency of one
// lookup as the location sees it between its other work.
template <typename Lookup>
void RunLookups(benchmark::State& state, const std::vector<std::string>& queries, bool chained,
                Lookup lookup) {
  std::size_t q = 0;
  for (auto _ : state) {
    const bool found = lookup(queries[q]);
    benchmark::DoNotOptimize(found);
    q = (q + 1 + (chained && !found ? 1 : 0)) % kQueries;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_UnorderedMapLookup(benchmark::State& state) {
  Index& index = SharedIndex();
  RunLookups(state, index.exactQueries, state.range(0) != 0,
             [&](const std::string& key) { return index.baseline.find(key) != index.baseline.end(); });
}

void BM_KeyedCollectionLookupSameCase(benchmark::State& state) {
  Index& index = SharedIndex();
  RunLookups(state, index.exactQueries, state.range(0) != 0,
             [&](const std::string& key) { return index.collection.Find(key) != nullptr; });
}

void BM_KeyedCollectionLookupOtherCase(benchmark::State& state) {
  Index& index = SharedIndex();
  RunLookups(state, index.otherCaseQueries, state.range(0) != 0,
             [&](const std::string& key) { return index.collection.Find(key) != nullptr; });
}

void BM_KeyedCollectionPositionLookup(benchmark::State& state) {
  Index& index = SharedIndex();
  std::int32_t position = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&index.collection.At(position));
    position = position % kEntries + 1;
  }
  state.SetItemsProcessed(state.iterations());
}

// Removing and re-inserting in the middle of 1,000,000 entries: the pointer shift.
void BM_KeyedCollectionMiddleRemoveInsert(benchmark::State& state) {
  Index& index = SharedIndex();
  const std::int32_t middle = kEntries / 2;
  for (auto _ : state) {
    const std::string key(index.collection.KeyAt(middle));
    std::string value = index.collection.At(middle);
    index.collection.RemoveAt(middle);
    index.collection.Insert(middle, key, std::move(value));
  }
  state.SetItemsProcessed(state.iterations());
}

const std::string kAsciiKey = "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}";
const std::string kNonAsciiKey = "Ärztekammer-Straße-Übersicht-Größenänderung";

void BM_FoldedHashAscii(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(detail::FoldedHash(kAsciiKey));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kAsciiKey.size()));
}

void BM_FoldedHashNonAscii(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(detail::FoldedHash(kNonAsciiKey));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kNonAsciiKey.size()));
}

void BM_StdHashAscii(benchmark::State& state) {
  const std::hash<std::string_view> hash;
  for (auto _ : state) benchmark::DoNotOptimize(hash(kAsciiKey));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kAsciiKey.size()));
}

void BM_StdHashNonAscii(benchmark::State& state) {
  const std::hash<std::string_view> hash;
  for (auto _ : state) benchmark::DoNotOptimize(hash(kNonAsciiKey));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kNonAsciiKey.size()));
}

void BM_FoldedEqualOtherCaseNonAscii(benchmark::State& state) {
  const std::string upper = "ÄRZTEKAMMER-STRAßE-ÜBERSICHT-GRÖßENÄNDERUNG";
  for (auto _ : state) benchmark::DoNotOptimize(detail::FoldedEqual(kNonAsciiKey, upper));
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_UnorderedMapLookup)->ArgName("chained")->Arg(0)->Arg(1);
BENCHMARK(BM_KeyedCollectionLookupSameCase)->ArgName("chained")->Arg(0)->Arg(1);
BENCHMARK(BM_KeyedCollectionLookupOtherCase)->ArgName("chained")->Arg(0)->Arg(1);
BENCHMARK(BM_KeyedCollectionPositionLookup);
BENCHMARK(BM_KeyedCollectionMiddleRemoveInsert);
BENCHMARK(BM_StdHashAscii);
BENCHMARK(BM_FoldedHashAscii);
BENCHMARK(BM_StdHashNonAscii);
BENCHMARK(BM_FoldedHashNonAscii);
BENCHMARK(BM_FoldedEqualOtherCaseNonAscii);

}  // namespace
}  // namespace zentora::excel

BENCHMARK_MAIN();
