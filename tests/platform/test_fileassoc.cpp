// File classes, desktop entry, MIME types and default applications, all in scratch folders.
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include "platform/fileassoc.h"
#include "platform/keystore.h"
#include "solver/file_fixture.h"

using namespace rv::platform;

namespace {

DesktopPaths Scratch(const QTemporaryDir& tmp) {
  const std::string d = tmp.path().toStdString();
  return {d + "/config/Ravelin/classes.txt", d + "/data", d + "/config", false};
}

// What the desktop is told the program takes: the file-name patterns of its MIME package,
// in order, and the types of its desktop entry.
using Claims = std::pair<std::vector<std::string>, std::string>;
Claims Claimed(const DesktopPaths& p) {
  const std::string xml = rvtest::ReadBytes(p.dataHome + "/mime/packages/ravelin.xml");
  Claims c;
  const std::string head = "<glob pattern=\"";
  for (size_t at = xml.find(head); at != std::string::npos; at = xml.find(head, at + 1)) {
    const size_t b = at + head.size();
    c.first.push_back(xml.substr(b, xml.find('"', b) - b));
  }
  const std::string entry = rvtest::ReadBytes(p.dataHome + "/applications/ravelin.desktop");
  if (const size_t m = entry.find("\nMimeType="); m != std::string::npos)
    c.second = entry.substr(m + 10, entry.find('\n', m + 1) - m - 10);
  return c;
}

}  // namespace

TEST(FileAssoc, ProjectClassRowsInOrderAndDesktopFiles) {
  QTemporaryDir tmp;
  const DesktopPaths p = Scratch(tmp);
  // What an earlier start left: every chart type claimed.
  std::filesystem::create_directories(p.dataHome + "/mime/packages");
  rvtest::WriteBytes(p.dataHome + "/mime/packages/ravelin.xml", "<glob pattern=\"*.dat\"/>");
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
  EXPECT_EQ(Claimed(p), Claims({"*.fdt"}, "application/x-ravelin-project;"));
  EXPECT_EQ(DefaultApplication(p, "application/x-ravelin-project"), "ravelin.desktop");
  for (const char* ext : kChartFileExts) EXPECT_EQ(DefaultApplication(p, MimeTypeOf(ext)), "") << ext;
  // The icon the entry names, where the desktop looks for it.
  EXPECT_EQ(rvtest::ReadBytes(p.dataHome + "/icons/hicolor/scalable/apps/ravelin.svg").rfind("<svg", 0), 0u);
  // Folders of no desktop get no MIME cache: its builder, not waited for, would write into
  // them after they are gone.
  EXPECT_FALSE(QTest::qWaitFor([&] { return std::filesystem::exists(p.dataHome + "/mime/globs2"); }, 1000));
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
  EXPECT_EQ(Claimed(p), Claims({"*.fdt", "*.rez"}, "application/x-ravelin-project;text/csv;application/x-ravelin-rez;"));
  KeyStore s(p.keyStore);
  EXPECT_EQ(std::tuple(s.Value(".csv"), s.Value(".csv\\Old_Key"), s.Value(".rez"), DefaultApplication(p, "text/csv"),
                       DefaultApplication(p, "application/x-ravelin-rez")),
            std::tuple("RavelinChart.file", "Calc.csv", "RavelinChart.file", "ravelin.desktop", "ravelin.desktop"));
  EXPECT_FALSE(s.Exists(".rez\\Old_Key") || s.Exists(".grf"));
  state = ReadAssociations(p);
  EXPECT_EQ(std::tuple(state[2], state[4]), std::tuple(std::optional<bool>(true), std::optional<bool>(true)));

  ApplyAssociations(p, {false, false, false, false, false});
  RegisterChartFileClass(p, "/usr/bin/ravelin");
  EXPECT_EQ(Claimed(p), Claims({"*.fdt"}, "application/x-ravelin-project;"));
  const KeyStore back(p.keyStore);
  EXPECT_EQ(std::tuple(back.Value(".csv"), back.Exists(".csv\\Old_Key"), back.Exists(".rez"),
                       DefaultApplication(p, "text/csv"), DefaultApplication(p, "application/x-ravelin-rez")),
            std::tuple("Calc.csv", true, false, "calc.desktop", ""));
  // The rest of the user's file is untouched.
  const std::string list = rvtest::ReadBytes(p.configHome + "/mimeapps.list");
  EXPECT_NE(list.find("[Added Associations]\ntext/csv=other.desktop;\n"), std::string::npos);
  EXPECT_NE(list.find("text/plain=editor.desktop\n"), std::string::npos);
}
