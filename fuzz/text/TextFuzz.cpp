// Feeds arbitrary cell texts to the text readers and checks what must hold for
// every text: escaping round trips, unescaped cutting agrees with its search,
// stamp reading never fails, and keys that compare equal hash equally.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Error.h"
#include "text/Escaping.h"
#include "text/LogText.h"
#include "text/Numbers.h"
#include "text/Stamps.h"
#include "text/Tokens.h"
#include "text/internal/CaseFolding.h"

using namespace zentora::excel;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Overflow is the one error a reader may raise for a number too large for its width.
template <typename Reader>
void ReadAllowingOverflow(Reader reader) {
  try {
    reader();
  } catch (const Error& error) {
    Check(error.code() == ErrorCode::Overflow);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  if (text.find_first_of("\r\n") == std::string::npos) Check(UnescapeText(EscapeText(text, "\t,*")) == text);

  std::string rest = text;
  while (!rest.empty()) {
    const std::size_t before = rest.size();
    NextTokenUnescaped(rest, "|");
    Check(rest.size() < before);
  }

  StampSeconds(text);
  NormalizeStamp(text);
  ParseDecimal(text);
  ReadAllowingOverflow([&] { LeadingNumber(text); });
  ReadAllowingOverflow([&] { LogModifyCountOf(text); });
  ReadAllowingOverflow([&] { LogViewCountOf(text); });

  const std::string_view all(text);
  const std::string_view first = all.substr(0, size / 2);
  const std::string_view second = all.substr(size / 2);
  if (detail::FoldedEqual(first, second)) Check(detail::FoldedHash(first) == detail::FoldedHash(second));
  return 0;
}
