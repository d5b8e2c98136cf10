// What the chart window tests share: dialogs answered from timers, the window's options
// over a scratch folder.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QTreeView>
#include <QTimer>

#include "charts/ui/TfmChart.h"
#include "charts/ui/TfmSelectGr.h"
#include "platform/prompter.h"
#include "../../charts/charts_testutil.h"

namespace rv::test {

// Every text the prompter showed, for failure output.
inline std::string Joined(const std::vector<std::string>& texts) {
  std::string s;
  for (const auto& t : texts) s.append(s.empty() ? "" : "|").append(t);
  return s;
}

// Runs `act` on the first modal widget for which it returns true.
inline void WhenModal(std::function<bool(QWidget*)> act, int tries = 250) {
  QTimer::singleShot(20, [act, tries] {
    QWidget* w = QApplication::activeModalWidget();
    if (w && act(w)) return;
    if (tries > 0) {
      WhenModal(act, tries - 1);
      return;
    }
    ADD_FAILURE() << "modal dialog not handled: " << (w ? w->metaObject()->className() : "none");
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QDialog*>(t); d && d->isVisible()) d->reject();
  });
}

// Types `typed` into a file dialog and accepts it once the dialog answers with `names`. The
// dialog may still be loading its folder and then select the file it opened on, and a selected
// row wins over the typed text: so the selection is cleared first, and a dialog that does not
// yet answer with the typed names is tried again on the next poll.
inline bool AcceptTypedNames(QFileDialog* d, const QString& typed, const QStringList& names) {
  auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
  if (!edit) return false;
  if (auto* list = d->findChild<QListView*>("listView")) list->clearSelection();
  if (auto* tree = d->findChild<QTreeView*>("treeView")) tree->clearSelection();
  edit->setText(typed);
  QStringList got;
  for (const QString& f : d->selectedFiles()) got << QFileInfo(f).fileName();
  if (got != names) return false;
  static_cast<QDialog*>(d)->accept();
  return !d->isVisible();
}

inline TfmChart::Options TestOptions(const TempDir& dir, ScriptedPrompter& msgs, QStringList args = {}) {
  TfmChart::Options o;
  o.settingsPath = dir.file("chart.INI");
  o.valueHistoryPath = dir.file("TmpVal.txt");
  o.defaultDir = dir.file("");
  o.arguments = args;
  o.prompter = &msgs;
  return o;
}

// Runs `act` on the first modal dialog of type D.
template <class D>
void Answer(std::function<void(D*)> act) {
  WhenModal([act](QWidget* m) {
    auto* d = qobject_cast<D*>(m);
    if (d) act(d);
    return d != nullptr;
  });
}

// Answers the graph selection dialog with the given list entries (every entry when none
// are given); `next` runs first, to queue the answer to the dialog that follows.
inline void AnswerSelection(std::vector<int> entries, std::function<void()> next = {}) {
  Answer<TfmSelectGr>([entries, next](TfmSelectGr* sel) {
    sel->ListBox1->clearSelection();
    if (entries.empty()) sel->ListBox1->selectAll();
    for (int e : entries) sel->ListBox1->item(e)->setSelected(true);
    if (next) next();
    sel->btnOK->click();
  });
}

// A shown chart window over a scratch folder, its prompter recording every message.
class ChartWindowTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScriptedPrompter msgs;
  TfmChart w{TestOptions(dir, msgs)};
  ChartWindowTest() { w.show(); }

  // Adds y = f(x) for x0..x1 at `step` as the active graph "title" from "title.srg".
  int AddCurve(const std::string& title, double x0, double x1, double step, const std::function<double(double)>& f) {
    ChartModel& m = w.model();
    const int i = m.AddSeries(title, m.SeriesDefaultColor(), title + ".srg");
    const ChartSeries g = Sampled(x0, x1, step, f);
    m.Series[std::size_t(i)].X = g.X;
    m.Series[std::size_t(i)].Y = g.Y;
    m.ActiveGraph = i;
    w.RefreshChart();
    return i;
  }
};

}  // namespace rv::test
