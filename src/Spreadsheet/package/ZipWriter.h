// Writes a zip archive into memory entry by entry: entries copied from
// another archive keep their compressed bytes as they are, new content is
// gathered whole and deflated with libdeflate in one call. The engine writes
// archives itself so that unchanged parts are never recompressed and changed
// ones are deflated at a chosen level.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zentora::spreadsheet {

namespace detail {
class PieceDeflater;
}  // namespace detail

// Produces a part's content by calling `write` with consecutive pieces.
using PartProducer = std::function<void(const std::function<void(std::string_view)>& write)>;

class ZipWriter {
 public:
  // `level` is libdeflate's compression level (1 fastest .. 12 smallest) for deflated entries.
  explicit ZipWriter(int level) : level_(level) {}
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Adds an entry whose data is already in its stored form; `appendData` appends exactly
  // `compressedSize` bytes of it to the given string. Throws LimitExceeded past 4 GiB.
  void AddStoredForm(const std::string& name, std::uint16_t method, std::uint32_t crc,
                     std::uint64_t compressedSize, std::uint64_t size, std::uint32_t dosDateTime,
                     const std::function<void(std::string&)>& appendData);
  // Adds an entry deflating everything `produce` writes. Throws LimitExceeded past 4 GiB.
  void AddDeflated(const std::string& name, const PartProducer& produce);
  // Appends the central directory and returns the whole archive.
  std::string Finish();

  // The DOS date and time (date in the high 16 bits) of a time stamp, in local time.
  static std::uint32_t DosDateTime(std::int64_t unixTime);

 private:
  struct Entry {
    std::string name;
    std::uint16_t method;
    std::uint32_t crc;
    std::uint64_t compressedSize;
    std::uint64_t size;
    std::uint32_t dosDateTime;
    std::uint64_t offset;
  };
  using PieceDeflater = detail::PieceDeflater;
  // Parts whose text is at most this long are deflated whole (see AddDeflated).
  static constexpr std::size_t kWholePart = 64u << 20;

  void DeflateWhole(std::string_view content);
  void PutSharedFields(const Entry& entry);
  void WriteLocalHeader(const Entry& entry);

  int level_;
  void* compressor_ = nullptr;  // libdeflate's, made on the first deflated entry
  std::string out_;
  std::vector<Entry> entries_;
};

}  // namespace zentora::spreadsheet
