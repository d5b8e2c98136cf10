// Small widget helpers shared by the windows.
#pragma once

#include <string>

class QDialog;
class QLineEdit;
class QPushButton;
class QWidget;

namespace rv {

class Prompter;

// A dialog's refusal of a field: tells why (a warning), puts the cursor on the field with its
// text selected, and answers false for the dialog's check to return.
bool RefuseField(Prompter& prompter, QLineEdit* field, const std::string& why);

// A push button with its caption (UTF-8) and object name. Enter does not press it for having
// the focus: in the table windows Enter belongs to the cell being edited, and a focused
// "Новая строка" would otherwise add a row.
QPushButton* MakeButton(QWidget* parent, const char* caption, const char* objectName);

// Runs `dialog` over `opener` as its owner for the time it is open, then gives it back to
// its own parent. A dialog stands with its parent: opened from another window over a parent
// kept behind, it would bring that parent forward with it.
int ExecOver(QDialog& dialog, QWidget* opener);

}  // namespace rv
