// The real program with a rules file in its temporary configuration folder: what it prints on
// standard error when the file is bad, once per mistake, as the file is fixed and broken again
// while it runs. (What the rules do once loaded is seen in RulesLoaderTest, in the process.)
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

#include "InstalledProgram.h"

namespace {

constexpr const char* kBroken = "{\n  \"shortcuts\": [\n    { \"press\": \"Ctlr+O\" }\n  ]\n}\n";
const QString kBrokenError = QStringLiteral(
    "rules.json, line 3, column 17: unknown key name \"Ctlr\"; did you mean \"Ctrl\"?");
const QString kCommaError =
    QStringLiteral("rules.json, line 1, column 22: expected a member name in double quotes");

class ProgramRules : public ::testing::Test {
 protected:
  void TearDown() override {
    if (program.state() == QProcess::NotRunning) return;
    program.terminate();
    if (!program.waitForFinished(5000)) {
      program.kill();
      program.waitForFinished(5000);
    }
  }

  QString rulesPath() const { return home.filePath(QStringLiteral("config/corvane/rules.json")); }

  void write(const char* text, bool replace = false) {
    QDir().mkpath(QFileInfo(rulesPath()).absolutePath());
    if (replace) {  // a new file renamed over the old one
      QSaveFile file(rulesPath());
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(text);
      ASSERT_TRUE(file.commit());
      return;
    }
    QFile file(rulesPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
  }

  // Starts the program and waits for the end of its launch (its last step writes the login
  // item's entry).
  void start() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    program.setProcessEnvironment(environment);
    // Installed: its settings and login item are in the temporary home, as a user's are.
    program.start(corvane::testing::installedProgram(), {});
    ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    const QString entry = home.filePath(QStringLiteral("config/autostart/corvane.desktop"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(entry); }, 20000));
  }

  // The rules file's lines on standard error so far (Qt's own notices left out).
  QStringList rulesLines() {
    errors += QString::fromUtf8(program.readAllStandardError());
    QStringList lines;
    for (const QString& line : errors.split(QLatin1Char('\n'))) {
      if (line.startsWith(QStringLiteral("rules.json"))) lines << line;
    }
    return lines;
  }
  bool waitForLines(qsizetype count) {
    return QTest::qWaitFor([&] { return rulesLines().size() >= count; }, 2000);
  }
  // No further line within the time a reload takes.
  void expectNoNewLine(qsizetype count) {
    QTest::qWait(1200);
    EXPECT_EQ(rulesLines().size(), count) << rulesLines().join('\n').toStdString();
  }

  QTemporaryDir home;
  QTemporaryDir runtime;
  QProcess program;
  QString errors;
};

TEST_F(ProgramRules, FixingAndBreakingTheFileWhileItRuns) {
  write(R"({"disable": ["F2"]})");
  start();
  // Broken in place: printed.
  write(kBroken);
  ASSERT_TRUE(waitForLines(1));
  EXPECT_EQ(rulesLines(), QStringList{kBrokenError});
  // Fixed: nothing to print. Broken again by replacing the file, with another mistake.
  write(R"({"disable": ["F2"]})", /*replace=*/true);
  expectNoNewLine(1);
  write(R"({ "exclude": ["a.b"],, })", /*replace=*/true);
  ASSERT_TRUE(waitForLines(2));
  EXPECT_EQ(rulesLines(), (QStringList{kBrokenError, kCommaError}));
  // The first mistake again, after a fix: a new occurrence, printed again.
  write(R"({})", /*replace=*/true);
  QTest::qWait(600);
  write(kBroken, /*replace=*/true);
  ASSERT_TRUE(waitForLines(3));
  EXPECT_EQ(rulesLines(), (QStringList{kBrokenError, kCommaError, kBrokenError}));
  EXPECT_EQ(program.state(), QProcess::Running);
}

}  // namespace
