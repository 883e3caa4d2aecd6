// What the window shows of the rules in use: the built-in rows as the rules leave them, the
// user's own shortcuts as rows, and the line that says where nothing is translated.
#pragma once

#include <QString>
#include <span>
#include <string>
#include <vector>

#include "rules/RulesFile.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/ShortcutItem.h"

namespace corvane::ui {

// The built-in combinations a row of the reference stands for. Most rows stand for one. The
// row "Ctrl + Delete" stands for two: the Mac's Delete key is the backspace key (Ctrl+Backspace)
// and the forward delete key does the same (Ctrl+Delete). Empty for a row no rule has.
std::vector<BuiltinCombination> combinationsOfRow(const ShortcutItem& item);

// The rows of a built-in table under the rules (none: the rules are the built-ins alone). A
// row whose combinations are all switched off is dimmed and marked "off"; a row that stands for
// two of which one is off stays as it is, marked with the one that is off ("Ctrl+Backspace
// off"), because the other still works.
std::vector<SectionRow> builtinRows(std::span<const ShortcutItem> table, const RulesFile* rules);

// The user's shortcuts in file order: the keys to press ("Ctrl + Shift + Home", "Win (tapped
// alone)", "Ctrl + Left (Shift too)"), the title (or the keystrokes in Mac symbols, "⌘ + ⇧ + Up",
// or the application), and where it applies ("in browsers", "in Safari", "not in terminals").
std::vector<SectionRow> userShortcutRows(const RulesFile& rules);

// Applications by name where the workspace can tell them, joined by ", ". "browsers" stays
// "browsers".
QString applicationNames(const std::vector<std::string>& bundleIdentifiers);

// "Not translated in Terminal, iTerm2", or empty when the rules exclude no application.
QString exclusionLine(const RulesFile* rules);

}  // namespace corvane::ui
