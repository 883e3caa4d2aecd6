// Where the user's rules apply, as the decision's outcome tells it, and the untranslated path
// that never asks the workspace. What each application gets, withShift, sequences and modifiers
// tapped alone are replayed in tests/tools/golden/engine-scoped-rules.jsonl.
#include "rules/RuleCompiler.h"
#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

constexpr int64_t kC = 8, kTab = 48, kHome = 115, kF5 = 96, kShiftKey = 56;

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
    return outcome;
  }
};

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
