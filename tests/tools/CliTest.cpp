// The command line run in process on the project's engine (behind the recording,
// fault-injecting layer) and checked with the engine: its commands,
// its output, the messages of the mistakes a user makes, which must leave the
// file as it was, and the transfer commands.
#include "Cli.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Python.h"
#include "RecordingSpreadsheet.h"
#include "Workbooks.h"
#include "outside/Clock.h"

namespace zentora::cli {
namespace {

using excel::testing::Grid;
using excel::testing::ReadWorkbook;
using excel::testing::RunPython;
using excel::testing::ShellQuoted;
using excel::testing::SpreadsheetRecord;
using excel::testing::StartRecorded;
using excel::testing::TempFolder;
using excel::testing::WriteWorkbook;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

std::string Bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    book = folder.Path("Adressen.xlsx");
    WriteWorkbook(*excel::CreateExcelApplication(), book,
                  {{"ID", "TYPE", "TEXT", "Vorname", "Ort", "Type"},
                   {"k1", "contact", "Anna Müller", "Anna", "Köln", "privat"},
                   {"k2", "contact", "Zeile 1\nZeile \"2\"", "Jörg", "Gießen", ""}});
    WriteWorkbook(*excel::CreateExcelApplication(), full,
                  {{"ID", "TYPE", "TEXT", "DATUM", "KEYWORDS", "LOG", "OWNER", "ACCESS", "EVALCOUNT",
                    "FILESIZE", "EVAL", "EVALALL", "SOURCE", "Phone"},
                   {"k1", "contact", "Anna", "20260101", "rot", "20261201090000", "anna", "all", "2", "10",
                    "gut", "4,5", "web", "0221"}});
  }

  Outcome Run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::Run(args, out, err, [this] { return StartRecorded(record); });
    return {code, out.str(), err.str()};
  }
  // Runs a command that must succeed.
  Outcome Ok(const std::vector<std::string>& args) {
    Outcome outcome = Run(args);
    EXPECT_EQ(outcome.code, 0) << outcome.err;
    return outcome;
  }

  TempFolder folder;
  std::shared_ptr<SpreadsheetRecord> record = std::make_shared<SpreadsheetRecord>();
  std::string book;
  // A workbook with every fixed column.
  std::string full = folder.Path("Alle.xlsx");
};

TEST_F(CommandLine, MistakesGiveOneNamingLineOnStderrAndLeaveTheFileAsItWas) {
  RunPython("import zipfile\nz = zipfile.ZipFile(" + ShellQuoted(folder.Path("Calc.ods")) +
            ", 'w')\nz.writestr('mimetype', 'application/vnd.oasis.opendocument.spreadsheet')\nz.close()");
  std::filesystem::create_directory(folder.Path("Ordner.xlsx"));
  const std::string doubled = folder.Path("Doppelt.xlsx");
  WriteWorkbook(*excel::CreateExcelApplication(), doubled, {{"ID", "Phone", "phone"}});
  const struct {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> named;
  } cases[] = {
      {{}, 2, {"missing command"}},
      {{"löschen", "x"}, 2, {"unknown command \"löschen\""}},
      {{"get", "b", "k1"}, 2, {"get needs BOOK, ID and FIELD"}},
      {{"list", "b", "--csv"}, 2, {"unknown option --csv for list"}},
      {{"new", "b.xlsx", "--data", "ohne"}, 2, {"--data needs NAME=VALUE"}},
      {{"get", book, "k1", "text", "mehr"},
       2,
       {"too many arguments for get: it takes BOOK, ID and FIELD, not also \"mehr\""}},
      {{"list", "/nirgends/Adressen.xlsx"}, 1, {"no workbook at \"/nirgends/Adressen.xlsx\""}},
      {{"show", book, "k9"}, 3, {"no item with ID \"k9\" in " + book}},
      {{"set", full, "k1", "Phnoe", "1"},
       3,
       {full, "no column \"Phnoe\"", "\"Phone\" (column N)", "--add-field"}},
      {{"list", doubled}, 1, {doubled, "\"Phone\" in column B", "\"phone\" in column C", "letter case"}},
      {{"list", folder.Path("Calc.ods")},
       1,
       {"Calc.ods: this is an OpenDocument spreadsheet; save it as .xlsx"}},
      {{"list", folder.Path("Ordner.xlsx")}, 1, {"Ordner.xlsx is a folder, not a workbook"}}};
  for (const auto& example : cases) {
    const std::string file = example.args.size() > 1 ? example.args[1] : "";
    const bool isFile = std::filesystem::is_regular_file(file);
    const std::string before = isFile ? Bytes(file) : "";
    const Outcome outcome = Run(example.args);
    EXPECT_EQ(outcome.code, example.code) << outcome.err;
    // One line on stderr, nothing on stdout, no error number.
    EXPECT_TRUE(outcome.err.starts_with("zentora-excel: ") &&
                outcome.err.find('\n') == outcome.err.size() - 1 &&
                outcome.err.find("error ") == std::string::npos && outcome.out.empty())
        << outcome.err;
    for (const std::string& part : example.named)
      EXPECT_NE(outcome.err.find(part), std::string::npos) << outcome.err;
    EXPECT_EQ(isFile ? Bytes(file) : "", before) << file;
  }
}

TEST_F(CommandLine, ListPrintsATableOrJsonOfTheCellsExactly) {
  EXPECT_EQ(Ok({"list", book}).out,
            "ID  TYPE     TEXT               Vorname  Ort     Type\n"
            "--  -------  -----------------  -------  ------  ------\n"
            "k1  contact  Anna Müller        Anna     Köln    privat\n"
            "k2  contact  Zeile 1⏎Zeile \"2\"  Jörg     Gießen\n");
  EXPECT_EQ(Ok({"list", book, "--json"}).out,
            "[\n"
            "  {\"ID\": \"k1\", \"TYPE\": \"contact\", \"TEXT\": \"Anna Müller\", \"Vorname\": \"Anna\", "
            "\"Ort\": \"Köln\", \"Type\": \"privat\"},\n"
            "  {\"ID\": \"k2\", \"TYPE\": \"contact\", \"TEXT\": \"Zeile 1\\nZeile \\\"2\\\"\", \"Vorname\": "
            "\"Jörg\", \"Ort\": \"Gießen\", \"Type\": \"\"}\n"
            "]\n");
  EXPECT_EQ(Ok({"list", book, "--columns", "ID", "--where", "$Ort=Köln&type=note;text~ZEILE "}).out,
            "ID\n--\nk2\n");
  // Fixed fields are listed without a column of their own, as get reads them.
  EXPECT_EQ(Ok({"list", book, "--columns", "Ort,owner,evalcount"}).out,
            "Ort     owner  evalcount\n------  -----  ---------\nKöln           0\nGießen         0\n");
  EXPECT_EQ(Ok({"list", full, "--columns", "evalall,source,id", "--json"}).out,
            "[\n  {\"evalall\": \"4\", \"source\": \"web\", \"id\": \"k1\"}\n]\n");
  // An output that fails (its reader went away) fails the command.
  std::ostringstream closed;
  std::ostringstream err;
  closed.setstate(std::ios::badbit);
  EXPECT_EQ(cli::Run({"list", book}, closed, err, [this] { return StartRecorded(record); }), 1);
  EXPECT_EQ(err.str(),
            "zentora-excel: the output could not be written: its reader stopped or the disk is full\n");
}

TEST_F(CommandLine, FieldsAreFixedByNameInAnyCaseUnlessWrittenWithDollar) {
  const std::array<std::string, 4> cases[] = {
      {book, "K1", "TYPE", "contact\n"},  {book, "k1", "$Type", "privat\n"},
      {book, "k1", "ort", "Köln\n"},      {book, "k2", "Text", "Zeile 1\nZeile \"2\"\n"},
      {full, "K1", "KEYWORDS", "rot\n"},  {full, "k1", "Log", "20261201090000\n"},
      {full, "k1", "evalall", "4\n"},     {full, "k1", "evalcount", "0\n"},
      {full, "k1", "SOURCE", "web\n"},    {full, "k1", "$phone", "0221\n"},
      {full, "k1", "datum", "20260101\n"}};
  for (const auto& [path, id, field, value] : cases)
    EXPECT_EQ(Ok({"get", path, id, field}).out, value) << field;
  const std::string shown = Ok({"show", book, "k1"}).out;
  for (const std::string& line :
       std::vector<std::string>{"text: Anna Müller\n", "Type: privat\n", "url: file://" + book + "#k1\n"})
    EXPECT_NE(shown.find(line), std::string::npos) << shown;
}

TEST_F(CommandLine, SetAndNewWriteThroughTheItemAndTheWorkbookKeepsThemUnlessSavingFails) {
  Ok({"set", book, "k2", "text", "Jörg Weiß"});
  Ok({"set", book, "k2", "Ort", "München"});
  EXPECT_EQ(Ok({"--notifications", "set", book, "k2", "OWNER", "jörg"}).err, "notification 15 \"jörg\"\n");
  Ok({"set", book, "k1", "Telefon", "0221 4711", "--add-field"});
  const std::string id = Ok({"new", book, "--type", "firma", "--text", "Bäckerei Groß", "--data", "Ort=Köln",
                             "--data", "E-Mail=info@example.de"})
                             .out;
  EXPECT_EQ(ReadWorkbook(*excel::CreateExcelApplication(), book, 4, 9),
            (Grid{{"ID", "TYPE", "TEXT", "Vorname", "Ort", "Type", "OWNER", "Telefon", "E-Mail"},
                  {"k1", "contact", "Anna Müller", "Anna", "Köln", "privat", "", "0221 4711", ""},
                  {"k2", "contact", "Jörg Weiß", "Jörg", "München", "", "jörg", "", ""},
                  {id.substr(0, 38), "firma", "Bäckerei Groß", "", "Köln", "", "", "", "info@example.de"}}));
  EXPECT_EQ(id.size(), 39U);

  record->failing = {"SaveAs"};
  EXPECT_EQ(Run({"set", book, "k1", "text", "verloren"}).err,
            "zentora-excel: " + book + ": SaveAs failed (injected fault)\n");
  EXPECT_EQ(Run({"delete", book, "k2"}).code, 1);
  record->failing.clear();
  EXPECT_EQ(Run({"get", book, "k1", "text"}).out + Run({"get", book, "k2", "Vorname"}).out,
            "Anna Müller\nJörg\n");

  // A missing book is created with the component's headings.
  const std::string fresh = folder.Path("Neu.xlsx");
  Ok({"new", fresh, "--text", "Erster"});
  EXPECT_EQ(ReadWorkbook(*excel::CreateExcelApplication(), fresh, 2, 3)[1][2], "Erster");
}
TEST_F(CommandLine, ChangesGoThroughTheItemAndReachTheWorkbook) {
  const excel::FixedClock clock({2026, 12, 5, 10, 0, 0});
  const excel::ClockOverride useClock(clock);
  Ok({"set", full, "k1", "text", "Anna M."});
  Ok({"set", full, "k1", "OWNER", "jörg"});
  Ok({"view", full, "k1"});
  EXPECT_EQ(Ok({"log", full, "k1"}).out,
            "created: 2026-12-01 09:00:00\nchanged: 2026-12-05 10:00:00 (2 times)\n"
            "viewed: 2026-12-05 10:00:00 (1 time)\n");
  EXPECT_NE(Ok({"keywords", full, "k1", "add", "grün", "rot"}).err.find("keyword \"rot\" is already there"),
            std::string::npos);
  EXPECT_EQ(Ok({"keywords", full, "k1", "--json"}).out, "[\"rot\", \"grün\"]\n");
  EXPECT_EQ(Ok({"keywords", full, "k1", "remove", "rot", "blau"}).err,
            "zentora-excel: no keyword \"blau\"; nothing removed\n");
  EXPECT_EQ(Ok({"rating", full, "k1", "--json"}).out, "{\"rating\": 4, \"text\": \"4,5\"}\n");
  EXPECT_EQ(ReadWorkbook(*excel::CreateExcelApplication(), full, 2, 7)[1],
            (std::vector<std::string>{"k1", "contact", "Anna M.", "20260101", "grün",
                                      "20261201090000,20261205100000*4,20261205100000*1", "jörg"}));
}

TEST_F(CommandLine, AFirstOpeningSaysWhatItChangesAndDryRunWritesNothing) {
  const std::string plain = folder.Path("Ohne.xlsx");
  const std::string headings = folder.Path("Kopf.xlsx");
  WriteWorkbook(*excel::CreateExcelApplication(), plain,
                {{"TEXT", "Notiz"}, {"eins", std::string(5000, 'x')}, {"zwei", ""}});
  WriteWorkbook(*excel::CreateExcelApplication(), headings, {{"TEXT"}});
  const std::string before = Bytes(plain);
  const Outcome dry = Ok({"--dry-run", "list", plain});
  for (const char* said : {"adds the heading \"ID\" in column C and writes new IDs into 2 rows",
                           "--dry-run: nothing is written"})
    EXPECT_NE(dry.err.find(said), std::string::npos) << dry.err;
  EXPECT_EQ(Bytes(plain), before);
  std::istringstream lines(dry.out);  // the long cell is cut until each line fits 100 characters
  for (std::string line; std::getline(lines, line);)
    EXPECT_LE(std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }), 100)
        << line;
  EXPECT_NE(Ok({"--dry-run", "list", headings}).err.find("adds the heading \"ID\" in column B, and gives"),
            std::string::npos);
  // A workbook that cannot take the changes is still read, and the command says they are not kept.
  const std::string locked = folder.Path("Gesperrt.xlsx");
  std::filesystem::copy_file(plain, locked);
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
  const Outcome unsaved = Ok({"list", locked});
  EXPECT_NE(unsaved.err.find("the file is read-only; the changes of opening it are not kept"),
            std::string::npos)
      << unsaved.err;
  EXPECT_NE(unsaved.out.find("eins"), std::string::npos);
  EXPECT_NE(Ok({"list", plain}).err, "");
  EXPECT_EQ(Ok({"list", plain}).err, "");
}

TEST_F(CommandLine, ExportThenImportCarriesEveryFieldKindByteForByte) {
  const std::vector<std::string> headings = {"ID",    "TYPE",   "TEXT",   "KEYWORDS", "LOG",
                                             "OWNER", "ACCESS", "SOURCE", "Ort",      "Notiz"};
  const std::string source = folder.Path("Quelle.xlsx");
  const std::string target = folder.Path("Ziel.xlsx");
  WriteWorkbook(*excel::CreateExcelApplication(), source,
                {headings,
                 {"k01", "contact", "Zeile 1\r\nZeile 2 | mit \\ Strich", "kunde,köln", "20240305100000",
                  "jörg", "privat", "Quelle A", "Köln", "a|b\\c\r\nd\\|x"},
                 {"k02", "note", "Ærger ≠ 😀 \\n", "", "20240101000000", "anna", "", "", "", "\\123"}});
  WriteWorkbook(*excel::CreateExcelApplication(), target, {headings});

  const std::string forms = folder.Path("Formen.txt");
  std::ofstream(forms, std::ios::binary) << Ok({"export", source}).out;
  EXPECT_EQ(Ok({"import", target, forms}).out, "2 added, 0 updated\n");
  EXPECT_EQ(Ok({"import", target, forms}).out, "0 added, 2 updated\n");

  // Source is written by the text form but not taken from it; every other field arrives as it left.
  Grid expected = ReadWorkbook(*excel::CreateExcelApplication(), source, 3, 10);
  expected[1][7] = expected[2][7] = "";
  EXPECT_EQ(ReadWorkbook(*excel::CreateExcelApplication(), target, 3, 10), expected);
}

}  // namespace
}  // namespace zentora::cli
