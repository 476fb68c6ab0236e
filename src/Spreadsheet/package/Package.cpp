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

// Reads the whole content of a finished in-memory zip source.
std::string ReadSource(zip_source_t* source) {
  zip_stat_t stat;
  if (zip_source_stat(source, &stat) != 0 || zip_source_open(source) != 0) {
    throw Error(ErrorCode::Io, "cannot read the written package: " + ZipErrorText(zip_source_error(source)));
  }
  std::string result(static_cast<std::size_t>(stat.size), '\0');
  zip_int64_t got = zip_source_read(source, result.data(), stat.size);
  zip_source_close(source);
  if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size) {
    throw Error(ErrorCode::Io, "cannot read the written package");
  }
  return result;
}

struct SourceRelease {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using SourcePointer = std::unique_ptr<zip_source_t, SourceRelease>;

// Adds or replaces `name` with `content` in `archive`, deflated at `level`; `content` must outlive the
// archive's close, which is when libzip reads it.
void PutPart(zip_t* archive, const std::string& name, const std::string& content, int level) {
  zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
  if (source == nullptr) throw Error(ErrorCode::Io, "cannot add part " + name + ": " + zip_strerror(archive));
  zip_int64_t index = zip_name_locate(archive, name.c_str(), 0);
  if (index >= 0) {
    if (zip_file_replace(archive, static_cast<zip_uint64_t>(index), source, 0) != 0) {
      zip_source_free(source);
      throw Error(ErrorCode::Io, "cannot replace part " + name + ": " + zip_strerror(archive));
    }
  } else {
    index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(source);
      throw Error(ErrorCode::Io, "cannot add part " + name + ": " + zip_strerror(archive));
    }
  }
  zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                           static_cast<zip_uint32_t>(level));
}

// Opens an archive for writing over an in-memory source that starts as `bytes` (not copied).
zip_t* OpenForWriting(const std::string& bytes, SourcePointer& source, int flags) {
  zip_error_t error;
  zip_error_init(&error);
  source.reset(zip_source_buffer_create(bytes.empty() ? nullptr : bytes.data(), bytes.size(), 0, &error));
  if (!source) throw Error(ErrorCode::Io, "cannot set up the package: " + ZipErrorText(&error));
  zip_source_keep(source.get());
  zip_t* archive = zip_open_from_source(source.get(), flags, &error);
  if (archive == nullptr) {
    std::string text = ZipErrorText(&error);
    zip_error_fini(&error);
    throw Error(ErrorCode::Io, "cannot set up the package: " + text);
  }
  return archive;
}

std::string Finish(zip_t* archive, zip_source_t* source) {
  if (zip_close(archive) != 0) {
    std::string text = zip_strerror(archive);
    zip_discard(archive);
    throw Error(ErrorCode::Io, "cannot write the package: " + text);
  }
  return ReadSource(source);
}

}  // namespace

Package::Package(std::string bytes, std::string fileName, Limits limits)
    : bytes_(std::move(bytes)), fileName_(std::move(fileName)), limits_(limits) {
  static const unsigned char kCompoundFile[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (bytes_.size() >= sizeof kCompoundFile &&
      std::memcmp(bytes_.data(), kCompoundFile, sizeof kCompoundFile) == 0) {
    throw Error(ErrorCode::NotAWorkbook,
                fileName_ + ": an encrypted or legacy binary workbook, not an Office Open XML package");
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
  zip_file_t* file = zip_fopen_index(Archive(archive_), index, 0);
  if (file == nullptr) {
    throw Error(ErrorCode::NotAWorkbook,
                Where(partName) + ": cannot be opened (" + zip_strerror(Archive(archive_)) + ")");
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
    totalRead_ += static_cast<std::uint64_t>(got);
    if (partBytes > limits_.maxPartBytes) {
      throw Error(ErrorCode::LimitExceeded, Where(partName) + ": inflates to more than " +
                                                std::to_string(limits_.maxPartBytes) + " bytes");
    }
    if (totalRead_ > limits_.maxTotalBytes) {
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

std::string Package::Write(const std::map<std::string, std::optional<std::string>>& changes,
                           int level) const {
  SourcePointer source;
  zip_t* archive = OpenForWriting(bytes_, source, 0);
  try {
    for (const auto& [name, content] : changes) {
      std::string stored = Has(name) ? StoredName(name) : name;
      if (content) {
        PutPart(archive, stored, *content, level);
        continue;
      }
      zip_int64_t index = zip_name_locate(archive, stored.c_str(), 0);
      if (index >= 0 && zip_delete(archive, static_cast<zip_uint64_t>(index)) != 0) {
        throw Error(ErrorCode::Io, "cannot remove part " + name + ": " + zip_strerror(archive));
      }
    }
  } catch (...) {
    zip_discard(archive);
    throw;
  }
  return Finish(archive, source.get());
}

std::string Package::Build(const std::vector<std::pair<std::string, std::string>>& parts, int level) {
  SourcePointer source;
  std::string empty;
  zip_t* archive = OpenForWriting(empty, source, ZIP_CREATE | ZIP_TRUNCATE);
  try {
    for (const auto& [name, content] : parts) PutPart(archive, name, content, level);
  } catch (...) {
    zip_discard(archive);
    throw;
  }
  return Finish(archive, source.get());
}

}  // namespace zentora::spreadsheet
