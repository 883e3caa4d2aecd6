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
  const auto code = static_cast<uint64_t>(keyCode);
  const uint8_t row = code < 128 ? kBuiltinMatch.rowOf[code] : 0;
  if (row == 0) return BuiltinCombination::none;  // spares the modifier work below
  // Plain typing, with or without Shift, reads no swap setting.
  uint8_t held = (flags & kFlagShift) != 0 ? kModShift : 0;
  bool optionIsWin = false;
  if ((flags & kAnyModifierButShift) != 0) {
    fnIsCtrl = swapFnAndControl.get();
    optionIsWin = swapOptionAndCommand.get();
    held = windowsModifiersOf(flags, fnIsCtrl, optionIsWin);
  }
  uint8_t index = kBuiltinMatch.byHeld[row][held];
  if (index == kNoBuiltin) {
    // Fn+Command+F4 with both swaps on reads as Ctrl+Alt+F4: the raw Command bit alone among
    // Control, Option and Command still closes the window.
    if (!optionIsWin || (flags & kControlOptionCommand) != kFlagCommand) {
      return BuiltinCombination::none;
    }
    index = kBuiltinMatch.commandAloneToo[row];
    if (index == kNoBuiltin) return BuiltinCombination::none;
  }
  const auto combination = static_cast<BuiltinCombination>(index);
  // The one rule that asks which application is frontmost, and only once the rest holds. A
  // disabled one is named without asking: it translates nothing either way.
  if (kBuiltinMatch.special[index] == Builtin::Special::inBrowser &&
      (disabled & combinationBit(combination)) == 0 && !isBrowserFrontmost()) {
    return BuiltinCombination::none;
  }
  return combination;
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
