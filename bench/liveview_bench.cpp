// What the live view costs a run: a vacuum box with PEC faces (for SAR, the box half lossy
// with SAR on and a few lumped elements) through the run loop on all cores, handing progress to the GUI thread as the program does, with the view's window
// shown (offscreen platform) and its step item taking the slices every `rate`-th step,
// against the same run with the view switched off. Runs with and without the view take
// turns; figures are medians.
//
//   liveview_bench [--sizes 200] [--steps 100] [--threads T] [--repeat 3] [--quantity Ey]
//                  [--scale lin|log|both] [--disk 0|1] [--rate 1]
//
// Two lines per scale: the whole run, and the time the view's step item takes on the
// run's thread (its median per step, in the runs with the view):
//   bench: case=liveview N=<n> threads=<t> steps=<s> quantity=<q> scale=<lin|log> disk=<0|1>
//          mcells_per_s=<x> to_no_view=<r>
//   bench: case=liveview_hand_off N=<n> quantity=<q> scale=<lin|log> disk=<0|1> ms_per_step=<x>
#include <cstdio>
#include <cstring>

#if RAVELIN_BENCH_DRAW
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QSpinBox>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "project/ui/TfmVisual.h"
#include "solver/runsetup.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

#include "bench_common.h"
#include "run_cases.h"

using namespace rv;
using namespace rv::bench;

namespace {

const char* const kQuantities[] = {"Ex", "Ey", "Ez", "Hx", "Hy", "Hz", "Ix",
                                   "Iy", "Iz", "absE", "absH", "SAR", "dT"};

// Progress goes to the GUI thread and waits there, as in the program; the end of the run
// waits for the view's last frames.
struct GuiHandOff : RunCallbacks {
  QObject* gui;
  TfmVisual* view;  // null: no view
  std::atomic<bool> done{false};
  void ShowProgress(const ProgressInfo&) override {
    QMetaObject::invokeMethod(gui, [] {}, Qt::BlockingQueuedConnection);
  }
  void FinishCalculation(const RunOutcome&) override {
    if (view) view->FinishRun();
    done = true;
  }
};

// Seconds for `steps` steps; -1 with err. `hookMs`: the view's step item's time per step.
// `d` is the view's own data: its step item reads the fields there.
double TimeRun(SolverData& d, const RunCase& c, int n, int steps, TfmVisual* view, QObject* gui,
               std::string& err, double* hookMs = nullptr) {
  if (!BuildRunCase(d, n, c, err)) return -1;
  RunKernels k;
  Sine sig;
  if (!PrepareRunKernels(d, c.lossy ? SomeElements(n) : ElementArrays{}, &sig, k, &err)) return -1;
  // Fields everywhere, so that every pixel takes the scale's full path.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-1e-3f, 1e-3f);
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez})
    for (size_t i = 0; i < a->size(); ++i) a->data()[i] = u(rng);
  StepHooks h = DefaultStepHooks(d, k);
  double hookSec = 0;
  if (view) {
    view->AddStepHook(h);
    h.DrawSlices = [inner = h.DrawSlices, &hookSec](int step, double time) {
      const auto t = Clock::now();
      inner(step, time);
      hookSec += std::chrono::duration<double>(Clock::now() - t).count();
    };
    d.ImagesDir = (std::filesystem::temp_directory_path() / "rv_liveview_bench/").string();
    view->StartRun();
  }
  GuiHandOff cb;
  cb.gui = gui;
  cb.view = view;
  d.StepCount = steps;
  d.Stopped = 0;
  const auto t0 = Clock::now();
  std::thread loop([&] { RunTimeLoop(d, h, cb); });
  while (!cb.done) QApplication::processEvents(QEventLoop::AllEvents, 5);
  const double sec = std::chrono::duration<double>(Clock::now() - t0).count();
  loop.join();
  if (hookMs) *hookMs = hookSec * 1e3 / steps;
  return sec;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const Options opt = ParseOptions(argc, argv, {200});
  std::string quantity = "Ey", scales = "both";
  int disk = 0, rate = 1;
  for (int a = 1; a + 1 < argc; a += 2) {
    if (!std::strcmp(argv[a], "--quantity")) quantity = argv[a + 1];
    else if (!std::strcmp(argv[a], "--scale")) scales = argv[a + 1];
    else if (!std::strcmp(argv[a], "--disk")) disk = std::atoi(argv[a + 1]) != 0;
    else if (!std::strcmp(argv[a], "--rate")) rate = std::max(1, std::atoi(argv[a + 1]));
  }
  int q = -1;
  for (int i = 0; i < 13; ++i)
    if (quantity == kQuantities[i]) q = i;
  if (q < 0) {
    std::fprintf(stderr, "unknown quantity %s\n", quantity.c_str());
    return 2;
  }
  int qargc = 1;
  QApplication app(qargc, argv);
  const RunCase& runCase = q == int(LiveQuantity::SAR) ? kRunCases[1] : kRunCases[0];
  const int threads = opt.threads.size() > 1 ? opt.threads.back() : opt.threads.front();
  omp_set_num_threads(threads);
  std::vector<bool> logs;
  if (scales != "log") logs.push_back(false);
  if (scales != "lin") logs.push_back(true);
  for (int n : opt.sizes) {
    SolverData viewData;  // the runs' data, which the window reads
    TfmVisual view(viewData);
    view.imageRGroup->button(q)->setChecked(true);
    view.seOutputRate->setValue(rate);
    view.cbWriteToDisk->setChecked(disk);
    for (QSpinBox* s : {view.spX, view.spY, view.spZ}) s->setValue(n / 2);
    view.show();
    QApplication::processEvents();
    for (bool lg : logs) {
      view.cbLog->setChecked(lg);
      std::vector<double> with, without, hook;
      std::string err;
      TimeRun(viewData, runCase, n, 2, nullptr, &view, err);  // first touch
      for (int r = 0; r < opt.repeat && err.empty(); ++r) {
        without.push_back(TimeRun(viewData, runCase, n, opt.steps, nullptr, &view, err));
        double ms = 0;
        with.push_back(TimeRun(viewData, runCase, n, opt.steps, &view, &view, err, &ms));
        hook.push_back(ms);
      }
      if (!err.empty()) {
        std::printf("bench: case=liveview N=%d skipped: %s\n", n, err.c_str());
        continue;
      }
      const double cells = double(n) * n * n;
      const double mc = cells * opt.steps / Median(with) / 1e6;
      const double ref = cells * opt.steps / Median(without) / 1e6;
      std::printf("bench: case=liveview N=%d threads=%d steps=%d quantity=%s scale=%s disk=%d "
                  "mcells_per_s=%.1f to_no_view=%.3f\n",
                  n, threads, opt.steps, quantity.c_str(), lg ? "log" : "lin", disk, mc, mc / ref);
      std::printf("bench: case=liveview_hand_off N=%d quantity=%s scale=%s disk=%d ms_per_step=%.3f\n", n,
                  quantity.c_str(), lg ? "log" : "lin", disk, Median(hook));
      std::fflush(stdout);
    }
    std::filesystem::remove_all(std::filesystem::temp_directory_path() / "rv_liveview_bench");
  }
  return 0;
}

#else
int main() {
  std::printf("bench: case=liveview skipped: built without the windows\n");
  return 0;
}
#endif
