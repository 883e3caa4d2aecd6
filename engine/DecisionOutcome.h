// What the decision of one key-down came to, for a caller that wants to know why: which rule
// matched, or why none translated the key. The verdict does not depend on whether it is asked.
#pragma once

#include <cstdint>

#include "engine/Builtins.h"

namespace corvane {

enum class OutcomeCode : uint8_t {
  noShortcut,    // passed: no rule names these keys
  builtin,       // translated by a built-in rule; index: its BuiltinCombination, action: what
                 // it did (Ctrl+Delete deletes one word or the other)
  userShortcut,  // translated by one of the user's shortcuts; index: its place in the file
  excluded,      // passed: a rule matched, but the application in front is excluded
  disabled,      // passed: a built-in rule matched that the rules file switches off; index: it
  tapStopped,    // passed: no tap decided the key (translation stopped, or the tap is off)
  disabledHere,  // passed: a built-in rule matched that the rules file switches off in the
                 // application in front ("in"); index: its BuiltinCombination
  tappedAlone,   // a modifier pressed and released alone ran one of the user's shortcuts
                 // (a flags-changed record); index: its place in the file
  recorded,      // swallowed: the shortcut recorder took the key (or the modifier tapped alone)
};

inline constexpr uint16_t kNoRuleIndex = 0xFFFF;

struct DecisionOutcome {
  OutcomeCode code = OutcomeCode::noShortcut;
  uint16_t index = kNoRuleIndex;
  Action action = Action::none;

  friend bool operator==(const DecisionOutcome&, const DecisionOutcome&) = default;
};

}  // namespace corvane
