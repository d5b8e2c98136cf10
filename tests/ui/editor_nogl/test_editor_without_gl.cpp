// The editor on a display without OpenGL (the offscreen platform gives none): it comes up
// without its 3-D view, says why, and the section, its tools and the commands still work.

#include <QGuiApplication>

#include "../editor/editor_fixture.h"

namespace {

TEST(EditorWithoutOpenGL, ComesUpWithoutItsViewAndEverythingElseWorks) {
  ASSERT_EQ(QGuiApplication::platformName().toStdString(), "offscreen");
  Editor E;  // shown
  const QLabel* note = E.w.findChild<QLabel*>("lbNoView");
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(E.w.GLView == nullptr && note->isVisible());
  EXPECT_TRUE(note->text().startsWith(QString::fromUtf8("Трехмерный вид недоступен: ")));
  // Drawing, undo and the model commands.
  E.w.btnPen->click();
  E.Drag({{1, 1}, {2, 1}});
  EXPECT_EQ(E.Cells({{1, 1}, {2, 1}}), (std::vector<int>{1, 1}));
  E.w.mnUndo->trigger();
  EXPECT_EQ(E.Cells({{1, 1}, {2, 1}}), (std::vector<int>{0, 0}));
  E.p.answers = {rv::PromptButton::Ok};
  E.Cell(3, 3) = 1;
  E.w.mnDeleteAll->trigger();
  EXPECT_EQ(Occupied(E.d), 0);
  E.w.N12->trigger();
  E.w.SpeedButton7Click();
  // The camera keys still move the camera; turning and snapshots are off and say why.
  E.w.btnResetClick();
  const float z = E.w.EyeZ;
  E.w.setFocus();
  QTest::keyClick(&E.w, Qt::Key_Up);
  EXPECT_LT(E.w.EyeZ, z);
  EXPECT_FALSE(E.w.SpeedButton1->isEnabled() || E.w.SpeedButton2->isEnabled() || E.w.btnKadr->isEnabled());
  E.w.SpeedButton1Click();
  E.w.Timer1Timer();
  EXPECT_FALSE(E.w.Timer1->isActive());
  EXPECT_FALSE(E.w.btnKadrClick());
  EXPECT_EQ(E.p.errors.size(), 1u);
  QTest::mouseClick(&E.w, Qt::LeftButton);
}

}  // namespace
