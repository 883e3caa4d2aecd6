// A rules file made into the engine's compiled table, and published to a manager.
#pragma once

#include <memory>

#include "engine/RuleTable.h"
#include "rules/RulesFile.h"

namespace corvane {

class KeyboardShortcutManager;

// The table the tap thread decides with, for these rules (which it keeps).
std::unique_ptr<const RuleTable> compileRules(RulesFile rules);

// Compiles the rules and publishes them to the manager (main thread).
void setRules(KeyboardShortcutManager& manager, RulesFile rules);

}  // namespace corvane
