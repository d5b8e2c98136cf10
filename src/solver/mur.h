// Mur's first-order absorbing boundary on the tangential E of the faces whose MurFace flag
// is set, and the incident-wave values of the external plane wave at a boundary edge
// (shared with RT-ABC). With the external field on, the Ex and Ey parts of the incident wave
// are taken out before the update and put back afterwards, so only the scattered field is
// absorbed. Serial: the rim passes read values the face passes have just written.
#pragma once
#include "solver/signal.h"
#include "solver/solverdata.h"
#include "solver/stepfusion.h"

namespace rv {

// The external plane wave as the boundaries see it.
struct tIncidentWave {
  const ISignal* Signal = nullptr;  // none: every incident value is 0
  double IncAngle = 0;              // radians, -pi/2..pi/2; the front travels in the xy plane
};

// The wave one face pass reads: one snapshot of the signal for the whole pass, so an edit
// of the signal during a run takes effect between passes, never inside one. No snapshot is
// taken when the external field does not drive the run (the pass then asks no value).
class IncidentWavePass {
public:
  IncidentWavePass(const SolverData& d, const tIncidentWave& w)
      : sig_(d.NoExternalField == 0 ? w.Signal : nullptr), w_{sig_.get(), w.IncAngle} {}
  const tIncidentWave& get() const { return w_; }

private:
  SignalPass sig_;
  tIncidentWave w_;
};

// cos(IncAngle) x the signal at the retarded time of the Ey-like edge (I, J), Offset metres
// of c*t earlier; 0 when NoSource, without a signal, or before the front arrives.
double IncidentWaveCos(const SolverData& d, const tIncidentWave& w, int I, int J, bool NoSource,
                       double Offset);
// sin(IncAngle) x the signal at the Ex-like edge (I, J), half a cell further along x.
double IncidentWaveSin(const SolverData& d, const tIncidentWave& w, int I, int J, bool NoSource,
                       double Offset);

// New boundary values of the Mur faces from the saved planes. False, with nothing changed,
// when the E arrays or the Mur planes do not have the grid's lengths.
// With fusion->MurZ the E pass has done the Z faces of every row it did not leave plain.
bool ApplyMur(SolverData& d, const tIncidentWave& w, const StepFusion* fusion = nullptr);
// Keeps this step's first inner planes (incident wave taken out of Ex and Ey) for the next
// step's ApplyMur; run after the step's other boundary updates.
// With fusion->MurZ the E pass has saved the Z faces' planes of every row it did not leave
// plain.
bool SaveMurPlanes(SolverData& d, const tIncidentWave& w, const StepFusion* fusion = nullptr);

}  // namespace rv
