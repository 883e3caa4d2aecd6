// The shortcut rules: which Windows-style combination a key-down is, under the swap settings.
#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"

namespace corvane {
namespace {
constexpr EventFlags kControlOptionCommand = kFlagControl | kFlagOption | kFlagCommand;
constexpr EventFlags kAnyModifierButShift = kControlOptionCommand | kFlagFn;
}  // namespace

BuiltinCombination KeyboardShortcutManager::builtinCombination(int64_t keyCode, EventFlags flags,
                                                               uint32_t disabled, bool& fnIsCtrl) {
  fnIsCtrl = false;
  if (!isNamedKey(keyCode)) return BuiltinCombination::none;  // spares the modifier work below
  // Plain typing, with or without Shift, reads no swap setting.
  uint8_t held = (flags & kFlagShift) != 0 ? kModShift : 0;
  bool optionIsWin = false;
  if ((flags & kAnyModifierButShift) != 0) {
    fnIsCtrl = swapFnAndControl.get();
    optionIsWin = swapOptionAndCommand.get();
    held = windowsModifiersOf(flags, fnIsCtrl, optionIsWin);
  }
  // Exactly the built-in's Ctrl, Win and Alt; Shift as it says.
  const uint8_t ctrlWinAlt = held & (kModCtrl | kModWin | kModAlt);
  const bool shift = (held & kModShift) != 0;
  for (const uint8_t index : kBuiltinsOfKey[static_cast<size_t>(keyCode)]) {
    if (index == kNoBuiltin) break;
    const Builtin& b = kBuiltins[index];
    const auto combination = static_cast<BuiltinCombination>(index);
    if (b.modifiers != ctrlWinAlt) {
      if (b.special == Builtin::Special::commandAloneToo && optionIsWin &&
          (flags & kControlOptionCommand) == kFlagCommand) {
        return combination;
      }
      continue;
    }
    if (b.shift == (shift ? Builtin::Shift::never : Builtin::Shift::must)) continue;
    // The one rule that asks which application is frontmost, and only once the rest holds. A
    // disabled one is named without asking: it translates nothing either way.
    if (b.special == Builtin::Special::inBrowser &&
        (disabled & combinationBit(combination)) == 0 && !isBrowserFrontmost()) {
      continue;
    }
    return combination;
  }
  return BuiltinCombination::none;
}

Action KeyboardShortcutManager::actionOf(BuiltinCombination combination, uint32_t disabled,
                                         bool fnIsCtrl) {
  if (combination == BuiltinCombination::none || (disabled & combinationBit(combination)) != 0) {
    return Action::none;
  }
  const Builtin& b = builtinEntry(combination);
  if (b.special == Builtin::Special::previousWordWhenFnIsCtrl && fnIsCtrl) {
    return Action::deleteWord;
  }
  return b.action;
}

Action KeyboardShortcutManager::actionFor(int64_t keyCode, EventFlags flags, uint32_t disabled) {
  bool fnIsCtrl = false;
  const BuiltinCombination combination = builtinCombination(keyCode, flags, disabled, fnIsCtrl);
  return actionOf(combination, disabled, fnIsCtrl);
}

std::optional<std::string_view> KeyboardShortcutManager::actionForKeyDown(int64_t keyCode,
                                                                          EventFlags flags) {
  const Action action = actionFor(keyCode, flags);
  if (action == Action::none) return std::nullopt;
  return actionName(action);
}

bool KeyboardShortcutManager::isBrowserFrontmost() {
  const std::string_view identifier = workspace_.frontmostBundleIdentifier();
  for (std::string_view browser : kBrowserBundleIdentifiers) {
    if (identifier == browser) return true;
  }
  return false;
}

}  // namespace corvane
