// The shortcut rules: which Windows-style combination a key-down is, under the swap settings.
#include <array>

#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"

namespace corvane {
namespace {
constexpr EventFlags kControlOptionCommand = kFlagControl | kFlagOption | kFlagCommand;
constexpr EventFlags kAnyModifierButShift = kControlOptionCommand | kFlagFn;
}  // namespace

Action KeyboardShortcutManager::actionFor(int64_t keyCode, EventFlags flags) {
  if (!isNamedKey(keyCode)) return Action::none;  // spares the modifier work below
  if ((flags & kAnyModifierButShift) == 0) {
    // Plain typing, with or without Shift: only F2 and the browser's Shift+Tab have a rule.
    if (keyCode == kKeyF2) return Action::renameFile;
    if (keyCode == kKeyTab && (flags & kFlagShift) != 0 && isBrowserFrontmost()) {
      return Action::reopenTab;
    }
    return Action::none;
  }
  const bool fnIsCtrl = swapFnAndControl.get();
  const bool optionIsWin = swapOptionAndCommand.get();

  const bool ctrl = (flags & (fnIsCtrl ? kFlagFn : kFlagControl)) != 0;
  const bool win = (flags & (optionIsWin ? kFlagOption : kFlagCommand)) != 0;
  const bool alt = (flags & (optionIsWin ? kFlagCommand : kFlagOption)) != 0;
  const bool shift = (flags & kFlagShift) != 0;

  // Exactly one of Ctrl, Win and Alt, or none of them; Shift is tested separately.
  const bool onlyCtrl = ctrl && !win && !alt;
  const bool onlyWin = win && !ctrl && !alt;
  const bool onlyAlt = alt && !ctrl && !win;
  const bool noneHeld = !ctrl && !win && !alt;

  auto ctrlGives = [onlyCtrl](Action action) { return onlyCtrl ? action : Action::none; };

  switch (keyCode) {
    case kKeyE: return onlyWin ? Action::openFinder : Action::none;
    case kKeyC: return ctrlGives(Action::copy);
    case kKeyX: return ctrlGives(Action::cut);
    case kKeyV: return ctrlGives(Action::paste);
    case kKeyZ: return ctrlGives(Action::undo);
    case kKeyY: return ctrlGives(Action::redo);
    case kKeyA: return ctrlGives(Action::selectAll);
    case kKeyF: return ctrlGives(Action::find);
    case kKeyS: return ctrlGives(Action::save);
    case kKeyP: return ctrlGives(Action::print);
    case kKeyN: return ctrlGives(Action::newDoc);
    case kKeyT: return ctrlGives(Action::newTab);
    case kKeyW: return ctrlGives(Action::closeTab);
    case kKeyDelete:
    case kKeyForwardDelete: return ctrlGives(Action::deleteWord);
    case kKeyL:
      if (onlyCtrl) return Action::focusAddressBar;
      return onlyWin ? Action::lockComputer : Action::none;
    case kKeyTab:
      if (onlyCtrl) return shift ? Action::reopenTab : Action::switchTabNext;
      if (onlyAlt) return Action::switchApps;
      // The one rule that asks which application is frontmost, and only once the rest holds.
      if (noneHeld && shift && isBrowserFrontmost()) return Action::reopenTab;
      return Action::none;
    case kKeyEscape: return onlyCtrl && shift ? Action::openActivityMonitor : Action::none;
    case kKeyReturn: return onlyAlt ? Action::getInfo : Action::none;
    case kKeyF4:
      if (onlyAlt) return Action::closeWindow;
      // Fn+Command+F4 with both swaps on reads as Ctrl+Alt+F4; the raw Command bit alone among
      // Control, Option and Command still closes the window.
      if (optionIsWin && (flags & kControlOptionCommand) == kFlagCommand) return Action::closeWindow;
      return Action::none;
    case kKeyF2: return noneHeld ? Action::renameFile : Action::none;
    default: return Action::none;
  }
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
