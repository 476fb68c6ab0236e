#include "ZipWriter.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <ctime>
#include <exception>
#include <limits>
#include <thread>
#include <utility>

#include "../Error.h"
#include "HugePages.h"

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

ZipWriter::ZipWriter(int level, std::size_t expectedSize) : level_(level) {
  // Reserved rather than grown by doubling, which copies the archive and touches twice its size of
  // fresh memory; reserved pages that are never written cost nothing.
  out_.reserve(expectedSize);
  AdviseHugePages(out_.data(), out_.capacity());
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

void ZipWriter::AddDeflated(const std::string& name, const PartProducer& produce) {
  Entry entry{name, 8, 0, 0, 0, DosDateTime(std::time(nullptr)), out_.size()};
  WriteLocalHeader(entry);
  std::size_t dataStart = out_.size();
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  // Pieces are deflated as independent blocks, two at a time on two threads; each block starts with
  // the previous piece's last 32 KiB as its dictionary, so the result is one ordinary deflate stream.
  constexpr std::size_t kPiece = 4u << 20;
  constexpr std::size_t kWindow = 32u << 10;
  detail::BlockDeflater deflaters[2] = {detail::BlockDeflater(level_, name),
                                        detail::BlockDeflater(level_, name)};
  std::string pieces[2];
  std::size_t filled = 0;
  std::string previousTail;
  bool twoThreads = std::thread::hardware_concurrency() > 1;
  auto tailOf = [&](const std::string& piece) {
    return piece.substr(piece.size() > kWindow ? piece.size() - kWindow : 0);
  };
  auto deflateBatch = [&](bool last) {
    std::string secondDictionary = filled == 2 ? tailOf(pieces[0]) : std::string();
    if (filled == 2 && twoThreads) {
      std::exception_ptr failure;
      std::thread first([&] {
        try {
          deflaters[0].Run(pieces[0], previousTail, false);
        } catch (...) {
          failure = std::current_exception();
        }
      });
      deflaters[1].Run(pieces[1], secondDictionary, last);
      first.join();
      if (failure) std::rethrow_exception(failure);
    } else if (filled == 2) {
      deflaters[0].Run(pieces[0], previousTail, false);
      deflaters[1].Run(pieces[1], secondDictionary, last);
    } else {
      deflaters[0].Run(pieces[0], previousTail, last);
    }
    for (std::size_t i = 0; i < std::max<std::size_t>(filled, 1); ++i) out_ += deflaters[i].output();
    previousTail = tailOf(pieces[filled == 2 ? 1 : 0]);
    pieces[0].clear();
    pieces[1].clear();
    filled = 0;
  };
  produce([&](std::string_view piece) {
    crc = crc32_gzip_refl(crc, reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
    size += piece.size();
    // Cut into pieces of kPiece bytes, so that a part written in one go still runs on both threads.
    while (!piece.empty()) {
      pieces[filled].reserve(kPiece);
      const std::size_t taken = std::min(piece.size(), kPiece - pieces[filled].size());
      pieces[filled] += piece.substr(0, taken);
      piece.remove_prefix(taken);
      if (pieces[filled].size() == kPiece && ++filled == 2) deflateBatch(false);
    }
  });
  if (!pieces[filled].empty() || filled == 0) ++filled;
  deflateBatch(true);
  entry.crc = crc;
  entry.size = size;
  entry.compressedSize = out_.size() - dataStart;
  CheckZip32(size, name);
  CheckZip32(out_.size(), name);
  Patch32(out_, entry.offset + 14, entry.crc);
  Patch32(out_, entry.offset + 18, entry.compressedSize);
  Patch32(out_, entry.offset + 22, entry.size);
  entries_.push_back(std::move(entry));
}

namespace detail {

BlockDeflater::BlockDeflater(int level, std::string part)
    : part_(std::move(part)), stream_(std::make_unique<isal_zstream>()) {
  static constexpr std::uint32_t kLevelBuffers[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT,
                                                    ISAL_DEF_LVL2_DEFAULT, ISAL_DEF_LVL3_DEFAULT};
  const auto chosen = static_cast<std::uint32_t>(std::clamp(level, ISAL_DEF_MIN_LEVEL, ISAL_DEF_MAX_LEVEL));
  isal_deflate_init(stream_.get());
  stream_->level = chosen;
  stream_->level_buf_size = kLevelBuffers[chosen];
  levelBuffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(stream_->level_buf_size);
  stream_->level_buf = levelBuffer_.get();
  stream_->flush = SYNC_FLUSH;
}

BlockDeflater::~BlockDeflater() = default;

void BlockDeflater::Run(std::string_view input, std::string_view dictionary, bool last) {
  isal_zstream& stream = *stream_;
  isal_deflate_reset(&stream);  // keeps the level, its buffer and the flush
  stream.end_of_stream = last ? 1 : 0;
  // A piece is at most a few MiB, and its dictionary at most the 32 KiB deflate looks back.
  if (!dictionary.empty() &&
      isal_deflate_set_dict(&stream, reinterpret_cast<std::uint8_t*>(const_cast<char*>(dictionary.data())),
                            static_cast<std::uint32_t>(dictionary.size())) != COMP_OK) {
    throw Error(ErrorCode::InvalidArgument, "part " + part_ + ": the deflate dictionary was refused");
  }
  size_ = 0;
  stream.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<std::uint32_t>(input.size());
  // Done when the input is used up and the sync flush written (the stream waits for the next block's
  // header), or, for the last piece, the final block.
  const int done = last ? ZSTATE_END : ZSTATE_NEW_HDR;
  do {
    if (size_ == capacity_) {
      // Text deflates to well under half its size; what does not fit grows the buffer.
      const std::size_t capacity = capacity_ + std::max<std::size_t>(input.size() / 2, 64 * 1024);
      auto grown = std::make_unique_for_overwrite<char[]>(capacity);
      std::copy_n(output_.get(), size_, grown.get());
      output_ = std::move(grown);
      capacity_ = capacity;
    }
    stream.next_out = reinterpret_cast<std::uint8_t*>(output_.get() + size_);
    stream.avail_out = static_cast<std::uint32_t>(capacity_ - size_);
    const int result = isal_deflate(&stream);
    size_ = capacity_ - stream.avail_out;
    if (result != COMP_OK)
      throw Error(ErrorCode::InvalidArgument,
                  "part " + part_ + ": deflate failed (error " + std::to_string(result) + ")");
  } while (stream.avail_in != 0 || stream.internal_state.state != done);
}

}  // namespace detail

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
