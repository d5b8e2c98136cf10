#include "platform/desktop.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLibraryInfo>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace rv::platform {

bool InstallQtTranslations(QApplication& app) {
  auto* t = new QTranslator(&app);
  if (!t->load(QLocale(QLocale::Russian, QLocale::Russia), "qtbase", "_",
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  return QCoreApplication::installTranslator(t);
}

QRect FitInside(const QRect& frame, const QRect& area) {
  QRect r = frame;
  r.setWidth(std::min(r.width(), area.width()));
  r.setHeight(std::min(r.height(), area.height()));
  r.moveLeft(std::clamp(r.left(), area.left(), area.right() - r.width() + 1));
  r.moveTop(std::clamp(r.top(), area.top(), area.bottom() - r.height() + 1));
  return r;
}

namespace {

// Before a window is first mapped its frame is not known yet: a title bar and borders of
// this size are assumed.
constexpr QMargins kAssumedFrame(4, 30, 4, 4);

// Window placement for every window of the program, on its showing.
class Placement : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->isWidgetType()) {
      auto* w = static_cast<QWidget*>(o);
      if (w->isWindow()) {
        place(w);
        w->setProperty(kPlacing, true);
      }
    } else if (e->type() == QEvent::Expose && o->isWindowType()) {
      keepFrameOnScreen(static_cast<QWindow*>(o));
    } else if (e->type() == QEvent::Resize && !e->spontaneous() && o->isWidgetType()) {
      auto* w = static_cast<QWidget*>(o);
      if (w->isWindow() && w->isVisible() && !w->property(kRefitting).toBool()) {
        // A window the program makes grow while shown (its layout asking for more room: more
        // fields, a longer list) keeps its frame on the screen; refitted once the resize is
        // done. What the user does with the frame is the desktop's.
        w->setProperty(kRefitting, true);
        QTimer::singleShot(0, w, [w] {
          w->setProperty(kRefitting, QVariant());
          if (w->isVisible()) fitFrame(w);
        });
      }
    }
    return false;
  }

private:
  static constexpr const char* kPlacing = "rvPlacing";
  static constexpr const char* kRefitting = "rvRefitting";
  static constexpr int kSettleMs = 500;

  // Once a window is on the screen its real frame is known, and where the desktop put it:
  // a frame that ends outside the screen's available area is brought inside, once per
  // showing, so that a window the user moves later is left where the user put it.
  static void keepFrameOnScreen(QWindow* handle) {
    if (!handle->isExposed()) return;
    QWidget* w = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (t->windowHandle() == handle) w = t;
    if (!w || !w->property(kPlacing).toBool()) return;
    w->setProperty(kPlacing, QVariant());
    fitFrame(w);
    // Some desktops frame or place a window only after it is first drawn: looked at again
    // once they have, sooner than a user could have moved it.
    QTimer::singleShot(kSettleMs, w, [w] {
      if (w->isVisible()) fitFrame(w);
    });
  }

  // The window's frame brought inside its screen's available area, shrunk where larger.
  static void fitFrame(QWidget* w) {
    if (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog) return;
    if (w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return;
    QScreen* screen = w->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry(), frame = w->frameGeometry();
    const QRect fitted = FitInside(frame, area);
    if (fitted == frame) return;
    if (fitted.size() != frame.size())
      w->resize((w->size() - (frame.size() - fitted.size())).expandedTo(w->minimumSize()));
    w->move(fitted.topLeft());  // the frame's corner
  }

  static void place(QWidget* w) {
    // Menus, tips and the like place themselves.
    if (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog) return;
    QScreen* screen = w->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QRect g = w->geometry(), f = w->frameGeometry();
    QMargins frame(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                   f.bottom() - g.bottom());
    if (frame.isNull()) frame = kAssumedFrame;
    const QRect outer = g.marginsAdded(frame);
    const QRect fitted = FitInside(outer, area);
    if (fitted == outer) {
      if (!w->testAttribute(Qt::WA_Moved)) overActiveWindow(w);
      return;
    }
    if (fitted.size() != outer.size())
      w->resize(fitted.marginsRemoved(frame).size().expandedTo(w->minimumSize()));
    // A window nobody placed yet is placed by its own showing (a dialog: centred over its
    // parent window, within the screen) or by the desktop; moving it here would pin it to
    // where it happens to be, the screen's corner.
    if (w->testAttribute(Qt::WA_Moved)) w->move(fitted.topLeft());  // the frame's corner
    else overActiveWindow(w);
  }
  // A dialog without a parent goes over the window in use, as one with a parent goes over
  // its parent.
  static void overActiveWindow(QWidget* w) {
    if (!qobject_cast<QDialog*>(w) || w->parentWidget()) return;
    QWidget* active = QApplication::activeWindow();
    QWindow* handle = w->windowHandle();
    if (!active || active == w || !handle || !active->windowHandle() || handle->transientParent())
      return;
    handle->setTransientParent(active->windowHandle());
  }
};

}  // namespace

void KeepWindowsOnScreen(QApplication& app) { app.installEventFilter(new Placement(&app)); }

namespace {

constexpr const char* kIconResource = ":/ravelin/ravelin.svg";
constexpr const char* kSplashResource = ":/ravelin/splash.svg";

// The SVG at the given size in device pixels; transparent around the drawing.
QPixmap Render(const char* resource, const QSize& size) {
  QPixmap pm(size);
  pm.fill(Qt::transparent);
  QSvgRenderer svg{QString::fromLatin1(resource)};
  QPainter p(&pm);
  svg.render(&p);
  return pm;
}

}  // namespace

QIcon ProgramIcon() {
  // Drawn at each size rather than scaled, so that the small ones stay sharp.
  QIcon icon;
  for (int s : {16, 22, 24, 32, 48, 64, 128, 256}) icon.addPixmap(Render(kIconResource, QSize(s, s)));
  return icon;
}

void InstallProgramIcon(QApplication& app) { app.setWindowIcon(ProgramIcon()); }

QByteArray ProgramIconSvg() {
  QFile f(QString::fromLatin1(kIconResource));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QPixmap SplashPicture(qreal devicePixelRatio) {
  const QSize own = QSvgRenderer{QString::fromLatin1(kSplashResource)}.defaultSize();
  QPixmap pm = Render(kSplashResource, own * devicePixelRatio);
  pm.setDevicePixelRatio(devicePixelRatio);
  return pm;
}

}  // namespace rv::platform
