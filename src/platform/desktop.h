// Desktop conventions every window of the program follows: Qt's own dialogs and menus in
// Russian, and windows that open where the user can see them.
#pragma once
#include <QRect>

class QApplication;

namespace rv::platform {

// Loads Qt's own Russian texts (file dialogs, colour dialog, context menus) from the
// system's Qt translations. False, leaving Qt's English, when they are not installed.
bool InstallQtTranslations(QApplication& app);

// From now on every window opens inside the available area of its screen: moved in, and
// made smaller when it is larger than that area.
void KeepWindowsOnScreen(QApplication& app);

// `frame` moved inside `area`, and shrunk to it where larger.
QRect FitInside(const QRect& frame, const QRect& area);

}  // namespace rv::platform
