// The real program in a process of its own, on the offscreen platform, with its config folder
// in a temporary one: it starts, completes its launch and keeps running until stopped.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "QtTestMain.h"

namespace {

TEST(Program, StartsCompletesItsLaunchAndKeepsRunning) {
  QTemporaryDir home;
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("HOME"), home.path());
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(CORVANE_PROGRAM), {});
  ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();

  // The launch's last step writes the login item; then the program just runs.
  const QString entry = home.filePath(QStringLiteral("config/autostart/corvane.desktop"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(entry); }, 20000));
  EXPECT_FALSE(program.waitForFinished(1500)) << "the program stopped by itself";
  EXPECT_EQ(program.state(), QProcess::Running);

  const QString out = QString::fromUtf8(program.readAllStandardOutput());
  EXPECT_EQ(out.count(QStringLiteral("no system keyboard is tapped on this platform")), 1)
      << out.toStdString();
  EXPECT_FALSE(out.contains(QStringLiteral("Accessibility permissions required")));
  EXPECT_FALSE(out.contains(QStringLiteral("LaunchAtLogin registration failed")));
  QSettings stored(home.filePath(QStringLiteral("config/Corvane/Corvane.conf")),
                   QSettings::IniFormat);
  EXPECT_EQ(stored.value(QStringLiteral("launchAtLoginEnabled")).toString(),
            QStringLiteral("true"));

  program.terminate();
  if (!program.waitForFinished(5000)) {
    program.kill();
    program.waitForFinished(5000);
  }
}

}  // namespace

CORVANE_QT_TEST_MAIN()
