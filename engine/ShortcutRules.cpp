// The shortcut rules: which Windows-style combination a key-down is, under the swap settings.
#include <array>

#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"

namespace corvane {
namespace {
constexpr EventFlags kControlOptionCommand = kFlagControl | kFlagOption | kFlagCommand;
constexpr EventFlags kAnyModifierButShift = kControlOptionCommand | kFlagFn;

// The action of each built-in combination.
constexpr std::array<Action, kBuiltinCombinationCount> kCombinationActions = {
    Action::openFinder,
    Action::copy,
    Action::cut,
    Action::paste,
    Action::undo,
    Action::redo,
    Action::selectAll,
    Action::find,
    Action::save,
    Action::print,
    Action::newDoc,
    Action::newTab,
    Action::closeTab,
    Action::deleteWord,
    Action::deleteWord,
    Action::focusAddressBar,
    Action::switchTabNext,
    Action::reopenTab,
    Action::openActivityMonitor,
    Action::reopenTab,
    Action::getInfo,
    Action::switchApps,
    Action::closeWindow,
    Action::lockComputer,
    Action::renameFile,
};
// The built-in combination a key-down with modifiers is, or none.
BuiltinCombination combinationFor(KeyboardShortcutManager& manager, int64_t keyCode,
                                  EventFlags flags, bool shiftTabOn, bool& fnIsCtrl) {
  using C = BuiltinCombination;
  fnIsCtrl = manager.swapFnAndControl.get();
  const bool optionIsWin = manager.swapOptionAndCommand.get();

  const uint8_t held = windowsModifiersOf(flags, fnIsCtrl, optionIsWin);
  const bool shift = (held & kModShift) != 0;

  // Exactly one of Ctrl, Win and Alt, or none of them; Shift is tested separately.
  const uint8_t ctrlWinAlt = held & (kModCtrl | kModWin | kModAlt);
  const bool onlyCtrl = ctrlWinAlt == kModCtrl;
  const bool onlyWin = ctrlWinAlt == kModWin;
  const bool onlyAlt = ctrlWinAlt == kModAlt;
  const bool noneHeld = ctrlWinAlt == 0;

  auto ctrlGives = [onlyCtrl](C combination) { return onlyCtrl ? combination : C::none; };

  switch (keyCode) {
    case kKeyE:
      return onlyWin ? C::winE : C::none;
    case kKeyC:
      return ctrlGives(C::ctrlC);
    case kKeyX:
      return ctrlGives(C::ctrlX);
    case kKeyV:
      return ctrlGives(C::ctrlV);
    case kKeyZ:
      return ctrlGives(C::ctrlZ);
    case kKeyY:
      return ctrlGives(C::ctrlY);
    case kKeyA:
      return ctrlGives(C::ctrlA);
    case kKeyF:
      return ctrlGives(C::ctrlF);
    case kKeyS:
      return ctrlGives(C::ctrlS);
    case kKeyP:
      return ctrlGives(C::ctrlP);
    case kKeyN:
      return ctrlGives(C::ctrlN);
    case kKeyT:
      return ctrlGives(C::ctrlT);
    case kKeyW:
      return ctrlGives(C::ctrlW);
    case kKeyDelete:
      return ctrlGives(C::ctrlBackspace);
    case kKeyForwardDelete:
      return ctrlGives(C::ctrlDelete);
    case kKeyL:
      if (onlyCtrl) return C::ctrlL;
      return onlyWin ? C::winL : C::none;
    case kKeyTab:
      if (onlyCtrl) return shift ? C::ctrlShiftTab : C::ctrlTab;
      if (onlyAlt) return C::altTab;
      // The one rule that asks which application is frontmost, and only once the rest holds.
      // A disabled Shift+Tab is named without asking: it translates nothing either way.
      if (noneHeld && shift && (!shiftTabOn || manager.isBrowserFrontmost())) return C::shiftTab;
      return C::none;
    case kKeyEscape:
      return onlyCtrl && shift ? C::ctrlShiftEsc : C::none;
    case kKeyReturn:
      return onlyAlt ? C::altEnter : C::none;
    case kKeyF4:
      if (onlyAlt) return C::altF4;
      // Fn+Command+F4 with both swaps on reads as Ctrl+Alt+F4; the raw Command bit alone among
      // Control, Option and Command still closes the window.
      if (optionIsWin && (flags & kControlOptionCommand) == kFlagCommand) return C::altF4;
      return C::none;
    case kKeyF2:
      return noneHeld ? C::f2 : C::none;
    default:
      return C::none;
  }
}

}  // namespace

BuiltinCombination KeyboardShortcutManager::builtinCombination(int64_t keyCode, EventFlags flags,
                                                               uint32_t disabled, bool& fnIsCtrl) {
  using C = BuiltinCombination;
  fnIsCtrl = false;
  if (!isNamedKey(keyCode)) return C::none;  // spares the modifier work below
  // A disabled Shift+Tab never asks which application is frontmost.
  const bool shiftTabOn = (disabled & combinationBit(C::shiftTab)) == 0;
  if ((flags & kAnyModifierButShift) == 0) {
    // Plain typing, with or without Shift: only F2 and the browser's Shift+Tab have a rule.
    if (keyCode == kKeyF2) return C::f2;
    if (keyCode == kKeyTab && (flags & kFlagShift) != 0 && (!shiftTabOn || isBrowserFrontmost())) {
      return C::shiftTab;
    }
    return C::none;
  }
  return combinationFor(*this, keyCode, flags, shiftTabOn, fnIsCtrl);
}

Action KeyboardShortcutManager::actionOf(BuiltinCombination combination, uint32_t disabled,
                                         bool fnIsCtrl) {
  if (combination == BuiltinCombination::none || (disabled & combinationBit(combination)) != 0) {
    return Action::none;
  }
  // Ctrl+Delete from a PC keyboard's Del key deletes the next word, as on Windows. Where the Fn
  // key plays Ctrl, Fn+Backspace on a Mac laptop is Forward Delete with Ctrl held: the user
  // pressed Ctrl+Backspace, the previous word.
  if (combination == BuiltinCombination::ctrlDelete && !fnIsCtrl) return Action::deleteNextWord;
  return kCombinationActions[static_cast<size_t>(combination)];
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
