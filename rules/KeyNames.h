// The names a rules file gives keys and modifiers, with their key codes (US layout) and flag
// bits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine/EventTypes.h"

namespace corvane {

struct KeyName {
  std::string_view name;  // the first name of a key is how it is written back
  uint8_t code;
};

// Every key name, aliases after the key's first name (Enter after Return, Esc after Escape,
// Del after Delete, Plus after Equal, F13 after PrintScreen, F14 after ScrollLock, F15 after
// Pause: a PC keyboard's name first).
std::span<const KeyName> keyNames();

// The key of a name, ignoring case: its entry (the name with its own letter case), or its code.
const KeyName* keyNamed(std::string_view name);
std::optional<uint8_t> keyCodeNamed(std::string_view name);
// The first name of a key code ("PageUp"); empty for a code no name has.
std::string_view keyNameOf(uint8_t code);

// Windows modifiers ("press") in their written order, and Mac modifiers ("send").
struct ModifierName {
  std::string_view name;
  uint64_t bit;  // WindowsModifier bit for press, flag bit for send
};
std::span<const ModifierName> windowsModifierNames();  // Ctrl, Win, Alt, Shift
std::span<const ModifierName> macModifierNames();      // Cmd, Command, Option, Control, Shift, Fn

// The numeric-pad flag a Mac keyboard sets on the arrow keys' and the keypad's events.
inline constexpr EventFlags kFlagNumericPad = 0x200000;

// The keypad's keys (kVK_ANSI_Keypad*): 65-92 but for the codes of F17-F19 and the volume keys.
constexpr bool isKeypadKey(uint8_t code) {
  switch (code) {
    case 65:
    case 67:
    case 69:
    case 71:
    case 75:
    case 76:
    case 78:
    case 81:
    case 82:
    case 83:
    case 84:
    case 85:
    case 86:
    case 87:
    case 88:
    case 89:
    case 91:
    case 92:
      return true;
    default:
      return false;
  }
}

}  // namespace corvane
