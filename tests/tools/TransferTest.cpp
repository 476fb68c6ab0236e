// The transfer commands on the project's engine, checked through openpyxl.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Cli.h"
#include "Python.h"
#include "Workbooks.h"

namespace zentora::cli {
namespace {

using excel::testing::HaveOpenpyxl;
using excel::testing::RunPython;
using excel::testing::ShellQuoted;
using excel::testing::TempFolder;

// The standard output of a command run on the project's engine; a test failure when it fails.
std::string Output(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(cli::Run(args, out, err), 0) << err.str();
  return out.str();
}

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveOpenpyxl()) GTEST_SKIP() << "needs python3-openpyxl";
  }
  TempFolder folder;
};

TEST_F(Transfer, ExportThenImportCarriesEveryFieldKindByteForByte) {
  const std::vector<std::string> headings = {"ID",    "TYPE",   "TEXT",   "KEYWORDS", "LOG",
                                             "OWNER", "ACCESS", "SOURCE", "Ort",      "Notiz"};
  const std::string source = folder.Path("Quelle.xlsx");
  const std::string target = folder.Path("Ziel.xlsx");
  const auto application = excel::CreateExcelApplication();
  excel::testing::WriteWorkbook(
      *application, source,
      {headings,
       {"k01", "contact", "Zeile 1\r\nZeile 2 | mit \\ Strich", "kunde,köln", "20240305100000", "jörg",
        "privat", "Quelle A", "Köln", "a|b\\c\r\nd\\|x"},
       {"k02", "note", "Ærger ≠ 😀 \\n", "", "20240101000000", "anna", "", "", "", "\\123"}});
  excel::testing::WriteWorkbook(*application, target, {headings});
  application->Quit();

  const std::string forms = folder.Path("Formen.txt");
  std::ofstream(forms, std::ios::binary) << Output({"export", source});
  EXPECT_EQ(Output({"import", target, forms}), "2 added, 0 updated\n");
  EXPECT_EQ(Output({"import", target, forms}), "0 added, 2 updated\n");

  // Source is written by the text form but not taken from it; every other field arrives as it left.
  const auto check = RunPython(
      "import openpyxl\n"
      "def rows(path):\n"
      "    sheet = openpyxl.load_workbook(path).worksheets[0]\n"
      "    return [[c.value or '' for c in row] for row in sheet.iter_rows(max_col=10)]\n"
      "src, dst = rows(" +
      ShellQuoted(source) + "), rows(" + ShellQuoted(target) +
      ")\n"
      "assert len(src) == len(dst) == 3 and src[1][0] == 'k01' and src[2][0] == 'k02', (src, dst)\n"
      "for s, d in zip(src, dst):\n"
      "    assert d[7] in ('', 'SOURCE'), d\n"
      "    s[7] = d[7]\n"
      "    assert s == d, (s, d)\n"
      "print('ok')\n");
  EXPECT_EQ(check.out, "ok\n") << check.out;
}

TEST_F(Transfer, ListWhereOnALargeWorkbookAgreesWithAPythonFilter) {
  const std::string book = folder.Path("Gross.xlsx");
  const std::string listed = folder.Path("Liste.json");
  const auto made = RunPython(
      "import openpyxl\n"
      "book = openpyxl.Workbook(write_only=True)\n"
      "sheet = book.create_sheet()\n"
      "sheet.append(['ID', 'TYPE', 'TEXT', 'Ort'])\n"
      "towns = ['Köln', 'KÖLN', 'Berlin', 'Düsseldorf', '']\n"
      "names = ['Müller', 'MÜLLER', 'Schmidt', 'Öztürk', 'müllerin']\n"
      "for i in range(100000):\n"
      "    sheet.append(['r%06d' % i, ('contact', 'note', 'Contact')[i % 3],\n"
      "                  names[(i // 3) % 5] + ' ' + str(i), towns[(i // 7) % 5]])\n"
      "book.save(" +
      ShellQuoted(book) + ")\n");
  ASSERT_EQ(made.code, 0) << made.out;
  std::ofstream(listed, std::ios::binary)
      << Output({"list", book, "--json", "--where", "type=contact&$Ort=Köln;text~MÜLLER "});
  const auto check = RunPython(
      "import json, openpyxl\n"
      "sheet = openpyxl.load_workbook('" +
      book +
      "', read_only=True).worksheets[0]\n"
      "want = [r[0] for r in sheet.iter_rows(min_row=2, values_only=True)\n"
      "        if (r[1] == 'contact' and r[3] == 'Köln') or 'müller' in (r[2] or '').lower()]\n"
      "got = [item['ID'] for item in json.load(open('" +
      listed +
      "', encoding='utf-8'))]\n"
      "assert len(want) > 1000 and got == want, (len(got), len(want))\n"
      "print('ok')\n");
  EXPECT_EQ(check.out, "ok\n") << check.out;
}

}  // namespace
}  // namespace zentora::cli
