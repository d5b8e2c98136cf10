// The sample projects cut short at every length: each cut asks the one question, naming the
// project file, the line it ends on and the first key it lacks, and «Нет» keeps the open
// project; a cut that loses nothing loads what the whole file loads.
#include <gtest/gtest.h>

#include "project/projectfile.h"
#include "project_fixture.h"
#include "solver/solverdata.h"

using namespace prjtest;

TEST(CutProject, EveryCutOfTheSamplesAsksOrLoadsAsTheWholeFile) {
  for (const char* name : {"dipole/dipole", "scatterer/scatterer"}) {
    SCOPED_TRACE(name);
    const std::string src = (fs::path(__FILE__).parent_path() / "../../examples" / name).string();
    TempDir tmp;
    const std::string fdt = tmp / "cut.fdt", whole = ReadBytes(src + ".fdt");
    WriteBytes(tmp / "cut.bin", ReadBytes(src + ".bin"));
    // Each line's CR, its key (none for a section or a comment), its section and the line
    // that opens the section.
    struct Line { size_t end; std::string key, section; size_t header; };
    std::vector<Line> lines;
    for (size_t at = 0, end; (end = whole.find("\r\n", at)) != std::string::npos; at = end + 2) {
      const std::string t = whole.substr(at, end - at);
      Line l{end, "", lines.empty() ? "" : lines.back().section, lines.empty() ? 0 : lines.back().header};
      if (t[0] == '[') l.section = t.substr(1, t.size() - 2), l.header = lines.size();
      else if (t[0] != ';') l.key = t.substr(0, t.find('='));
      if (l.key == "Counts") l.key.clear();  // a record files of earlier saves lack: not asked for
      lines.push_back(l);
    }
    for (size_t len = 1; len < whole.size(); ++len) {
      WriteBytes(fdt, whole.substr(0, len));
      ProjectData p;
      p.Main.spX = 7;
      auto d = std::make_unique<SolverData>();
      d->Space.allocate(8, 8, 8);
      d->Space(7, 7, 7) = 3;
      std::vector<std::string> asked;
      const ProjectLoadStatus status =
          LoadProject(fdt, p, *d, {}, [&](const std::string& q) { asked.push_back(q); return false; }).Status;
      size_t n = 0, k;  // lines left whole, the first key they lack
      while (n < lines.size() && lines[n].end < len) ++n;
      for (k = n; k < lines.size() && lines[k].key.empty();) ++k;
      const bool mid = whole[len - 1] != '\n' && whole[len - 1] != '\r';
      if (k == lines.size() && !mid) {
        // Nothing lost: what it loads is saved as the whole file's load is.
        ASSERT_EQ(std::tuple(status, asked.size()), std::tuple(ProjectLoadStatus::Loaded, 0u)) << len;
        ProjectData q;
        auto e = std::make_unique<SolverData>();
        std::string err;
        WriteBytes(fdt, whole);
        ASSERT_EQ(LoadProject(fdt, q, *e).Status, ProjectLoadStatus::Loaded);
        ASSERT_TRUE(SaveProject(tmp / "a.fdt", p, *d, err) && SaveProject(tmp / "b.fdt", q, *e, err)) << err;
        EXPECT_EQ(ReadBytes(tmp / "a.fdt") + ReadBytes(tmp / "a.bin"), ReadBytes(tmp / "b.fdt") + ReadBytes(tmp / "b.bin"));
        continue;
      }
      ASSERT_EQ(std::tuple(status, asked.size(), p.Main.spX, d->Space(7, 7, 7)),
                std::tuple(ProjectLoadStatus::Refused, 1u, 7, 3)) << len;
      const Line& l = lines[k];
      const std::string where = mid ? "оборван на середине строки " + std::to_string(n + 1) + " («"
                                    : "кончается строкой " + std::to_string(n) + ", и в нем не хватает ключей";
      const std::string first = l.header < n ? "ключа " + l.key + " раздела [" + l.section + "]."
                                             : "раздела [" + l.section + "].";
      ASSERT_EQ(asked[0].rfind("Файл проекта " + fdt + " поврежден: " + where, 0), 0u) << len << "\n" << asked[0];
      ASSERT_NE(asked[0].find(", начиная с " + first), std::string::npos) << len << "\n" << asked[0];
      ASSERT_EQ(asked[0].find("старого формата"), std::string::npos) << len << "\n" << asked[0];
    }
  }
}
