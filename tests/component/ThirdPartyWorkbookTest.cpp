// Workbooks written by another program (openpyxl) opened as stores on the
// project's engine, changed through items, and read back by openpyxl.
#include <gtest/gtest.h>

#include "ComponentFixture.h"
#include "Error.h"
#include "Python.h"
#include "outside/Guid.h"

namespace zentora::excel::testing {
namespace {

class ThirdPartyWorkbook : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    if (!HaveOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
    path = folder.Path("Fremd.xlsx");
  }

  // Runs `body` in Python with `openpyxl` imported and `path` set to the workbook's path.
  ProcessOutcome Python(const std::string& body) {
    return RunPython("import openpyxl\npath = " + ShellQuoted(path) + "\n" + body);
  }

  std::string path;
};

TEST_F(ThirdPartyWorkbook, OpensWithoutIdentifierColumnAndWritesOneBack) {
  ASSERT_EQ(Python("wb = openpyxl.Workbook()\n"
                   "ws = wb.active\n"
                   "ws.append(['Name', 'Type', 'Date', 'TXT', 'PLZ'])\n"
                   "ws.append(['Anna', 'privat', 'heute', 'Anna Müller', 50667])\n"
                   "ws.append(['Jörg', None, None, 'Jörg Weiß', None])\n"
                   "ws.append([])\n"
                   "ws.append(['nach der Lücke'])\n"
                   "wb.save(path)\n")
                .code,
            0);
  CountingGuidSource guids;
  GuidOverride guidOverride(guids);
  auto location = Open(path);
  EXPECT_EQ((Numbers{location->Count(), location->IDfield, location->GetField("$Type"),
                     location->GetField("type"), location->GetField("text")}),
            (Numbers{2, 6, 2, 0, 4}));
  auto anna = location->Item(1);
  EXPECT_EQ((Texts{anna->Item_ID(), anna->Item_Text(), anna->Item_DataText("plz")}),
            (Texts{"{00000000-0000-4000-8000-000000000001}", "Anna Müller", "50667"}));
  anna->Item_Typ("Kundin");
  location->GetItem("{00000000-0000-4000-8000-000000000002}")->Item_DataSet("Ort", "Gießen");
  location->Disconnect();

  const ProcessOutcome checked = Python(
      "ws = openpyxl.load_workbook(path).worksheets[0]\n"
      "rows = [[c.value for c in r] for r in ws.iter_rows()]\n"
      "assert rows[0] == ['Name', 'Type', 'Date', 'TXT', 'PLZ', 'ID', 'TYPE', 'Ort'], rows[0]\n"
      "assert rows[1][5] == '{00000000-0000-4000-8000-000000000001}', rows[1]\n"
      "assert rows[1][6] == 'Kundin' and rows[1][1] == 'privat', rows[1]\n"
      "assert rows[2][7] == 'Gießen', rows[2]\n"
      "assert rows[4][0] == 'nach der Lücke', rows[4]\n"
      "assert ws.cell(2, 1).number_format == '@' and ws.cell(3, 6).number_format == '@'\n"
      "print('ok')\n");
  EXPECT_EQ(checked.out, "ok\n");
}

}  // namespace
}  // namespace zentora::excel::testing
