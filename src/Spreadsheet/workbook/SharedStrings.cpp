#include "SharedStrings.h"

#include <limits>

#include "../Error.h"
#include "../package/Package.h"
#include "../xml/XmlStream.h"
#include "../xml/XmlText.h"

namespace zentora::spreadsheet {
namespace {

// Collects the text of each <si>: the <t> elements outside phonetic runs (<rPh>).
class SharedStringsReader : public xml::XmlHandler {
 public:
  SharedStringsReader(std::string& arena, std::vector<std::uint32_t>& offsets)
      : arena_(arena), offsets_(offsets) {
    offsets_.push_back(0);
  }

  void StartElement(std::string_view name, const char**) override {
    if (name == "si") {
      inItem_ = true;
      stored_.clear();
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
      xml::AppendDecodedCellText(arena_, stored_);
      if (arena_.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(ErrorCode::LimitExceeded, "more than 4 GiB of shared text");
      }
      offsets_.push_back(static_cast<std::uint32_t>(arena_.size()));
    }
  }
  void Characters(std::string_view text) override {
    if (inText_) stored_.append(text);
  }

 private:
  std::string& arena_;
  std::vector<std::uint32_t>& offsets_;
  std::string stored_;
  bool inItem_ = false;
  bool inText_ = false;
  int phoneticDepth_ = 0;
};

}  // namespace

SharedStrings::SharedStrings(Package& package, const std::string& partName) {
  SharedStringsReader reader(arena_, offsets_);
  xml::XmlStream stream(package.Where(partName), reader);
  package.Stream(partName,
                 [&](const char* data, std::size_t size, bool last) { stream.Feed(data, size, last); });
}

}  // namespace zentora::spreadsheet
