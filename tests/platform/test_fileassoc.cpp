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

// The file-name patterns the program's MIME package claims, in order.
std::vector<std::string> Globs(const DesktopPaths& p) {
  const std::string xml = rvtest::ReadBytes(p.dataHome + "/mime/packages/ravelin.xml");
  std::vector<std::string> globs;
  const std::string head = "<glob pattern=\"";
  for (size_t at = xml.find(head); at != std::string::npos; at = xml.find(head, at + 1)) {
    const size_t b = at + head.size();
    globs.push_back(xml.substr(b, xml.find('"', b) - b));
  }
  return globs;
}

}  // namespace

TEST(FileAssoc, ProjectClassRowsInOrderAndDesktopFiles) {
  QTemporaryDir tmp;
  // The desktop's folders as the environment names them.
  qputenv("XDG_DATA_HOME", (tmp.path() + "/data").toUtf8());
  qputenv("XDG_CONFIG_HOME", (tmp.path() + "/config").toUtf8());
  const DesktopPaths env = DesktopPaths::FromEnvironment();
  qunsetenv("XDG_DATA_HOME");
  qunsetenv("XDG_CONFIG_HOME");
  const DesktopPaths p = Scratch(tmp);
  EXPECT_EQ(std::tuple(env.dataHome, env.configHome), std::tuple(p.dataHome, p.configHome));
  // What an earlier start left: every chart type claimed.
  std::filesystem::create_directories(p.dataHome + "/mime/packages");
  rvtest::WriteBytes(p.dataHome + "/mime/packages/ravelin.xml", "<glob pattern=\"*.dat\"/>");
  ASSERT_EQ(Globs(p), std::vector<std::string>{"*.dat"});
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

  // A start takes the project files and nothing else: the chart extensions are the user's
  // to give (a .dat file of another program stays that program's).
  const std::string entry = rvtest::ReadBytes(p.dataHome + "/applications/ravelin.desktop");
  EXPECT_NE(entry.find("Exec=\"/opt/my apps/ravelin\" %f\nIcon=ravelin\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("MimeType=application/x-ravelin-project;\n"), std::string::npos) << entry;
  EXPECT_EQ(Globs(p), std::vector<std::string>{"*.fdt"});
  EXPECT_EQ(DefaultApplication(p, "application/x-ravelin-project"), "ravelin.desktop");
  for (const char* ext : kChartFileExts) EXPECT_EQ(DefaultApplication(p, MimeTypeOf(ext)), "") << ext;
  // The icon the entry names, where the desktop looks for it.
  EXPECT_EQ(rvtest::ReadBytes(p.dataHome + "/icons/hicolor/scalable/apps/ravelin.svg").rfind("<svg", 0), 0u);
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

  RegisterProjectFileType(p, "/usr/bin/ravelin");
  ApplyAssociations(p, {false, false, true, false, true});
  RegisterChartFileClass(p, "/usr/bin/ravelin");
  // Only the ticked ones are the program's: .rez by a type of its own, .csv by the system's.
  EXPECT_EQ(Globs(p), (std::vector<std::string>{"*.fdt", "*.rez"}));
  EXPECT_NE(rvtest::ReadBytes(p.dataHome + "/applications/ravelin.desktop")
                .find("MimeType=application/x-ravelin-project;text/csv;application/x-ravelin-rez;\n"),
            std::string::npos);
  KeyStore s(p.keyStore);
  EXPECT_EQ(std::tuple(s.Value(".csv"), s.Value(".csv\\Old_Key"), s.Value(".rez"), DefaultApplication(p, "text/csv"),
                       DefaultApplication(p, "application/x-ravelin-rez")),
            std::tuple("RavelinChart.file", "Calc.csv", "RavelinChart.file", "ravelin.desktop", "ravelin.desktop"));
  EXPECT_FALSE(s.Exists(".rez\\Old_Key") || s.Exists(".grf"));
  state = ReadAssociations(p);
  EXPECT_EQ(std::tuple(state[2], state[4]), std::tuple(std::optional<bool>(true), std::optional<bool>(true)));

  ApplyAssociations(p, {false, false, false, false, false});
  RegisterChartFileClass(p, "/usr/bin/ravelin");
  EXPECT_EQ(Globs(p), std::vector<std::string>{"*.fdt"});
  EXPECT_NE(rvtest::ReadBytes(p.dataHome + "/applications/ravelin.desktop")
                .find("MimeType=application/x-ravelin-project;\n"),
            std::string::npos);
  const KeyStore back(p.keyStore);
  EXPECT_EQ(std::tuple(back.Value(".csv"), back.Exists(".csv\\Old_Key"), back.Exists(".rez"),
                       DefaultApplication(p, "text/csv"), DefaultApplication(p, "application/x-ravelin-rez")),
            std::tuple("Calc.csv", true, false, "calc.desktop", ""));
  // The rest of the user's file is untouched.
  const std::string list = rvtest::ReadBytes(p.configHome + "/mimeapps.list");
  EXPECT_NE(list.find("[Added Associations]\ntext/csv=other.desktop;\n"), std::string::npos);
  EXPECT_NE(list.find("text/plain=editor.desktop\n"), std::string::npos);
}
