#include "SharedStrings.h"

#include <algorithm>
#include <limits>

#include "../Error.h"
#include "../package/HugePages.h"
#include "../package/Package.h"
#include "../xml/XmlStream.h"
#include "../xml/XmlText.h"

namespace zentora::spreadsheet {
namespace {

// Collects the text of each <si>: the <t> elements outside phonetic runs (<rPh>), appended straight to
// the arena; an entry with `_xHHHH_` escapes is decoded at its end. The arena is charged to the memory
// budget before it grows and the offsets before they do, so that a flood of empty entries (four bytes
// each here, five in the part, thousands to a compressed byte) is refused once it costs more than the
// file may.
class SharedStringsReader : public xml::XmlHandler {
 public:
  SharedStringsReader(std::string& arena, std::vector<std::uint32_t>& offsets, MemoryBudget& memory)
      : arena_(arena), offsets_(offsets), memory_(memory) {
    offsets_.push_back(0);
  }

  void StartElement(std::string_view name, const char**) override {
    if (name == "si") {
      inItem_ = true;
      arena_.resize(offsets_.back());
    } else if (name == "t" && inItem_ && phoneticDepth_ == 0) {
      inText_ = true;
    } else if (name == "rPh") {
      ++phoneticDepth_;
    }
  }
  void EndElement(std::string_view name) override {
    if (name == "t") {
      inText_ = false;
    } else if (name == "rPh") {
      --phoneticDepth_;
    } else if (name == "si" && inItem_) {
      inItem_ = false;
      const std::size_t start = offsets_.back();
      if (arena_.find('_', start) != std::string::npos) {
        const std::string stored = arena_.substr(start);
        arena_.resize(start);
        xml::AppendDecodedCellText(arena_, stored);
      }
      if (arena_.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(ErrorCode::LimitExceeded, "more than 4 GiB of shared text");
      }
      if (offsets_.size() == offsets_.capacity()) {
        std::size_t grown = std::max<std::size_t>(1024, 2 * offsets_.capacity());
        memory_.Charge((grown - offsets_.capacity()) * sizeof(std::uint32_t));
        offsets_.reserve(grown);
      }
      offsets_.push_back(static_cast<std::uint32_t>(arena_.size()));
    }
  }
  void Characters(std::string_view text) override {
    if (!inText_) return;
    if (arena_.size() + text.size() > arena_.capacity())
      Reserve(std::max(arena_.size() + text.size(), 2 * arena_.capacity()));
    arena_.append(text);
  }

  // Makes room for `bytes` of text, charged before it is allocated.
  void Reserve(std::size_t bytes) {
    if (bytes <= arena_.capacity()) return;
    memory_.Charge(bytes - arena_.capacity());
    arena_.reserve(bytes);
    AdviseHugePages(arena_.data(), arena_.capacity());
  }

 private:
  std::string& arena_;
  std::vector<std::uint32_t>& offsets_;
  MemoryBudget& memory_;
  bool inItem_ = false;
  bool inText_ = false;
  int phoneticDepth_ = 0;
};

}  // namespace

SharedStrings::SharedStrings(Package& package, const std::string& partName) {
  SharedStringsReader reader(arena_, offsets_, package.memory());
  // Reserved up front: the texts are shorter than the part that holds them, and growing by doubling
  // would copy them and touch twice their size of fresh memory.
  reader.Reserve(static_cast<std::size_t>(package.InflatedSize(partName)));
  xml::XmlStream stream(package.Where(partName), reader);
  package.Stream(partName,
                 [&](const char* data, std::size_t size, bool last) { stream.Feed(data, size, last); });
}

}  // namespace zentora::spreadsheet
