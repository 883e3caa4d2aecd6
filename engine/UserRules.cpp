// The user's rules file in the decision of a key-down, on the tap thread.
#include "engine/RuleReader.h"

namespace corvane {

EventRef KeyboardShortcutManager::decideWithRules(int64_t keyCode, EventFlags flags, EventRef event,
                                                  DecisionOutcome* outcome) {
  const RuleReader reader(*this);
  const RuleTable* table = reader.table();
  if (table == nullptr) [[unlikely]] {  // cleared since the caller looked
    return decideBuiltin(keyCode, flags, event, outcome);
  }
  // The front application's classes are worked out only for a shortcut that names applications
  // and once a key-down would be translated, then remembered until it or the table changes.
  FrontOf front(workspace_, *table);

  // The user's shortcuts first: those for the application in front, then the others.
  const CompiledShortcut* shortcut = nullptr;
  if (table->hasUserKey(keyCode)) {
    shortcut = firstApplying(*table, table->candidates(keyCode, windowsModifiers(flags)), front);
  }
  const auto pass = [&](DecisionOutcome why) {
    if (outcome != nullptr) *outcome = why;
    return passKeyDown(keyCode, event);
  };
  // Then the built-in rules, less the disabled ones.
  Action action = Action::none;
  DecisionOutcome decided{OutcomeCode::userShortcut, kNoRuleIndex};
  if (shortcut == nullptr) {
    const uint32_t disabled = table->disabled();
    bool fnIsCtrl = false;
    const BuiltinCombination combination = builtinCombination(keyCode, flags, disabled, fnIsCtrl);
    const auto index = static_cast<uint16_t>(combination);
    action = actionOf(combination, disabled, fnIsCtrl);
    if (action == Action::none) {
      return pass(combination == BuiltinCombination::none
                      ? DecisionOutcome{OutcomeCode::noShortcut, kNoRuleIndex}
                      : DecisionOutcome{OutcomeCode::disabled, index});
    }
    if (table->hasScopedDisables() && table->disabledIn(combination, front.get())) {
      return pass({OutcomeCode::disabledHere, index});
    }
    // Nothing is translated in an excluded application but the built-ins it keeps.
    if (table->hasExclusions() && table->excludes(front.get(), combination)) {
      return pass({OutcomeCode::excluded, kNoRuleIndex});
    }
    decided = {OutcomeCode::builtin, index, action};
  } else {
    // A shortcut written for the application in front applies even where it is excluded.
    if (shortcut->apps == kNoScope && table->hasExclusions() && table->excludes(front.get())) {
      return pass({OutcomeCode::excluded, kNoRuleIndex});
    }
    decided.index = static_cast<uint16_t>(shortcut->index);
  }
  if (outcome != nullptr) *outcome = decided;
  if (shortcut != nullptr) {
    recordTranslated(keyCode, Action::none,
                     shortcut->opens || shortcut->keystrokeCount != 1 ? -1 : shortcut->keys[0]);
    performShortcut(*shortcut);
  } else {
    recordTranslated(keyCode, action);
    perform(action);
  }
  return nullptr;
}

void KeyboardShortcutManager::performShortcut(const CompiledShortcut& shortcut) {
  // One test keeps the keystrokes' path as short as before Dock positions: what posts nothing
  // opens an application, by its path or by its place in the Dock.
  if (shortcut.keystrokeCount == 0) {
    if (shortcut.opens) {
      openOnMainQueue(*shortcut.open);
    } else {
      openDockApplicationOnMainQueue(shortcut.dock);
    }
    return;
  }
  for (size_t i = 0; i < shortcut.keystrokeCount; ++i) {
    postKeystrokeWithFlags(shortcut.flags[i], shortcut.keys[i]);
  }
}

}  // namespace corvane
