// File dialogs: every one of the program is Qt's own (the same on every desktop), and the
// list its name field's completer pops up goes with it.
#pragma once
#include <QFileDialog>
#include <QString>

namespace rv::platform {

// Makes `d` one of the program's file dialogs. The completer re-opens its list when a folder
// it waited for finishes loading, and Qt shows that list even when the dialog has closed
// meanwhile: the list is kept shut while the dialog is hidden, and closed with it.
void PrepareFileDialog(QFileDialog& d);

// A new file dialog over `parent`, prepared as above.
QFileDialog* NewFileDialog(QWidget* parent, const QString& title);

// The name of a file to open (`save` false) or to save, asked in such a dialog; empty when
// the user cancels.
QString AskFileName(QWidget* parent, bool save, const QString& title, const QString& dir, const QString& filter,
                    QFileDialog::Options options = {});

}  // namespace rv::platform
