#include "Cli.h"

#include <gtest/gtest.h>

#include <sstream>

#include "RecordingSpreadsheet.h"
#include "Workbooks.h"

namespace zentora::cli {
namespace {

using excel::testing::Grid;
using excel::testing::ReadWorkbook;
using excel::testing::SpreadsheetRecord;
using excel::testing::StartRecorded;
using excel::testing::TempFolder;
using excel::testing::WriteWorkbook;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    book = folder.Path("Adressen.xlsx");
    WriteWorkbook(*excel::CreateExcelApplication(), book,
                  {{"ID", "TYPE", "TEXT", "Vorname", "Ort", "Type"},
                   {"k1", "contact", "Anna Müller", "Anna", "Köln", "privat"},
                   {"k2", "contact", "Zeile 1\nZeile \"2\"", "Jörg", "Gießen", ""}});
  }

  Outcome Run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::Run(args, out, err, [this] { return StartRecorded(record); });
    return {code, out.str(), err.str()};
  }

  Grid Saved(std::int32_t rows, std::int32_t columns) {
    return ReadWorkbook(*excel::CreateExcelApplication(), book, rows, columns);
  }

  TempFolder folder;
  std::shared_ptr<SpreadsheetRecord> record = std::make_shared<SpreadsheetRecord>();
  std::string book;
};

TEST_F(CommandLine, EveryCommandExplainsItself) {
  for (const std::string command : {"list", "show", "get", "set", "new", "delete"}) {
    const Outcome outcome = Run({command, "--help"});
    EXPECT_EQ(outcome.code, 0) << command;
    EXPECT_EQ(outcome.out.rfind("usage: zentora-excel " + command, 0), 0U) << outcome.out;
    EXPECT_EQ(outcome.err, "");
  }
  const Outcome overview = Run({"--help"});
  EXPECT_EQ(overview.code, 0);
  EXPECT_NE(overview.out.find("commands:"), std::string::npos);
}

TEST_F(CommandLine, MistakesGiveOneLineOnStderrAndANonZeroExit) {
  const struct {
    std::vector<std::string> args;
    int code;
    std::string message;
  } cases[] = {
      {{}, 2, "missing command"},
      {{"löschen", "x"}, 2, "unknown command \"löschen\""},
      {{"list"}, 2, "list needs BOOK"},
      {{"get", "b", "k1"}, 2, "get needs BOOK, ID and FIELD"},
      {{"list", "b", "--csv"}, 2, "unknown option --csv for list"},
      {{"new", "b.xlsx", "--data", "ohne"}, 2, "--data needs NAME=VALUE"},
      {{"new", "b", "--type"}, 2, "--type needs a value"},
      {{"delete", "b"}, 2, "delete needs BOOK and ID"},
      {{"list", "/nirgends/Adressen.xlsx"}, 1, "no workbook at \"/nirgends/Adressen.xlsx\""},
  };
  for (const auto& example : cases) {
    const Outcome outcome = Run(example.args);
    EXPECT_EQ(outcome.code, example.code) << example.message;
    EXPECT_EQ(outcome.err.rfind("zentora-excel: ", 0), 0U) << outcome.err;
    EXPECT_NE(outcome.err.find(example.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
}

TEST_F(CommandLine, ErrorsOfTheStoreNameWhatWasMissing) {
  const Outcome missingItem = Run({"show", book, "k9"});
  EXPECT_EQ(missingItem.code, 3);
  EXPECT_EQ(missingItem.err, "zentora-excel: no item with ID \"k9\" in " + book + "\n");
  const Outcome missingField = Run({"get", book, "k1", "Telefon"});
  EXPECT_EQ(missingField.code, 3);
  EXPECT_NE(missingField.err.find("no column \"Telefon\""), std::string::npos);
}

TEST_F(CommandLine, ListPrintsATableOfTheItems) {
  const Outcome outcome = Run({"list", book});
  EXPECT_EQ(outcome.code, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "ID  TYPE     TEXT               Vorname  Ort     Type\n"
            "--  -------  -----------------  -------  ------  ------\n"
            "k1  contact  Anna Müller        Anna     Köln    privat\n"
            "k2  contact  Zeile 1⏎Zeile \"2\"  Jörg     Gießen\n");
}

TEST_F(CommandLine, ListJsonKeysAreHeadingsAndValuesTheCellsExactly) {
  const Outcome outcome = Run({"list", book, "--json"});
  EXPECT_EQ(outcome.code, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "[\n"
            "  {\"ID\": \"k1\", \"TYPE\": \"contact\", \"TEXT\": \"Anna Müller\", \"Vorname\": \"Anna\", "
            "\"Ort\": \"Köln\", \"Type\": \"privat\"},\n"
            "  {\"ID\": \"k2\", \"TYPE\": \"contact\", \"TEXT\": \"Zeile 1\\nZeile \\\"2\\\"\", \"Vorname\": "
            "\"Jörg\", \"Ort\": \"Gießen\", \"Type\": \"\"}\n"
            "]\n");
}

TEST_F(CommandLine, FixedNamesWinOverDataHeadingsUnlessWrittenWithDollar) {
  EXPECT_EQ(Run({"get", book, "K1", "TYPE"}).out, "contact\n");
  EXPECT_EQ(Run({"get", book, "k1", "$Type"}).out, "privat\n");
  EXPECT_EQ(Run({"get", book, "k1", "ort"}).out, "Köln\n");
  EXPECT_EQ(Run({"get", book, "k2", "Text"}).out, "Zeile 1\nZeile \"2\"\n");
}

TEST_F(CommandLine, SetWritesThroughTheItemAndTheWorkbookKeepsIt) {
  EXPECT_EQ(Run({"set", book, "k2", "text", "Jörg Weiß"}).code, 0);
  EXPECT_EQ(Run({"set", book, "k2", "Ort", "München"}).code, 0);
  const Outcome owner = Run({"--notifications", "set", book, "k2", "OWNER", "jörg"});
  EXPECT_EQ(owner.code, 0);
  EXPECT_EQ(owner.err, "notification 15 \"jörg\"\n");
  EXPECT_EQ(Run({"set", book, "k1", "Telefon", "0221 4711", "--add-field"}).code, 0);
  EXPECT_EQ(Run({"get", book, "k2", "owner"}).out, "jörg\n");
  const Grid saved = Saved(3, 8);
  EXPECT_EQ(saved[0],
            (std::vector<std::string>{"ID", "TYPE", "TEXT", "Vorname", "Ort", "Type", "OWNER", "Telefon"}));
  EXPECT_EQ(saved[2],
            (std::vector<std::string>{"k2", "contact", "Jörg Weiß", "Jörg", "München", "", "jörg", ""}));
  EXPECT_EQ(saved[1][7], "0221 4711");
}

TEST_F(CommandLine, NewPrintsAnIdentifierThatTheWorkbookKeeps) {
  const Outcome created = Run({"new", book, "--type", "firma", "--text", "Bäckerei Groß", "--data",
                               "Ort=Köln", "--data", "E-Mail=info@example.de"});
  ASSERT_EQ(created.code, 0) << created.err;
  const std::string id = created.out.substr(0, created.out.size() - 1);
  EXPECT_EQ(id.size(), 38U);
  const Grid saved = Saved(4, 7);
  EXPECT_EQ(saved[3],
            (std::vector<std::string>{id, "firma", "Bäckerei Groß", "", "Köln", "", "info@example.de"}));
  EXPECT_EQ(Run({"get", book, id, "text"}).out, "Bäckerei Groß\n");
}

TEST_F(CommandLine, NewCreatesAMissingBookWithTheDefaultHeadings) {
  const std::string fresh = folder.Path("Neu.xlsx");
  const Outcome created = Run({"new", fresh, "--text", "Erster"});
  ASSERT_EQ(created.code, 0) << created.err;
  const Grid saved = ReadWorkbook(*excel::CreateExcelApplication(), fresh, 2, 5);
  EXPECT_EQ(saved[0], (std::vector<std::string>{"ID", "TYPE", "TEXT", "Vorname", "Nachname"}));
  EXPECT_EQ(saved[1][2], "Erster");
}

TEST_F(CommandLine, DeleteRemovesTheRowAndNotifiesTheHost) {
  const Outcome deleted = Run({"--notifications", "delete", book, "K1"});
  ASSERT_EQ(deleted.code, 0) << deleted.err;
  EXPECT_EQ(deleted.out, "");
  EXPECT_EQ(deleted.err, "notification 38 \"\"\n");
  EXPECT_EQ(Saved(3, 3),
            (Grid{{"ID", "TYPE", "TEXT"}, {"k2", "contact", "Zeile 1\nZeile \"2\""}, {"", "", ""}}));
  const Outcome again = Run({"delete", book, "k1"});
  EXPECT_EQ(again.code, 3);
  EXPECT_EQ(again.err, "zentora-excel: no item with ID \"k1\" in " + book + "\n");
  record->failing = {"SaveAs"};
  EXPECT_EQ(Run({"delete", book, "k2"}).code, 1);
  record->failing.clear();
  EXPECT_EQ(Run({"get", book, "k2", "Vorname"}).out, "Jörg\n");
}

TEST_F(CommandLine, AChangeThatCannotBeSavedFailsTheCommand) {
  record->failing = {"SaveAs"};
  const Outcome outcome = Run({"set", book, "k1", "text", "verloren"});
  EXPECT_EQ(outcome.code, 1);
  EXPECT_EQ(outcome.err, "zentora-excel: " + book + ": SaveAs failed (injected fault)\n");
  record->failing.clear();
  EXPECT_EQ(Run({"get", book, "k1", "text"}).out, "Anna Müller\n");
}

TEST_F(CommandLine, ShowListsEveryFieldAndTheUrl) {
  const Outcome outcome = Run({"show", book, "k1"});
  EXPECT_EQ(outcome.code, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("text: Anna Müller\n"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("Type: privat\n"), std::string::npos);
  EXPECT_NE(outcome.out.find("url: file://" + book + "#k1\n"), std::string::npos) << outcome.out;
}

}  // namespace
}  // namespace zentora::cli
