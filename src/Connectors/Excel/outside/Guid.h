// Fresh identifiers for new items: random version-4 GUIDs from the operating
// system's random source, in their 38-character braced upper-case text
// ("{3F2504E0-4F89-41D3-9A0C-0305E82C3301}"). Tests substitute a GuidSource
// through a GuidOverride to get predictable identifiers.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zentora::excel {

// The 16 bytes of a GUID in text order.
using GuidBytes = std::array<std::uint8_t, 16>;

// A source of new GUIDs.
class GuidSource {
 public:
  virtual ~GuidSource() = default;
  // The bytes of a new GUID; throws Error when the source fails.
  virtual GuidBytes NewGuid() = 0;
};

// A source that counts: the n-th GUID it gives has n in its last bytes and is
// otherwise zero apart from the version and variant bits
// ("{00000000-0000-4000-8000-000000000001}" first).
class CountingGuidSource : public GuidSource {
 public:
  GuidBytes NewGuid() override;

 private:
  std::uint64_t issued_ = 0;
};

// While alive, makes NewGuidText() draw from `source` (borrowed; it must outlive
// the override); restores the previous source when destroyed. Overrides nest.
class GuidOverride {
 public:
  explicit GuidOverride(GuidSource& source);
  ~GuidOverride();
  GuidOverride(const GuidOverride&) = delete;
  GuidOverride& operator=(const GuidOverride&) = delete;

 private:
  GuidSource* previous_;
};

// The braced upper-case text of `guid`, 38 characters.
std::string GuidText(const GuidBytes& guid);

// The text of a new GUID from the source in force (the operating system's random
// source unless overridden); throws Error naming the cause when that source fails.
std::string NewGuidText();

}  // namespace zentora::excel
