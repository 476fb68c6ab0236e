// A workbook written by another program (openpyxl) opened as a store on the
// project's engine, changed through items, and read back by openpyxl.
#include <gtest/gtest.h>

#include "ComponentFixture.h"
#include "Python.h"

namespace zentora::excel::testing {
namespace {

TEST_F(ComponentTest, AThirdPartyWorkbookOpensWithoutIdentifierColumnAndWritesOneBack) {
  if (!HaveOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
  const std::string prelude = "import openpyxl\npath = " + ShellQuoted(folder.Path("Fremd.xlsx")) + "\n";
  ASSERT_EQ(RunPython(prelude +
                      "wb = openpyxl.Workbook()\n"
                      "for row in [['Name', 'Type', 'Date', 'TXT', 'PLZ'], ['Anna', 'privat', 'heute', "
                      "'Anna Müller', 50667], ['Jörg', None, None, 'Jörg Weiß'], [], ['nach der Lücke']]:\n"
                      "    wb.active.append(row)\n"
                      "wb.save(path)\n")
                .code,
            0);
  auto location = Open(folder.Path("Fremd.xlsx"));
  auto anna = location->Item(1);
  EXPECT_EQ((Texts{anna->Item_Text(), anna->Item_DataText("plz"), std::to_string(location->Count())}),
            (Texts{"Anna Müller", "50667", "2"}));
  anna->Item_Typ("Kundin");
  location->Item(2)->Item_DataSet("Ort", "Gießen");
  location->Disconnect();

  EXPECT_EQ(
      RunPython(prelude +
                "ws = openpyxl.load_workbook(path).worksheets[0]\n"
                "rows = [[c.value for c in r] for r in ws.iter_rows()]\n"
                "assert rows[0] == ['Name', 'Type', 'Date', 'TXT', 'PLZ', 'ID', 'TYPE', 'Ort'], rows[0]\n"
                "assert rows[1][5].startswith('{') and rows[1][6] == 'Kundin', rows[1]\n"
                "assert rows[1][1] == 'privat' and rows[2][7] == 'Gießen' and rows[4][0] == 'nach der "
                "Lücke', rows\n"
                "assert ws.cell(2, 1).number_format == '@' and ws.cell(3, 6).number_format == '@'\n"
                "print('ok')\n")
          .out,
      "ok\n");
}

}  // namespace
}  // namespace zentora::excel::testing
