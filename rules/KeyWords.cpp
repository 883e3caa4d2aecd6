#include "rules/KeyWords.h"

#include <array>

#include "engine/Builtins.h"
#include "rules/KeyNames.h"
#include "rules/RulesFile.h"

namespace corvane {
namespace {

// The modifier keys by the names the rules file gives them (kVK_Command ... kVK_Function), and
// the flag each one sets.
struct ModifierKey {
  int64_t code;
  std::string_view name;
  EventFlags flag;
};
constexpr std::array<ModifierKey, 10> kModifierKeys = {{
    {54, "Cmd", kFlagCommand},
    {55, "Cmd", kFlagCommand},
    {56, "Shift", kFlagShift},
    {57, "CapsLock", 0},
    {58, "Option", kFlagOption},
    {59, "Control", kFlagControl},
    {60, "Shift", kFlagShift},
    {61, "Option", kFlagOption},
    {62, "Control", kFlagControl},
    {63, "Fn", kFlagFn},
}};

const ModifierKey* modifierKey(int64_t keyCode) {
  for (const ModifierKey& key : kModifierKeys) {
    if (key.code == keyCode) return &key;
  }
  return nullptr;
}

std::string keyName(int64_t keyCode) {
  if (const ModifierKey* modifier = modifierKey(keyCode)) return std::string(modifier->name);
  if (keyCode >= 0 && keyCode < 128) {
    const std::string_view name = keyNameOf(static_cast<uint8_t>(keyCode));
    if (!name.empty()) return std::string(name);
  }
  return "key " + std::to_string(keyCode);
}

// The Mac modifiers in symbols, fn first and apart from the rest.
std::string macModifierSymbols(EventFlags flags) {
  std::string out;
  if ((flags & kFlagFn) != 0) out += "fn ";
  if ((flags & kFlagControl) != 0) out += "⌃";
  if ((flags & kFlagOption) != 0) out += "⌥";
  if ((flags & kFlagCommand) != 0) out += "⌘";
  if ((flags & kFlagShift) != 0) out += "⇧";
  return out;
}

}  // namespace

std::string macKeysWords(int64_t keyCode, EventFlags flags) {
  return macModifierSymbols(flags) + keyName(keyCode);
}

std::string windowsKeysWords(int64_t keyCode, EventFlags flags, bool swapFnAndControl,
                             bool swapOptionAndCommand) {
  // A modifier key by itself (pressed, released, tapped alone): the Windows key it plays.
  if (const ModifierKey* modifier = modifierKey(keyCode)) {
    const uint8_t plays =
        windowsModifiersOf(modifier->flag, swapFnAndControl, swapOptionAndCommand);
    for (const ModifierName& windows : windowsModifierNames()) {
      if (plays == windows.bit) return std::string(windows.name);
    }
    return std::string(modifier->name);  // plays none (Control while Fn is Ctrl, Caps Lock)
  }
  const uint8_t held = windowsModifiersOf(flags, swapFnAndControl, swapOptionAndCommand);
  std::string out;
  for (const ModifierName& modifier : windowsModifierNames()) {
    if ((held & modifier.bit) != 0) {
      out += modifier.name;
      out += '+';
    }
  }
  return out + keyName(keyCode);
}

uint8_t dockPositionOf(DecisionOutcome outcome, const RulesFile* rules) {
  if (outcome.code != OutcomeCode::userShortcut && outcome.code != OutcomeCode::tappedAlone)
    return 0;
  if (rules == nullptr || outcome.index >= rules->shortcuts.size()) return 0;
  return rules->shortcuts[outcome.index].dock;
}

namespace {

// "→ Dock position 2 (com.apple.mail)", or what the Dock lacks.
std::string dockWords(uint8_t position, const std::vector<std::string>* dock) {
  std::string words = "Dock position " + std::to_string(position);
  if (dock == nullptr) return words;
  if (position <= dock->size()) return words + " (" + (*dock)[position - 1] + ")";
  const unsigned tens = position % 100 / 10;
  const unsigned ones = position % 10;
  const char* suffix = tens == 1 || ones > 3 || ones == 0 ? "th"
                       : ones == 1                        ? "st"
                       : ones == 2                        ? "nd"
                                                          : "rd";
  return words + ": the Dock has no " + std::to_string(position) + suffix + " application";
}

}  // namespace

std::string outcomeWords(DecisionOutcome outcome, const RulesFile* rules,
                         std::string_view frontmostName, const std::vector<std::string>* dock) {
  switch (outcome.code) {
    case OutcomeCode::noShortcut:
      return "passed: no shortcut";
    case OutcomeCode::tapStopped:
      return "passed: the tap is stopped";
    case OutcomeCode::recorded:
      return "recorded: nothing translated";
    case OutcomeCode::excluded:
      return "passed: " + std::string(frontmostName.empty() ? "this application" : frontmostName) +
             " is excluded";
    case OutcomeCode::disabled:
      if (outcome.index < kBuiltinCombinationCount) {
        return "passed: " + std::string(kBuiltinCombinationNames[outcome.index]) + " is off";
      }
      return "passed: the shortcut is off";
    case OutcomeCode::disabledHere: {
      if (outcome.index >= kBuiltinCombinationCount) return "passed: the shortcut is off here";
      const auto combination = static_cast<BuiltinCombination>(outcome.index);
      std::string words =
          "passed: " + std::string(kBuiltinCombinationNames[outcome.index]) + " is off";
      const ScopedDisable* scoped = rules != nullptr ? rules->disabledOnlyIn(combination) : nullptr;
      if (scoped == nullptr) return words;
      std::string where;
      for (const std::string& name : scoped->in.written) {
        where += where.empty() ? "" : ", ";
        where += name;
      }
      return words + " (in " + where + ")";
    }
    case OutcomeCode::builtin: {
      // The words of what was done: Ctrl+Delete's word depends on who played Ctrl.
      if (outcome.action == Action::none) return "→ a built-in shortcut";
      const ActionEntry& action = actionEntry(outcome.action);
      if (action.work.kind == Work::Kind::open) return "→ opens " + std::string(action.title);
      return "→ " + macKeysWords(action.work.key, action.work.flags) + "  " +
             std::string(action.title);
    }
    case OutcomeCode::userShortcut:
    case OutcomeCode::tappedAlone: {
      // The rules may have changed since the key was decided: an index past them names nothing.
      if (rules == nullptr || outcome.index >= rules->shortcuts.size()) return "→ your shortcut";
      const UserShortcut& shortcut = rules->shortcuts[outcome.index];
      if (shortcut.dock != 0) {
        const std::string where = dockWords(shortcut.dock, dock);
        if (shortcut.title.empty()) return "→ " + where;
        return "→ your shortcut " + shortcut.title + " (" + where + ")";
      }
      if (shortcut.opens) {
        UserShortcut untitled;
        untitled.opens = true;
        untitled.open = shortcut.open;
        const std::string application = untitled.displayTitle();  // the application's name
        if (shortcut.title.empty()) return "→ opens " + application;
        return "→ your shortcut " + shortcut.title + " (opens " + application + ")";
      }
      std::string keystroke;
      for (const Keystroke& each : shortcut.keystrokes) {
        if (!keystroke.empty()) keystroke += ", ";
        // The key as the file spells it (Plus stays Plus), after the modifiers' symbols.
        const std::string_view key =
            std::string_view(each.written).substr(each.written.rfind('+') + 1);
        keystroke += macModifierSymbols(each.modifiers) + std::string(key);
      }
      if (outcome.code == OutcomeCode::tappedAlone)
        keystroke += ", " + shortcut.press + " tapped alone";
      if (shortcut.title.empty()) return "→ your shortcut " + keystroke;
      return "→ your shortcut " + shortcut.title + " (" + keystroke + ")";
    }
  }
  return {};
}

}  // namespace corvane
