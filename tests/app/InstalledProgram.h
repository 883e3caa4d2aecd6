// The program as a user installs it: cmake --install of this build into a temporary prefix,
// once per test process. A program started from the build folder keeps its state there
// (app/BuildTreeRun.h); tests that look at the user's own folders start the installed one.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace corvane::testing {

class Installed {
 public:
  static const Installed& get() {
    static const Installed installed;
    return installed;
  }
  QString prefix() const { return folder_.path(); }
  QString program() const { return folder_.filePath(QStringLiteral("bin/corvane")); }
  QString log;
  int status = -1;

 private:
  Installed() {
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(CORVANE_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(CORVANE_BUILD_DIR),
                   QStringLiteral("--prefix"), folder_.path()});
    install.waitForFinished(60000);
    log = QString::fromUtf8(install.readAll());
    status = install.exitStatus() == QProcess::NormalExit ? install.exitCode() : -1;
  }
  QTemporaryDir folder_;
};

// The installed program's path; the test fails when the install did not work.
inline QString installedProgram() {
  const Installed& installed = Installed::get();
  EXPECT_EQ(installed.status, 0) << installed.log.toStdString();
  return installed.program();
}

}  // namespace corvane::testing
