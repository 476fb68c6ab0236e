#include "ZipWriter.h"

#include <zlib.h>

#include <ctime>
#include <limits>

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

void ZipWriter::WriteLocalHeader(const Entry& entry) {
  Put32(out_, 0x04034b50);
  Put16(out_, 20);
  Put16(out_, IsAscii(entry.name) ? 0 : 0x0800);
  Put16(out_, entry.method);
  Put32(out_, entry.dosDateTime);
  Put32(out_, entry.crc);
  Put32(out_, entry.compressedSize);
  Put32(out_, entry.size);
  Put16(out_, static_cast<std::uint32_t>(entry.name.size()));
  Put16(out_, 0);
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
  z_stream stream{};
  if (deflateInit2(&stream, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  uLong crc = crc32(0, nullptr, 0);
  std::uint64_t size = 0;
  auto pump = [&](std::string_view piece, int flush) {
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    stream.avail_in = static_cast<uInt>(piece.size());
    int result;
    do {
      std::size_t used = out_.size();
      std::size_t room = std::max<std::size_t>(piece.size() / 2, 64 * 1024);
      out_.resize(used + room);
      stream.next_out = reinterpret_cast<Bytef*>(out_.data() + used);
      stream.avail_out = static_cast<uInt>(room);
      result = deflate(&stream, flush);
      out_.resize(used + room - stream.avail_out);
    } while (stream.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
  };
  try {
    produce([&](std::string_view piece) {
      while (!piece.empty()) {
        std::string_view step = piece.substr(0, std::min<std::size_t>(piece.size(), 1u << 30));
        crc = crc32_z(crc, reinterpret_cast<const Bytef*>(step.data()), step.size());
        size += step.size();
        pump(step, Z_NO_FLUSH);
        piece.remove_prefix(step.size());
      }
    });
    pump({}, Z_FINISH);
  } catch (...) {
    deflateEnd(&stream);
    throw;
  }
  deflateEnd(&stream);
  entry.crc = static_cast<std::uint32_t>(crc);
  entry.size = size;
  entry.compressedSize = out_.size() - dataStart;
  CheckZip32(size, name);
  CheckZip32(out_.size(), name);
  Patch32(out_, entry.offset + 14, entry.crc);
  Patch32(out_, entry.offset + 18, entry.compressedSize);
  Patch32(out_, entry.offset + 22, entry.size);
  entries_.push_back(std::move(entry));
}

std::string ZipWriter::Finish() {
  std::uint64_t directoryStart = out_.size();
  for (const Entry& entry : entries_) {
    Put32(out_, 0x02014b50);
    Put16(out_, 0x0314);  // made by: Unix, format 2.0
    Put16(out_, 20);
    Put16(out_, IsAscii(entry.name) ? 0 : 0x0800);
    Put16(out_, entry.method);
    Put32(out_, entry.dosDateTime);
    Put32(out_, entry.crc);
    Put32(out_, entry.compressedSize);
    Put32(out_, entry.size);
    Put16(out_, static_cast<std::uint32_t>(entry.name.size()));
    Put16(out_, 0);
    Put16(out_, 0);
    Put16(out_, 0);
    Put16(out_, 0);
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
