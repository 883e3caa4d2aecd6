// The real program in processes of its own, on the offscreen platform, with its home, config and
// runtime folders in temporary ones: the command line, the launch as installed and as started
// from the build folder, quitting on a signal, and one copy per user.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "DataRows.h"
#include "InstalledProgram.h"
#include "QtTestMain.h"
#include "app/DisplayCheck.h"

namespace {

using namespace Qt::StringLiterals;
using corvane::testing::Installed;

constexpr int kLaunchMs = 20000;  // generous: only a broken or very busy build waits this long

const QString kBuildTreeLine = QStringLiteral("started from its build folder");
const QString kSimulatedLine = QStringLiteral("no system keyboard is tapped on this platform");
const QString kHandedOver =
    QStringLiteral("Corvane is already running: its window was brought forward.");

class ProgramTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto& process : started_) {
      if (process->state() == QProcess::NotRunning) continue;
      process->kill();
      process->waitForFinished(5000);
    }
  }

  QString config() const { return home.filePath(QStringLiteral("config")); }
  QString loginEntry() const { return config() + QStringLiteral("/autostart/corvane.desktop"); }

  QProcessEnvironment environment(bool display = true) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    if (display) {
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
      env.remove(QStringLiteral("QT_QPA_PLATFORM"));
      env.remove(QStringLiteral("DISPLAY"));
      env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    return env;
  }

  QProcess& start(const QString& program, const QStringList& args = {}) {
    started_.push_back(std::make_unique<QProcess>());
    QProcess& process = *started_.back();
    process.setProcessEnvironment(environment());
    process.start(program, args);
    EXPECT_TRUE(process.waitForStarted(10000)) << process.errorString().toStdString();
    return process;
  }

  // The launch's last step writes the login item; the program is then fully up.
  bool waitForLaunch(QProcess& process, const QString& entry) {
    return QTest::qWaitFor(
               [&] { return QFile::exists(entry) || process.state() == QProcess::NotRunning; },
               kLaunchMs) &&
           process.state() == QProcess::Running;
  }

  static QString output(QProcess& process) {
    return QString::fromUtf8(process.readAllStandardOutput());
  }

  const QString buildProgram = QStringLiteral(CORVANE_PROGRAM);
  QTemporaryDir home;
  QTemporaryDir runtime;

 private:
  std::vector<std::unique_ptr<QProcess>> started_;
};

// --- Runs that end at once: the command line, answered before Qt; no display, one line ---------

class QuickRunTest : public ProgramTest, public ::testing::WithParamInterface<QJsonObject> {};

// None of these leaves settings, a login item or a claim behind.
TEST_P(QuickRunTest, AnswersAndWritesNothing) {
  const QJsonObject& c = GetParam();
  QProcessEnvironment env = environment(c[u"display"].toBool());
  if (c.contains(u"env")) env = {};
  const QJsonObject vars = c[u"env"].toObject();
  for (auto v = vars.begin(); v != vars.end(); ++v) {
    env.insert(v.key(),
               v.value().toString() == u"RUNTIME"_s ? runtime.path() : v.value().toString());
  }
  QProcess program;
  program.setProcessEnvironment(env);
  program.start(c.contains(u"env") ? buildProgram : corvane::testing::installedProgram(),
                c[u"args"].toVariant().toStringList());
  ASSERT_TRUE(program.waitForFinished(10000)) << "the program kept running";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), c[u"status"].toInt());
  const auto matches = [&](const QString& key, const QByteArray& text) {
    const QString pattern =
        c[key]
            .toString()
            .replace(u"{version}"_s, QRegularExpression::escape(CORVANE_VERSION))
            .replace(u"{no display}"_s,
                     QRegularExpression::escape(corvane::kNoDisplayMessage) + u'\n');
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(QString::fromUtf8(text))
        .hasMatch();
  };
  EXPECT_PRED2(matches, u"out"_s, program.readAllStandardOutput());
  EXPECT_PRED2(matches, u"err"_s, program.readAllStandardError());
  EXPECT_FALSE(QFileInfo::exists(config() + QStringLiteral("/Corvane")));
  EXPECT_FALSE(QFileInfo::exists(loginEntry()));
  EXPECT_TRUE(QDir(runtime.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
}

INSTANTIATE_TEST_SUITE_P(Program, QuickRunTest,
                         ::testing::ValuesIn(corvane::testing::dataRows("app/program-runs.jsonl")),
                         [](const auto& info) {
                           return info.param[u"name"].toString().toStdString();
                         });

#ifdef CORVANE_XVFB
// A Wayland socket left by a session that has ended, beside an X server that answers: X11.
TEST_F(ProgramTest, AStaleWaylandSocketGivesWayToAWorkingX11Display) {
  QProcess xvfb;
  xvfb.setProcessChannelMode(QProcess::SeparateChannels);
  xvfb.start(QStringLiteral(CORVANE_XVFB),
             {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
              QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
              QStringLiteral("800x600x24")});
  ASSERT_TRUE(xvfb.waitForStarted(10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return xvfb.canReadLine(); }, 10000)) << "Xvfb said nothing";
  const QString display = u':' + QString::fromLatin1(xvfb.readLine()).trimmed();

  QProcessEnvironment env = environment();
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  env.insert(QStringLiteral("DISPLAY"), display);
  env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-7"));  // nothing there
  env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
  QProcess program;
  program.setProcessEnvironment(env);
  program.start(Installed::get().program());
  const bool launched = waitForLaunch(program, loginEntry());
  const QString err = QString::fromUtf8(program.readAllStandardError());
  program.terminate();
  program.waitForFinished(10000);
  xvfb.terminate();
  xvfb.waitForFinished(5000);
  EXPECT_TRUE(launched) << err.toStdString();
  EXPECT_EQ(program.exitCode(), 0);
}
#endif

// --- Installed and started from the build folder ------------------------------------------------

TEST_F(ProgramTest, InstalledItRunsAsDescribedAndRegistersItsLoginItem) {
  const Installed& installed = Installed::get();
  ASSERT_EQ(installed.status, 0) << installed.log.toStdString();
  for (const char* file : {"bin/corvane", "share/applications/corvane.desktop",
                           "share/icons/hicolor/512x512/apps/corvane.png"}) {
    EXPECT_TRUE(QFileInfo::exists(installed.prefix() + u'/' + QString::fromUtf8(file))) << file;
  }

  // A rules file with a mistake: said once on standard error, the built-ins run on. (Fixing and
  // breaking it while the program runs: RulesLoaderTest, in the process.)
  ASSERT_TRUE(QDir().mkpath(config() + QStringLiteral("/corvane")));
  QFile rules(config() + QStringLiteral("/corvane/rules.json"));
  ASSERT_TRUE(rules.open(QIODevice::WriteOnly));
  rules.write("{\n  \"shortcuts\": [\n    { \"press\": \"Ctlr+O\" }\n  ]\n}\n");
  rules.close();

  const QString state = home.filePath(QStringLiteral("state.json"));
  QProcess& program = start(installed.program(), {QStringLiteral("--report-state"), state});
  ASSERT_TRUE(waitForLaunch(program, loginEntry()));
  EXPECT_FALSE(program.waitForFinished(1500)) << "the program stopped by itself";
  QFile report(state);
  EXPECT_TRUE(report.open(QIODevice::ReadOnly));
  EXPECT_EQ(report.readAll(), QByteArray("{\"trusted\":true,\"translating\":true}\n"));

  const QString out = output(program);
  EXPECT_EQ(out.count(kSimulatedLine), 1) << out.toStdString();
  EXPECT_FALSE(out.contains(kBuildTreeLine)) << out.toStdString();
  EXPECT_FALSE(out.contains(QStringLiteral("Accessibility permissions required")));
  EXPECT_FALSE(out.contains(QStringLiteral("LaunchAtLogin registration failed")));
  const QString err = QString::fromUtf8(program.readAllStandardError());
  EXPECT_EQ(err.count(QStringLiteral("rules.json, line 3, column 17: unknown key name \"Ctlr\"; "
                                     "did you mean \"Ctrl\"?\n")),
            1)
      << err.toStdString();
  QSettings stored(config() + QStringLiteral("/Corvane/Corvane.conf"), QSettings::IniFormat);
  EXPECT_EQ(stored.value(QStringLiteral("launchAtLoginEnabled")).toString(),
            QStringLiteral("true"));
}

TEST_F(ProgramTest, FromTheBuildFolderItKeepsItsStateThereAndSaysSo) {
  const QString folder = QStringLiteral(CORVANE_BUILD_DIR "/local-settings");
  QFile::remove(folder + QStringLiteral("/autostart/corvane.desktop"));

  QProcess& program = start(buildProgram);
  ASSERT_TRUE(waitForLaunch(program, folder + QStringLiteral("/autostart/corvane.desktop")));
  const QString out = output(program);
  EXPECT_TRUE(out.contains(kBuildTreeLine +
                           QStringLiteral(": settings and the login item are "
                                          "kept in ") +
                           folder + u'.'))
      << out.toStdString();
  EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/Corvane.conf")));
  // Nothing of the trial in the user's own folders.
  EXPECT_FALSE(QFileInfo::exists(loginEntry()));
  EXPECT_FALSE(QFileInfo::exists(config() + QStringLiteral("/Corvane")));
}

// --- Quitting -----------------------------------------------------------------------------------

class QuitSignalTest : public ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(QuitSignalTest, StopsAndExitsWithStatusZero) {
  QProcess& program = start(Installed::get().program());
  ASSERT_TRUE(waitForLaunch(program, loginEntry()));
  ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), GetParam()), 0);
  ASSERT_TRUE(program.waitForFinished(10000)) << "still running after the signal";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  // The copy that quit leaves nothing that holds up the next start.
  EXPECT_TRUE(QDir(runtime.filePath(QStringLiteral("corvane")))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                  .isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Program, QuitSignalTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == SIGINT ? "sigint" : "sigterm";
                         });

// --- One copy per user --------------------------------------------------------------------------

TEST_F(ProgramTest, ASecondStartHandsOverAndACrashedCopyBlocksNothing) {
  const QString program = Installed::get().program();
  QProcess& first = start(program);
  ASSERT_TRUE(waitForLaunch(first, loginEntry()));

  QProcess& second = start(program);
  ASSERT_TRUE(second.waitForFinished(10000)) << "the second copy kept running";
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(output(second), kHandedOver + u'\n');
  EXPECT_EQ(first.state(), QProcess::Running);

  // A crash leaves its lock and socket behind: the next start takes over.
  first.kill();
  first.waitForFinished(5000);
  QFile::remove(loginEntry());
  QProcess& third = start(program);
  ASSERT_TRUE(waitForLaunch(third, loginEntry())) << output(third).toStdString();
  EXPECT_FALSE(output(third).contains(kHandedOver));
}

}  // namespace

CORVANE_QT_TEST_MAIN()
