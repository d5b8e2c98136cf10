// The "open this file in the running program" channel: the macro text, one primary instance,
// requests delivered by their first line, stale locks, and a real second start.
#include <gtest/gtest.h>

#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/shellchannel.h"

using namespace rv::platform;

TEST(ShellChannel, MacroTextAndTopics) {
  for (std::string path : {"/tmp/a b/x.fdt", "/home/u/проект 1/кривая.grf", "x"})
    EXPECT_EQ(MacroFileName(OpenMacro(path)), path);
  // "[open(\"\")]" is ten characters: nothing named.
  for (auto [macro, name] : {std::pair{"", ""}, {"[open(\"\")]", ""}, {"[open", ""}, {"[open(\"a\")]", "a"}})
    EXPECT_EQ(MacroFileName(macro), name) << macro;
  for (auto [file, topic] : {std::pair{"/p/x.fdt", kTopicProject}, {"/p/x.FDT", kTopicChart},
                             {"/p/x.grf", kTopicChart}, {"/p/x.fdt.bak", kTopicChart}})
    EXPECT_STREQ(TopicForFile(file), topic) << file;
}

TEST(ShellChannel, OnePrimaryGetsFirstLinesPerTopic) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString() + "/run";
  auto primary = std::make_unique<ShellChannel>(dir);
  ASSERT_TRUE(primary->BecomePrimary());
  EXPECT_EQ(QFile::permissions(QString::fromStdString(dir)) & 0x0777, 0x0700);
  std::vector<std::string> projects, charts;
  primary->SetHandler(kTopicProject, [&](const std::string& l) { projects.push_back(l); });
  primary->SetHandler(kTopicChart, [&](const std::string& l) { charts.push_back(l); });

  ShellChannel second(dir);
  EXPECT_FALSE(second.BecomePrimary());

  // Sending blocks until written; the primary serves it from its event loop.
  ASSERT_TRUE(ShellChannel::Send(dir, kTopicProject, OpenMacro("/tmp/a b/x.fdt")));
  ASSERT_TRUE(ShellChannel::Send(dir, kTopicChart, "[open(\"/c.grf\")]\r\nsecond line"));
  ASSERT_TRUE(ShellChannel::Send(dir, kTopicChart, std::string(kMaxMacroBytes + 10, 'x')));
  ASSERT_TRUE(ShellChannel::Send(dir, kTopicChart, OpenMacro("/d.srg")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return charts.size() >= 2; }, 10000));
  ASSERT_EQ(projects.size(), 1u);
  EXPECT_EQ(MacroFileName(projects[0]), "/tmp/a b/x.fdt");
  // The oversized request is dropped.
  EXPECT_EQ(charts, (std::vector<std::string>{"[open(\"/c.grf\")]", "[open(\"/d.srg\")]"}));
  // The primary takes its sockets, lock and folder with it when it goes.
  primary.reset();
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir)));
}

TEST(ShellChannel, LockOfAProgramThatDiedIsTakenOver) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const pid_t child = fork();
  if (child == 0) {
    QLockFile lock(QString::fromStdString(dir + "/instance.lock"));
    _exit(lock.tryLock(0) ? 0 : 1);  // ends without giving the lock back
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(QFile::exists(QString::fromStdString(dir + "/instance.lock")));
  // A socket file left behind as well.
  QFile stale(QString::fromStdString(dir + "/" + kTopicProject));
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.close();

  ShellChannel primary(dir);
  ASSERT_TRUE(primary.BecomePrimary());
  std::string got;
  primary.SetHandler(kTopicProject, [&](const std::string& l) { got = l; });
  ASSERT_TRUE(ShellChannel::Send(dir, kTopicProject, OpenMacro("/p.fdt")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !got.empty(); }, 10000));
  EXPECT_EQ(MacroFileName(got), "/p.fdt");
}

#ifdef RAVELIN_PROGRAM
TEST(ShellChannel, SecondStartHandsItsFileOverAndEnds) {
  QTemporaryDir runtime;
  QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const std::string dir = runtime.path().toStdString() + "/ravelin";
  ShellChannel primary(dir);
  ASSERT_TRUE(primary.BecomePrimary());
  std::string got;
  primary.SetHandler(kTopicProject, [&](const std::string& l) { got = l; });

  QProcess second;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", runtime.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  second.setProcessEnvironment(env);
  second.start(RAVELIN_PROGRAM, {"/tmp/a b/x.fdt"});
  ASSERT_TRUE(second.waitForStarted(10000));
  // The primary keeps serving while the second start talks to it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 60000));
  EXPECT_EQ(std::tuple(second.exitStatus(), second.exitCode()), std::tuple(QProcess::NormalExit, 0));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !got.empty(); }, 10000));
  EXPECT_EQ(got, "[open(\"/tmp/a b/x.fdt\")]");
}
#endif
