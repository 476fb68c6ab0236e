// Writes a zip archive into memory entry by entry: entries copied from
// another archive keep their compressed bytes as they are, new content is
// deflated with ISA-L's igzip as it is produced. The engine writes archives itself so
// that unchanged parts are never recompressed and changed ones are deflated
// at a chosen level in one streaming pass.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct isal_zstream;

namespace zentora::spreadsheet {

namespace detail {

// One raw deflate stream reused for independent blocks of a larger stream.
class BlockDeflater {
 public:
  // `level` as ZipWriter takes it; `part` names the entry in errors.
  BlockDeflater(int level, std::string part);
  ~BlockDeflater();
  BlockDeflater(const BlockDeflater&) = delete;
  BlockDeflater& operator=(const BlockDeflater&) = delete;

  // Deflates `input` primed with `dictionary`, ending with a sync flush, or with the final block when `last`.
  void Run(std::string_view input, std::string_view dictionary, bool last);
  std::string_view output() const { return {output_.get(), size_}; }

 private:
  std::string part_;
  std::unique_ptr<isal_zstream> stream_;
  std::unique_ptr<std::uint8_t[]> levelBuffer_;  // the hash tables of levels 1 to 3
  // Reused from block to block and never cleared: only the `size_` bytes written are read.
  std::unique_ptr<char[]> output_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace detail

// Produces a part's content by calling `write` with consecutive pieces.
using PartProducer = std::function<void(const std::function<void(std::string_view)>& write)>;

class ZipWriter {
 public:
  // `level` is the compression level for deflated entries, 0 (fastest) to 3 (smallest); a higher one
  // is taken as 3. Room for `expectedSize` bytes of archive is reserved up front.
  explicit ZipWriter(int level, std::size_t expectedSize = 0);

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
  void PutSharedFields(const Entry& entry);
  void WriteLocalHeader(const Entry& entry);

  int level_;
  std::string out_;
  std::vector<Entry> entries_;
};

}  // namespace zentora::spreadsheet
