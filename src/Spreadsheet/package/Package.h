// The zip package of a workbook, held in memory as its original compressed
// bytes. Parts are inflated as a stream with the ratio of inflated to
// compressed bytes watched as they arrive (a part may inflate far past its
// declared size) and their CRC checked; names are vetted on open. Reading a
// workbook draws on one memory budget that grows with the file's size.
// Writing produces a new package in which every part not replaced is copied
// still compressed, byte for byte.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ZipWriter.h"

namespace zentora::spreadsheet {

// Bounds on what reading a package may cost. Sizes follow the file: a part may inflate to
// `inflationAllowance` plus `maxInflationRatio` times the compressed bytes read so far, the whole package
// to the allowance plus the ratio times the file's size; the model built from it may take
// `memoryAllowance` plus `memoryPerFileByte` times the file's size, at most `maxMemoryBytes`.
struct Limits {
  std::uint64_t maxInflationRatio = 100;
  std::uint64_t inflationAllowance = 16ull << 20;
  std::uint64_t memoryAllowance = 256ull << 20;
  std::uint64_t memoryPerFileByte = 64;
  std::uint64_t maxMemoryBytes = 8ull << 30;
  std::uint64_t maxParts = 65'536;  // entries in the zip directory
};

// The memory that building a workbook's model from its parts may take. Readers charge what they keep
// (cell records, texts, table entries, raw fragments) before or as they allocate it; past the budget a
// charge throws LimitExceeded. Charges from several threads may run at the same time.
class MemoryBudget {
 public:
  MemoryBudget(std::uint64_t bytes, std::uint64_t fileBytes) : budget_(bytes), fileBytes_(fileBytes) {}
  void Charge(std::uint64_t bytes);

 private:
  std::uint64_t budget_;
  std::uint64_t fileBytes_;
  std::atomic<std::uint64_t> used_ = 0;
};

// How much of a growing buffer is already charged to a budget, so that each charge is only the growth.
class ChargedSize {
 public:
  // What `size` exceeds the size charged so far by (0 when it does not), now taken as charged.
  std::size_t GrowthTo(std::size_t size) {
    if (size <= charged_) return 0;
    const std::size_t growth = size - charged_;
    charged_ = size;
    return growth;
  }

 private:
  std::size_t charged_ = 0;
};

// The folder of a part name with its slash ("xl/worksheets/"), or "" for a part at the root.
std::string PartFolder(std::string_view partName);
// The relationships part of `partName` ("xl/worksheets/_rels/sheet1.xml.rels").
std::string RelationshipsPartOf(std::string_view partName);

class Package {
 public:
  // Opens the zip in `bytes`; `fileName` names the file in messages. Throws NotAWorkbook for data that is
  // not a zip (naming a legacy binary or encrypted workbook, or a text file, when it is one), a corrupt
  // directory, an encrypted entry, or an entry name that is absolute, contains "..", or repeats another in
  // letter case.
  Package(std::string bytes, std::string fileName, Limits limits);
  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  // The limits given on open.
  const Limits& limits() const { return limits_; }
  // The budget that reading this package's parts into a model draws on.
  MemoryBudget& memory() { return memory_; }
  // The file name given on open, for messages.
  const std::string& fileName() const { return fileName_; }
  // "<file>, part <name>": how messages name a part.
  std::string Where(std::string_view partName) const;
  // True when the package has a part of that name (compared without regard to ASCII letter case).
  bool Has(std::string_view partName) const;
  // The stored spelling of the part's name, or "" when there is none.
  std::string StoredName(std::string_view partName) const;
  // Every part name in directory order.
  std::vector<std::string> PartNames() const;
  // The part's size as the zip directory declares it, at most what the inflation limits allow for its
  // compressed size: a hint for reserving room, not a promise. Throws NotAWorkbook when missing.
  std::uint64_t InflatedSize(std::string_view partName) const;
  // The part's whole inflated content, charged to the memory budget on its first read; throws
  // NotAWorkbook when missing or corrupt, LimitExceeded past limits.
  std::string Read(std::string_view partName);
  // Streams the part's inflated content in chunks to `sink`, the last call with `last` true; throws as Read,
  // and LimitExceeded as soon as the part inflates more than the limits allow.
  // Streams (and Reads) of different parts may run on different threads at the same time.
  void Stream(std::string_view partName, const std::function<void(const char*, std::size_t, bool)>& sink);

  // A new package: parts in `changes` with a producer are replaced in place or appended (deflated at
  // `level`), parts mapped to nullopt are removed, every other part is copied still compressed.
  // Throws NotAWorkbook when a part to copy cannot be read, LimitExceeded past 4 GiB.
  std::string Write(const std::map<std::string, std::optional<PartProducer>>& changes, int level) const;

  // A new package holding exactly `parts` in the given order, deflated.
  static std::string Build(const std::vector<std::pair<std::string, std::string>>& parts, int level);
  // A producer that writes `content` (which must outlive it).
  static PartProducer Content(const std::string& content);

 private:
  std::uint64_t IndexOf(std::string_view partName) const;
  // Stream, telling whether this was the part's first read.
  bool Inflate(std::string_view partName, const std::function<void(const char*, std::size_t, bool)>& sink);

  std::string bytes_;
  std::string fileName_;
  Limits limits_;
  MemoryBudget memory_;
  std::atomic<std::uint64_t> totalRead_ = 0;
  std::unique_ptr<std::atomic<bool>[]> read_;  // per entry: read at least once
  std::vector<std::uint64_t> inflatedSizes_;   // per entry: InflatedSize
  void* archive_ = nullptr;
  std::map<std::string, std::uint64_t> byFoldedName_;
};

}  // namespace zentora::spreadsheet
