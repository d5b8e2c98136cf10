// Records of outputs and lumped elements as a run reads them. Built from the table rows
// (a row that is empty or unreadable gives X = 0; every reader skips such records).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace rv {

// A probe point. Kind is 'E','H','I','J','U','P' (or 'D'); Dir 'X','Y','Z' or 0 for none.
struct tOutputPoint {
  int32_t X = 0, Y = 0, Z = 0;
  char Kind = 0;
  char Dir = 0;
  std::string FileName;
};

// A current-integration rectangle or a voltage line between two corner cells.
// Plane: 'X' when X1 = X2, else 'Y' when Y1 = Y2, else 'Z' when Z1 = Z2, else 'E' for a
// current region (not flat) and 0 for a voltage line.
struct tCurrentRegion {
  int32_t X1 = 0, Y1 = 0, Z1 = 0, X2 = 0, Y2 = 0, Z2 = 0;
  char Plane = 0;
  std::string FileName;
};

struct tSparkGap {
  int32_t X = 0, Y = 0, Z = 0;
  double Threshold = 0;  // breakdown voltage, V
  char Dir = 0;
  uint8_t Fired = 0;     // 1 once the gap has broken down
};

struct tVoltageSource {
  int32_t X = 0, Y = 0, Z = 0;
  char Dir = 0;
  double R = 0;          // internal resistance, Ohm
  char Polarity = '+';   // '+' or '-'
};

// Resistors (Value in Ohm) and capacitors (Value in F).
struct tLumpedElement {
  int32_t X = 0, Y = 0, Z = 0;
  char Dir = 0;
  double Value = 0;
};

struct tInductor {
  int32_t X = 0, Y = 0, Z = 0;
  char Dir = 0;
  double L = 0;          // inductance, H
  float Accum = 0;       // running sum of the edge's E values
};

// The eight arrays a run reads; the run works on a copy taken at its start.
struct ElementArrays {
  std::vector<tOutputPoint> OutputPoints;
  std::vector<tCurrentRegion> CurrentRegions;
  std::vector<tCurrentRegion> VoltageLines;
  std::vector<tSparkGap> SparkGaps;
  std::vector<tVoltageSource> VoltageSources;
  std::vector<tLumpedElement> Resistors;
  std::vector<tLumpedElement> Capacitors;
  std::vector<tInductor> Inductors;
};

}  // namespace rv
