// The untranslated path never asks the workspace which application is frontmost: under rules
// that say where they apply, and under rules with an exclusion list and disabled built-ins;
// asking a decision for its outcome asks no more. What each application gets, and the outcome
// of each key-down, are replayed in tests/tools/golden/engine-scoped-rules.jsonl (with
// --explain: press/scoped-rules-explain.out), engine-user-rules.jsonl and press/explain.jsonl
// (with and without --explain: the verdicts do not depend on being asked).
#include "rules/RuleCompiler.h"
#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

constexpr int64_t kO = 31, kH = 4, kTab = 48, kF5 = 96, kShiftKey = 56;

constexpr const char* kScopedRules = R"({
  "groups": {"editors": ["com.microsoft.VSCode", "jetbrains"], "jetbrains": ["com.jetbrains.*"]},
  "exclude": ["terminals", {"apps": ["remote"], "keep": ["Alt+Tab", "win + e"]}],
  "disable": [{"name": "ctrl+c", "in": ["editors"]}, "Shift+Ctrl+Tab"],
  "shortcuts": [
    {"press": "Home", "send": "Cmd+Left"},
    {"press": "Ctrl+O", "send": "Cmd+O", "except": ["editors"]},
    {"press": "Alt", "send": "Cmd+Option+Space", "apps": ["jetbrains"]}
  ]})";

// Shortcuts on O under five sets of modifiers; Shift+Tab, a browser's built-in, is off.
constexpr const char* kUserRules = R"({
  "exclude": ["com.apple.Terminal"],
  "disable": ["Ctrl+C", "Shift+Tab"],
  "shortcuts": [
    {"press": "Ctrl+O", "send": "Cmd+O"},
    {"press": "Ctrl+Shift+O", "send": "Cmd+Shift+O"},
    {"press": "Win+O", "send": "Option+O"},
    {"press": "Alt+O", "send": "Control+O"},
    {"press": "Win+Alt+Shift+O", "send": "Fn+O"},
    {"press": "F5", "send": "Cmd+R", "apps": ["browsers"]}
  ]})";

struct Press {
  EventType type;
  int64_t key;
  EventFlags flags;
};

TEST_F(EngineTest, TheUntranslatedPathNeverAsksTheWorkspace) {
  const EventFlags modifierBits[] = {kFlagFn, kFlagOption, kFlagCommand, kFlagShift};
  std::vector<Press> userPresses = {{kEventKeyDown, kH, 0}, {kEventKeyDown, kTab, kFlagShift}};
  for (unsigned set = 0; set < 16; ++set) {  // O under every set of Windows modifiers no rule names
    if (set == 1 || set == 2 || set == 4 || set == 9 || set == 14) continue;
    EventFlags flags = 0;
    for (unsigned bit = 0; bit < 4; ++bit) flags |= (set & (1u << bit)) ? modifierBits[bit] : 0;
    userPresses.push_back({kEventKeyDown, kO, flags});
  }
  const std::pair<const char*, std::vector<Press>> cases[] = {
      {kScopedRules,
       {{kEventKeyDown, kH, 0},
        {kEventKeyDown, kF5, 0},
        {kEventFlagsChanged, kShiftKey, kFlagShift},
        {kEventFlagsChanged, kShiftKey, 0}}},
      {kUserRules, userPresses},
  };
  for (const auto& [text, presses] : cases) {
    RulesParse parse = parseRules(text);
    ASSERT_TRUE(parse.rules) << parse.error.describe();
    setRules(*manager, std::move(*parse.rules));
    session->setFrontmostApplication("com.apple.Safari");
    const uint64_t queries = session->frontmostQueries();
    for (const Press& p : presses) {
      swallows(p.type, p.key, p.flags);
      if (p.type == kEventKeyDown) swallows(kEventKeyUp, p.key, p.flags);
      EXPECT_EQ(session->frontmostQueries(), queries) << p.key << " flags " << std::hex << p.flags;
    }
  }
}

// Each key decided by a new manager (a manager remembers the application classes it has seen),
// with the built-ins alone and with the user's rules.
TEST_F(EngineTest, AskingForTheOutcomeAsksTheWorkspaceNoMore) {
  RulesParse parse = parseRules(kUserRules);
  ASSERT_TRUE(parse.rules) << parse.error.describe();
  for (const bool withRules : {false, true}) {
    for (const char* frontmost : {"com.apple.Safari", "com.apple.Terminal", "com.apple.TextEdit"}) {
      session->setFrontmostApplication(frontmost);
      for (const Press& p : {Press{kEventKeyDown, kF5, 0}, Press{kEventKeyDown, kTab, kFlagShift},
                             Press{kEventKeyDown, kO, kFlagFn}, Press{kEventKeyDown, kH, 0}}) {
        uint64_t queries[2] = {};
        for (int asked = 0; asked < 2; ++asked) {
          auto decider = std::make_shared<KeyboardShortcutManager>(session);
          if (withRules) setRules(*decider, *parse.rules);
          DecisionOutcome outcome;
          const uint64_t before = session->frontmostQueries();
          EventRef event = makeEvent(p.key, p.flags);
          asked ? decider->handleEvent(p.type, event, outcome)
                : decider->handleEvent(p.type, event);
          queries[asked] = session->frontmostQueries() - before;
        }
        EXPECT_EQ(queries[1], queries[0])
            << frontmost << " key " << p.key << " rules " << withRules;
      }
    }
  }
}

TEST_F(EngineTest, MarkedKeysAndOtherTypesLeaveTheOutcomeAlone) {
  const DecisionOutcome untouched{OutcomeCode::tapStopped, 7};
  DecisionOutcome outcome = untouched;
  EXPECT_NE(manager->handleEvent(kEventKeyDown, makeEvent(8, kFlagFn, kEventMarker), outcome),
            nullptr);
  EXPECT_NE(manager->handleEvent(kEventFlagsChanged, makeEvent(63, kFlagFn), outcome), nullptr);
  EXPECT_NE(manager->handleEvent(kEventKeyUp, makeEvent(8, kFlagFn), outcome), nullptr);
  EXPECT_EQ(outcome, untouched);
}

}  // namespace
}  // namespace corvane::testing
