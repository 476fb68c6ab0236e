// Workbooks built in test code: parts assembled into a package with the
// engine's own zip writer or with libzip directly for damaged packages.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Spreadsheet/Error.h"

namespace zentora::spreadsheet::testing {

using Parts = std::vector<std::pair<std::string, std::string>>;

inline const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// The parts of a small workbook whose first sheet has `sheetData` (the XML inside <sheetData>),
// with optional shared strings (the <si> elements) and cell formats (the <xf> elements of cellXfs).
Parts WorkbookParts(const std::string& sheetData, const std::string& sharedStrings = "",
                    const std::string& cellFormats = "", const std::string& afterSheetData = "",
                    const std::string& numberFormats = "");

// The package bytes holding `parts`.
std::string PackageBytes(const Parts& parts);

// The content of the part `name` in `parts`; a new empty part when there is none.
std::string& PartOf(Parts& parts, const std::string& name);
// Inserts `text` into `xml` before the first `marker`.
void InsertBefore(std::string& xml, const std::string& marker, const std::string& text);
// Adds a relationship of the officeDocument `type` ("worksheet", "table", ...) to the relationships
// part `relsPart`, creating that part when missing.
void AddRelationship(Parts& parts, const std::string& relsPart, const std::string& id,
                     const std::string& type, const std::string& target);

// Expects every piece of `present` in `text` and none of `absent`, showing the text otherwise.
void ExpectPieces(const std::string& text, std::initializer_list<std::string> present,
                  std::initializer_list<std::string> absent = {});

// The inflated content of `part` in the package `bytes`, read with libzip directly.
std::string ReadPart(const std::string& bytes, const std::string& part);
// The raw (still compressed) bytes and CRC of `part` as stored in the package.
std::string StoredPart(const std::string& bytes, const std::string& part);

// Checks that `call` throws an `ErrorType` with `code` and a message holding `fragment`;
// a test failure otherwise.
template <typename ErrorType = Error, typename Code, typename Call>
void ExpectError(Code code, const std::string& fragment, Call call) {
  try {
    call();
    ADD_FAILURE() << "no error";
  } catch (const ErrorType& error) {
    EXPECT_EQ(error.code(), code) << error.what();
    EXPECT_NE(std::string(error.what()).find(fragment), std::string::npos) << error.what();
  }
}

// A fresh folder under the system's temporary folder, removed with the object.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace zentora::spreadsheet::testing
