#include "platform/desktop.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
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

class OnScreen : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->isWidgetType()) {
      auto* w = static_cast<QWidget*>(o);
      if (w->isWindow()) fit(w);
    }
    return false;
  }

private:
  static void fit(QWidget* w) {
    // Menus, tips and the like place themselves.
    if (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog) return;
    QScreen* screen = w->screen();
    if (!screen) return;
    const QRect g = w->geometry(), f = w->frameGeometry();
    QMargins frame(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                   f.bottom() - g.bottom());
    if (frame.isNull()) frame = kAssumedFrame;
    const QRect outer = g.marginsAdded(frame);
    const QRect fitted = FitInside(outer, screen->availableGeometry());
    if (fitted == outer) return;
    w->resize(fitted.marginsRemoved(frame).size().expandedTo(w->minimumSize()));
    w->move(fitted.topLeft());  // the frame's corner
  }
};

}  // namespace

void KeepWindowsOnScreen(QApplication& app) { app.installEventFilter(new OnScreen(&app)); }

}  // namespace rv::platform
