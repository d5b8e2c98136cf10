#include "project/recording.h"

#include <algorithm>
#include <cmath>

#include "solver/constants.h"
#include "solver/lumped.h"
#include "solver/numtext.h"

namespace rv {

namespace {

inline double F(const t3DSpaceArray& a, int i, int j, int k) { return double(a.at(i, j, k)); }

std::string Cell(int x, int y, int z) {
  return IntToStr(x) + "," + IntToStr(y) + "," + IntToStr(z);
}

bool HalfStepKind(char kind) { return kind == 'E' || kind == 'U' || kind == 'D'; }

// One line of a curve file: time and value as 23-character reals; the first three samples
// carry the title, the time axis text and the unit text behind the numbers.
void WriteSample(TextFileWriter& f, int sample, float t, float v, const std::string& title,
                 const std::string& unit) {
  std::string line = FormatTextReal(t);
  line += ' ';
  line += FormatTextReal(v);
  if (sample == 0) line += " " + title;
  else if (sample == 1) line += " t, нс";
  else if (sample == 2) line += " " + unit;
  f.writeLine(line);
}

void Emit(OutputRun& run, tOutFile& f, int sample, float t, float v, const std::string& title,
          const std::string& unit) {
  if (run.WriteOutputFiles && f.F) WriteSample(*f.F, sample, t, v, title, unit);
  if (run.ShowGraphs && run.Feed && f.Series != LiveFeed::NoHandle)
    run.Feed->Append(f.Series, t, v);
}

// The value of a probe, or false when it has none this time (mean power before any step
// was accumulated).
bool ProbeValue(const SolverData& d, const OutputRun& run, const tOutFile& f, double& v) {
  const int x = f.X, y = f.Y, z = f.Z;
  auto vec = [&](double a, double b, double c) {
    switch (f.Dir) {
      case 'X': return a;
      case 'Y': return b;
      case 'Z': return c;
      default: return std::sqrt(a * a + b * b + c * c);
    }
  };
  switch (f.Kind) {
    case 'D': {
      double p = 0;
      v = run.DProbe && run.DProbe(d, p) ? p : 0.0;
      return true;
    }
    case 'P': {
      // The file starts with the step the SAR delay names, as the other files start with
      // step 0. At the time of recording the step's own power is not yet added: the sums
      // hold the steps from SARDelay up to the previous one, none on the first line.
      if (d.CurStep - d.SARDelay < 1) return false;
      const int n = d.CurStep - 1 - d.SARDelay;
      v = n > 0 ? (F(d.PowerX, x, y, z) + F(d.PowerY, x, y, z) + F(d.PowerZ, x, y, z)) / double(n)
                : 0.0;
      return true;
    }
    case 'H':
      v = vec(F(d.Hx, x, y, z), F(d.Hy, x, y, z), F(d.Hz, x, y, z));
      return true;
    case 'E':
      v = vec(F(d.Ex, x, y, z), F(d.Ey, x, y, z), F(d.Ez, x, y, z));
      return true;
    case 'I':
    case 'J': {
      double ix = ProbeLoopCurrent(d, 'X', x, y, z), iy = ProbeLoopCurrent(d, 'Y', x, y, z),
             iz = ProbeLoopCurrent(d, 'Z', x, y, z);
      if (f.Kind == 'J') {
        // The loop encloses 2 x 2 cells: the density is the current over that area.
        ix /= 4 * d.Dy * d.Dz;
        iy /= 4 * d.Dx * d.Dz;
        iz /= 4 * d.Dx * d.Dy;
      }
      v = vec(ix, iy, iz);
      return true;
    }
    case 'U':
      v = vec(F(d.Ex, x, y, z) * d.Dx, F(d.Ey, x, y, z) * d.Dy, F(d.Ez, x, y, z) * d.Dz);
      return true;
    default:
      return false;
  }
}

}  // namespace

double ProbeLoopCurrent(const SolverData& d, char axis, int i, int j, int l) {
  const t3DSpaceArray &Hx = d.Hx, &Hy = d.Hy, &Hz = d.Hz;
  switch (axis) {
    case 'X':
      return (F(Hz, i, j + 1, l) + F(Hz, i, j + 1, l + 1) - F(Hz, i, j - 1, l) -
              F(Hz, i, j - 1, l + 1)) * d.Dz +
             (F(Hy, i, j, l - 1) + F(Hy, i, j + 1, l - 1) - F(Hy, i, j, l + 1) -
              F(Hy, i, j + 1, l + 1)) * d.Dy;
    case 'Y':
      return (F(Hx, i, j, l + 1) + F(Hx, i + 1, j, l + 1) - F(Hx, i, j, l - 1) -
              F(Hx, i + 1, j, l - 1)) * d.Dx +
             (F(Hz, i - 1, j, l) + F(Hz, i - 1, j, l + 1) - F(Hz, i + 1, j, l) -
              F(Hz, i + 1, j, l + 1)) * d.Dz;
    case 'Z':
      return (F(Hx, i, j - 1, l) + F(Hx, i + 1, j - 1, l) - F(Hx, i, j + 1, l) -
              F(Hx, i + 1, j + 1, l)) * d.Dx +
             (F(Hy, i + 1, j, l) + F(Hy, i + 1, j + 1, l) - F(Hy, i - 1, j, l) -
              F(Hy, i - 1, j + 1, l)) * d.Dy;
    default:
      return 0;
  }
}

double RegionCurrent(const SolverData& d, const tCurrentRegion& r) {
  const t3DSpaceArray &Hx = d.Hx, &Hy = d.Hy, &Hz = d.Hz;
  double v = 0;
  switch (r.Plane) {
    case 'X':
      for (int l = r.Z1 + 1; l <= r.Z2; ++l)
        v += (F(Hz, r.X2, r.Y2, l) - F(Hz, r.X1, r.Y1, l)) * d.Dz;
      for (int j = r.Y1 + 1; j <= r.Y2; ++j)
        v += (F(Hy, r.X2, j, r.Z1) - F(Hy, r.X1, j, r.Z2)) * d.Dy;
      break;
    case 'Y':
      for (int i = r.X1 + 1; i <= r.X2; ++i)
        v += (F(Hx, i, r.Y2, r.Z2) - F(Hx, i, r.Y1, r.Z1)) * d.Dx;
      for (int l = r.Z1 + 1; l <= r.Z2; ++l)
        v += (F(Hz, r.X1, r.Y2, l) - F(Hz, r.X2, r.Y1, l)) * d.Dz;
      break;
    case 'Z':
      for (int i = r.X1 + 1; i <= r.X2; ++i)
        v += (F(Hx, i, r.Y1, r.Z1) - F(Hx, i, r.Y2, r.Z2)) * d.Dx;
      for (int j = r.Y1 + 1; j <= r.Y2; ++j)
        v += (F(Hy, r.X2, j, r.Z2) - F(Hy, r.X1, j, r.Z1)) * d.Dy;
      break;
    default:
      break;
  }
  return v;
}

double LineVoltage(const SolverData& d, const tCurrentRegion& r) {
  double v = 0, s = 0;
  s = 0;
  for (int i = std::min(r.X1, r.X2); i < std::max(r.X1, r.X2); ++i) s += F(d.Ex, i, r.Y1, r.Z1);
  v += (r.X1 < r.X2 ? s : -s) * d.Dx;
  s = 0;
  for (int j = std::min(r.Y1, r.Y2); j < std::max(r.Y1, r.Y2); ++j) s += F(d.Ey, r.X2, j, r.Z1);
  v += (r.Y1 < r.Y2 ? s : -s) * d.Dy;
  s = 0;
  for (int l = std::min(r.Z1, r.Z2); l < std::max(r.Z1, r.Z2); ++l) s += F(d.Ez, r.X2, r.Y2, l);
  v += (r.Z1 < r.Z2 ? s : -s) * d.Dz;
  return v;
}

std::string ProbeTitle(char kind, char dir, int x, int y, int z) {
  if (kind == 'P') return " P средняя(" + Cell(x, y, z) + "), Вт";
  if (kind == 'D') return " PML(" + Cell(x, y, z) + ")";
  std::string head = " ";
  if (dir == 'X' || dir == 'Y' || dir == 'Z') {
    head += kind;
    head += char(dir - 'A' + 'a');
  } else {
    head += '|';
    head += kind;
    head += '|';
  }
  return head + "(" + Cell(x, y, z) + ")";
}

std::string ProbeUnit(char kind) {
  switch (kind) {
    case 'H': return " H";
    case 'P': return " P, Вт";
    case 'D': return " PML";
    default: return std::string(" ") + kind;
  }
}

void RecordOutputPoints(const SolverData& d, OutputRun& run, int sample) {
  // Nanoseconds; E and the voltages belong half a step later than H.
  const double ns = 1e-9 * double(LightSpeed);
  const float t = float(d.CurTime / ns);
  const float tHalf = float((d.CurTime + d.TimeStep / 2) / ns);

  // Every value of the sample first: one that is not a finite number means the fields have
  // run away, and the run ends here with no line of this sample written.
  std::vector<OutputRun::RowSample>& rows = run.Samples;
  rows.clear();
  for (size_t r = 1; r < run.OutPointFiles.size(); ++r) {
    tOutFile& f = run.OutPointFiles[r];
    double v = 0;
    if (f.Opened && ProbeValue(d, run, f, v))
      rows.push_back({&f, 'P', HalfStepKind(f.Kind) ? tHalf : t, float(v)});
  }
  for (size_t r = 1; r < run.CurrentFiles.size(); ++r) {
    tOutFile& f = run.CurrentFiles[r];
    if (f.Opened && f.Region.Plane) rows.push_back({&f, 'I', t, float(RegionCurrent(d, f.Region))});
  }
  for (size_t r = 1; r < run.VoltageFiles.size(); ++r) {
    tOutFile& f = run.VoltageFiles[r];
    if (f.Opened) rows.push_back({&f, 'U', tHalf, float(LineVoltage(d, f.Region))});
  }
  for (const OutputRun::RowSample& s : rows)
    if (!std::isfinite(s.V)) throw RunDiverged(d.CurStep);

  const bool texts = sample >= 0 && sample <= 2;
  static const std::string none;
  for (const OutputRun::RowSample& s : rows) {
    const tOutFile& f = *s.File;
    if (s.Group != 'P')
      Emit(run, *s.File, sample, s.T, s.V, f.Region.FileName, s.Group == 'I' ? " I" : " U");
    else
      Emit(run, *s.File, sample, s.T, s.V, texts ? ProbeTitle(f.Kind, f.Dir, f.X, f.Y, f.Z) : none,
           texts ? ProbeUnit(f.Kind) : none);
  }
  if (run.ShowInput && run.Feed && run.SourceSeries != LiveFeed::NoHandle)
    run.Feed->Append(run.SourceSeries, t, float(SourceValue(run.Signal, false, d.CurTime)));
}

void AttachRecording(StepHooks& hooks, const SolverData& d, OutputRun& run) {
  const SolverData* D = &d;
  OutputRun* R = &run;
  hooks.RecordOutputPoints = [D, R](int sample) { RecordOutputPoints(*D, *R, sample); };
}

}  // namespace rv
