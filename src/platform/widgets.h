// Small widget helpers shared by the windows.
#pragma once

class QPushButton;
class QWidget;

namespace rv {

// A push button with its caption (UTF-8) and object name. Enter does not press it for having
// the focus: in the table windows Enter belongs to the cell being edited, and a focused
// "Новая строка" would otherwise add a row.
QPushButton* MakeButton(QWidget* parent, const char* caption, const char* objectName);

}  // namespace rv
