// Reading the keys of a rules file: "press" (Windows keys), "send" (Mac keystrokes, one or a
// sequence) and the built-in shortcuts by any spelling "press" accepts.
#pragma once

#include <optional>
#include <string>

#include "rules/JsonReader.h"
#include "rules/RulesFile.h"

namespace corvane::reading {

// "Ctrl+Shift+Home", or one of Ctrl, Win, Alt alone (tapped). Fills the shortcut's press.
void readPress(const json::Value& value, UserShortcut& shortcut);
// "Cmd+O", or a list of one to kMaxSequence such texts. Fills the shortcut's keystrokes.
void readSend(const json::Value& value, UserShortcut& shortcut);
// A built-in shortcut by its Windows keys ("Ctrl+C", "ctrl + del", "Shift+Ctrl+Tab").
BuiltinCombination readBuiltin(const json::Value& value, std::string_view what);
// A Mac keystroke given as plain text (corvane-replay --press), read as "send" reads it: the same
// names, spaces around +, and the same messages, with what naming the text in them.
std::optional<Keystroke> readKeystrokeText(std::string_view text, std::string_view what,
                                           std::string& error);

}  // namespace corvane::reading
