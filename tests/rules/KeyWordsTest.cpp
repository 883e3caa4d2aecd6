// A decided key-down's outcome in words, every kind from one table. The keys as pressed and
// their Windows reading under each swap setting are replayed in tests/tools/press/words.jsonl.
#include <gtest/gtest.h>

#include "rules/KeyWords.h"
#include "rules/RulesFile.h"

namespace corvane {
namespace {

constexpr uint16_t index(BuiltinCombination c) {
  return static_cast<uint16_t>(c);
}

TEST(KeyWordsTest, Outcomes) {
  RulesParse parse = parseRules(R"({
      "disable": [{"name": "Ctrl+C", "in": ["terminals", "com.apple.Notes"]}],
      "shortcuts": [
      {"press": "F5", "send": "Cmd+R", "title": "Reload"},
      {"press": "Ctrl+O", "send": "Cmd+Shift+O"},
      {"press": "Ctrl+Plus", "send": "Cmd+Plus"},
      {"press": "Win+T", "open": "/System/Applications/Utilities/Terminal.app"},
      {"press": "Win+M", "open": "/Applications/Mail.app", "title": "Post"},
      {"press": "Win", "send": "Cmd+Space"}]})");
  ASSERT_TRUE(parse.rules) << parse.error.describe();
  const RulesFile* rules = &*parse.rules;
  struct Case {
    DecisionOutcome outcome;
    const RulesFile* rules;
    const char* words;
  };
  const Case cases[] = {
      {{OutcomeCode::builtin, index(BuiltinCombination::ctrlDelete), Action::deleteWord},
       nullptr,
       "→ ⌥Backspace  Delete Previous Word"},
      {{OutcomeCode::userShortcut, 0}, rules, "→ your shortcut Reload (⌘R)"},
      {{OutcomeCode::userShortcut, 1}, rules, "→ your shortcut ⌘⇧O"},
      {{OutcomeCode::userShortcut, 2}, rules, "→ your shortcut ⌘Plus"},  // as the file spells it
      {{OutcomeCode::userShortcut, 3}, rules, "→ opens Terminal"},
      {{OutcomeCode::userShortcut, 4}, rules, "→ your shortcut Post (opens Mail)"},
      {{OutcomeCode::tappedAlone, 5}, rules, "→ your shortcut ⌘Space, Win tapped alone"},
      {{OutcomeCode::disabledHere, index(BuiltinCombination::ctrlC)},
       rules,
       "passed: Ctrl+C is off (in terminals, com.apple.Notes)"},
      {{OutcomeCode::userShortcut, 6}, rules, "→ your shortcut"},  // the rules changed since
      {{OutcomeCode::userShortcut, 0}, nullptr, "→ your shortcut"},
      {{OutcomeCode::noShortcut, kNoRuleIndex}, nullptr, "passed: no shortcut"},
      {{OutcomeCode::excluded, kNoRuleIndex}, rules, "passed: Terminal is excluded"},
      {{OutcomeCode::disabled, index(BuiltinCombination::ctrlC)}, rules, "passed: Ctrl+C is off"},
      {{OutcomeCode::disabled, index(BuiltinCombination::altF4)}, rules, "passed: Alt+F4 is off"},
      {{OutcomeCode::tapStopped, kNoRuleIndex}, nullptr, "passed: the tap is stopped"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(outcomeWords(c.outcome, c.rules, "Terminal"), c.words)
        << static_cast<int>(c.outcome.code) << " " << c.outcome.index;
  }
  EXPECT_EQ(outcomeWords({OutcomeCode::excluded, kNoRuleIndex}, nullptr, ""),
            "passed: this application is excluded");
}

}  // namespace
}  // namespace corvane
