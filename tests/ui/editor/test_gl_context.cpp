// The editor's 3-D view needs a compatibility OpenGL context from the display the tests
// run on; this checks the test machine provides one before any view test relies on it.
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class ProbeView : public QOpenGLWidget {
public:
  int major = 0, minor = 0;
  bool painted = false;
protected:
  void paintGL() override {
    const QSurfaceFormat f = context()->format();
    major = f.majorVersion();
    minor = f.minorVersion();
    context()->functions()->glClearColor(0, 0, 0, 1);
    context()->functions()->glClear(GL_COLOR_BUFFER_BIT);
    painted = true;
  }
};
}  // namespace

TEST(GlContext, ViewGetsACompatibilityContext) {
  QSurfaceFormat fmt;
  fmt.setProfile(QSurfaceFormat::CompatibilityProfile);
  fmt.setDepthBufferSize(24);
  ProbeView view;
  view.setFormat(fmt);
  view.resize(64, 64);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.painted; }, 5000));
  EXPECT_TRUE(view.isValid());
  EXPECT_GE(view.major * 10 + view.minor, 11);
}
