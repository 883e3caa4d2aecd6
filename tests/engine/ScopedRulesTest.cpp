// Where the user's rules apply: groups, patterns, except, built-ins off in some applications,
// exclusions that keep some built-ins, specific shortcuts before general ones; and the ways to
// press and send beyond one key: withShift, sequences and a modifier tapped alone.
#include <optional>
#include <string_view>

#include "rules/RuleCompiler.h"
#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kA = 0, kC = 8, kE = 14, kN = 45, kO = 31, kTab = 48, kSpace = 49;
constexpr int64_t kHome = 115, kLeft = 123, kFour = 21, kF5 = 96;
constexpr int64_t kFnKey = 63, kOptionKey = 58, kCommandKey = 55, kShiftKey = 56;

constexpr const char* kRules = R"({
  "groups": {
    "editors": ["com.microsoft.VSCode", "jetbrains"],
    "jetbrains": ["com.jetbrains.*"]
  },
  "exclude": ["terminals", {"apps": ["remote"], "keep": ["Alt+Tab", "win + e"]}],
  "disable": [{"name": "ctrl+c", "in": ["editors"]}, "Shift+Ctrl+Tab"],
  "shortcuts": [
    {"press": "Home", "send": "Cmd+Left"},
    {"press": "Home", "send": "Control+A", "apps": ["com.apple.Terminal"]},
    {"press": "Ctrl+O", "send": "Cmd+O", "except": ["editors"]},
    {"press": "Ctrl+Shift+C", "send": "Cmd+C", "apps": ["terminals"]},
    {"press": "Ctrl+Left", "send": "Option+Left", "withShift": true},
    {"press": "Ctrl+N", "send": ["Cmd+Shift+4", "Space"]},
    {"press": "Win", "send": "Cmd+Space"},
    {"press": "Alt", "send": "Cmd+Option+Space", "apps": ["jetbrains"]}
  ]})";

class ScopedRulesTest : public EngineTest {
 protected:
  void SetUp() override {
    RulesParse parse = parseRules(kRules);
    ASSERT_TRUE(parse.rules) << parse.error.describe();
    setRules(*manager, std::move(*parse.rules));
    session->setFrontmostApplication("com.apple.TextEdit");
  }

  // The keystrokes posted since the last call, as {key, flags} of each key-down.
  std::vector<std::pair<int64_t, EventFlags>> posted() {
    std::vector<std::pair<int64_t, EventFlags>> downs;
    for (const sim::PostedEvent& e : session->posted()) {
      if (e.type == kEventKeyDown) downs.emplace_back(e.keyCode, e.flags);
    }
    session->clearRecords();
    return downs;
  }
  using Posted = std::vector<std::pair<int64_t, EventFlags>>;

  // A key pressed and released; true when both were swallowed.
  bool press(int64_t key, EventFlags flags = 0) {
    const bool down = keyDown(key, flags);
    const bool up = keyUp(key, flags);
    EXPECT_EQ(down, up) << key;
    return down;
  }
  bool flags(int64_t key, EventFlags flags) { return swallows(kEventFlagsChanged, key, flags); }

  DecisionOutcome outcomeOf(int64_t key, EventFlags flags) {
    DecisionOutcome outcome;
    EventRef event = makeEvent(key, flags);
    manager->handleEvent(kEventKeyDown, event, outcome);
    keyUp(key, flags);
    posted();
    return outcome;
  }
};

// For each application in front, what a few presses post: groups, nested groups and patterns
// resolved, except, a specific shortcut before the general one, the exclusion and what it keeps.
TEST_F(ScopedRulesTest, EachApplicationGetsItsOwnRules) {
  struct Case {
    std::string_view frontmost;
    Posted home, ctrlO, ctrlC, altTab, winE;
  };
  const Posted none;
  const Posted cmdLeft = {{kLeft, kFlagCommand | kFlagFn | kNumericPad}};
  const Posted ctrlA = {{kA, kFlagControl}};
  const Posted cmdO = {{kO, kFlagCommand}};
  const Posted copy = {{kC, kFlagCommand}};
  const Posted switchApps = {{kTab, kFlagCommand}};
  const Case cases[] = {
      {"com.apple.TextEdit", cmdLeft, cmdO, copy, switchApps, none},
      // Written for Terminal: applies although terminals are excluded; the rest is not.
      {"com.apple.Terminal", ctrlA, none, none, none, none},
      {"net.kovidgoyal.kitty", none, none, none, none, none},
      // Editors: Ctrl+O left alone (except), Ctrl+C off; the rest as everywhere.
      {"com.microsoft.VSCode", cmdLeft, none, none, switchApps, none},
      {"com.jetbrains.intellij", cmdLeft, none, none, switchApps, none},
      {"com.jetbrains", cmdLeft, cmdO, copy, switchApps, none},  // the pattern needs more
      // Remote: nothing but the kept Alt+Tab (and Win+E, which opens Finder: no keystroke).
      {"com.vmware.fusion", none, none, none, switchApps, none},
      {"com.parallels.winapp.notepad", none, none, none, switchApps, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frontmost);
    session->setFrontmostApplication(c.frontmost);
    press(kHome, kFlagFn);
    EXPECT_EQ(posted(), c.home) << "Home";
    press(kO, kFlagFn);
    EXPECT_EQ(posted(), c.ctrlO) << "Ctrl+O";
    press(kC, kFlagFn);
    EXPECT_EQ(posted(), c.ctrlC) << "Ctrl+C";
    press(kTab, kFlagCommand);
    EXPECT_EQ(posted(), c.altTab) << "Alt+Tab";
    session->clearRecords();
    const bool winE = press(kE, kFlagOption);
    EXPECT_EQ(winE, c.frontmost != "com.apple.Terminal" && c.frontmost != "net.kovidgoyal.kitty")
        << "Win+E is kept in remote, excluded in terminals";
  }
}

TEST_F(ScopedRulesTest, OutcomesSayWhyABuiltInPassed) {
  session->setFrontmostApplication("com.microsoft.VSCode");
  EXPECT_EQ(outcomeOf(kC, kFlagFn),
            (DecisionOutcome{OutcomeCode::disabledHere,
                             static_cast<uint16_t>(BuiltinCombination::ctrlC)}));
  session->setFrontmostApplication("com.vmware.fusion");
  EXPECT_EQ(outcomeOf(kC, kFlagFn), (DecisionOutcome{OutcomeCode::excluded, kNoRuleIndex}));
  EXPECT_EQ(
      outcomeOf(kTab, kFlagCommand),
      (DecisionOutcome{OutcomeCode::builtin, static_cast<uint16_t>(BuiltinCombination::altTab), Action::switchApps}));
  EXPECT_EQ(outcomeOf(kTab, kFlagFn | kFlagShift),
            (DecisionOutcome{OutcomeCode::disabled,
                             static_cast<uint16_t>(BuiltinCombination::ctrlShiftTab)}));
  session->setFrontmostApplication("com.apple.Terminal");
  EXPECT_EQ(outcomeOf(kHome, kFlagFn), (DecisionOutcome{OutcomeCode::userShortcut, 1}));
}

TEST_F(ScopedRulesTest, ShortcutsWrittenForAnExcludedApplicationApplyThere) {
  session->setFrontmostApplication("com.googlecode.iterm2");
  EXPECT_TRUE(press(kC, kFlagFn | kFlagShift));  // Ctrl+Shift+C: the user's, for terminals
  EXPECT_EQ(posted(), (Posted{{kC, kFlagCommand}}));
  EXPECT_FALSE(press(kC, kFlagFn)) << "Ctrl+C, a built-in, is left to the terminal";
}

TEST_F(ScopedRulesTest, WithShiftMatchesBothAndSendsShiftAlong) {
  // Fn plays Ctrl; an arrow carries the Fn flag by itself, so Ctrl is the Fn key's own.
  EXPECT_FALSE(press(kLeft, kFlagFn | kNumericPad));
  EXPECT_EQ(posted(), Posted{});
  flags(kFnKey, kFlagFn);
  EXPECT_TRUE(press(kLeft, kFlagFn | kNumericPad));
  EXPECT_EQ(posted(), (Posted{{kLeft, kFlagOption | kFlagFn | kNumericPad}}));
  EXPECT_TRUE(press(kLeft, kFlagFn | kNumericPad | kFlagShift));
  EXPECT_EQ(posted(), (Posted{{kLeft, kFlagOption | kFlagShift | kFlagFn | kNumericPad}}));
  flags(kFnKey, 0);
}

TEST_F(ScopedRulesTest, ASequenceIsPostedInOrderEachDownAndUp) {
  EXPECT_TRUE(press(kN, kFlagFn));
  const auto events = session->posted();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].keyCode, kFour);
  EXPECT_EQ(events[0].type, kEventKeyDown);
  EXPECT_EQ(events[1].keyCode, kFour);
  EXPECT_EQ(events[1].type, kEventKeyUp);
  EXPECT_EQ(events[0].flags, kFlagCommand | kFlagShift);
  EXPECT_EQ(events[2].keyCode, kSpace);
  EXPECT_EQ(events[2].flags, EventFlags{0});
  EXPECT_EQ(events[3].type, kEventKeyUp);
  for (const auto& e : events) EXPECT_EQ(e.userData, kEventMarker);
}

// Win (Option, swapped) pressed and released alone: Cmd+Space. Its own events still pass.
TEST_F(ScopedRulesTest, AModifierTappedAloneFiresWithinOneSecond) {
  struct Case {
    const char* what;
    std::chrono::milliseconds held;
    bool fires;
  };
  for (const Case& c : {Case{"quick", 50ms, true}, Case{"one second", 1000ms, true},
                        Case{"just over", 1001ms, false}}) {
    EXPECT_FALSE(flags(kOptionKey, kFlagOption)) << c.what;
    session->advance(c.held);
    EXPECT_FALSE(flags(kOptionKey, 0)) << c.what;
    EXPECT_EQ(posted(), (c.fires ? Posted{{kSpace, kFlagCommand}} : Posted{})) << c.what;
  }
}

TEST_F(ScopedRulesTest, ATapIsCancelledByAKeyAnotherModifierOrStop) {
  // A key between (even one no rule names).
  flags(kOptionKey, kFlagOption);
  EXPECT_FALSE(press(4, kFlagOption));
  flags(kOptionKey, 0);
  EXPECT_EQ(posted(), Posted{});
  // Another modifier between: Win+Shift, then both released.
  flags(kOptionKey, kFlagOption);
  flags(kShiftKey, kFlagOption | kFlagShift);
  flags(kShiftKey, kFlagOption);
  flags(kOptionKey, 0);
  EXPECT_EQ(posted(), Posted{});
  // Shift first, then Win: not alone either.
  flags(kShiftKey, kFlagShift);
  flags(kOptionKey, kFlagOption | kFlagShift);
  flags(kOptionKey, kFlagShift);
  flags(kShiftKey, 0);
  EXPECT_EQ(posted(), Posted{});
  // Stop between the press and the release.
  flags(kOptionKey, kFlagOption);
  manager->stop();
  flags(kOptionKey, 0);
  EXPECT_EQ(posted(), Posted{});
  // And a tap after all that still fires.
  flags(kOptionKey, kFlagOption);
  flags(kOptionKey, 0);
  EXPECT_EQ(posted(), (Posted{{kSpace, kFlagCommand}}));
}

TEST_F(ScopedRulesTest, ATappedModifierFollowsTheSwapsAndItsApplications) {
  // Alt is Command while Option and Command are swapped; its shortcut is for JetBrains only.
  flags(kCommandKey, kFlagCommand);
  flags(kCommandKey, 0);
  EXPECT_EQ(posted(), Posted{});
  session->setFrontmostApplication("com.jetbrains.pycharm");
  flags(kCommandKey, kFlagCommand);
  flags(kCommandKey, 0);
  EXPECT_EQ(posted(), (Posted{{kSpace, kFlagCommand | kFlagOption}}));
  // Unswapped, Command is Win.
  manager->swapOptionAndCommand = false;
  flags(kCommandKey, kFlagCommand);
  flags(kCommandKey, 0);
  EXPECT_EQ(posted(), (Posted{{kSpace, kFlagCommand}}));
  // A tap in an excluded application is left alone.
  session->setFrontmostApplication("com.apple.Terminal");
  flags(kCommandKey, kFlagCommand);
  flags(kCommandKey, 0);
  EXPECT_EQ(posted(), Posted{});
}

TEST_F(ScopedRulesTest, TheUntranslatedPathNeverAsksTheWorkspace) {
  const uint64_t queries = session->frontmostQueries();
  EXPECT_FALSE(press(4));
  EXPECT_FALSE(press(kF5));
  EXPECT_FALSE(flags(kShiftKey, kFlagShift));
  EXPECT_FALSE(flags(kShiftKey, 0));
  EXPECT_EQ(session->frontmostQueries(), queries);
}

}  // namespace
}  // namespace corvane::testing
