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
// Del after Delete, Plus after Equal).
std::span<const KeyName> keyNames();

// The key of a name, ignoring case.
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

// The numeric-pad flag a Mac keyboard sets on the arrow keys' events.
inline constexpr EventFlags kFlagNumericPad = 0x200000;

}  // namespace corvane
