// Deciding key-downs with a rules file: the user's shortcuts under every modifier set and both
// swap settings, applications, exclusions, precedence over and disabling of the built-ins.
#include <map>

#include "rules/KeyNames.h"
#include "rules/RuleCompiler.h"
#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kO = 31, kX = 7, kC = 8, kV = 9, kT = 17, kH = 4, kTab = 48, kF5 = 96;
constexpr int64_t kF2 = 120, kHome = 115, kLeft = 123;

constexpr const char* kRules = R"({
  "exclude": ["com.apple.Terminal"],
  "disable": ["Ctrl+C", "Shift+Tab"],
  "shortcuts": [
    {"press": "Ctrl+O", "send": "Cmd+O"},
    {"press": "Ctrl+Shift+O", "send": "Cmd+Shift+O"},
    {"press": "Win+O", "send": "Option+O"},
    {"press": "Alt+O", "send": "Control+O"},
    {"press": "Win+Alt+Shift+O", "send": "Fn+O"},
    {"press": "Ctrl+X", "send": "Cmd+Shift+X"},
    {"press": "Home", "send": "Cmd+Left"},
    {"press": "F5", "send": "Cmd+R", "apps": ["browsers"]},
    {"press": "F5", "send": "Cmd+Shift+R", "apps": ["com.example.Editor"]},
    {"press": "Win+T", "open": "/Applications/Utilities/Terminal.app"}
  ]})";

class UserRulesTest : public EngineTest {
 protected:
  void SetUp() override {
    RulesParse parse = parseRules(kRules);
    ASSERT_TRUE(parse.rules) << parse.error.describe();
    setRules(*manager, std::move(*parse.rules));
  }

  // The flags a Mac keyboard sends for these Windows modifiers under the current settings.
  EventFlags flagsFor(uint8_t modifiers) const {
    const bool fnIsCtrl = manager->swapFnAndControl.get();
    const bool optionIsWin = manager->swapOptionAndCommand.get();
    EventFlags flags = 0;
    if (modifiers & kModCtrl) flags |= fnIsCtrl ? kFlagFn : kFlagControl;
    if (modifiers & kModWin) flags |= optionIsWin ? kFlagOption : kFlagCommand;
    if (modifiers & kModAlt) flags |= optionIsWin ? kFlagCommand : kFlagOption;
    if (modifiers & kModShift) flags |= kFlagShift;
    return flags;
  }

  // The keystroke posted since the last call: {key, flags}, or {-1, 0} when nothing was.
  std::pair<int64_t, EventFlags> posted() {
    const auto events = session->posted();
    session->clearRecords();
    if (events.empty()) return {-1, 0};
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].flags, events[1].flags);
    return {events[0].keyCode, events[0].flags};
  }
};

// O under each of the 16 sets of Windows modifiers and the four swap settings: exactly the
// shortcut naming that set is posted; any other set passes.
TEST_F(UserRulesTest, ModifierSetsAreMatchedExactlyUnderEverySwapSetting) {
  const std::map<uint8_t, std::pair<int64_t, EventFlags>> expected = {
      {kModCtrl, {kO, kFlagCommand}},
      {kModCtrl | kModShift, {kO, kFlagCommand | kFlagShift}},
      {kModWin, {kO, kFlagOption}},
      {kModAlt, {kO, kFlagControl}},
      {kModWin | kModAlt | kModShift, {kO, kFlagFn}},
  };
  for (int swaps = 0; swaps < 4; ++swaps) {
    manager->swapFnAndControl = (swaps & 1) != 0;
    manager->swapOptionAndCommand = (swaps & 2) != 0;
    for (uint8_t modifiers = 0; modifiers < 16; ++modifiers) {
      const auto it = expected.find(modifiers);
      const bool translated = it != expected.end();
      EXPECT_EQ(keyDown(kO, flagsFor(modifiers)), translated)
          << "modifiers " << int{modifiers} << " swaps " << swaps;
      const std::pair<int64_t, EventFlags> none{-1, 0};
      EXPECT_EQ(posted(), translated ? it->second : none)
          << "modifiers " << int{modifiers} << " swaps " << swaps;
      EXPECT_EQ(keyUp(kO), translated);
    }
  }
  EXPECT_EQ(session->frontmostQueries(), 0u) << "no shortcut on O names applications";
}

TEST_F(UserRulesTest, ShortcutsWithApplicationsApplyOnlyThere) {
  struct Case {
    std::optional<std::string_view> frontmost;
    std::pair<int64_t, EventFlags> posted;
  };
  const Case cases[] = {
      {"com.apple.Safari", {15, kFlagCommand}},
      {"company.thebrowser.Browser", {15, kFlagCommand}},
      {"com.example.Editor", {15, kFlagCommand | kFlagShift}},
      {"com.example.editor", {-1, 0}},  // bundle identifiers are exact
      {"com.apple.TextEdit", {-1, 0}},
      {"", {-1, 0}},
      {std::nullopt, {-1, 0}},
  };
  for (const Case& c : cases) {
    session->setFrontmostApplication(c.frontmost);
    const bool translated = c.posted.first >= 0;
    EXPECT_EQ(keyDown(kF5, kFlagFn), translated) << c.frontmost.value_or("none");
    EXPECT_EQ(posted(), c.posted) << c.frontmost.value_or("none");
    EXPECT_EQ(keyUp(kF5, kFlagFn), translated);
  }
}

TEST_F(UserRulesTest, NothingIsTranslatedInAnExcludedApplication) {
  session->setFrontmostApplication("com.apple.Terminal");
  const std::pair<int64_t, EventFlags> presses[] = {
      {kO, kFlagFn}, {kV, kFlagFn}, {kF2, kFlagFn}, {kHome, kFlagFn}, {kT, kFlagOption}};
  for (const auto& [key, flags] : presses) {
    EXPECT_FALSE(keyDown(key, flags)) << key;
    EXPECT_FALSE(keyUp(key, flags)) << key;
  }
  session->advance(1s);
  EXPECT_TRUE(session->posted().empty());
  EXPECT_TRUE(session->openRequests().empty());
  // Elsewhere they are, and plain typing never asks which application is frontmost.
  session->setFrontmostApplication("com.apple.TextEdit");
  EXPECT_TRUE(keyDown(kV, kFlagFn));
  EXPECT_TRUE(keyUp(kV));
  const uint64_t queries = session->frontmostQueries();
  EXPECT_FALSE(keyDown(kH));
  EXPECT_FALSE(keyDown(kO));
  EXPECT_FALSE(keyDown(kO, kFlagShift));
  EXPECT_EQ(session->frontmostQueries(), queries);
}

TEST_F(UserRulesTest, TheUsersShortcutsComeBeforeTheBuiltInOnesLessTheDisabled) {
  session->setFrontmostApplication("com.apple.Safari");
  EXPECT_TRUE(keyDown(kX, kFlagFn));  // Ctrl+X: the user's, not cut
  EXPECT_EQ(posted(), std::make_pair(kX, kFlagCommand | kFlagShift));
  EXPECT_TRUE(keyUp(kX));
  EXPECT_FALSE(keyDown(kC, kFlagFn)) << "Ctrl+C is disabled";
  EXPECT_FALSE(keyUp(kC));
  const uint64_t queries = session->frontmostQueries();
  EXPECT_FALSE(keyDown(kTab, kFlagShift)) << "Shift+Tab is disabled";
  EXPECT_EQ(session->frontmostQueries(), queries) << "and never asks for the browser";
  EXPECT_FALSE(keyUp(kTab));
  EXPECT_TRUE(keyDown(kV, kFlagFn)) << "the rest of the built-ins stay";
  EXPECT_EQ(posted(), std::make_pair(kV, kFlagCommand));
  EXPECT_TRUE(keyUp(kV));
  EXPECT_TRUE(keyDown(kTab, kFlagFn | kFlagShift)) << "Ctrl+Shift+Tab is another combination";
}

TEST_F(UserRulesTest, FunctionKeysAndArrowsArePostedAsTheKeyboardSendsThem) {
  EXPECT_TRUE(keyDown(kHome, kFlagFn));  // Home carries Fn by itself; the Fn key is up
  EXPECT_EQ(posted(), std::make_pair(kLeft, kFlagCommand | kFlagFn | kNumericPad));
  EXPECT_TRUE(keyUp(kHome, kFlagFn));
  // With the Fn key down, Home reads as Ctrl+Home: no shortcut.
  swallows(kEventFlagsChanged, 63, kFlagFn);
  EXPECT_FALSE(keyDown(kHome, kFlagFn));
  EXPECT_FALSE(keyUp(kHome, kFlagFn));
}

TEST_F(UserRulesTest, ApplicationsOpenAndAutoRepeatRepeats) {
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(keyDown(kT, kFlagOption));
  EXPECT_TRUE(keyUp(kT));
  EXPECT_TRUE(session->openRequests().empty()) << "opened from the main thread";
  session->advance(0ms);
  ASSERT_EQ(session->openRequests().size(), 3u);
  EXPECT_EQ(session->openRequests()[0].path, "/Applications/Utilities/Terminal.app");
  EXPECT_TRUE(session->posted().empty());
}

// A key held down in the application while the rules come to name it: its auto-repeat is
// translated, and its key-up still reaches the application.
TEST_F(UserRulesTest, AKeyHeldWhileTheRulesComeToNameItKeepsItsKeyUp) {
  RulesParse withoutEnd = parseRules(R"({"shortcuts": [{"press": "Ctrl+O", "send": "Cmd+O"}]})");
  RulesParse withEnd = parseRules(R"({"shortcuts": [{"press": "End", "send": "Cmd+Right"}]})");
  ASSERT_TRUE(withoutEnd.rules && withEnd.rules);
  constexpr int64_t kEnd = 119;
  setRules(*manager, *withoutEnd.rules);
  EXPECT_FALSE(keyDown(kEnd, kFlagFn));  // the application holds End
  setRules(*manager, *withEnd.rules);
  EXPECT_TRUE(keyDown(kEnd, kFlagFn));  // its auto-repeat is the user's shortcut now
  EXPECT_EQ(posted(), std::make_pair(int64_t{124}, kFlagCommand | kFlagFn | kNumericPad));
  EXPECT_FALSE(keyUp(kEnd, kFlagFn)) << "the application must see End come up";
  EXPECT_TRUE(keyDown(kEnd, kFlagFn));
  EXPECT_TRUE(keyUp(kEnd, kFlagFn)) << "a press translated from the start is swallowed whole";
}

TEST_F(UserRulesTest, ChangingTheRulesSignalsTheWindow) {
  int signals = 0;
  manager->objectWillChange.subscribe([&] { ++signals; });
  setRules(*manager, RulesFile{});
  manager->clearRules();
  EXPECT_EQ(signals, 2);
}

}  // namespace
}  // namespace corvane::testing
