#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;
using DecisionTest = EngineTest;

constexpr int64_t kC = 8, kV = 9, kT = 17, kTab = 48;

TEST_F(DecisionTest, MarkedEventsPassWhateverTheirType) {
  for (EventType type :
       {kEventKeyDown, kEventKeyUp, kEventFlagsChanged, kEventTapDisabledByTimeout}) {
    EXPECT_FALSE(swallows(type, kC, kFlagFn, 1)) << type;
  }
  EXPECT_TRUE(session->posted().empty()) << "a marked key-down's action must not run";
  EXPECT_TRUE(manager->consumedKeyUps.empty());
}

TEST_F(DecisionTest, OnlyExactlyOneIsTheMarker) {
  for (int64_t userData : std::initializer_list<int64_t>{0, 2, -1, 0x100000001}) {
    session->clearRecords();
    EXPECT_TRUE(keyDown(kC, kFlagFn, userData)) << userData;
    EXPECT_EQ(session->posted().size(), 2u) << userData;
    EXPECT_TRUE(keyUp(kC, 0, userData));
  }
}

TEST_F(DecisionTest, MarkedKeyUpLeavesItsEntry) {
  ASSERT_TRUE(keyDown(kC, kFlagFn));
  EXPECT_FALSE(keyUp(kC, 0, 1));
  EXPECT_TRUE(manager->consumedKeyUps.contains(kC));
  EXPECT_TRUE(keyUp(kC));
}

TEST_F(DecisionTest, TranslatedKeyDownAndItsKeyUpAreSwallowedOnce) {
  EXPECT_TRUE(keyDown(kC, kFlagFn));
  EXPECT_EQ(session->posted().size(), 2u) << "the action runs once";
  EXPECT_TRUE(manager->consumedKeyUps.contains(kC));
  EXPECT_TRUE(keyUp(kC, kFlagFn));
  EXPECT_FALSE(manager->consumedKeyUps.contains(kC));
  EXPECT_FALSE(keyUp(kC)) << "a second key-up passes";
}

TEST_F(DecisionTest, UnknownKeyUpPassesAndChangesNothing) {
  ASSERT_TRUE(keyDown(kV, kFlagFn));
  EXPECT_FALSE(keyUp(kC));
  EXPECT_EQ(manager->consumedKeyUps.size(), 1u);
}

TEST_F(DecisionTest, AutoRepeatRunsTheActionEachTimeAndKeepsOneEntry) {
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(keyDown(kC, kFlagFn));
  EXPECT_EQ(session->posted().size(), 10u);
  EXPECT_EQ(manager->consumedKeyUps.size(), 1u);
  EXPECT_TRUE(keyUp(kC));
  EXPECT_FALSE(keyUp(kC));
}

TEST_F(DecisionTest, ModifierReleasedFirstStillSwallowsTheKeyUp) {
  EXPECT_TRUE(keyDown(kC, kFlagFn));
  EXPECT_FALSE(swallows(kEventFlagsChanged, 63, 0));  // Fn released
  EXPECT_TRUE(keyUp(kC, 0));
}

TEST_F(DecisionTest, TwoTranslatedKeysHeldTogether) {
  EXPECT_TRUE(keyDown(kC, kFlagFn));
  EXPECT_TRUE(keyDown(kV, kFlagFn));
  EXPECT_TRUE(keyUp(kC));
  EXPECT_TRUE(keyUp(kV));
  EXPECT_FALSE(keyUp(kC));
  EXPECT_FALSE(keyUp(kV));
}

TEST_F(DecisionTest, UntranslatedPressPassesBothWays) {
  EXPECT_FALSE(keyDown(kC));
  EXPECT_FALSE(keyUp(kC));
  EXPECT_TRUE(session->posted().empty());
}

TEST_F(DecisionTest, FlagsChangedAlwaysPasses) {
  for (EventFlags flags :
       {EventFlags{0}, kFlagFn, kFlagFn | kFlagCommand | kFlagShift, ~EventFlags{0}}) {
    EXPECT_FALSE(swallows(kEventFlagsChanged, kC, flags));
    EXPECT_FALSE(swallows(kEventFlagsChanged, 63, flags, 7));
  }
  EXPECT_TRUE(manager->consumedKeyUps.empty());
}

TEST_F(DecisionTest, TapDisabledNotificationsAndOtherTypesPass) {
  ASSERT_TRUE(keyDown(kC, kFlagFn));
  for (EventType type : {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput, EventType{0},
                         EventType{13}, EventType{1}}) {
    EXPECT_FALSE(swallows(type, kC, kFlagFn)) << type;
  }
  EXPECT_EQ(session->posted().size(), 2u);
  EXPECT_TRUE(manager->consumedKeyUps.contains(kC));
}

// A stale entry (the key-up of a translated press never came back to the tap) must not swallow
// the key-up of a later, untranslated press of the same key: the application saw that key-down
// and would keep the key held.
TEST_F(DecisionTest, StaleEntryDoesNotSwallowTheKeyUpOfALaterUntranslatedPress) {
  ASSERT_TRUE(keyDown(kC, kFlagFn));  // its key-up was lost (the tap was stopped meanwhile)
  EXPECT_FALSE(keyDown(kC));          // a plain C reaches the application
  EXPECT_FALSE(keyUp(kC)) << "stuck key: the application saw C go down but never up";
}

TEST_F(DecisionTest, ModifierLetGoWhileTheKeyRepeats) {
  ASSERT_TRUE(keyDown(kC, kFlagFn));
  EXPECT_FALSE(swallows(kEventFlagsChanged, 63, 0));
  EXPECT_FALSE(keyDown(kC));  // auto-repeat, now untranslated: the application sees C down
  EXPECT_FALSE(keyDown(kC));
  EXPECT_FALSE(keyUp(kC)) << "the application must see C come up";
}

TEST_F(DecisionTest, EntriesOfOtherKeysSurviveAnUntranslatedPress) {
  ASSERT_TRUE(keyDown(kC, kFlagFn));
  EXPECT_FALSE(keyDown(kT));
  EXPECT_FALSE(keyUp(kT));
  EXPECT_TRUE(keyUp(kC));
}

TEST_F(DecisionTest, BrowserRuleIsDecidedWithTheFrontmostApplication) {
  session->setFrontmostApplication("org.mozilla.firefox");
  EXPECT_TRUE(keyDown(kTab, kFlagShift));
  session->setFrontmostApplication("com.apple.Terminal");
  EXPECT_TRUE(keyUp(kTab)) << "the key-up of the swallowed key-down, whatever is frontmost now";
  EXPECT_FALSE(keyDown(kTab, kFlagShift));
  EXPECT_FALSE(keyUp(kTab));
  session->advance(1s);
  EXPECT_EQ(session->posted().size(), 6u) << "one reopen sequence";
}

TEST_F(DecisionTest, SwallowedKeyDownsOpenApplicationsFromTheMainQueue) {
  EXPECT_TRUE(keyDown(14, kFlagOption));  // Win+E
  EXPECT_TRUE(session->openRequests().empty()) << "LaunchServices never runs inside the decision";
  EXPECT_TRUE(keyUp(14));
  session->advance(0ms);
  EXPECT_EQ(session->openRequests().size(), 1u);
}

}  // namespace
}  // namespace corvane::testing

namespace corvane::testing {
namespace {

// A key that went down untranslated, whose auto-repeat becomes a shortcut once a modifier is
// added: the application holds the key from the first key-down and must see it come up.
struct HeldThenModified {
  const char* name;
  int64_t key;
  EventFlags modifier;
  bool keyUpSwallowed;  // only when the posted keystroke is of the same key and released it
};

class HeldKeyTest : public EngineTest, public ::testing::WithParamInterface<HeldThenModified> {};

TEST_P(HeldKeyTest, KeyUpReachesTheApplicationThatHoldsTheKey) {
  const HeldThenModified& c = GetParam();
  EXPECT_FALSE(keyDown(c.key));  // passes: the application holds the key
  if (c.modifier == kFlagFn) swallows(kEventFlagsChanged, 63, kFlagFn);  // the Fn key goes down
  EXPECT_TRUE(keyDown(c.key, c.modifier));  // the auto-repeat is translated now
  EXPECT_TRUE(keyDown(c.key, c.modifier));  // and again
  EXPECT_EQ(keyUp(c.key, c.modifier), c.keyUpSwallowed);
  EXPECT_FALSE(keyUp(c.key)) << "nothing left to swallow";
  EXPECT_TRUE(manager->consumedKeyUps.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeldKeyTest,
    ::testing::Values(HeldThenModified{"F4ThenAlt", 118, kFlagCommand, false},
                      HeldThenModified{"YThenCtrl", 16, kFlagFn, false},
                      HeldThenModified{"ReturnThenAlt", 36, kFlagCommand, false},
                      HeldThenModified{"ForwardDeleteThenCtrl", 117, kFlagFn, false},
                      HeldThenModified{"EThenWin", 14, kFlagOption, false},
                      HeldThenModified{"CThenCtrl", 8, kFlagFn, true},
                      HeldThenModified{"TabThenAlt", 48, kFlagCommand, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, ATranslatedPressAfterAReleasedOneIsSwallowedAgain) {
  EXPECT_FALSE(keyDown(118));
  EXPECT_FALSE(keyUp(118));
  EXPECT_TRUE(keyDown(118, kFlagCommand));
  EXPECT_TRUE(keyUp(118));
}

}  // namespace
}  // namespace corvane::testing
