// The desktop's shell services: the session's trust, the XDG autostart entry as login item.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/LinuxShellServices.h"
#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane {
namespace {

TEST(SimulatedAccessibilityTrust, AnswersWhatTheSharedSessionAllows) {
  sim::SimulatedSession* session = sharedSimulatedSession();
  ASSERT_NE(session, nullptr);
  SimulatedAccessibilityTrust trust;
  session->setTrusted(false);
  EXPECT_FALSE(trust.checkAccessibilityTrust());
  session->setTrusted(true);
  EXPECT_FALSE(trust.checkAccessibilityTrust()) << "its first answer, as on macOS 13 and later";
  for (bool secure : {true, false}) {
    session->setSecureInput(secure);
    EXPECT_EQ(trust.isSecureEventInputEnabled(), secure);
  }
}

TEST(XdgAutostartLoginItem, RegisterWritesTheEntryAndUnregisterRemovesIt) {
  QTemporaryDir config;
  XdgAutostartLoginItem item(config.path(), QStringLiteral("/opt/Corvane Apps/corvane"));
  const QString entry = config.filePath(QStringLiteral("autostart/corvane.desktop"));
  EXPECT_EQ(item.entryPath(), entry);
  EXPECT_TRUE(item.isAvailable());

  // Absent is already unregistered.
  EXPECT_TRUE(item.unregisterMainApp().succeeded);
  EXPECT_EQ(item.status(), LoginItemService::Status::notRegistered);

  for (int launch = 0; launch < 2; ++launch) {  // registering again rewrites the same entry
    const auto result = item.registerMainApp();
    EXPECT_TRUE(result.succeeded) << result.errorDescription;
  }
  EXPECT_EQ(item.status(), LoginItemService::Status::enabled);
  QFile file(entry);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("\nType=Application\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("\nName=Corvane\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("\nExec=\"/opt/Corvane Apps/corvane\"\n")));

  const auto removed = item.unregisterMainApp();
  EXPECT_TRUE(removed.succeeded) << removed.errorDescription;
  EXPECT_FALSE(QFileInfo::exists(entry));
}

TEST(XdgAutostartLoginItem, FailuresCarryADescription) {
  QTemporaryDir config;
  // The autostart folder cannot be made: a file stands where it should be.
  QFile blocker(config.filePath(QStringLiteral("autostart")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  XdgAutostartLoginItem item(config.path(), QStringLiteral("/usr/bin/corvane"));
  const auto result = item.registerMainApp();
  EXPECT_FALSE(result.succeeded);
  EXPECT_NE(result.errorDescription.find("autostart"), std::string::npos)
      << result.errorDescription;

  // The entry is a folder that cannot be removed as a file.
  QTemporaryDir other;
  ASSERT_TRUE(QDir(other.path()).mkpath(QStringLiteral("autostart/corvane.desktop/inner")));
  XdgAutostartLoginItem stuck(other.path(), QStringLiteral("/usr/bin/corvane"));
  const auto removal = stuck.unregisterMainApp();
  EXPECT_FALSE(removal.succeeded);
  EXPECT_FALSE(removal.errorDescription.empty());
}

TEST(DesktopEntryExec, QuotesAndEscapesReservedCharacters) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/corvane", "\"/usr/bin/corvane\""},
      {"/home/a b/corvane", "\"/home/a b/corvane\""},
      {"/x/\"q\"/$HOME/`c`/back\\slash", "\"/x/\\\"q\\\"/\\$HOME/\\`c\\`/back\\\\slash\""},
      {"/x/100%/corvane", "\"/x/100%%/corvane\""},
  };
  for (const auto& [path, exec] : cases) {
    EXPECT_EQ(desktopEntryExec(QString::fromUtf8(path)).toStdString(), exec);
  }
}

}  // namespace
}  // namespace corvane
