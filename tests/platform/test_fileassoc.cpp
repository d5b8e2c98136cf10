// File classes, desktop entry, MIME types and default applications, all in scratch folders.
#include <QTemporaryDir>

#include "platform/fileassoc.h"
#include "platform/keystore.h"
#include "solver/file_fixture.h"

using namespace rv::platform;

namespace {

DesktopPaths Scratch(const QTemporaryDir& tmp) {
  const std::string d = tmp.path().toStdString();
  return {d + "/config/Ravelin/classes.txt", d + "/data", d + "/config"};
}

}  // namespace

TEST(FileAssoc, ProjectClassRowsInOrderAndDesktopFiles) {
  QTemporaryDir tmp;
  const DesktopPaths p = Scratch(tmp);
  const std::string exe = "/opt/my apps/ravelin";
  RegisterProjectFileType(p, exe);
  RegisterProjectFileType(p, exe);  // every start: rewritten, not repeated
  const KeyStore s(p.keyStore);
  const std::string c = "RavelinProject.file", o = c + "\\shell\\open", pr = c + "\\shell\\print";
  const std::vector<KeyStore::Row> want = {
      {c, "Ravelin Project files"}, {c + "\\DefaultIcon", exe}, {o + "\\command", exe},
      {o + "\\ddeexec", "[open(\"%1\")]"}, {o + "\\ddeexec\\application", "Ravelin"},
      {o + "\\ddeexec\\topic", "ddeFdtd"}, {pr + "\\command", exe},
      {pr + "\\ddeexec", "[open(\"%1\")]"}, {pr + "\\ddeexec\\application", "Ravelin"},
      {pr + "\\ddeexec\\topic", "ddeFdtd"}, {".fdt", c}};
  EXPECT_EQ(s.Rows(), want);

  const std::string entry = rvtest::ReadBytes(p.dataHome + "/applications/ravelin.desktop");
  EXPECT_NE(entry.find("Exec=\"/opt/my apps/ravelin\" %f\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("application/x-ravelin-project;"), std::string::npos);
  const std::string mime = rvtest::ReadBytes(p.dataHome + "/mime/packages/ravelin.xml");
  for (const char* glob : {"*.fdt", "*.grf", "*.srg", "*.rez", "*.dat"})
    EXPECT_NE(mime.find(std::string("<glob pattern=\"") + glob + "\"/>"), std::string::npos);
  EXPECT_EQ(mime.find("*.csv"), std::string::npos);  // the system's own type
  EXPECT_EQ(DefaultApplication(p, "application/x-ravelin-project"), "ravelin.desktop");
}

TEST(FileAssoc, TakingOverAndGivingBackKeepsTheFormerOwners) {
  QTemporaryDir tmp;
  const DesktopPaths p = Scratch(tmp);
  {
    KeyStore s(p.keyStore);
    s.Write(".csv", "Calc.csv");
    ASSERT_TRUE(s.Save());
  }
  std::filesystem::create_directories(p.configHome);
  std::ofstream(p.configHome + "/mimeapps.list")
      << "[Added Associations]\ntext/csv=other.desktop;\n\n[Default Applications]\n"
         "text/csv=calc.desktop\ntext/plain=editor.desktop\n";

  // .csv is another class's; .rez has none.
  auto state = ReadAssociations(p);
  EXPECT_EQ(std::tuple(state[2], state[4]), std::tuple(std::optional<bool>(false), std::optional<bool>()));

  ApplyAssociations(p, {false, false, true, false, true});
  KeyStore s(p.keyStore);
  EXPECT_EQ(std::tuple(s.Value(".csv"), s.Value(".csv\\Old_Key"), s.Value(".rez"), DefaultApplication(p, "text/csv"),
                       DefaultApplication(p, "application/x-ravelin-rez")),
            std::tuple("RavelinChart.file", "Calc.csv", "RavelinChart.file", "ravelin.desktop", "ravelin.desktop"));
  EXPECT_FALSE(s.Exists(".rez\\Old_Key") || s.Exists(".grf"));
  state = ReadAssociations(p);
  EXPECT_EQ(std::tuple(state[2], state[4]), std::tuple(std::optional<bool>(true), std::optional<bool>(true)));

  ApplyAssociations(p, {false, false, false, false, false});
  const KeyStore back(p.keyStore);
  EXPECT_EQ(std::tuple(back.Value(".csv"), back.Exists(".csv\\Old_Key"), back.Exists(".rez"),
                       DefaultApplication(p, "text/csv"), DefaultApplication(p, "application/x-ravelin-rez")),
            std::tuple("Calc.csv", true, false, "calc.desktop", ""));
  // The rest of the user's file is untouched.
  const std::string list = rvtest::ReadBytes(p.configHome + "/mimeapps.list");
  EXPECT_NE(list.find("[Added Associations]\ntext/csv=other.desktop;\n"), std::string::npos);
  EXPECT_NE(list.find("text/plain=editor.desktop\n"), std::string::npos);
}
