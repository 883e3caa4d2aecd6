// Seeding and applying the launch-at-login flag, with a fake store and with QSettings on disk.
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include "DataRows.h"
#include "DelegateHarness.h"
#include "ui/RulesNotes.h"
#include "ui/StyledText.h"

namespace corvane::testing {
namespace {

using Steps = std::vector<std::string>;

// The cases: launch-at-login.jsonl.
class LaunchAtLoginSeeding : public DelegateTest,
                             public ::testing::WithParamInterface<QJsonObject> {};

TEST_P(LaunchAtLoginSeeding, SeedsOnlyAnAbsentKeyAndAppliesItsBooleanReading) {
  const QJsonObject& c = GetParam();
  const QVariant stored = c.contains(u"stored") ? c[u"stored"].toVariant() : QVariant(true);
  if (c.contains(u"stored")) preferences->values["launchAtLoginEnabled"] = stored;
  launch();
  const auto first = std::find(log->begin(), log->end(), "contains");
  ASSERT_NE(first, log->end());
  Steps steps;
  for (const QJsonValue& step : c[u"steps"].toArray())
    steps.push_back(step.toString().toStdString());
  EXPECT_EQ(Steps(first, log->end()), steps);
  EXPECT_EQ(preferences->values.value("launchAtLoginEnabled"), stored) << "overwritten";
  EXPECT_TRUE(out.str().empty());
}

INSTANTIATE_TEST_SUITE_P(StoredValues, LaunchAtLoginSeeding,
                         ::testing::ValuesIn(dataRows("app/launch-at-login.jsonl")),
                         [](const auto& info) {
                           return info.param[u"name"].toString().toStdString();
                         });

// The login item as macOS reports it, and where the program runs from: registered only when the
// system does not know it, never from a disk image or App Translocation; what the window says.
class LoginItemStates : public DelegateTest, public ::testing::WithParamInterface<QJsonObject> {};

TEST_P(LoginItemStates, RegisterOnlyWhatTheSystemDoesNotKnowAndSayWhatWaits) {
  const QJsonObject& c = GetParam();
  const QString note = c[u"note"].toString();
  loginItem->state = static_cast<LoginItemService::Status>(
      QStringList{"notRegistered", "enabled", "requiresApproval", "notFound"}.indexOf(
          c[u"status"].toString()));
  applicationPath = c[u"path"].toString();
  launch();
  EXPECT_EQ(std::count(log->begin(), log->end(), "register"), c[u"registers"].toBool() ? 1 : 0);
  EXPECT_EQ(std::count(log->begin(), log->end(), "unregister"), 0);
  EXPECT_EQ(view->loginItemNote()->isVisibleTo(view), note != QStringLiteral("none"));
  if (note == QStringLiteral("requiresApproval")) {
    EXPECT_EQ(view->loginItemNote()->text(), QString::fromUtf8(ui::kLoginItemApprovalLine));
    EXPECT_TRUE(view->loginItemsLink()->isVisibleTo(view)) << "a link to Login Items";
  }
  if (note == QStringLiteral("moveToApplications")) {
    EXPECT_EQ(view->loginItemNote()->text(), QString::fromUtf8(ui::kMoveToApplicationsLine));
  }
  EXPECT_TRUE(out.str().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, LoginItemStates,
                         ::testing::ValuesIn(dataRows("app/login-items.jsonl")),
                         [](const auto& info) {
                           return info.param[u"name"].toString().toStdString();
                         });

TEST_F(DelegateTest, WithoutLoginItemsTheKeyIsSeededButNothingIsCalledOrPrinted) {
  loginItem->available = false;
  loginItem->answer = {false, "should never be asked"};
  launch();
  EXPECT_EQ(std::count(log->begin(), log->end(), "setTrue"), 1);
  EXPECT_EQ(std::count(log->begin(), log->end(), "register"), 0);
  EXPECT_EQ(std::count(log->begin(), log->end(), "unregister"), 0);
  EXPECT_TRUE(out.str().empty());
}

TEST_F(DelegateTest, FailedRegistrationAndUnregistrationPrintTheSameLine) {
  loginItem->answer = {false, "The operation couldn’t be completed."};
  launch();
  EXPECT_EQ(out.str(), "LaunchAtLogin registration failed: The operation couldn’t be completed.\n");
  EXPECT_EQ(preferences->values.value("launchAtLoginEnabled"), QVariant(true)) << "flag unchanged";

  out.str("");
  quit();
  preferences->values["launchAtLoginEnabled"] = false;
  launch();  // the stored flag is applied at every launch, never seeded again
  EXPECT_EQ(log->back(), "unregister");
  EXPECT_EQ(std::count(log->begin(), log->end(), "setTrue"), 1);
  EXPECT_EQ(out.str(), "LaunchAtLogin registration failed: The operation couldn’t be completed.\n");
  EXPECT_TRUE(delegate->window()->isVisible()) << "the program runs on";
}

TEST(SettingsPreferencesStore, TellsAbsentFromStoredAndNeverOverwritesAnyType) {
  QTemporaryDir folder;
  const QString file = folder.filePath(QStringLiteral("Corvane.conf"));
  const QVariant stored[] = {QVariant(false), QVariant(QStringLiteral("hello")), QVariant(0),
                             QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")})};
  for (const QVariant& value : stored) {
    {
      QSettings settings(file, QSettings::IniFormat);
      settings.clear();
      settings.setValue(QStringLiteral("launchAtLoginEnabled"), value);
    }
    SettingsPreferencesStore store(file);
    ASSERT_TRUE(store.contains(QStringLiteral("launchAtLoginEnabled")));
    EXPECT_FALSE(store.boolValue(QStringLiteral("launchAtLoginEnabled")));
    QSettings after(file, QSettings::IniFormat);
    EXPECT_EQ(after.value(QStringLiteral("launchAtLoginEnabled")).toString(), value.toString());
  }

  QSettings(file, QSettings::IniFormat).clear();
  SettingsPreferencesStore store(file);
  EXPECT_FALSE(store.contains(QStringLiteral("launchAtLoginEnabled")));
  EXPECT_FALSE(store.boolValue(QStringLiteral("launchAtLoginEnabled")));  // absent reads false
  store.setBool(QStringLiteral("launchAtLoginEnabled"), true);
  // Persisted: a new store on the same file (a later launch) reads it.
  SettingsPreferencesStore later(file);
  EXPECT_TRUE(later.contains(QStringLiteral("launchAtLoginEnabled")));
  EXPECT_TRUE(later.boolValue(QStringLiteral("launchAtLoginEnabled")));
}

TEST(ReadAsBool, ReadsStoredValuesTheWayTheUserDefaultsDo) {
  const std::pair<QVariant, bool> cases[] = {
      {QVariant(), false},
      {QVariant(true), true},
      {QVariant(false), false},
      {QVariant(1), true},
      {QVariant(0), false},
      {QVariant(-3), true},
      {QVariant(0.5), true},
      {QVariant(QStringLiteral("true")), true},
      {QVariant(QStringLiteral("false")), false},
      {QVariant(QStringLiteral("YES")), true},
      {QVariant(QStringLiteral("no")), false},
      {QVariant(QStringLiteral("  +007")), true},
      {QVariant(QStringLiteral("000")), false},
      {QVariant(QStringLiteral("")), false},
      {QVariant(QStringLiteral("hello")), false},
      {QVariant(QStringList{QStringLiteral("yes")}), false},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(readAsBool(value), expected) << value.toString().toStdString();
  }
}

}  // namespace
}  // namespace corvane::testing
