#include "Package.h"

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

}  // namespace

Package::Package(std::string bytes, std::string fileName, Limits limits)
    : bytes_(std::move(bytes)), fileName_(std::move(fileName)), limits_(limits) {
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

void Package::Stream(std::string_view partName,
                     const std::function<void(const char*, std::size_t, bool)>& sink) {
  std::uint64_t index = IndexOf(partName);
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
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (file == nullptr) {
    throw Error(ErrorCode::NotAWorkbook,
                Where(partName) + ": cannot be opened (" + zip_strerror(archive) + ")");
  }
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> guard(file, &zip_fclose);
  std::vector<char> buffer(256 * 1024);
  std::uint64_t partBytes = 0;
  while (true) {
    zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
    if (got < 0) {
      throw Error(ErrorCode::NotAWorkbook,
                  Where(partName) + ": corrupt compressed data (" + zip_file_strerror(file) + ")");
    }
    partBytes += static_cast<std::uint64_t>(got);
    std::uint64_t total = totalRead_ += static_cast<std::uint64_t>(got);
    if (partBytes > limits_.maxPartBytes) {
      throw Error(ErrorCode::LimitExceeded, Where(partName) + ": inflates to more than " +
                                                std::to_string(limits_.maxPartBytes) + " bytes");
    }
    if (total > limits_.maxTotalBytes) {
      throw Error(ErrorCode::LimitExceeded, Where(partName) + ": the package inflates to more than " +
                                                std::to_string(limits_.maxTotalBytes) + " bytes in total");
    }
    // libzip checks the CRC when the last byte is read, so a chunk is passed on as the last one only
    // after the read that returned 0 succeeded.
    if (got == 0) {
      sink(buffer.data(), 0, true);
      return;
    }
    sink(buffer.data(), static_cast<std::size_t>(got), false);
  }
}

std::string Package::Read(std::string_view partName) {
  std::string content;
  Stream(partName, [&](const char* data, std::size_t size, bool) { content.append(data, size); });
  return content;
}

PartProducer Package::Content(const std::string& content) {
  return [&content](const std::function<void(std::string_view)>& write) { write(content); };
}

std::string Package::Write(const std::map<std::string, std::optional<PartProducer>>& changes,
                           int level) const {
  ZipWriter writer(level);
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
