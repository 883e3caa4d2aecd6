// A decided key-down in words, for the key viewer and corvane-replay alike: the keys as pressed
// in Mac names, how Corvane reads them as Windows keys, and what the decision came to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DecisionOutcome.h"
#include "engine/EventTypes.h"

namespace corvane {

struct RulesFile;

// The keys as pressed: fn, then ⌃ ⌥ ⌘ ⇧ for the modifiers held, then the key's name from the
// rules file's key names ("fn ⌘F4", "⌃⌘Q", "Home"); a key without a name is "key 105".
std::string macKeysWords(int64_t keyCode, EventFlags flags);

// How the rules read the keys under the swap settings: the Windows modifiers and the key
// ("Ctrl+Home", "Alt+Tab", "H").
std::string windowsKeysWords(int64_t keyCode, EventFlags flags, bool swapFnAndControl,
                             bool swapOptionAndCommand);

// What the decision came to: "→ ⌘C  Copy", "→ your shortcut Reload (⌘R)", "→ opens Terminal",
// "passed: no shortcut", "passed: Terminal is excluded", "passed: Ctrl+C is off", "passed: the
// tap is stopped". rules: the rules decided with (nullptr: none); frontmostName: the application
// in front, for an exclusion; dock: the Dock's applications as they are now (nullptr: not known),
// for a Dock shortcut ("→ Dock position 7: the Dock has no 7th application").
std::string outcomeWords(DecisionOutcome outcome, const RulesFile* rules,
                         std::string_view frontmostName,
                         const std::vector<std::string>* dock = nullptr);

// The Dock position the outcome's shortcut opens; 0 when it is no Dock shortcut (then its words
// need no Dock).
uint8_t dockPositionOf(DecisionOutcome outcome, const RulesFile* rules);

}  // namespace corvane
