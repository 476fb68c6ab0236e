// An open workbook: the package with its original bytes, the workbook part's
// sheet list, the shared strings and the cell formats, and the worksheets
// loaded so far (the first one on open, any other on request). Saving writes
// the changed parts from the model and copies every other part unchanged.
//
// Entry points for code that rewrites references across the workbook (defined
// names, other sheets, tables, comments, drawings): SheetCount/SheetAt/Sheet,
// RelationshipsOf, PartContent/ReplacePart, and the rowsDeleted hook.
//
// A workbook and its sheets are used by one thread at a time (opening reads the shared strings on a
// second thread of its own).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../package/Package.h"
#include "../package/WorkbookFile.h"
#include "../worksheet/Worksheet.h"
#include "SharedStrings.h"
#include "Styles.h"

namespace zentora::spreadsheet {

// One sheet of the workbook's tab order.
struct SheetEntry {
  std::string name;            // the tab's name
  std::string sheetId;         // the workbook's sheetId attribute
  std::string relationshipId;  // r:id in the workbook part
  std::string partName;        // the sheet's part ("xl/worksheets/sheet1.xml"); "" when the target is missing
  bool isWorksheet = false;    // false for chart sheets, dialog sheets and the like
};

// One relationship of a part, its target resolved to a part name unless external.
struct Relationship {
  std::string id;
  std::string type;    // the full relationship type URI
  std::string target;  // a part name ("xl/worksheets/sheet1.xml") or, when external, the target as written
  bool external = false;
};

class Workbook {
 public:
  // Opens the workbook file at `path`. Throws Io when it cannot be read, NotAWorkbook / LimitExceeded
  // (naming the file and the reason) when it is not a readable workbook; reads the first sheet.
  static std::unique_ptr<Workbook> Open(const std::string& path, Limits limits = {});
  // Opens the workbook file at `path` for editing: marks it as in use first (waiting while another
  // program or process holds it, see WorkbookFile), then reads it. The mark is held until the
  // workbook is destroyed. Throws InUse after the wait, and what Open throws.
  static std::unique_ptr<Workbook> OpenForEditing(const std::string& path, const EditOptions& options = {},
                                                  Limits limits = {});
  // Opens a workbook from bytes in memory; `fileName` names it in messages.
  static std::unique_ptr<Workbook> OpenBytes(std::string bytes, std::string fileName, Limits limits = {});
  // A new workbook with one empty sheet named "Tabelle1".
  static std::unique_ptr<Workbook> CreateEmpty();

  // The name used in messages.
  const std::string& fileName() const { return package_->fileName(); }
  // The number of sheets (at least 1).
  std::size_t SheetCount() const { return sheets_.size(); }
  // The sheet at tab position `index` (0-based); throws std::out_of_range past SheetCount().
  const SheetEntry& SheetAt(std::size_t index) const { return sheets_.at(index); }
  // The worksheet at tab position `index`, read on first request. Throws OutOfRange for a bad index,
  // NotAWorkbook when that sheet is not a worksheet or cannot be read.
  Worksheet& Sheet(std::size_t index);
  // The first sheet in tab order.
  Worksheet& FirstSheet() { return Sheet(0); }

  // The relationships of `partName` (from its .rels part; empty when it has none).
  std::vector<Relationship> RelationshipsOf(std::string_view partName);
  // Every part name, in package order, including parts added by ReplacePart.
  std::vector<std::string> PartNames() const;
  // The current content of a part: as replaced, or as stored (for a loaded sheet: as it was read, not
  // the model). Throws NotAWorkbook when missing.
  std::string PartContent(std::string_view partName);
  // Replaces (or adds) a part with `content` for the next save; the same content again is no change.
  // Loaded sheets and the styles part are written from the model and must be changed through it instead.
  void ReplacePart(const std::string& partName, std::string content);

  // Called by a worksheet's DeleteRows after the cells moved: (sheet index, first row, row count).
  std::function<void(std::size_t, std::uint32_t, std::uint32_t)> rowsDeleted;

  // The workbook as package bytes (changed parts deflated at `compressionLevel`).
  std::string SaveToBytes();
  // Writes the workbook to `path` safely (see ReplaceFile); `keepPermissions` keeps an existing file's
  // permissions, owner and attributes. The file held for editing, however its path is spelled, is
  // saved as Save does. On failure the old file is untouched. Throws Io, ReadOnly, and for the held
  // file ChangedOnDisk.
  void SaveAs(const std::string& path, bool keepPermissions);
  // Writes the file held for editing when anything changed since it was read or last saved; an
  // unchanged workbook leaves the file's bytes, inode and time alone. Throws InvalidArgument for a
  // workbook that holds no file, ChangedOnDisk when someone else changed the file since it was read,
  // ReadOnly and Io; the file on disk stays as it was then, and the changes stay unsaved.
  void Save();
  // Writes the workbook as a new file at `path` (marking it as in use as OpenForEditing does) and holds
  // that file for editing from then on. Throws ChangedOnDisk when a file exists there by the time the
  // mark is taken (another program made it meanwhile; it is kept), and what Save throws.
  void SaveAsNewFile(const std::string& path, const EditOptions& options = {});
  // True while the workbook holds a file for editing (opened with OpenForEditing or SaveAsNewFile).
  bool HoldsFile() const { return file_ != nullptr; }
  // True when something changed since the workbook was read or last saved to its held file.
  bool HasUnsavedChanges() const { return changes_ != savedChanges_; }
  // Deflate level for parts written from the model (0 .. 3, see ZipWriter). On a 51 MiB sheet level 1
  // is the fastest and within 9% of level 3's size, which takes three to four times as long; level 0
  // is both slower and half again as large.
  int compressionLevel = 1;

 private:
  explicit Workbook(std::unique_ptr<Package> package);
  void ReadStructure();
  void LoadSheet(std::size_t index);
  std::vector<Relationship> ParseRelationships(std::string_view sourcePart, const std::string& content) const;
  std::string WithoutCalculationChain(std::map<std::string, std::string>& edited,
                                      std::map<std::string, std::optional<PartProducer>>& changes);

  std::unique_ptr<Package> package_;
  std::string workbookPart_;
  std::vector<SheetEntry> sheets_;
  std::vector<std::unique_ptr<Worksheet>> loaded_;
  SharedStrings sharedStrings_;
  std::unique_ptr<Styles> styles_;
  std::string stylesPart_;
  bool stylesPartExists_ = false;
  bool date1904_ = false;
  std::map<std::string, std::string> replaced_;
  std::unique_ptr<WorkbookFile> file_;  // the file held for editing, if any
  // Counted up by every change of a sheet or part; the count at the last save to the held file.
  std::uint64_t changes_ = 0;
  std::uint64_t savedChanges_ = 0;
};

}  // namespace zentora::spreadsheet
