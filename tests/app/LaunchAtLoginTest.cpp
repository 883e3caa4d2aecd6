// Seeding and applying the launch-at-login flag, with a fake store and with QSettings on disk.
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include "DelegateHarness.h"

namespace corvane::testing {
namespace {

using Steps = std::vector<std::string>;

// What the store holds before the launch; how the launch leaves it and what it asks for.
struct StoredFlag {
  const char* name;
  std::optional<QVariant> stored;
  const char* loginCall;
};

class LaunchAtLoginSeeding : public DelegateTest,
                             public ::testing::WithParamInterface<StoredFlag> {};

TEST_P(LaunchAtLoginSeeding, SeedsOnlyAnAbsentKeyAndAppliesItsBooleanReading) {
  const StoredFlag& flag = GetParam();
  if (flag.stored) preferences->values["launchAtLoginEnabled"] = *flag.stored;
  launch();
  const auto first = std::find(log->begin(), log->end(), "contains");
  ASSERT_NE(first, log->end());
  const Steps tail(first, log->end());
  if (flag.stored) {
    EXPECT_EQ(tail, (Steps{"contains", "read", flag.loginCall}));
    EXPECT_EQ(preferences->values.value("launchAtLoginEnabled"), *flag.stored) << "overwritten";
  } else {
    EXPECT_EQ(tail, (Steps{"contains", "setTrue", "read", flag.loginCall}));
    EXPECT_EQ(preferences->values.value("launchAtLoginEnabled"), QVariant(true));
  }
  EXPECT_TRUE(out.str().empty());
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues, LaunchAtLoginSeeding,
    ::testing::Values(StoredFlag{"Absent", std::nullopt, "register"},
                      StoredFlag{"True", QVariant(true), "register"},
                      StoredFlag{"False", QVariant(false), "unregister"},
                      StoredFlag{"ZeroNumber", QVariant(0), "unregister"},
                      StoredFlag{"NonZeroNumber", QVariant(2), "register"},
                      StoredFlag{"TextYes", QVariant(QStringLiteral("YES")), "register"},
                      StoredFlag{"TextNo", QVariant(QStringLiteral("no")), "unregister"},
                      StoredFlag{"TextOther", QVariant(QStringLiteral("hello")), "unregister"},
                      StoredFlag{"List", QVariant(QStringList{QStringLiteral("1")}), "unregister"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DelegateTest, ApplyIsRequestedAtEveryLaunch) {
  launch();
  quit();
  launch();
  EXPECT_EQ(std::count(log->begin(), log->end(), "register"), 2);
  EXPECT_EQ(std::count(log->begin(), log->end(), "setTrue"), 1) << "seeded once, then stored";
}

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
  launch();
  EXPECT_EQ(log->back(), "unregister");
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
