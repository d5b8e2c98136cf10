// Desktop conventions every window of the program follows: Qt's own dialogs and menus in
// Russian, windows that open where the user can see them, dialogs over the window they
// belong to, and the program's icon.
#pragma once
#include <QByteArray>
#include <QIcon>
#include <QPixmap>
#include <QRect>

class QApplication;

namespace rv::platform {

// Loads Qt's own Russian texts (file dialogs, colour dialog, context menus) from the
// system's Qt translations. False, leaving Qt's English, when they are not installed.
bool InstallQtTranslations(QApplication& app);

// From now on every window opens where the user sees it: a dialog centred over its parent
// window (one without a parent over the window in use), within the screen; a window the
// program placed is moved inside the available area of its screen; any window larger than
// that area is made smaller.
void KeepWindowsOnScreen(QApplication& app);

// `frame` moved inside `area`, and shrunk to it where larger.
QRect FitInside(const QRect& frame, const QRect& area);

// The program's icon (drawn as SVG) at the sizes windows and the desktop ask for; set on
// the application, every window without an icon of its own shows it.
QIcon ProgramIcon();
void InstallProgramIcon(QApplication& app);
// The icon's SVG text, installed with the desktop entry.
QByteArray ProgramIconSvg();
// The splash window's picture at its own size, for a screen of the given pixel ratio.
QPixmap SplashPicture(qreal devicePixelRatio = 1);

}  // namespace rv::platform
