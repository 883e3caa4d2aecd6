// The built-in shortcuts by their Windows combination, and the Windows modifiers a key event's
// flags hold. The built-in rules decide with these, and the rules file names them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/EventTypes.h"

namespace corvane {

// The Windows modifiers a shortcut names, as bits.
enum WindowsModifier : uint8_t { kModCtrl = 1, kModWin = 2, kModAlt = 4, kModShift = 8 };

// The built-in shortcuts by their Windows combination, as the file names them in "disable".
// Alt+F4 stands for both of its rules.
enum class BuiltinCombination : uint8_t {
  winE,
  ctrlC,
  ctrlX,
  ctrlV,
  ctrlZ,
  ctrlY,
  ctrlA,
  ctrlF,
  ctrlS,
  ctrlP,
  ctrlN,
  ctrlT,
  ctrlW,
  ctrlBackspace,
  ctrlDelete,
  ctrlL,
  ctrlTab,
  ctrlShiftTab,
  ctrlShiftEsc,
  shiftTab,
  altEnter,
  altTab,
  altF4,
  winL,
  f2,
  none,
};
inline constexpr size_t kBuiltinCombinationCount = static_cast<size_t>(BuiltinCombination::none);
inline constexpr std::array<std::string_view, kBuiltinCombinationCount> kBuiltinCombinationNames = {
    "Win+E",     "Ctrl+C",   "Ctrl+X",         "Ctrl+V",         "Ctrl+Z",
    "Ctrl+Y",    "Ctrl+A",   "Ctrl+F",         "Ctrl+S",         "Ctrl+P",
    "Ctrl+N",    "Ctrl+T",   "Ctrl+W",         "Ctrl+Backspace", "Ctrl+Delete",
    "Ctrl+L",    "Ctrl+Tab", "Ctrl+Shift+Tab", "Ctrl+Shift+Esc", "Shift+Tab",
    "Alt+Enter", "Alt+Tab",  "Alt+F4",         "Win+L",          "F2",
};
// The Windows modifiers held in a key event's flags: Ctrl is Fn or Control, Win and Alt are
// Option and Command one way round or the other, Shift is Shift.
constexpr uint8_t windowsModifiersOf(EventFlags flags, bool fnIsCtrl, bool optionIsWin) {
  const auto held = [flags](EventFlags bit, uint8_t modifier) {
    return (flags & bit) != 0 ? modifier : uint8_t{0};
  };
  return static_cast<uint8_t>(held(fnIsCtrl ? kFlagFn : kFlagControl, kModCtrl) |
                              held(optionIsWin ? kFlagOption : kFlagCommand, kModWin) |
                              held(optionIsWin ? kFlagCommand : kFlagOption, kModAlt) |
                              held(kFlagShift, kModShift));
}

constexpr uint32_t combinationBit(BuiltinCombination c) {
  return uint32_t{1} << static_cast<unsigned>(c);
}

}  // namespace corvane
