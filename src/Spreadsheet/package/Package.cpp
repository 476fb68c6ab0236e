#include "Package.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "../Error.h"

namespace zentora::spreadsheet {
namespace {

zip_t* Archive(void* archive) { return static_cast<zip_t*>(archive); }

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
  }
  return folded;
}

bool IsUnsafeName(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\') return true;
  if (name.size() >= 2 && name[1] == ':') return true;  // a drive letter
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

std::string ZipErrorText(zip_error_t* error) {
  const char* text = zip_error_strerror(error);
  return text == nullptr ? "unknown zip error" : text;
}

// allowance + ratio × size, at most UINT64_MAX: a ratio of UINT64_MAX means no limit.
std::uint64_t Allowed(std::uint64_t allowance, std::uint64_t ratio, std::uint64_t size) {
  std::uint64_t product = 0;
  if (__builtin_mul_overflow(ratio, size, &product)) return UINT64_MAX;
  return product > UINT64_MAX - allowance ? UINT64_MAX : product + allowance;
}

std::uint64_t MemoryBudgetFor(const Limits& limits, std::uint64_t fileBytes) {
  return std::min(Allowed(limits.memoryAllowance, limits.memoryPerFileByte, fileBytes),
                  limits.maxMemoryBytes);
}

// What a failed raw inflate says went wrong.
std::string InflateErrorText(int status) {
  switch (status) {
    case ISAL_INVALID_BLOCK:
      return "invalid block";
    case ISAL_INVALID_SYMBOL:
      return "invalid code";
    case ISAL_INVALID_LOOKBACK:
      return "distance too far back";
    default:
      return "inflate error " + std::to_string(status);
  }
}

}  // namespace

std::string PartFolder(std::string_view partName) {
  const std::size_t slash = partName.rfind('/');
  return slash == std::string_view::npos ? "" : std::string(partName.substr(0, slash + 1));
}

std::string RelationshipsPartOf(std::string_view partName) {
  const std::string folder = PartFolder(partName);
  return folder + "_rels/" + std::string(partName.substr(folder.size())) + ".rels";
}

void MemoryBudget::Charge(std::uint64_t bytes) {
  // A charge that does not fit is not taken, so a failed read leaves the budget as it was.
  std::uint64_t used = used_.load();
  while (bytes <= budget_ && used <= budget_ - bytes) {
    if (used_.compare_exchange_weak(used, used + bytes)) return;
  }
  throw Error(ErrorCode::LimitExceeded, "reading the workbook needs more than " + std::to_string(budget_) +
                                            " bytes of memory, the budget for a file of " +
                                            std::to_string(fileBytes_) + " bytes");
}

Package::Package(std::string bytes, std::string fileName, Limits limits)
    : bytes_(std::move(bytes)),
      fileName_(std::move(fileName)),
      limits_(limits),
      memory_(MemoryBudgetFor(limits_, bytes_.size()), bytes_.size()) {
  static const unsigned char kCompoundFile[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (bytes_.size() >= sizeof kCompoundFile &&
      std::memcmp(bytes_.data(), kCompoundFile, sizeof kCompoundFile) == 0) {
    // A password-protected workbook is a compound file holding the real package as the stream
    // "EncryptedPackage", whose name the compound directory stores in UTF-16LE.
    static const std::string_view kEncryptedStream("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    const bool encrypted = bytes_.find(kEncryptedStream) != std::string::npos;
    throw Error(
        ErrorCode::NotAWorkbook,
        fileName_ + (encrypted
                         ? ": this workbook is encrypted; remove its password and save it again as .xlsx"
                         : ": this is a legacy binary .xls workbook; save it as .xlsx"));
  }
  if (bytes_.empty()) throw Error(ErrorCode::NotAWorkbook, fileName_ + ": the file is empty, not a workbook");
  const std::string_view head(bytes_.data(), std::min<std::size_t>(bytes_.size(), 4096));
  if (!head.starts_with("PK") && head.find('\0') == std::string_view::npos) {
    throw Error(ErrorCode::NotAWorkbook, fileName_ + ": this is a CSV or other text file; save it as .xlsx");
  }
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
  if (source == nullptr) throw Error(ErrorCode::NotAWorkbook, fileName_ + ": " + ZipErrorText(&error));
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (archive == nullptr) {
    zip_source_free(source);
    std::string text = ZipErrorText(&error);
    zip_error_fini(&error);
    throw Error(ErrorCode::NotAWorkbook, fileName_ + ": not a readable zip package (" + text + ")");
  }
  archive_ = archive;
  zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0 || static_cast<std::uint64_t>(count) > limits_.maxParts) {
    zip_discard(archive);
    throw Error(ErrorCode::LimitExceeded,
                fileName_ + ": more than " + std::to_string(limits_.maxParts) + " parts");
  }
  read_ = std::make_unique<std::atomic<bool>[]>(static_cast<std::size_t>(count));
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
    zip_stat_t stat;
    std::string problem;
    if (zip_stat_index(archive, i, 0, &stat) != 0 || (stat.valid & ZIP_STAT_NAME) == 0) {
      problem = "entry " + std::to_string(i) + " cannot be read";
    } else if (IsUnsafeName(stat.name)) {
      problem = "unsafe part name \"" + std::string(stat.name) + "\"";
    } else if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
      problem = "part " + std::string(stat.name) + " is encrypted";
    } else if (!byFoldedName_.emplace(Folded(stat.name), i).second) {
      problem = "part name \"" + std::string(stat.name) + "\" occurs twice (letter case ignored)";
    }
    if (!problem.empty()) {
      zip_discard(archive);
      archive_ = nullptr;
      throw Error(ErrorCode::NotAWorkbook, fileName_ + ": " + problem);
    }
    const bool sized = (stat.valid & ZIP_STAT_SIZE) != 0 && (stat.valid & ZIP_STAT_COMP_SIZE) != 0;
    inflatedSizes_.push_back(sized ? std::min(stat.size, Allowed(limits_.inflationAllowance,
                                                                 limits_.maxInflationRatio, stat.comp_size))
                                   : 0);
  }
}

Package::~Package() {
  if (archive_ != nullptr) zip_discard(Archive(archive_));
}

std::string Package::Where(std::string_view partName) const {
  return fileName_ + ", part " + std::string(partName);
}

bool Package::Has(std::string_view partName) const { return byFoldedName_.count(Folded(partName)) != 0; }

std::string Package::StoredName(std::string_view partName) const {
  auto found = byFoldedName_.find(Folded(partName));
  if (found == byFoldedName_.end()) return {};
  return zip_get_name(Archive(archive_), found->second, 0);
}

std::vector<std::string> Package::PartNames() const {
  std::vector<std::pair<std::uint64_t, std::string>> entries;
  for (const auto& [folded, index] : byFoldedName_)
    entries.emplace_back(index, zip_get_name(Archive(archive_), index, 0));
  std::sort(entries.begin(), entries.end());
  std::vector<std::string> names;
  for (auto& entry : entries) names.push_back(std::move(entry.second));
  return names;
}

std::uint64_t Package::IndexOf(std::string_view partName) const {
  auto found = byFoldedName_.find(Folded(partName));
  if (found == byFoldedName_.end()) {
    throw Error(ErrorCode::NotAWorkbook, Where(partName) + ": the part is missing");
  }
  return found->second;
}

std::uint64_t Package::InflatedSize(std::string_view partName) const {
  return inflatedSizes_[IndexOf(partName)];
}

void Package::Stream(std::string_view partName,
                     const std::function<void(const char*, std::size_t, bool)>& sink) {
  Inflate(partName, sink);
}

bool Package::Inflate(std::string_view partName,
                      const std::function<void(const char*, std::size_t, bool)>& sink) {
  std::uint64_t index = IndexOf(partName);
  // A part read again (relationships and small parts are, on every edit) inflates as it did the first
  // time; only its first read counts towards the package's total.
  bool first = !read_[index].exchange(true);
  // A private archive handle over the same bytes: libzip handles must not be shared between threads,
  // and parts are streamed on several threads at once.
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
  zip_t* archive = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY, &error);
  if (archive == nullptr) {
    if (source != nullptr) zip_source_free(source);
    std::string text = ZipErrorText(&error);
    zip_error_fini(&error);
    throw Error(ErrorCode::NotAWorkbook, Where(partName) + ": cannot be opened (" + text + ")");
  }
  std::unique_ptr<zip_t, void (*)(zip_t*)> archiveGuard(archive, &zip_discard);
  zip_stat_t stat;
  if (zip_stat_index(archive, index, 0, &stat) != 0) {
    throw Error(ErrorCode::NotAWorkbook,
                Where(partName) + ": cannot be read (" + zip_strerror(archive) + ")");
  }
  if (stat.comp_method != ZIP_CM_STORE && stat.comp_method != ZIP_CM_DEFLATE) {
    throw Error(ErrorCode::NotAWorkbook, Where(partName) + ": compressed with method " +
                                             std::to_string(stat.comp_method) +
                                             ", which workbooks do not use (only stored and deflated)");
  }
  // The part is inflated here from its compressed bytes, so that the ratio of inflated to compressed
  // bytes is known at every step and a bomb is refused within its first megabytes.
  zip_file_t* file = zip_fopen_index(archive, index, ZIP_FL_COMPRESSED);
  if (file == nullptr) {
    throw Error(ErrorCode::NotAWorkbook,
                Where(partName) + ": cannot be opened (" + zip_strerror(archive) + ")");
  }
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> guard(file, &zip_fclose);
  bool deflated = stat.comp_method == ZIP_CM_DEFLATE;
  // Left uninitialised: they are filled before use, and every part read (small ones often) needs them;
  // the inflate state's tables and windows (85 KiB) are set up by isal_inflate_init as far as needed.
  auto state = std::make_unique_for_overwrite<inflate_state>();
  isal_inflate_init(state.get());  // a raw deflate stream
  inflate_state& stream = *state;
  constexpr std::size_t kInput = 64 * 1024, kOutput = 256 * 1024;
  auto input = std::make_unique_for_overwrite<char[]>(kInput);
  auto output = std::make_unique_for_overwrite<char[]>(kOutput);
  std::uint64_t consumed = 0;
  std::uint64_t produced = 0;
  std::uint32_t crc = 0;
  bool ended = !deflated;
  auto deliver = [&](const char* data, std::size_t size) {
    if (size == 0) return;
    produced += size;
    std::uint64_t total = first ? totalRead_ += size : 0;
    if (produced > Allowed(limits_.inflationAllowance, limits_.maxInflationRatio, consumed)) {
      throw Error(ErrorCode::LimitExceeded, Where(partName) + ": inflates to more than " +
                                                std::to_string(limits_.maxInflationRatio) +
                                                " times its compressed size");
    }
    if (total > Allowed(limits_.inflationAllowance, limits_.maxInflationRatio, bytes_.size())) {
      throw Error(ErrorCode::LimitExceeded, Where(partName) + ": the package inflates to more than " +
                                                std::to_string(limits_.maxInflationRatio) +
                                                " times the file's size");
    }
    crc = crc32_gzip_refl(crc, reinterpret_cast<const unsigned char*>(data), size);
    sink(data, size, false);
  };
  while (true) {
    zip_int64_t got = zip_fread(file, input.get(), kInput);
    if (got < 0) {
      throw Error(ErrorCode::NotAWorkbook,
                  Where(partName) + ": cannot be read (" + zip_file_strerror(file) + ")");
    }
    if (got == 0) break;
    consumed += static_cast<std::uint64_t>(got);
    if (!deflated) {
      deliver(input.get(), static_cast<std::size_t>(got));
      continue;
    }
    stream.next_in = reinterpret_cast<std::uint8_t*>(input.get());
    stream.avail_in = static_cast<std::uint32_t>(got);
    // A full output buffer may leave inflated bytes held back even when all input was taken.
    while (!ended && (stream.avail_in > 0 || stream.avail_out == 0)) {
      stream.next_out = reinterpret_cast<std::uint8_t*>(output.get());
      stream.avail_out = static_cast<std::uint32_t>(kOutput);
      const int status = isal_inflate(&stream);
      if (status != ISAL_DECOMP_OK) {
        throw Error(ErrorCode::NotAWorkbook,
                    Where(partName) + ": corrupt compressed data (" + InflateErrorText(status) + ")");
      }
      ended = stream.block_state == ISAL_BLOCK_FINISH;
      deliver(output.get(), kOutput - stream.avail_out);
    }
  }
  if (!ended)
    throw Error(ErrorCode::NotAWorkbook, Where(partName) + ": corrupt compressed data (it ends early)");
  if ((stat.valid & ZIP_STAT_CRC) != 0 && crc != stat.crc) {
    throw Error(ErrorCode::NotAWorkbook, Where(partName) + ": corrupt compressed data (CRC mismatch)");
  }
  // The end is passed on only once the whole part was checked, so a damaged part is an error, not data.
  sink(output.get(), 0, true);
  return first;
}

std::string Package::Read(std::string_view partName) {
  std::string content;
  ChargedSize charged;
  bool first = !read_[IndexOf(partName)].load();
  Inflate(partName, [&](const char* data, std::size_t size, bool) {
    content.append(data, size);
    const std::size_t growth = first ? charged.GrowthTo(content.capacity()) : 0;
    if (growth == 0) return;
    try {
      memory_.Charge(growth);
    } catch (const Error& error) {
      throw Error(error.code(), Where(partName) + ": " + error.what());
    }
  });
  return content;
}

PartProducer Package::Content(const std::string& content) {
  return [&content](const std::function<void(std::string_view)>& write) { write(content); };
}

std::string Package::Write(const std::map<std::string, std::optional<PartProducer>>& changes,
                           int level) const {
  // The new package is about as large as the old one.
  ZipWriter writer(level, bytes_.size() + bytes_.size() / 4);
  std::map<std::string, const std::optional<PartProducer>*> pending;
  for (const auto& [name, producer] : changes) pending[Folded(name)] = &producer;
  zip_t* archive = Archive(archive_);
  for (const std::string& name : PartNames()) {
    auto change = pending.find(Folded(name));
    if (change != pending.end()) {
      if (*change->second) writer.AddDeflated(name, **change->second);
      pending.erase(change);
      continue;
    }
    std::uint64_t index = IndexOf(name);
    zip_stat_t stat;
    if (zip_stat_index(archive, index, 0, &stat) != 0) {
      throw Error(ErrorCode::NotAWorkbook, Where(name) + ": cannot be read (" + zip_strerror(archive) + ")");
    }
    writer.AddStoredForm(name, stat.comp_method, stat.crc, stat.comp_size, stat.size,
                         ZipWriter::DosDateTime(stat.mtime), [&](std::string& out) {
                           zip_file_t* file = zip_fopen_index(archive, index, ZIP_FL_COMPRESSED);
                           if (file == nullptr) {
                             throw Error(ErrorCode::NotAWorkbook,
                                         Where(name) + ": cannot be copied (" + zip_strerror(archive) + ")");
                           }
                           std::size_t start = out.size();
                           out.resize(start + stat.comp_size);
                           zip_int64_t got = zip_fread(file, out.data() + start, stat.comp_size);
                           zip_fclose(file);
                           out.resize(start + static_cast<std::size_t>(std::max<zip_int64_t>(got, 0)));
                         });
  }
  for (const auto& [name, producer] : changes) {
    if (pending.count(Folded(name)) && *producer) writer.AddDeflated(name, *producer);
  }
  return writer.Finish();
}

std::string Package::Build(const std::vector<std::pair<std::string, std::string>>& parts, int level) {
  ZipWriter writer(level);
  for (const auto& [name, content] : parts) writer.AddDeflated(name, Content(content));
  return writer.Finish();
}

}  // namespace zentora::spreadsheet
