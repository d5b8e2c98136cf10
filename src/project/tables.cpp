#include "project/tables.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <new>

#include "solver/codepage.h"
#include "solver/inifile.h"

namespace rv {

namespace {

void WriteHeader(StringGrid& g, std::initializer_list<const char*> titles) {
  int c = 0;
  for (const char* t : titles) g.SetCell(c++, 0, t);
}

void WriteLampedHeader(StringGrid& g, const char* valueTitle) {
  WriteHeader(g, {"X", "Y", "Z", valueTitle, "Направл."});
}

// The tables in the order of their project-file sections.
template <class T>
auto LampedGrids(T& t) {
  return std::array{&t.sgResistors, &t.sgCapacitors, &t.sgSourses, &t.sgRazraydnic, &t.sgInductor};
}
template <class T>
auto OutGrids(T& t) {
  return std::array{&t.sgOutPoint, &t.sgCurrent, &t.sgVoltage, &t.sgFarPoints};
}

bool ReadIni(IniFile& ini, const std::string& fileName, Messages& msgs) {
  std::string err;
  if (ini.load(fileName, &err)) return true;
  msgs.push_back("Не удалось прочитать файл проекта " + fileName + ": " + err);
  return false;
}

// Reads the tables into a copy and hands them over only when all of them could be read,
// so a damaged file or one too large for the memory left changes nothing.
template <class Tables, class Load>
bool LoadWhole(Tables& t, const std::string& fileName, ModifiedFlag& modified, Messages& msgs, Load load) {
  try {
    IniFile ini;
    if (!ReadIni(ini, fileName, msgs)) return false;
    Tables n = t;
    ModifiedFlag changed{0};
    if (!load(n, ini, changed)) return false;
    t = std::move(n);
    if (changed) modified = 1;
    return true;
  } catch (const std::bad_alloc&) {
    msgs.push_back(NoMemoryMessage(fileName));
    return false;
  }
}

}  // namespace

LampedTables::LampedTables() { WriteLampedHeaders(*this); }

OutPointTables::OutPointTables() {
  WriteOutPointHeaders(*this);
  for (StringGrid* g : {&sgOutPoint, &sgCurrent, &sgVoltage, &sgFarPoints}) g->SetEnabled(false);
}

void WriteLampedHeaders(LampedTables& t) {
  WriteLampedHeader(t.sgResistors, "R, Ом");
  WriteLampedHeader(t.sgCapacitors, "С, Ф");
  WriteLampedHeader(t.sgSourses, "R, Ом");
  t.sgSourses.SetCell(5, 0, "Полярн.");
  WriteLampedHeader(t.sgRazraydnic, "U проб., В");
  WriteLampedHeader(t.sgInductor, "L, Гн");
}

void WriteOutPointHeaders(OutPointTables& t) {
  WriteHeader(t.sgOutPoint, {"Что", "Направл", "X", "Y", "Z", "Файл"});
  WriteHeader(t.sgCurrent, {"X1", "Y1", "Z1", "X2", "Y2", "Z2", "Файл"});
  WriteHeader(t.sgVoltage, {"X1", "Y1", "Z1", "X2", "Y2", "Z2", "Файл"});
  WriteHeader(t.sgFarPoints, {"X", "Y", "Z"});
}

void SaveLampedSettings(const LampedTables& t, IniFile& ini) {
  for (const StringGrid* g : LampedGrids(t)) SaveGridSection(ini, *g);
}

bool LoadLampedSettings(LampedTables& t, const IniFile& ini, ModifiedFlag& modified, Messages& msgs) {
  const auto a = LampedGrids(t);
  bool ok = true;
  for (const StringGrid* g : a) ok = CheckGridSection(ini, *g, msgs) && ok;
  if (!ok) return false;
  for (StringGrid* g : a) LoadGridSection(ini, *g, modified);
  return true;
}

void SaveOutPointSettings(const OutPointTables& t, IniFile& ini) {
  ini.writeInteger("OutPoints", "seOutputRate", t.seOutputRate);
  ini.writeBool("OutPoints", "cbNoWriteFile", t.cbNoWriteFile);
  ini.writeBool("OutPoints", "cbShowInput", t.cbShowInput);
  ini.writeBool("OutPoints", "cbShowGr", t.cbShowGr);
  for (const StringGrid* g : OutGrids(t)) SaveGridSection(ini, *g);
}

bool LoadOutPointSettings(OutPointTables& t, const IniFile& ini, ModifiedFlag& modified, Messages& msgs) {
  const auto a = OutGrids(t);
  bool ok = true;
  for (const StringGrid* g : a) ok = CheckGridSection(ini, *g, msgs) && ok;
  if (!ok) return false;
  t.seOutputRate =
      std::clamp(ini.readInteger("OutPoints", "seOutputRate", 0), MinOutputRate, MaxOutputRate);
  t.cbNoWriteFile = ini.readBool("OutPoints", "cbNoWriteFile", false);
  t.cbShowInput = ini.readBool("OutPoints", "cbShowInput", false);
  t.cbShowGr = ini.readBool("OutPoints", "cbShowGr", false);
  for (StringGrid* g : a) LoadGridSection(ini, *g, modified);
  return true;
}

bool SaveLampedSettings(const LampedTables& t, const std::string& fileName, Messages& msgs) {
  IniFile ini;
  if (!ReadIni(ini, fileName, msgs)) return false;
  SaveLampedSettings(t, ini);
  std::string err;
  if (ini.save(&err)) return true;
  msgs.push_back("Не удалось записать файл проекта " + fileName + ": " + err);
  return false;
}

bool LoadLampedSettings(LampedTables& t, const std::string& fileName, ModifiedFlag& modified, Messages& msgs) {
  return LoadWhole(t, fileName, modified, msgs,
                   [&](LampedTables& n, const IniFile& ini, ModifiedFlag& m) {
                     return LoadLampedSettings(n, ini, m, msgs);
                   });
}

bool SaveOutPointSettings(const OutPointTables& t, const std::string& fileName, Messages& msgs) {
  IniFile ini;
  if (!ReadIni(ini, fileName, msgs)) return false;
  SaveOutPointSettings(t, ini);
  std::string err;
  if (ini.save(&err)) return true;
  msgs.push_back("Не удалось записать файл проекта " + fileName + ": " + err);
  return false;
}

bool LoadOutPointSettings(OutPointTables& t, const std::string& fileName, ModifiedFlag& modified,
                          Messages& msgs) {
  return LoadWhole(t, fileName, modified, msgs,
                   [&](OutPointTables& n, const IniFile& ini, ModifiedFlag& m) {
                     return LoadOutPointSettings(n, ini, m, msgs);
                   });
}

}  // namespace rv
