// Object, cell and point-list files: the object text, reloading it, and the refusals.

#include "editor/dxfimport.h"
#include "editor/modelfiles.h"
#include "solver/codepage.h"
#include "solver/numtext.h"
#include "testgrid.h"

namespace {

using rv::CellPlan;
using rv::MaterialState;
using rv::SolverData;

std::string Lines(const std::vector<std::string>& l) { return rv::Cp1251ToUtf8(rv::EncodeLines(l)); }

// An object text of one material named `name` with the body given.
std::string Object(int sx, int sy, int sz, int materials, const std::vector<std::string>& body) {
  std::vector<std::string> l = {"Точка привязки (X,Y,Z)", "2", "2", "2", "Размер (X,Y,Z)", std::to_string(sx),
                                std::to_string(sy), std::to_string(sz),
                                "Характеристики слоев (Epsilon, Sigma, Mu)", std::to_string(materials)};
  for (int i = 1; i <= materials; ++i)
    l.insert(l.end(), {"2", "0", "2", "0", "1", "1", "255", "m" + std::to_string(i), "1000"});
  l.push_back("Объект");
  l.insert(l.end(), body.begin(), body.end());
  l.push_back("Объект кончился");
  return Lines(l);
}

std::string Cel(int L, int bx, int by, const std::vector<std::string>& body, const std::string& base = "3 3 3") {
  std::vector<std::string> l = {"CELL file", "", "", base, "", "10 10 10", "", "1 1 1", "",
                                "100 " + std::to_string(bx) + " " + std::to_string(by) + " 1", "",
                                std::to_string(L) + " 0 0", ""};
  for (int i = 0; i < L; ++i) l.push_back("layer");
  l.push_back("");
  l.insert(l.end(), body.begin(), body.end());
  l.push_back("end of CELL file");
  return Lines(l);
}

TEST(ModelFiles, ObjectTextAndReload) {
  auto d = Grid(12);
  MaterialState m;
  m.LayerCount = 1;
  d->Space(5, 6, 7) = 1;
  d->Layers[1].Sigma = 0.5;
  std::string text, err;
  ASSERT_TRUE(rv::ObjectText(*d, m, text, err));
  EXPECT_EQ(rv::Cp1251ToUtf8(text),
            "Точка привязки (X,Y,Z)\r\n5\r\n6\r\n7\r\nРазмер (X,Y,Z)\r\n1\r\n1\r\n1\r\n"
            "Характеристики слоев (Epsilon, Sigma, Mu)\r\n1\r\n1\r\n0.5\r\n1\r\n0\r\n1\r\n1\r\n255\r\n"
            "Новый материал\r\n 1.00000000000000E+0003\r\nОбъект\r\n1\r\n1\r\nОбъект кончился\r\n");

  // Three materials all named by default, with different properties, out to layer N-1.
  m.LayerCount = 3;
  d->Layers[2].Sigma = 2, d->Layers[3].Sigma = 3;
  for (int x = 2; x <= 11; ++x) d->Space(x, 3 + x % 2, 11) = uint8_t(1 + x % 3);
  ASSERT_TRUE(rv::ObjectText(*d, m, text, err));
  auto e = Grid(12);
  MaterialState em;
  CellPlan plan;
  ASSERT_TRUE(rv::ParseObject(rv::Cp1251ToUtf8(text), *e, em, plan, err)) << err;
  rv::ApplyCellPlan(plan, plan.AX, plan.AY, plan.AZ, *e, em);
  // Material 1 is the project's own of that name; 2 and 3 keep their own properties.
  EXPECT_EQ(std::tuple(em.LayerCount, e->Layers[2].Sigma, e->Layers[3].Sigma, std::memcmp(e->Space.data(), d->Space.data(), d->Space.size())),
            std::tuple(3, 2.0, 3.0, 0));

  // Names match in any letter case; the same name with the same properties is one material.
  e->Layers[1].Name = "M1";
  MaterialState one;
  ASSERT_TRUE(rv::ParseObject(Object(2, 1, 1, 2, {"1", "1", "2", "1"}), *e, one, plan, err));
  // m1 is material 1; m2 is new.
  EXPECT_EQ(std::tuple(plan.NewLayers.size(), plan.Runs[0].Material, plan.Runs[1].Material), std::tuple(1u, 1, 2));
}

TEST(ModelFiles, RefusedFilesChangeNothing) {
  auto d = Grid(8);
  MaterialState m;
  m.LayerCount = 250;
  struct Case { const char* what; std::string text; bool cel; };
  const std::vector<Case> cases = {
      {"cut", Object(2, 1, 1, 1, {"1"}).substr(0, 40), false},
      {"size 0", Object(0, 1, 1, 1, {"1", "0"}), false},
      {"negative run", Object(2, 1, 1, 1, {"1", "3", "0", "-1"}), false},
      {"runs short", Object(2, 2, 1, 1, {"1", "3"}), false},
      {"runs long", Object(2, 1, 1, 1, {"1", "3"}), false},
      {"body number above M", Object(1, 1, 1, 1, {"2", "1"}), false},
      {"not a number", Object(1, 1, 1, 1, {"x", "1"}), false},
      {"5 new materials past 254", Object(1, 1, 1, 5, {"1", "1"}), false},
      {"M above 255", Object(1, 1, 1, 256, {"1", "1"}), false},
      {"huge box", Object(2000000000, 2000000000, 2000000000, 1, {"1", "9223372036854775807"}), false},
      {"cel title", "CELL  file\r\n", true},
      {"cel L past 254", Cel(5, 2, 2, {"1", "1"}), true},
      {"cel block 0", Cel(1, 0, 2, {"1", "1"}), true},
      {"cel doubled blank", Cel(1, 2, 2, {"1", "1"}, "3  3 3"), true},
      {"cel negative run", Cel(1, 2, 2, {"1", "-4"}), true},
      {"cel k above L", Cel(1, 2, 2, {"2", "4"}), true},
      {"cel base point past 32 bits", Cel(1, 2, 2, {"1", "1"}, "-9.3e18 3 3"), true},
  };
  for (const Case& c : cases) {
    CellPlan plan;
    std::string err;
    const bool ok = c.cel ? rv::ParseCellFile(c.text, m, plan, err) : rv::ParseObject(c.text, *d, m, plan, err);
    EXPECT_TRUE(!ok && !err.empty()) << c.what;
  }
  std::vector<rv::PointCell> pts;
  std::string err;
  EXPECT_FALSE(rv::ParsePointList("h\n1 2 x 1\n", pts, err));
  EXPECT_EQ(std::tuple(m.LayerCount, d->Modified.load()), std::tuple(250, 0));
}

TEST(ModelFiles, CellFileAndPointList) {
  auto d = Grid(8);
  MaterialState m;
  m.LayerCount = 3;
  CellPlan plan;
  std::string err;
  // Block 3 x 2 at (5,6,6): 7 cells of layer 2 wrap to the next row and plane; layer N-1 = 7
  // is the last written, then an enormous empty run and one past the model.
  ASSERT_TRUE(rv::ParseCellFile(Cel(2, 3, 2, {"2", "7", "0", "4000000000000000000", "1", "5"}, "5 6 6"), m, plan, err))
      << err;
  rv::ApplyCellPlan(plan, plan.AX, plan.AY, plan.AZ, *d, m);
  EXPECT_EQ(std::tuple(m.LayerCount, m.UndoReady), std::tuple(5, true));
  int count = 0, set = 0;
  for (int x = 1; x < 9; ++x)
    for (int y = 1; y < 9; ++y)
      for (int z = 1; z < 9; ++z) count += d->Space(x, y, z) != 0;
  for (auto c : {std::array{5, 6, 6}, {6, 6, 6}, {7, 6, 6}, {5, 7, 6}, {6, 7, 6}, {7, 7, 6}, {5, 6, 7}})
    set += d->Space(c[0], c[1], c[2]) == 5;
  EXPECT_EQ(std::tuple(count, set), std::tuple(7, 7));

  std::vector<rv::PointCell> pts;
  ASSERT_TRUE(rv::ParsePointList("x y z v\r\n 5  6\t7 0.5\r\n1 1 1 1\r\n1 1 1 1e-9\r\n9 1 1 1\r\n\r\n", pts, err));
  rv::ApplyPointList(pts, *d, m);
  EXPECT_EQ(std::tuple(d->Space(5, 6, 7), d->Space(1, 1, 1)), std::tuple(1, 0));
  // A file with no points says so, whether it is empty or holds only its title and blanks.
  for (const char* empty : {"", "x y z v\r\n", "x y z v\n \n\t\n"}) {
    err.clear();
    EXPECT_FALSE(rv::ParsePointList(empty, pts, err)) << empty;
    EXPECT_EQ(err, rv::NoPointsText);
  }
}

// A drawing of layers and one LINE from (0,0,0) to (x1,0,0) on `layer`; codes padded
// to three characters or plain.
std::string Dxf(const std::vector<std::string>& layers, const std::string& layer, const std::string& x1, bool pad) {
  std::vector<std::string> p = {"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER"};
  for (const auto& l : layers) p.insert(p.end(), {"0", "LAYER", "2", l, "70", "0"});
  p.insert(p.end(), {"0", "ENDTAB", "0", "ENDSEC", "0", "SECTION", "2", "ENTITIES", "0", "LINE", "8", layer,
                     "10", "0", "20", "0", "30", "0", "11", x1, "21", "0", "0", "ENDSEC", "0", "EOF"});
  for (size_t i = 0; i < p.size(); i += 2)
    if (pad) p[i] = std::string(3 - std::min<size_t>(3, p[i].size()), ' ') + p[i];
  return Lines(p);
}

// Reads the drawing and places it on an 8^3 grid of 1 mm cells at `scale`; false with a
// message when either step refuses.
bool Import(const std::string& text, double scale, SolverData& d, MaterialState& m, std::string& err) {
  const rv::DxfGrid g{0.001, 0.001, 0.001, 8, 8, 8, 1};
  rv::DxfPlan plan;
  std::vector<std::string> report;
  err.clear();
  return rv::ParseDxf(text, g, d, m, plan, report, err) == rv::DxfStatus::Ready &&
         rv::PlaceDxf(plan, scale, g, d, m, report, err);
}

TEST(ModelFiles, DxfLinesLayersAndFit) {
  std::string err;
  for (bool pad : {true, false}) {
    auto d = Grid(8);
    MaterialState m;
    m.LayerCount = 2;
    d->Layers[2].Name = "Metal";
    // Layer "LINE" starts no entity; "METAL" is the existing material 2. The unused materials
    // 1 and 2 are deleted afterwards: the drawing's layer is all that is left.
    ASSERT_TRUE(Import(Dxf({"LINE", "METAL"}, "LINE", "5", pad), 0.001, *d, m, err)) << err;
    for (int x = 1; x <= 7; ++x) EXPECT_EQ(d->Space(x, 1, 1) != 0, x <= 6) << x;
    EXPECT_EQ(std::tuple(Occupied(*d), m.LayerCount, d->Layers[d->Space(1, 1, 1)].Name), std::tuple(6, 1, "LINE"));
  }
  // 6 mm needs 6 + 2 = Nx cells and fits; 7 mm does not.
  auto d = Grid(8);
  MaterialState m;
  EXPECT_TRUE(Import(Dxf({"a"}, "a", "6", true), 0.001, *d, m, err)) << err;
  EXPECT_FALSE(Import(Dxf({"a"}, "a", "7", true), 0.001, *d, m, err));
  EXPECT_EQ(d->Modified, 1);
  // Refusals leave the model and materials as they were.
  d->Modified = 0;
  std::vector<std::string> many;
  for (int i = 0; i < 255; ++i) many.push_back("L" + std::to_string(i));
  const std::vector<std::pair<std::string, double>> cases = {
      {Dxf({"a"}, "a", "x", true), 0.001}, {Lines({"0", "LINE", "1O", "0"}), 0.001},
      {Dxf(many, "a", "5", true), 0.001}, {Dxf({"a"}, "a", "5", true), 0},
      {Dxf({"a"}, "a", "5", true), -1}, {Dxf({"a"}, "a", "1e308", true), 1e10},
      {Lines({"0", "LAYER", "2", "a", "0", "LINE", "8", "a", "10", "1", "20", "2", "11", "3", "0", "EOF"}), 1}};
  const int count = m.LayerCount;
  for (const auto& [text, scale] : cases) EXPECT_TRUE(!Import(text, scale, *d, m, err) && !err.empty()) << text;
  EXPECT_EQ(std::tuple(d->Modified.load(), m.LayerCount), std::tuple(0, count));
}

}  // namespace

namespace {

// A drawing with a header ($EXTMIN, $EXTMAX), one layer "a" and the entities given (each a
// list of code/value pairs after its "0").
std::string Drawing(const std::vector<std::vector<std::string>>& entities, bool eof = true) {
  std::vector<std::string> p = {"0", "SECTION", "2", "HEADER", "9", "$EXTMIN", "10", "0", "20", "0", "30", "0",
                                "9", "$EXTMAX", "10", "6", "20", "1", "30", "0", "0", "ENDSEC",
                                "0", "SECTION", "2", "TABLES", "0", "LAYER", "2", "a", "70", "0", "0", "ENDSEC",
                                "0", "SECTION", "2", "ENTITIES"};
  for (const auto& e : entities) {
    p.push_back("0");
    p.insert(p.end(), e.begin(), e.end());
  }
  p.insert(p.end(), {"0", "ENDSEC"});
  if (eof) p.insert(p.end(), {"0", "EOF"});
  return Lines(p);
}
// A LINE from (x0, y0, 0) to (x1, y1, 0).
std::vector<std::string> Line3(double x0, double x1, double y0 = 0, double y1 = 0) {
  const auto t = [](double v) { return rv::FloatToStr(v); };
  return {"LINE", "8", "a", "10", t(x0), "20", t(y0), "30", "0", "11", t(x1), "21", t(y1), "31", "0"};
}
std::vector<std::string> Face(double w) {
  const std::string W = rv::FloatToStr(w);
  return {"3DFACE", "8", "a", "10", "0", "20", "0", "30", "0", "11", W, "21", "0", "31", "0",
          "12", W, "22", W, "32", "0", "13", "0", "23", W, "33", "0"};
}

struct Placed {
  bool ok = false;
  std::string err;
  std::vector<std::string> report;
};
Placed Place(const std::string& text, SolverData& d, MaterialState& m, const rv::DxfGrid& g,
             const rv::DxfCancel& cancelled = {}) {
  Placed r;
  rv::DxfPlan plan;
  if (rv::ParseDxf(text, g, d, m, plan, r.report, r.err) != rv::DxfStatus::Ready) return r;
  r.ok = rv::PlaceDxf(plan, 0.001, g, d, m, r.report, r.err, {}, cancelled);
  return r;
}
// The drawing placed on a fresh empty grid of g's size, and the cells it filled.
std::pair<Placed, int> PlaceFresh(const std::string& text, const rv::DxfGrid& g) {
  auto d = Grid(g.Nx);
  MaterialState m;
  const Placed r = Place(text, *d, m, g);
  return {r, Occupied(*d)};
}

constexpr rv::DxfGrid k8mm{0.001, 0.001, 0.001, 8, 8, 8, 1};

TEST(DxfImport, TheFitCheckCountsCellsAsThePointsArePlaced) {
  // 8 nodes of 1 mm: cells 1..7. Two lines along Y, at x = 0 and at x = w mm: the far one
  // lies in cells Round(w) + 1.
  for (double w : {5.0, 5.4, 5.5, 5.6, 6.0, 6.4, 6.5, 6.6, 7.0}) {
    auto d = Grid(8);
    MaterialState m;
    const Placed r = Place(Drawing({Line3(0, 0, 0, 2), Line3(w, w, 0, 2)}), *d, m, k8mm);
    long long last = 0;
    ASSERT_TRUE(rv::TryRound(w, last));
    if (last + 2 <= 8) {  // accepted: both lines are drawn whole, none is lost
      ASSERT_TRUE(r.ok) << w << r.err;
      EXPECT_EQ(std::tuple(d->Space(1, 3, 1) != 0, d->Space(int(last) + 1, 3, 1) != 0, Occupied(*d)),
                std::tuple(true, true, 6))
          << w;
    } else {
      EXPECT_EQ(std::tuple(r.ok, r.err, Occupied(*d), m.LayerCount), std::tuple(false, rv::DxfDoesNotFit, 0, 1)) << w;
    }
  }
}

TEST(DxfImport, ReportOrderBlankLastLinesAndRefusedFaces) {
  // The drawing's sizes are reported where $EXTMAX is read, before the layer names.
  const auto [r, cells] = PlaceFresh(Drawing({Line3(0, 2)}), k8mm);
  ASSERT_TRUE(r.ok && r.report.size() >= 6u) << r.err;
  EXPECT_EQ(std::vector<std::string>(r.report.begin(), r.report.begin() + 6),
            (std::vector<std::string>{":АНАЛИЗ ФАЙЛА", "Шаг по пространству: 0.001x0.001x0.001 единиц",
                                      "Приблизительный размер объекта: 6x1x0 единиц",
                                      "Размер пространства: 8x8x8 ячеек", "Размер объекта: 6002x1002x2 ячеек", "a"}));
  // Blank lines at the end of a file are its end; a blank line where a code belongs is not.
  const auto [b, blankCells] = PlaceFresh(Drawing({Line3(0, 2)}, false) + "\r\n  \r\n\r\n", k8mm);
  EXPECT_EQ(std::tuple(b.ok, blankCells), std::tuple(true, 3)) << b.err;
  const std::string text = Drawing({Line3(0, 2)});
  const std::size_t at = text.find("0\r\nENDSEC\r\n0\r\nEOF");
  EXPECT_FALSE(PlaceFresh(text.substr(0, at) + "\r\n" + text.substr(at), k8mm).first.ok);

  // Cells far thinner along Z than across make a face too many steps wide to sweep: it is
  // named in the report, the line beside it is placed.
  const auto [f, faceCells] = PlaceFresh(Drawing({Line3(0, 2), Face(5)}), {0.001, 0.001, 1e-13, 8, 8, 8, 1});
  ASSERT_TRUE(f.ok) << f.err;
  const auto named = std::count_if(f.report.begin(), f.report.end(),
                                   [](const std::string& l) { return l.starts_with("Ош. 3DFACE в строке "); });
  EXPECT_EQ(std::tuple(named, faceCells), std::tuple(1, 3));
}

TEST(DxfImport, AStopLeavesModelMaterialsAndCountAsTheyWere) {
  const rv::DxfGrid g{0.001, 0.001, 0.001, 12, 12, 12, 1};
  const std::string text = Drawing(std::vector<std::vector<std::string>>(50, Face(10)));
  for (int after : {0, 1, 20}) {
    auto d = Grid(12);
    MaterialState m;
    m.LayerCount = 2;
    d->Space(3, 3, 3) = 2;
    d->Layers[2].Name = "keep";
    rv::SaveUndo(*d, m);
    d->Space(4, 4, 4) = 1;  // the edit an undo would take back
    const auto layers = d->Layers;
    int asked = 0;
    const Placed r = Place(text, *d, m, g, [&] { return ++asked > after; });
    EXPECT_EQ(std::tuple(r.ok, r.err, Occupied(*d), int(d->Space(4, 4, 4)), m.LayerCount),
              std::tuple(false, rv::DxfStopped, 2, 1, 2))
        << after;
    EXPECT_TRUE(d->Layers == layers) << after;
    // The undo the user had before the import still takes back the edit made after it.
    d->Layers[2].Name = "renamed";
    ASSERT_TRUE(rv::RestoreUndo(*d, m)) << after;
    EXPECT_EQ(std::tuple(int(d->Space(4, 4, 4)), int(d->Space(3, 3, 3)), m.LayerCount, d->Layers[2].Name),
              std::tuple(0, 2, 2, "keep"))
        << after;
  }
  {  // With no undo before the import, a stop offers none.
    auto d = Grid(12);
    MaterialState m;
    const Placed r = Place(text, *d, m, g, [] { return true; });
    EXPECT_EQ(std::tuple(r.err, m.UndoReady), std::tuple(rv::DxfStopped, false));
  }
  // Reading stops too.
  auto d = Grid(12);
  MaterialState m;
  rv::DxfPlan plan;
  std::vector<std::string> report;
  std::string err;
  EXPECT_EQ(rv::ParseDxf(text, g, *d, m, plan, report, err, {}, [] { return true; }), rv::DxfStatus::Refused);
  EXPECT_EQ(err, rv::DxfStopped);
}

}  // namespace

// A 10 MB bad word in every reader of model files: the refusal quotes only its start.
TEST(ModelFiles, ARefusalQuotesOnlyTheStartOfAHugeWord) {
  const std::string word = "q" + std::string(10u << 20, '7');
  auto d = Grid(8);
  MaterialState m;
  auto check = [&](const char* what, bool refused, const std::string& err, bool quotes = true) {
    EXPECT_TRUE(refused && err.size() < 400u &&
                (!quotes || (err.find("q7777777") != std::string::npos && err.find("…") != std::string::npos)))
        << what << ": " << err.substr(0, 400);
  };
  CellPlan plan;
  std::string err;
  check(".fid run", !rv::ParseObject(Object(1, 1, 1, 1, {word, "1"}), *d, m, plan, err), err);
  check(".cel run", !rv::ParseCellFile(Cel(1, 2, 2, {word, "4"}), m, plan, err), err);
  check(".cel base point", !rv::ParseCellFile(Cel(1, 2, 2, {"1", "4"}, "3 " + word + " 3"), m, plan, err), err);
  std::vector<rv::PointCell> pts;
  check(".3d", !rv::ParsePointList("x y z v\n1 2 3 " + word + "\n", pts, err), err, false);
  const rv::DxfGrid g{0.001, 0.001, 0.001, 8, 8, 8, 1};
  for (const std::string& text : {Lines({"0", "SECTION", word, "ENTITIES"}), Dxf({"a"}, "a", word, true)}) {
    rv::DxfPlan dp;
    std::vector<std::string> report;
    err.clear();
    check("dxf", rv::ParseDxf(text, g, *d, m, dp, report, err) == rv::DxfStatus::Refused, err);
  }
}
