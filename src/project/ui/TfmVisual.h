// "Визуализация": three orthogonal slices of one field quantity while a run goes on, coloured
// on a symmetric linear or logarithmic scale; optionally every drawn frame is written as
// three bitmap files. The run hands the slices over through the window's feed; the window
// shows the frames the feed finishes.
#pragma once
#include <QImage>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>

#include "project/liveviewfeed.h"
#include "project/projectfile.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QSpinBox;

namespace rv {

struct SolverData;
struct StepHooks;
class PauseControl;

class TfmVisual : public QWidget {
  Q_OBJECT
public:
  explicit TfmVisual(SolverData& d, QWidget* parent = nullptr);
  ~TfmVisual() override;

  // The settings the project keeps (section "Vizual"); setting them marks nothing modified.
  VizualSettings GetVizual() const;
  void SetVizual(const VizualSettings& v);

  // The run's pause: a change made while the run waits there is drawn at once.
  void SetPauseControl(PauseControl* p) { pause_ = p; }
  // A run starts: frames are numbered from 1 again, into the run's images folder.
  void StartRun();
  // The run's step item that hands the slices over after every step.
  void AddStepHook(StepHooks& h);
  // Waits until every frame handed over is drawn and written (the run's thread, at its end).
  void FinishRun();
  int FrameNumber() const { return feed_->FrameNumber(); }
  LiveViewFeed& Feed() { return *feed_; }

  // ---- handlers, named as the window's events
  void seOutputRateChange();
  void SpinEdit1Change();  // the scale
  void spXChange();        // quantity, slices, switches
  void cbStretchClick();
  void DrawPalette();
  // Shows the newest frame the feed finished.
  void ShowFrame();

  // ---- controls
  QGroupBox* imageRGroupBox = nullptr;
  QButtonGroup* imageRGroup = nullptr;  // quantity 0..12
  QSpinBox *spX = nullptr, *spY = nullptr, *spZ = nullptr, *seOutputRate = nullptr;
  QSpinBox *SpinEdit1 = nullptr, *SpinEdit2 = nullptr;  // scale: mantissa, exponent
  QCheckBox *cbLog = nullptr, *cbVisualOn = nullptr, *cbStretch = nullptr, *cbWriteToDisk = nullptr;
  QCheckBox *cbXPlane = nullptr, *cbYPlane = nullptr, *cbZPlane = nullptr;
  QLabel *ImageX = nullptr, *ImageY = nullptr, *ImageZ = nullptr, *imPalette = nullptr;
  std::array<QLabel*, 20> lb{};  // lb1 (top, the maximum) .. lb20

protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void changeEvent(QEvent* e) override;

private:
  LiveViewSettings settings() const;
  void applySettings();
  void showImage(int plane);
  void redrawRun(int tries);

  SolverData& d_;
  PauseControl* pause_ = nullptr;
  bool shown_ = false;
  LiveScale scale_;
  std::array<QImage, 3> images_;  // the slices shown, one pixel per cell
  std::atomic<bool> framePosted_{false};
  std::unique_ptr<LiveViewFeed> feed_;
};

}  // namespace rv
