#include "project/ui/TfmVisual.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QHideEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <cstring>

#include "project/mainsettings.h"
#include "solver/constants.h"
#include "solver/numtext.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

namespace rv {

namespace {

QString Q(const char* s) { return QString::fromUtf8(s); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

constexpr int kStretchedSide = 175;
constexpr int kPaletteWidth = 16, kPaletteHeight = 380;
constexpr int kPauseTries = 50, kPauseRetryMs = 20;

// A slice as an 8-bit picture whose colour table is the palette.
QImage ToImage(const SlicePicture& p) {
  QImage im(p.width, p.height, QImage::Format_Indexed8);
  QList<QRgb> table;
  for (const Rgb& c : LivePalette()) table.push_back(qRgb(c.r, c.g, c.b));
  im.setColorTable(table);
  for (int y = 0; y < p.height; ++y)
    std::memcpy(im.scanLine(y), p.index.data() + size_t(y) * size_t(p.width), size_t(p.width));
  return im;
}

}  // namespace

TfmVisual::TfmVisual(SolverData& d, QWidget* parent)
    : QWidget(parent, Qt::Window), d_(d), feed_(std::make_unique<LiveViewFeed>()) {
  setObjectName("fmVisual");
  setWindowTitle(Q("Визуализация"));
  auto* top = new QHBoxLayout(this);

  // ---- the settings
  auto* left = new QVBoxLayout;
  imageRGroupBox = Named(new QGroupBox(Q("Величина для визуализации"), this), "imageRGroup");
  auto* grid = new QGridLayout(imageRGroupBox);
  imageRGroup = new QButtonGroup(imageRGroupBox);
  const char* items[] = {"Ex", "Ey", "Ez", "Hx", "Hy", "Hz", "Ix", "Iy", "Iz", "|E|", "|H|", "SAR", "dT"};
  for (int i = 0; i < VizualQuantityCount; ++i) {
    auto* rb = new QRadioButton(Q(items[i]), imageRGroupBox);
    rb->setObjectName(QStringLiteral("imageRGroup%1").arg(i));
    imageRGroup->addButton(rb, i);
    grid->addWidget(rb, i / 5, i % 5);
  }
  imageRGroup->button(1)->setChecked(true);
  left->addWidget(imageRGroupBox);

  auto spin = [this](const char* name, int lo, int hi, int value) {
    auto* s = Named(new QSpinBox(this), name);
    s->setRange(lo, hi);
    s->setValue(value);
    s->setKeyboardTracking(false);
    return s;
  };
  auto* slices = new QFormLayout;
  spX = spin("spX", 0, GridCellsMax, 25);
  spY = spin("spY", 0, GridCellsMax, 25);
  spZ = spin("spZ", 0, GridCellsMax, 25);
  seOutputRate = spin("seOutputRate", 1, VizualRateMax, 1);
  slices->addRow(Q("X-срез, i ="), spX);
  slices->addRow(Q("Y-срез, j ="), spY);
  slices->addRow(Q("Z-срез, k ="), spZ);
  slices->addRow(Q("Выводить каждый шаг №"), seOutputRate);
  left->addLayout(slices);

  auto* range = new QGroupBox(Q("Диапазон:"), this);
  auto* rl = new QHBoxLayout(range);
  SpinEdit1 = spin("SpinEdit1", 0, VizualScaleDigitsMax, 1);
  SpinEdit2 = spin("SpinEdit2", -VizualScaleDigitsMax, VizualScaleDigitsMax, 0);
  rl->addWidget(SpinEdit1);
  rl->addWidget(new QLabel(Q("х 10"), range));
  rl->addWidget(SpinEdit2);
  left->addWidget(range);

  auto check = [this](const char* name, const char* caption, bool on) {
    auto* c = Named(new QCheckBox(Q(caption), this), name);
    c->setChecked(on);
    return c;
  };
  cbLog = check("cbLog", "Логарифмический масштаб", false);
  cbVisualOn = check("cbVisualOn", "Включить вывод", true);
  cbStretch = check("cbStretch", "Растянуть изображение", true);
  cbWriteToDisk = check("cbWriteToDisk", " Писать на диск:", false);
  cbXPlane = check("cbXPlane", "X-срез", true);
  cbYPlane = check("cbYPlane", "Y-срез", true);
  cbZPlane = check("cbZPlane", "Z-срез", true);
  for (QCheckBox* c : {cbLog, cbVisualOn, cbStretch, cbWriteToDisk}) left->addWidget(c);
  auto* planes = new QHBoxLayout;
  for (QCheckBox* c : {cbXPlane, cbYPlane, cbZPlane}) planes->addWidget(c);
  left->addLayout(planes);
  left->addStretch(1);
  top->addLayout(left);

  // ---- the slices
  auto image = [&](QLabel*& im, const char* name, const char* caption) {
    auto* col = new QVBoxLayout;
    col->addWidget(new QLabel(Q(caption), this));
    auto* box = new QScrollArea(this);
    im = Named(new QLabel(box), name);
    im->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setWidget(im);
    box->setMinimumSize(kStretchedSide + 8, kStretchedSide + 8);
    col->addWidget(box, 1);
    top->addLayout(col, 1);
  };
  image(ImageX, "ImageX", "Вертикальный X-срез");
  image(ImageY, "ImageY", "Горизонтальный Y-срез");
  image(ImageZ, "ImageZ", "Вертикальный Z-срез");

  // ---- the legend: the palette strip beside its 20 labels
  auto* legend = new QGridLayout;
  legend->setVerticalSpacing(0);
  imPalette = Named(new QLabel(this), "imPalette");
  imPalette->setFixedSize(kPaletteWidth, kPaletteHeight);
  legend->addWidget(imPalette, 0, 0, 20, 1);
  for (int i = 0; i < 20; ++i) {
    lb[size_t(i)] = new QLabel(this);
    lb[size_t(i)]->setObjectName(QStringLiteral("lb%1").arg(i + 1));
    lb[size_t(i)]->setFixedHeight(kPaletteHeight / 20);
    legend->addWidget(lb[size_t(i)], i, 1);
  }
  top->addLayout(legend);

  // ---- handlers
  connect(seOutputRate, &QSpinBox::valueChanged, this, &TfmVisual::seOutputRateChange);
  for (QSpinBox* s : {SpinEdit1, SpinEdit2})
    connect(s, &QSpinBox::valueChanged, this, &TfmVisual::SpinEdit1Change);
  connect(cbLog, &QCheckBox::toggled, this, &TfmVisual::SpinEdit1Change);
  for (QSpinBox* s : {spX, spY, spZ}) connect(s, &QSpinBox::valueChanged, this, &TfmVisual::spXChange);
  connect(imageRGroup, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) spXChange();
  });
  for (QCheckBox* c : {cbVisualOn, cbWriteToDisk, cbXPlane, cbYPlane, cbZPlane})
    connect(c, &QCheckBox::toggled, this, &TfmVisual::spXChange);
  connect(cbStretch, &QCheckBox::toggled, this, &TfmVisual::cbStretchClick);

  // The feed's helper says a frame is ready; one call waits in the queue at a time.
  feed_->SetFrameReady([this] {
    if (!framePosted_.exchange(true))
      QMetaObject::invokeMethod(this, &TfmVisual::ShowFrame, Qt::QueuedConnection);
  });
  cbStretchClick();
  SpinEdit1Change();
}

TfmVisual::~TfmVisual() {
  // The helper ends before the window it reports to.
  feed_.reset();
}

LiveViewSettings TfmVisual::settings() const {
  LiveViewSettings s;
  s.On = cbVisualOn->isChecked();
  s.Shown = shown_;
  s.ToDisk = cbWriteToDisk->isChecked();
  s.Planes = {cbXPlane->isChecked(), cbYPlane->isChecked(), cbZPlane->isChecked()};
  s.Rate = seOutputRate->value();
  s.Quantity = LiveQuantity(std::max(0, imageRGroup->checkedId()));
  s.Pos = {spX->value(), spY->value(), spZ->value()};
  s.Scale = scale_;
  s.ImagesDir = d_.ImagesDir;
  return s;
}

void TfmVisual::applySettings() { feed_->SetSettings(settings()); }

VizualSettings TfmVisual::GetVizual() const {
  VizualSettings v;
  v.spX = spX->value(), v.spY = spY->value(), v.spZ = spZ->value();
  v.imageRGroup = std::max(0, imageRGroup->checkedId());
  v.cbLog = cbLog->isChecked();
  v.seOutputRate = seOutputRate->value();
  v.SpinEdit1 = SpinEdit1->value(), v.SpinEdit2 = SpinEdit2->value();
  v.cbVisualOn = cbVisualOn->isChecked();
  v.cbXPlane = cbXPlane->isChecked(), v.cbYPlane = cbYPlane->isChecked(), v.cbZPlane = cbZPlane->isChecked();
  return v;
}

void TfmVisual::SetVizual(const VizualSettings& v) {
  {
    const QSignalBlocker b0(imageRGroup), b1(spX), b2(spY), b3(spZ), b4(seOutputRate),
        b5(SpinEdit1), b6(SpinEdit2), b7(cbLog), b8(cbVisualOn), b9(cbXPlane), b10(cbYPlane),
        b11(cbZPlane);
    spX->setValue(v.spX), spY->setValue(v.spY), spZ->setValue(v.spZ);
    if (QAbstractButton* b = imageRGroup->button(v.imageRGroup)) b->setChecked(true);
    cbLog->setChecked(v.cbLog);
    seOutputRate->setValue(v.seOutputRate);
    SpinEdit1->setValue(v.SpinEdit1), SpinEdit2->setValue(v.SpinEdit2);
    cbVisualOn->setChecked(v.cbVisualOn);
    cbXPlane->setChecked(v.cbXPlane), cbYPlane->setChecked(v.cbYPlane), cbZPlane->setChecked(v.cbZPlane);
  }
  SpinEdit1Change();
}

void TfmVisual::StartRun() {
  feed_->ResetFrames();
  applySettings();  // the run's images folder
}

void TfmVisual::AddStepHook(StepHooks& h) {
  LiveViewFeed* feed = feed_.get();
  const SolverData* d = &d_;
  h.DrawSlices = [feed, d](int step, double time) { feed->DrawSlices(*d, step, time); };
}

void TfmVisual::FinishRun() { feed_->Flush(); }

void TfmVisual::seOutputRateChange() { applySettings(); }

void TfmVisual::SpinEdit1Change() {
  scale_ = MakeLiveScale(SpinEdit1->value(), SpinEdit2->value(), cbLog->isChecked());
  const std::array<std::string, 20> t = ScaleLabels(scale_);
  for (size_t i = 0; i < 20; ++i) lb[i]->setText(Q(t[i]));
  DrawPalette();
  spXChange();
}

void TfmVisual::spXChange() {
  applySettings();
  redrawRun(kPauseTries);
}

void TfmVisual::redrawRun(int tries) {
  if (d_.Stopped != 0 || !d_.CalcRunning) return;
  // The fields are read only between two steps: at once while the run waits in its pause,
  // otherwise after the step under way.
  if (pause_ && pause_->WhileWaiting([this] { feed_->Redraw(d_, d_.CurStep, d_.CurTime); })) return;
  feed_->RequestRedraw();
  // Paused just now, the run may still be finishing its step: try again once it waits.
  if (pause_ && pause_->Paused() && tries > 0)
    QTimer::singleShot(kPauseRetryMs, this, [this, tries] { redrawRun(tries - 1); });
}

void TfmVisual::DrawPalette() {
  const auto& pal = LivePalette();
  QImage im(kPaletteWidth, kPaletteHeight, QImage::Format_RGB32);
  for (int y = 0; y < kPaletteHeight; ++y) {
    const int i = std::min(18, int(y / (kPaletteHeight / 19.0)));
    const QRgb c = qRgb(pal[size_t(i)].r, pal[size_t(i)].g, pal[size_t(i)].b);
    for (int x = 0; x < kPaletteWidth; ++x) im.setPixel(x, y, c);
  }
  imPalette->setPixmap(QPixmap::fromImage(im));
}

void TfmVisual::cbStretchClick() {
  for (int p = 0; p < 3; ++p) showImage(p);
}

void TfmVisual::showImage(int plane) {
  QLabel* l = plane == 0 ? ImageX : plane == 1 ? ImageY : ImageZ;
  const QImage& im = images_[size_t(plane)];
  if (cbStretch->isChecked()) {
    l->setFixedSize(kStretchedSide, kStretchedSide);
    if (!im.isNull())
      l->setPixmap(QPixmap::fromImage(
          im.scaled(kStretchedSide, kStretchedSide, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
  } else {
    l->setFixedSize(im.isNull() ? QSize(1, 1) : im.size());
    if (!im.isNull()) l->setPixmap(QPixmap::fromImage(im));
  }
}

void TfmVisual::ShowFrame() {
  framePosted_ = false;
  const std::optional<LiveFrame> f = feed_->TakeFrame();
  if (!f) return;
  if (f->NoScale) {
    setWindowTitle(Q("Вывод невозможен, т.к. MAX=MIN "));
    return;
  }
  setWindowTitle(f->Failed ? Q("Ошибка при выполнении визуализации")
                           : Q("Шаг: " + IntToStr(f->Step) + ", время: " +
                               FormatGeneral(double(f->Time) / double(LightSpeed) * 1e9, 5)));
  for (int p = 0; p < 3; ++p)
    if (f->Slices[size_t(p)]) {
      images_[size_t(p)] = ToImage(*f->Slices[size_t(p)]);
      showImage(p);
    }
}

// A minimised window still counts as shown (the system's own show and hide events).
void TfmVisual::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (e->spontaneous()) return;
  shown_ = true;
  applySettings();
}

void TfmVisual::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  if (e->spontaneous()) return;
  shown_ = false;
  applySettings();
}

void TfmVisual::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  // Minimising this window minimises the whole program.
  if (e->type() == QEvent::WindowStateChange && isMinimized())
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != this && w->isWindow() && w->isVisible() && !w->isMinimized()) w->showMinimized();
}

}  // namespace rv
