#include "ZipWriter.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>

#include "../Error.h"

namespace zentora::spreadsheet {
namespace {

constexpr std::uint64_t kZip32Limit = std::numeric_limits<std::uint32_t>::max();

void Put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint64_t value) {
  Put16(out, static_cast<std::uint32_t>(value & 0xFFFF));
  Put16(out, static_cast<std::uint32_t>((value >> 16) & 0xFFFF));
}

void Patch32(std::string& out, std::size_t at, std::uint64_t value) {
  for (int i = 0; i < 4; ++i)
    out[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool IsAscii(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

void CheckZip32(std::uint64_t value, const std::string& name) {
  if (value >= kZip32Limit) {
    throw Error(ErrorCode::LimitExceeded, "part " + name + ": packages over 4 GiB cannot be written");
  }
}

}  // namespace

namespace detail {

// One raw zlib deflate stream reused for independent blocks of a larger stream.
class BlockDeflater {
 public:
  explicit BlockDeflater(int level) {
    if (deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw std::bad_alloc();
  }
  ~BlockDeflater() { deflateEnd(&stream_); }
  BlockDeflater(const BlockDeflater&) = delete;
  BlockDeflater& operator=(const BlockDeflater&) = delete;

  // Deflates `input` primed with `dictionary`, ending with a sync flush, or with the final block when `last`.
  void Run(std::string_view input, std::string_view dictionary, bool last) {
    deflateReset(&stream_);
    if (!dictionary.empty()) {
      deflateSetDictionary(&stream_, reinterpret_cast<const Bytef*>(dictionary.data()),
                           static_cast<uInt>(dictionary.size()));
    }
    output_.clear();
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream_.avail_in = static_cast<uInt>(input.size());
    int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    while (true) {
      std::size_t used = output_.size();
      std::size_t room = std::max<std::size_t>(input.size() / 4, 64 * 1024);
      output_.resize(used + room);
      stream_.next_out = reinterpret_cast<Bytef*>(output_.data() + used);
      stream_.avail_out = static_cast<uInt>(room);
      int result = deflate(&stream_, flush);
      output_.resize(used + room - stream_.avail_out);
      if (result == Z_STREAM_END ||
          (flush == Z_SYNC_FLUSH && stream_.avail_out != 0 && stream_.avail_in == 0))
        break;
      if (result != Z_OK && result != Z_BUF_ERROR) throw std::runtime_error("deflate failed");
    }
  }
  const std::string& output() const { return output_; }

 private:
  z_stream stream_{};
  std::string output_;
};

// Deflates a part as it is produced, into `out`: pieces of 4 MiB are deflated as independent blocks,
// two at a time on two threads; each block starts with the previous piece's last 32 KiB as its
// dictionary, so the result is one ordinary deflate stream.
class PieceDeflater {
 public:
  PieceDeflater(int level, std::string& out)
      : deflaters_{BlockDeflater(level), BlockDeflater(level)}, out_(out) {}

  void Add(std::string_view data) {
    while (!data.empty()) {
      std::size_t take = std::min(data.size(), kPiece - pieces_[filled_].size());
      pieces_[filled_] += data.substr(0, take);
      data.remove_prefix(take);
      if (pieces_[filled_].size() == kPiece && ++filled_ == 2) DeflateBatch(false);
    }
  }
  void Finish() {
    if (!pieces_[filled_].empty() || filled_ == 0) ++filled_;
    DeflateBatch(true);
  }

 private:
  static constexpr std::size_t kPiece = 4u << 20;
  static constexpr std::size_t kWindow = 32u << 10;

  static std::string TailOf(const std::string& piece) {
    return piece.substr(piece.size() > kWindow ? piece.size() - kWindow : 0);
  }

  void DeflateBatch(bool last) {
    std::string secondDictionary = filled_ == 2 ? TailOf(pieces_[0]) : std::string();
    if (filled_ == 2 && std::thread::hardware_concurrency() > 1) {
      std::exception_ptr failure;
      std::thread first([&] {
        try {
          deflaters_[0].Run(pieces_[0], previousTail_, false);
        } catch (...) {
          failure = std::current_exception();
        }
      });
      deflaters_[1].Run(pieces_[1], secondDictionary, last);
      first.join();
      if (failure) std::rethrow_exception(failure);
    } else if (filled_ == 2) {
      deflaters_[0].Run(pieces_[0], previousTail_, false);
      deflaters_[1].Run(pieces_[1], secondDictionary, last);
    } else {
      deflaters_[0].Run(pieces_[0], previousTail_, last);
    }
    for (std::size_t i = 0; i < std::max<std::size_t>(filled_, 1); ++i) out_ += deflaters_[i].output();
    previousTail_ = TailOf(pieces_[filled_ == 2 ? 1 : 0]);
    pieces_[0].clear();
    pieces_[1].clear();
    filled_ = 0;
  }

  BlockDeflater deflaters_[2];
  std::string& out_;
  std::string pieces_[2];
  std::size_t filled_ = 0;
  std::string previousTail_;
};

}  // namespace detail

std::uint32_t ZipWriter::DosDateTime(std::int64_t unixTime) {
  std::time_t time = static_cast<std::time_t>(unixTime);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr || local.tm_year < 80)
    return (1u << 21) | (1u << 16);  // 1980-01-01
  auto date =
      static_cast<std::uint32_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  auto clock = static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return date << 16 | clock;
}

void ZipWriter::PutSharedFields(const Entry& entry) {
  Put16(out_, 20);                                // version needed: 2.0
  Put16(out_, IsAscii(entry.name) ? 0 : 0x0800);  // flag bit 11: the name is UTF-8
  Put16(out_, entry.method);
  Put32(out_, entry.dosDateTime);
  Put32(out_, entry.crc);
  Put32(out_, entry.compressedSize);
  Put32(out_, entry.size);
  Put16(out_, static_cast<std::uint32_t>(entry.name.size()));
  Put16(out_, 0);  // no extra field
}

void ZipWriter::WriteLocalHeader(const Entry& entry) {
  Put32(out_, 0x04034b50);
  PutSharedFields(entry);
  out_ += entry.name;
}

void ZipWriter::AddStoredForm(const std::string& name, std::uint16_t method, std::uint32_t crc,
                              std::uint64_t compressedSize, std::uint64_t size, std::uint32_t dosDateTime,
                              const std::function<void(std::string&)>& appendData) {
  CheckZip32(size, name);
  CheckZip32(out_.size() + compressedSize, name);
  Entry entry{name, method, crc, compressedSize, size, dosDateTime, out_.size()};
  WriteLocalHeader(entry);
  std::size_t before = out_.size();
  appendData(out_);
  if (out_.size() - before != compressedSize) {
    throw Error(ErrorCode::NotAWorkbook,
                "part " + name + ": its stored data is shorter than its directory says");
  }
  entries_.push_back(std::move(entry));
}

ZipWriter::~ZipWriter() {
  if (compressor_ != nullptr) libdeflate_free_compressor(static_cast<libdeflate_compressor*>(compressor_));
}

void ZipWriter::AddDeflated(const std::string& name, const PartProducer& produce) {
  Entry entry{name, 8, 0, 0, 0, DosDateTime(std::time(nullptr)), out_.size()};
  WriteLocalHeader(entry);
  std::size_t dataStart = out_.size();
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  // A part up to kWholePart is gathered and deflated by libdeflate in one call, several times faster
  // than zlib's streaming deflate. A larger one (the sheet of a million records) is deflated by zlib as
  // it is produced, so that saving never holds its whole text beside the model.
  std::string whole;
  // Reserved whole: growing by doubling would copy the text and touch twice its size of fresh memory,
  // while reserved pages that are never written cost nothing.
  whole.reserve(kWholePart);
  std::unique_ptr<PieceDeflater> streaming;
  produce([&](std::string_view piece) {
    crc = libdeflate_crc32(crc, piece.data(), piece.size());
    size += piece.size();
    if (!streaming && whole.size() + piece.size() <= kWholePart) {
      whole += piece;
      return;
    }
    if (!streaming) {
      streaming = std::make_unique<PieceDeflater>(std::min(level_, 9), out_);
      streaming->Add(whole);
      whole = std::string();
    }
    streaming->Add(piece);
  });
  CheckZip32(size, name);
  if (streaming) {
    streaming->Finish();
  } else {
    DeflateWhole(whole);
  }
  entry.crc = crc;
  entry.size = size;
  entry.compressedSize = out_.size() - dataStart;
  CheckZip32(out_.size(), name);
  Patch32(out_, entry.offset + 14, entry.crc);
  Patch32(out_, entry.offset + 18, entry.compressedSize);
  Patch32(out_, entry.offset + 22, entry.size);
  entries_.push_back(std::move(entry));
}

void ZipWriter::DeflateWhole(std::string_view content) {
  if (compressor_ == nullptr) {
    compressor_ = libdeflate_alloc_compressor(level_);
    if (compressor_ == nullptr) throw std::bad_alloc();
  }
  auto* compressor = static_cast<libdeflate_compressor*>(compressor_);
  // Left uninitialised: only the bytes deflated into it are touched, a fraction of the bound.
  std::size_t bound = libdeflate_deflate_compress_bound(compressor, content.size());
  auto deflated = std::make_unique_for_overwrite<char[]>(bound);
  out_.append(deflated.get(),
              libdeflate_deflate_compress(compressor, content.data(), content.size(), deflated.get(), bound));
}

std::string ZipWriter::Finish() {
  std::uint64_t directoryStart = out_.size();
  for (const Entry& entry : entries_) {
    Put32(out_, 0x02014b50);
    Put16(out_, 0x0314);  // made by: Unix, format 2.0
    PutSharedFields(entry);
    Put16(out_, 0);  // no comment
    Put16(out_, 0);  // disk 0
    Put16(out_, 0);  // internal attributes
    Put32(out_, 0100644u << 16);
    Put32(out_, entry.offset);
    out_ += entry.name;
  }
  std::uint64_t directorySize = out_.size() - directoryStart;
  if (entries_.size() >= 0xFFFF)
    throw Error(ErrorCode::LimitExceeded, "packages with 65535 parts or more cannot be written");
  CheckZip32(out_.size(), "central directory");
  Put32(out_, 0x06054b50);
  Put16(out_, 0);
  Put16(out_, 0);
  Put16(out_, static_cast<std::uint32_t>(entries_.size()));
  Put16(out_, static_cast<std::uint32_t>(entries_.size()));
  Put32(out_, directorySize);
  Put32(out_, directoryStart);
  Put16(out_, 0);
  return std::move(out_);
}

}  // namespace zentora::spreadsheet
