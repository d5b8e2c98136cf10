// The tables of lumped elements and of outputs with their project-file sections.
// The windows "Сосредоточенные элементы" and "Точки вывода" show these; the project file
// reader and writer, the editor (placing and moving outputs and elements) and the run
// start (the element arrays) use them directly.
#pragma once
#include <string>

#include "project/stringgrid.h"

namespace rv {

class IniFile;

// Resistors, capacitors, voltage sources, spark gaps, inductors: columns 0..2 hold the
// cell X, Y, Z, column 3 the value, column 4 the direction, and for sources column 5 the
// polarity. Created empty with their title rows written.
struct LampedTables {
  LampedTables();
  StringGrid sgResistors{"sgResistors", 5};
  StringGrid sgCapacitors{"sgCapacitors", 5};
  StringGrid sgSourses{"sgSourses", 6, 10};
  StringGrid sgRazraydnic{"sgRazraydnic", 5};
  StringGrid sgInductor{"sgInductor", 5};
};

inline constexpr int MinOutputRate = 1;
inline constexpr int MaxOutputRate = 10000000;

// Probe points (kind, direction, X, Y, Z, file), current regions and voltage lines
// (X1, Y1, Z1, X2, Y2, Z2, file), far-field points (X, Y, Z), and the run options.
// Created with their title rows written, empty and disabled.
struct OutPointTables {
  OutPointTables();
  int seOutputRate = 1;        // a sample every OutputRate-th step, 1..10000000
  bool cbShowGr = true;        // plot the outputs during a run
  bool cbShowInput = false;    // plot the source signal
  bool cbNoWriteFile = false;  // write no result files
  StringGrid sgOutPoint{"sgOutPoint", 6};
  StringGrid sgCurrent{"sgCurrent", 7};
  StringGrid sgVoltage{"sgVoltage", 7};
  StringGrid sgFarPoints{"sgFarPoints", 3};
};

// Title rows as the windows show them.
void WriteLampedHeaders(LampedTables& t);
void WriteOutPointHeaders(OutPointTables& t);

// Sections "sgResistors", "sgCapacitors", "sgSourses", "sgRazraydnic", "sgInductor".
void SaveLampedSettings(const LampedTables& t, IniFile& ini);
// Reads the five sections (missing ones give empty tables). When a section is damaged,
// the messages say so and no table is changed.
bool LoadLampedSettings(LampedTables& t, const IniFile& ini, ModifiedFlag& modified, Messages& msgs);

// Section "OutPoints" (seOutputRate, cbNoWriteFile, cbShowInput, cbShowGr), then
// "sgOutPoint", "sgCurrent", "sgVoltage", "sgFarPoints".
void SaveOutPointSettings(const OutPointTables& t, IniFile& ini);
// The options default to rate 1 and every box cleared; the rate is kept within its range.
// When a section is damaged, the messages say so and nothing is changed.
bool LoadOutPointSettings(OutPointTables& t, const IniFile& ini, ModifiedFlag& modified, Messages& msgs);

// The same on a project file by name: the file is read, updated key by key and written
// back (other sections and keys stay); a file that does not exist is created on save and
// gives empty tables on load. A file that cannot be read or written is reported in msgs
// and changes nothing.
bool SaveLampedSettings(const LampedTables& t, const std::string& fileName, Messages& msgs);
bool LoadLampedSettings(LampedTables& t, const std::string& fileName, ModifiedFlag& modified, Messages& msgs);
bool SaveOutPointSettings(const OutPointTables& t, const std::string& fileName, Messages& msgs);
bool LoadOutPointSettings(OutPointTables& t, const std::string& fileName, ModifiedFlag& modified,
                          Messages& msgs);

}  // namespace rv
