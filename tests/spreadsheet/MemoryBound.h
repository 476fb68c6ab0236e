// Running a test case under a bound on its memory, and building large or
// hostile packages quickly in test code.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "Spreadsheet/package/ZipWriter.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet::testing {

// The process's address space in bytes (VmSize).
inline std::uint64_t AddressSpace() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
  }
  return 0;
}

// The child's side of WithinMemory: bounds the address space, runs `body`, exits with 0 when it passed.
[[noreturn]] inline void RunBounded(std::uint64_t bound, const std::function<std::string()>& body) {
#if !defined(__SANITIZE_ADDRESS__)
  rlim_t limit = AddressSpace() + bound;
  rlimit cap{limit, limit};
  setrlimit(RLIMIT_AS, &cap);
#else
  (void)bound;
#endif
  std::string fault;
  try {
    fault = body();
  } catch (const std::exception& error) {
    fault = std::string("unexpected exception: ") + error.what();
  }
  if (!fault.empty()) std::fprintf(stderr, "%s\n", fault.c_str());
  std::_Exit(fault.empty() ? 0 : 1);
}

// Runs `body` in a forked child whose address space may grow by at most `bound` bytes past what the
// process has now (RLIMIT_AS; not under AddressSanitizer, whose shadow memory needs terabytes). `body`
// returns "" when the case passed and a description of the fault otherwise; running out of memory
// fails the test. Returns the child's peak resident memory in MiB.
inline long WithinMemory(std::uint64_t bound, const std::function<std::string()>& body) {
  EXPECT_EXIT(RunBounded(bound, body), ::testing::ExitedWithCode(0), "");
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss / 1024;
}

// A raw deflate stream of `head`, then `copies` times `chunk`, then `tail`, made by deflating `chunk`
// once after a full flush (which makes its compressed form independent of what came before) and
// repeating that form: gigabytes of inflated content in seconds. `crc` and `size` receive the CRC
// and length of the inflated content.
inline std::string RepeatedDeflate(const std::string& head, const std::string& chunk, std::uint64_t copies,
                                   const std::string& tail, std::uint32_t& crc, std::uint64_t& size) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  auto compress = [&](const std::string& input, int flush) {
    std::string out(deflateBound(&stream, input.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, flush);
    out.resize(out.size() - stream.avail_out);
    return out;
  };
  std::string first = compress(head, Z_FULL_FLUSH);
  std::string repeated = compress(chunk, Z_FULL_FLUSH);
  std::string last = compress(tail, Z_FINISH);
  deflateEnd(&stream);
  std::string raw = first;
  raw.reserve(first.size() + repeated.size() * copies + last.size());
  uLong chunkCrc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(chunk.size()));
  uLong sum = crc32(0, reinterpret_cast<const Bytef*>(head.data()), static_cast<uInt>(head.size()));
  for (std::uint64_t i = 0; i < copies; ++i) {
    raw += repeated;
    sum = crc32_combine(sum, chunkCrc, static_cast<z_off_t>(chunk.size()));
  }
  raw += last;
  crc = static_cast<std::uint32_t>(crc32_combine(
      sum, crc32(0, reinterpret_cast<const Bytef*>(tail.data()), static_cast<uInt>(tail.size())),
      static_cast<z_off_t>(tail.size())));
  size = head.size() + chunk.size() * copies + tail.size();
  return raw;
}

// The package of `parts` with the part `rawName` stored as the raw deflate data `raw` (CRC and inflated
// size as given; a size past the zip's 4 GiB field is declared as its maximum, which readers must not
// trust anyway).
inline std::string PackageWithRawPart(const Parts& parts, const std::string& rawName, const std::string& raw,
                                      std::uint32_t crc, std::uint64_t size) {
  ZipWriter writer(6);
  for (const auto& [name, content] : parts) {
    if (name == rawName) {
      writer.AddStoredForm(name, 8, crc, raw.size(), std::min<std::uint64_t>(size, 0xFFFF'FFFEu), 0,
                           [&](std::string& out) { out += raw; });
    } else {
      writer.AddDeflated(name, [&](const std::function<void(std::string_view)>& write) { write(content); });
    }
  }
  return writer.Finish();
}

}  // namespace zentora::spreadsheet::testing
