// What a key-down's decision came to: the outcome for each kind of answer, with and without a
// rules file, and the verdict the same whether the outcome is asked for or not.
#include "rules/KeyWords.h"
#include "rules/RuleCompiler.h"
#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

constexpr const char* kRules = R"({
  "exclude": ["com.apple.Terminal"],
  "disable": ["Ctrl+C", "Shift+Tab"],
  "shortcuts": [
    {"press": "Ctrl+O", "send": "Cmd+O"},
    {"press": "F5", "send": "Cmd+R", "apps": ["browsers"], "title": "Reload"},
    {"press": "Win+T", "open": "/System/Applications/Utilities/Terminal.app"}
  ]})";

constexpr int64_t kC = 8, kV = 9, kO = 31, kT = 17, kTab = 48, kF5 = 96, kF2 = 120, kQ = 12;
constexpr auto kNone = kNoRuleIndex;
constexpr auto builtin(BuiltinCombination c) {
  return DecisionOutcome{OutcomeCode::builtin, static_cast<uint16_t>(c), builtinEntry(c).action};
}

struct Case {
  const char* what;
  bool withRules;
  const char* frontmost;  // nullptr: none
  int64_t keyCode;
  EventFlags flags;
  DecisionOutcome outcome;
  bool swallowed;
};

// Both swap settings on: Fn plays Ctrl, Option Win, Command Alt.
const Case kCases[] = {
    {"plain typing", false, nullptr, kQ, 0, {OutcomeCode::noShortcut, kNone}, false},
    {"a named key without a rule", false, nullptr, kC, 0, {OutcomeCode::noShortcut, kNone}, false},
    {"Ctrl+C", false, nullptr, kC, kFlagFn, builtin(BuiltinCombination::ctrlC), true},
    {"Alt+F4", false, nullptr, 118, kFlagCommand, builtin(BuiltinCombination::altF4), true},
    {"Shift+Tab in a browser", false, "com.apple.Safari", kTab, kFlagShift,
     builtin(BuiltinCombination::shiftTab), true},
    {"Shift+Tab elsewhere",
     false,
     "com.apple.TextEdit",
     kTab,
     kFlagShift,
     {OutcomeCode::noShortcut, kNone},
     false},
    {"a user shortcut", true, nullptr, kO, kFlagFn, {OutcomeCode::userShortcut, 0}, true},
    {"a user shortcut in its application",
     true,
     "com.google.Chrome",
     kF5,
     0,
     {OutcomeCode::userShortcut, 1},
     true},
    {"a user shortcut outside its applications",
     true,
     "com.apple.TextEdit",
     kF5,
     0,
     {OutcomeCode::noShortcut, kNone},
     false},
    {"a user shortcut that opens",
     true,
     nullptr,
     kT,
     kFlagOption,
     {OutcomeCode::userShortcut, 2},
     true},
    {"a built-in beside the rules", true, nullptr, kV, kFlagFn, builtin(BuiltinCombination::ctrlV),
     true},
    {"a disabled built-in",
     true,
     nullptr,
     kC,
     kFlagFn,
     {OutcomeCode::disabled, static_cast<uint16_t>(BuiltinCombination::ctrlC)},
     false},
    {"a disabled Shift+Tab, not asking for the browser",
     true,
     "com.apple.Safari",
     kTab,
     kFlagShift,
     {OutcomeCode::disabled, static_cast<uint16_t>(BuiltinCombination::shiftTab)},
     false},
    {"a built-in in an excluded application",
     true,
     "com.apple.Terminal",
     kV,
     kFlagFn,
     {OutcomeCode::excluded, kNone},
     false},
    {"a user shortcut in an excluded application",
     true,
     "com.apple.Terminal",
     kO,
     kFlagFn,
     {OutcomeCode::excluded, kNone},
     false},
    {"no rule in an excluded application",
     true,
     "com.apple.Terminal",
     kQ,
     kFlagFn,
     {OutcomeCode::noShortcut, kNone},
     false},
    {"F2 with the rules", true, nullptr, kF2, 0, builtin(BuiltinCombination::f2), true},
};

class DecisionOutcomeTest : public EngineTest, public ::testing::WithParamInterface<Case> {};

TEST_P(DecisionOutcomeTest, TellsWhatTheDecisionCameTo) {
  const Case& c = GetParam();
  // A second manager decides the same key without being asked: the verdicts must agree.
  auto unasked = std::make_shared<KeyboardShortcutManager>(session);
  if (c.withRules) {
    for (auto* m : {manager.get(), unasked.get()}) {
      RulesParse parse = parseRules(kRules);
      ASSERT_TRUE(parse.rules) << parse.error.describe();
      setRules(*m, std::move(*parse.rules));
    }
  }
  if (c.frontmost != nullptr) session->setFrontmostApplication(c.frontmost);
  const uint64_t queriesBefore = session->frontmostQueries();
  DecisionOutcome outcome{OutcomeCode::tapStopped, 12345};
  EventRef event = makeEvent(c.keyCode, c.flags);
  EventRef verdict = manager->handleEvent(kEventKeyDown, event, outcome);
  const uint64_t queries = session->frontmostQueries() - queriesBefore;
  EXPECT_EQ(outcome, c.outcome) << c.what;
  EXPECT_EQ(verdict == nullptr, c.swallowed) << c.what;
  EXPECT_EQ(unasked->handleEvent(kEventKeyDown, makeEvent(c.keyCode, c.flags)) == nullptr,
            c.swallowed)
      << c.what;
  EXPECT_EQ(session->frontmostQueries() - queriesBefore, 2 * queries)
      << c.what << ": asking for the outcome asks the workspace no more than deciding does";
}

INSTANTIATE_TEST_SUITE_P(Outcomes, DecisionOutcomeTest, ::testing::ValuesIn(kCases));

TEST_F(EngineTest, MarkedKeysAndOtherTypesLeaveTheOutcomeAlone) {
  const DecisionOutcome untouched{OutcomeCode::tapStopped, 7};
  DecisionOutcome outcome = untouched;
  EXPECT_NE(manager->handleEvent(kEventKeyDown, makeEvent(kC, kFlagFn, kEventMarker), outcome),
            nullptr);
  EXPECT_NE(manager->handleEvent(kEventFlagsChanged, makeEvent(63, kFlagFn), outcome), nullptr);
  EXPECT_NE(manager->handleEvent(kEventKeyUp, makeEvent(kC, kFlagFn), outcome), nullptr);
  EXPECT_EQ(outcome, untouched);
}

}  // namespace
}  // namespace corvane::testing
