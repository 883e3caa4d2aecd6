// A decided key-down in words: the keys as pressed, their Windows reading under each swap
// setting, and every outcome, from one table.
#include <gtest/gtest.h>

#include "rules/KeyWords.h"
#include "rules/RulesFile.h"

namespace corvane {
namespace {

constexpr uint16_t index(BuiltinCombination c) {
  return static_cast<uint16_t>(c);
}

TEST(KeyWordsTest, KeysAsPressedAndAsRead) {
  struct Case {
    int64_t keyCode;
    EventFlags flags;
    bool fnIsCtrl, optionIsWin;
    const char* mac;
    const char* windows;
  };
  const Case cases[] = {
      {4, 0, true, true, "H", "H"},
      {8, kFlagFn, true, true, "fn C", "Ctrl+C"},
      {8, kFlagControl, true, true, "⌃C", "C"},  // Control plays no part while Fn is Ctrl
      {8, kFlagControl, false, true, "⌃C", "Ctrl+C"},
      {115, kFlagFn, true, true, "fn Home", "Ctrl+Home"},  // Fn+Left on a laptop
      {115, kFlagFn, false, true, "fn Home", "Home"},
      {48, kFlagCommand, true, true, "⌘Tab", "Alt+Tab"},
      {48, kFlagCommand, true, false, "⌘Tab", "Win+Tab"},
      {118, kFlagFn | kFlagCommand, true, true, "fn ⌘F4", "Ctrl+Alt+F4"},
      {12, kFlagControl | kFlagCommand, false, false, "⌃⌘Q", "Ctrl+Win+Q"},
      {17, kFlagFn | kFlagControl | kFlagOption | kFlagCommand | kFlagShift, true, true, "fn ⌃⌥⌘⇧T",
       "Ctrl+Win+Alt+Shift+T"},
      {51, kFlagOption, true, false, "⌥Backspace", "Alt+Backspace"},
      {105, 0, true, true, "PrintScreen", "PrintScreen"},  // F13 to a Mac: the PC's name
      {58, 0, true, true, "Option", "Win"},                // a modifier key by itself
      {58, 0, true, false, "Option", "Alt"},
      {59, 0, true, true, "Control", "Control"},  // plays no Windows key while Fn is Ctrl
      {10, kFlagShift, true, true, "⇧key 10", "Shift+key 10"},  // the § key has no name
      {-3, 0, true, true, "key -3", "key -3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(macKeysWords(c.keyCode, c.flags), c.mac) << c.keyCode;
    EXPECT_EQ(windowsKeysWords(c.keyCode, c.flags, c.fnIsCtrl, c.optionIsWin), c.windows)
        << c.keyCode;
  }
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
