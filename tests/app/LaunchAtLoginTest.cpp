// Seeding and applying the launch-at-login flag, with a fake store and with QSettings on disk.
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include "DelegateHarness.h"
#include "ui/RulesNotes.h"
#include "ui/StyledText.h"

namespace corvane::testing {
namespace {

using Steps = std::vector<std::string>;

// What the store holds before the launch; how the launch leaves it and what it asks for. (How
// each kind of stored value reads: ReadAsBool below.)
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
  // Registering asks the login item's status first (it is not registered here).
  Steps apply{"read", flag.loginCall};
  if (std::string(flag.loginCall) == "register") apply.insert(apply.begin() + 1, "status");
  if (flag.stored) {
    apply.insert(apply.begin(), "contains");
    EXPECT_EQ(tail, apply);
    EXPECT_EQ(preferences->values.value("launchAtLoginEnabled"), *flag.stored) << "overwritten";
  } else {
    apply.insert(apply.begin(), {"contains", "setTrue"});
    EXPECT_EQ(tail, apply);
    EXPECT_EQ(preferences->values.value("launchAtLoginEnabled"), QVariant(true));
  }
  EXPECT_TRUE(out.str().empty());
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues, LaunchAtLoginSeeding,
    ::testing::Values(StoredFlag{"Absent", std::nullopt, "register"},
                      StoredFlag{"True", QVariant(true), "register"},
                      StoredFlag{"False", QVariant(false), "unregister"},
                      StoredFlag{"TextNo", QVariant(QStringLiteral("no")), "unregister"}),
    [](const auto& info) { return std::string(info.param.name); });

// The login item as macOS reports it, and where the program runs from: registered only when the
// system does not know it, never from a disk image or App Translocation; what the window says.
struct LoginItemCase {
  const char* name;
  LoginItemService::Status status;
  const char* path;
  bool registers;
  ui::LoginItemNote note;
};

class LoginItemStates : public DelegateTest, public ::testing::WithParamInterface<LoginItemCase> {};

TEST_P(LoginItemStates, RegisterOnlyWhatTheSystemDoesNotKnowAndSayWhatWaits) {
  const LoginItemCase& c = GetParam();
  loginItem->state = c.status;
  applicationPath = QString::fromUtf8(c.path);
  launch();
  EXPECT_EQ(std::count(log->begin(), log->end(), "register"), c.registers ? 1 : 0);
  EXPECT_EQ(std::count(log->begin(), log->end(), "unregister"), 0);
  const bool noted = c.note != ui::LoginItemNote::none;
  EXPECT_EQ(view->loginItemNote()->isVisibleTo(view), noted);
  if (c.note == ui::LoginItemNote::requiresApproval) {
    EXPECT_EQ(view->loginItemNote()->text(), QString::fromUtf8(ui::kLoginItemApprovalLine));
    EXPECT_TRUE(view->loginItemsLink()->isVisibleTo(view)) << "a link to Login Items";
  }
  if (c.note == ui::LoginItemNote::moveToApplications) {
    EXPECT_EQ(view->loginItemNote()->text(), QString::fromUtf8(ui::kMoveToApplicationsLine));
  }
  EXPECT_TRUE(out.str().empty());
}

using S = LoginItemService::Status;
constexpr const char* kInstalled = "/Applications/Corvane.app/Contents/MacOS/Corvane";
INSTANTIATE_TEST_SUITE_P(
    Cases, LoginItemStates,
    ::testing::Values(
        LoginItemCase{"NotRegistered", S::notRegistered, kInstalled, true, ui::LoginItemNote::none},
        LoginItemCase{"NotFound", S::notFound, kInstalled, true, ui::LoginItemNote::none},
        LoginItemCase{"Enabled", S::enabled, kInstalled, false, ui::LoginItemNote::none},
        LoginItemCase{"RequiresApproval", S::requiresApproval, kInstalled, false,
                      ui::LoginItemNote::requiresApproval},
        LoginItemCase{"DiskImage", S::notRegistered,
                      "/Volumes/Corvane/Corvane.app/Contents/MacOS/Corvane", false,
                      ui::LoginItemNote::moveToApplications},
        LoginItemCase{"Translocated", S::notRegistered,
                      "/private/var/folders/xy/T/AppTranslocation/1A2B/d/Corvane.app/Contents/"
                      "MacOS/Corvane",
                      false, ui::LoginItemNote::moveToApplications}),
    [](const auto& info) { return std::string(info.param.name); });

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
