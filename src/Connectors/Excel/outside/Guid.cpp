#include "outside/Guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "Error.h"

namespace zentora::excel {
namespace {

void MarkVersion4(GuidBytes& guid) {
  guid[6] = static_cast<std::uint8_t>((guid[6] & 0x0F) | 0x40);
  guid[8] = static_cast<std::uint8_t>((guid[8] & 0x3F) | 0x80);
}

class RandomGuidSource : public GuidSource {
 public:
  GuidBytes NewGuid() override {
    GuidBytes guid{};
    std::size_t filled = 0;
    while (filled < guid.size()) {
      const ssize_t got = getrandom(guid.data() + filled, guid.size() - filled, 0);
      if (got < 0) {
        if (errno == EINTR) continue;
        throw Error(ErrorCode::InvalidArgument,
                    std::string("the operating system's random source failed: ") + std::strerror(errno));
      }
      filled += static_cast<std::size_t>(got);
    }
    MarkVersion4(guid);
    return guid;
  }
};

RandomGuidSource systemSource;
GuidSource* currentSource = &systemSource;

}  // namespace

GuidBytes CountingGuidSource::NewGuid() {
  ++issued_;
  GuidBytes guid{};
  for (std::size_t i = 0; i < 8; ++i) guid[15 - i] = static_cast<std::uint8_t>(issued_ >> (8 * i));
  MarkVersion4(guid);
  return guid;
}

GuidOverride::GuidOverride(GuidSource& source) : previous_(currentSource) { currentSource = &source; }

GuidOverride::~GuidOverride() { currentSource = previous_; }

std::string GuidText(const GuidBytes& guid) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string text = "{";
  for (std::size_t i = 0; i < guid.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHexDigits[guid[i] >> 4];
    text += kHexDigits[guid[i] & 0x0F];
  }
  text += '}';
  return text;
}

std::string NewGuidText() { return GuidText(currentSource->NewGuid()); }

}  // namespace zentora::excel
