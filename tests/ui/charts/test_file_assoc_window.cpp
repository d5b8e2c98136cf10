// The association dialog: its boxes follow the desktop, closing applies them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "charts/ui/TfmFileAssoc.h"
#include "platform/keystore.h"

TEST(FileAssocWindow, ClosingAppliesTheTicksAndWritesTheClass) {
  QTemporaryDir tmp;
  const std::string d = tmp.path().toStdString();
  // No desktop's MIME cache to rebuild: its program would write here after the folder is gone.
  const rv::platform::DesktopPaths p{d + "/classes.txt", d + "/data", d + "/config", false};
  rv::TfmFileAssoc w(p, "/usr/bin/ravelin");
  QTimer::singleShot(0, &w, [&] {
    w.CheckBox[4]->setChecked(true);  // .rez
    w.Button1->click();
  });
  w.exec();
  const rv::platform::KeyStore s(p.keyStore);
  EXPECT_EQ(s.Value(".rez"), "RavelinChart.file");
  EXPECT_EQ(s.Value("RavelinChart.file\\shell\\open\\ddeexec\\topic"), "ddeChart");

  rv::TfmFileAssoc again(p, "/usr/bin/ravelin");
  again.show();
  EXPECT_TRUE(again.CheckBox[4]->isChecked());
  EXPECT_FALSE(again.CheckBox[2]->isChecked());
  again.CheckBox[4]->setChecked(false);
  again.close();  // closed by the window frame: applied all the same
  EXPECT_FALSE(rv::platform::KeyStore(p.keyStore).Exists(".rez"));
}
