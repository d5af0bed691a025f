// "Import..." on the Registry page in process: the file dialog answered through the seam, the
// rows appended to Registry, the messages, and imported values through a datasheet save and load.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "creator/creator_about.h"
#include "creator/creator_adddll.h"
#include "creator/creator_addfile.h"
#include "creator/creator_addreg.h"
#include "creator/creator_addshort.h"
#include "creator/creator_main.h"
#include "tests/win/test_support.h"
#include "ui/testing.h"

using ui::testing::TAsked;
using ui::testing::TScriptedDialogs;

namespace {

using Rows = std::vector<std::vector<std::string>>;

const char* const Caption = "Corvantaine 2 Setup Creator";
const std::string K = "HKEY_CURRENT_USER\\Software\\Test";

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class Import : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Application.Title = Caption;
    new TForm1;
    AddFileFrm = new TAddFileFrm;
    AddRegFrm = new TAddRegFrm;
    AboutFrm = new TAboutFrm;
    AddShortFrm = new TAddShortFrm;
    AddDLLFrm = new TAddDLLFrm;
    Dir = testsupport::FreshTestDir("import");
  }
  void TearDown() override {
    delete AddDLLFrm;
    delete AddShortFrm;
    delete AboutFrm;
    delete AddRegFrm;
    delete AddFileFrm;
    delete Form1;
    EXPECT_EQ(D.Unscripted, 0) << "a question nobody answered";
    for (const std::string& f : Files) DeleteFileA(f.c_str());
    RemoveDirectoryA(Dir.c_str());
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = Dir + name;
    std::ofstream(path, std::ios::binary) << bytes;
    Files.push_back(path);
    return path;
  }
  Rows Registry() const {
    Rows rows;
    for (int i = 0; i < Form1->Registry.Count(); ++i) rows.push_back(Form1->Registry.Row(i));
    return rows;
  }
  TScriptedDialogs D;
  std::string Dir;
  std::vector<std::string> Files;
};

}  // namespace

TEST_F(Import, TheButtonAppendsTheExportsValuesAfterTheRowsThere) {
  const std::string file = Write("a.reg",
                                 "REGEDIT4\r\n\r\n[" + K + "]\r\n\"Name\"=\"Data\"\r\n\"D\"=dword:0000ABCD\r\n"
                                 "\"B\"=hex:01,02,\\\r\n  03\r\n@=\"default\"\r\n");
  Form1->Registry.AddRow({"HKEY_LOCAL_MACHINE\\Software\\Old\\", "Kept", "1", "Integer"});
  const Rows once = {{"HKEY_LOCAL_MACHINE\\Software\\Old\\", "Kept", "1", "Integer"},
                     {K, "Name", "Data", "String"},
                     {K, "D", "$0000ABCD", "Integer"},
                     {K, "B", "hex:01,02,03", "Binary Data"}};

  D.AnswerFile(file);
  Form1->Button15.Click();
  ASSERT_EQ(D.Asked.size(), 1u);  // the dialog, and no message after it
  EXPECT_EQ(D.Asked[0].Kind, TAsked::OpenFile);
  EXPECT_EQ(D.Asked[0].File.Title, "Import Registration File...");
  EXPECT_EQ(D.Asked[0].File.Filter, "Registration Files (*.reg)|*.reg");
  EXPECT_EQ(Registry(), once);

  // Cancelled: nothing. The same file again: every row a second time.
  D.AnswerCancel();
  Form1->Button15.Click();
  EXPECT_EQ(Registry(), once);
  D.AnswerFile(file);
  Form1->Button15.Click();
  Rows twice = once;
  twice.insert(twice.end(), once.begin() + 1, once.end());
  EXPECT_EQ(Registry(), twice);
  EXPECT_EQ(D.Asked.size(), 3u);
}

TEST_F(Import, AMissingFileIsSaidAndChangesNothing) {
  Form1->Registry.AddRow({K, "Kept", "x", "String"});
  Form1->ImportRegFile(Dir + "missing.reg");
  Form1->ImportRegFile(Dir);  // a folder is no file either
  ASSERT_EQ(D.Asked.size(), 2u);
  for (const TAsked& a : D.Asked) {
    EXPECT_EQ(a.Kind, TAsked::Message);
    EXPECT_EQ(a.Text, "Specified File does not exist!");
    EXPECT_EQ(a.Flags, static_cast<UINT>(MB_ICONERROR | MB_OK));
    EXPECT_FALSE(a.Beep);
    EXPECT_EQ(a.Caption, Caption);
  }
  EXPECT_EQ(Registry(), (Rows{{K, "Kept", "x", "String"}}));
}

TEST_F(Import, ValuesASetupCannotCarryAreNamedAfterTheRestIsIn) {
  std::string big = "hex:00";
  for (int i = 1; i < 85; ++i) big += ",00";
  Form1->ImportRegFile(Write("big.reg", "REGEDIT4\r\n[" + K + "]\r\n\"Big\"=" + big + "\r\n\"Small\"=\"s\"\r\n"));
  EXPECT_EQ(Registry(), (Rows{{K, "Small", "s", "String"}}));
  ASSERT_EQ(D.Asked.size(), 1u);
  EXPECT_EQ(D.Asked[0].Kind, TAsked::Message);
  EXPECT_TRUE(D.Asked[0].Beep);
  EXPECT_EQ(D.Asked[0].Flags, static_cast<UINT>(MB_ICONWARNING | MB_OK));
  EXPECT_NE(D.Asked[0].Text.find(K + "\\Big: binary data of 85 bytes"), std::string::npos) << D.Asked[0].Text;
}

// A hand-edited export: continuation lines without the editor's indent lose two characters all the
// same, and the lines that are malformed are named in the one warning, the rest imported.
TEST_F(Import, AHandEditedExportNamesItsMalformedValues) {
  Form1->ImportRegFile(Write("hand.reg", "REGEDIT4\r\n[" + K + "]\r\n"
                                         "\"B\"=hex:01,\\\r\nXX02\r\n"
                                         "\"S\"=\"unterminated\r\n"
                                         "\"D\"=dword:123456789\r\n"
                                         "\"Ok\"=\"fine\"\r\n"));
  EXPECT_EQ(Registry(), (Rows{{K, "B", "hex:01,02", "Binary Data"}, {K, "Ok", "fine", "String"}}));
  ASSERT_EQ(D.Asked.size(), 1u);
  EXPECT_EQ(D.Asked[0].Kind, TAsked::Message);
  EXPECT_TRUE(D.Asked[0].Beep);
  EXPECT_EQ(D.Asked[0].Flags, static_cast<UINT>(MB_ICONWARNING | MB_OK));
  EXPECT_EQ(D.Asked[0].Text, "2 values were not imported:\r\n\r\n" + K + "\\S: string without a closing quote\r\n" + K +
                                 "\\D: dword data of more than 8 digits\r\n\r\nAll other values were imported.");
}

// Imported rows are ordinary rows: a datasheet saved and loaded again keeps them as they were,
// every byte value of binary data among them, and strings with the export's doubled backslashes
// and with quotes at either end.
TEST_F(Import, ImportedRowsComeBackFromADatasheet) {
  std::string body = "REGEDIT4\r\n[" + K + "]\r\n";
  for (int start = 0; start < 256; start += 84) {
    body += "\"Bytes" + std::to_string(start) + "\"=hex:";
    for (int b = start; b < 256 && b < start + 84; ++b) {
      char x[3];
      snprintf(x, sizeof x, "%02X", b);
      if (b > start) body += (b - start) % 20 ? "," : ",\\\r\n  ";  // wrapped as the editor does
      body += x;
    }
    body += "\r\n";
  }
  body += "\"Max\"=dword:ffffffff\r\n\"Path\"=\"C:\\\\Program Files\\\\\\\"App\\\"\"\r\n"
          "\"\\\"q\\\"\"=\"\\\"\"\r\n\"Unc\"=\"\\\\\\\\server\\\\share\\\\\"\r\n";
  Form1->ImportRegFile(Write("all.reg", body));
  EXPECT_TRUE(D.Asked.empty()) << D.Asked[0].Text;
  const Rows imported = Registry();
  ASSERT_EQ(imported.size(), 8u);
  EXPECT_EQ(imported[0][2].substr(0, 16), "hex:00,01,02,03,");
  EXPECT_EQ(imported[3][2], "hex:fc,fd,fe,ff");
  EXPECT_EQ(imported[4], (std::vector<std::string>{K, "Max", "$ffffffff", "Integer"}));
  EXPECT_EQ(imported[5], (std::vector<std::string>{K, "Path", "C:\\\\Program Files\\\\\"App\"", "String"}));
  EXPECT_EQ(imported[6], (std::vector<std::string>{K, "\"q\"", "\"", "String"}));
  EXPECT_EQ(imported[7], (std::vector<std::string>{K, "Unc", "\\\\\\\\server\\\\share\\\\", "String"}));

  const std::string sheet = Dir + "round.sds";
  Files.push_back(sheet);
  Form1->SaveDatasheet(sheet);
  EXPECT_NE(ReadText(sheet).find("Value3=\"hex:fc,fd,fe,ff\"\r\n"), std::string::npos);
  Form1->Registry.Clear();
  Form1->LoadDatasheet(sheet);
  EXPECT_EQ(Registry(), imported);
  EXPECT_TRUE(D.Asked.empty());
}

// The registry editor's own UTF-16 export through the form.
TEST_F(Import, TheRegistryEditorsExport) {
  Form1->ImportRegFile(CV_TEST_DATA "/regedit-utf16.reg");
  const Rows rows = Registry();
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\CvImport", "a\"b", "quote in name", "String"}));
  EXPECT_EQ(rows[9], (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\CvImport\\Sub Key", "Inner", "x", "String"}));
  ASSERT_EQ(D.Asked.size(), 1u);  // the 100-byte value
  EXPECT_NE(D.Asked[0].Text.find("\\Bin100: "), std::string::npos) << D.Asked[0].Text;
}
