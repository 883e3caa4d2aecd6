#include "rules/KeyNames.h"

#include <array>

#include "rules/RulesFile.h"
#include "rules/Text.h"

namespace corvane {
namespace {

// The codes are the kVK_ constants of Carbon's Events.h (ANSI layout names).
constexpr std::array<KeyName, 77> kKeyNames = {{
    {"A", 0},
    {"S", 1},
    {"D", 2},
    {"F", 3},
    {"H", 4},
    {"G", 5},
    {"Z", 6},
    {"X", 7},
    {"C", 8},
    {"V", 9},
    {"B", 11},
    {"Q", 12},
    {"W", 13},
    {"E", 14},
    {"R", 15},
    {"Y", 16},
    {"T", 17},
    {"O", 31},
    {"U", 32},
    {"I", 34},
    {"P", 35},
    {"L", 37},
    {"J", 38},
    {"K", 40},
    {"N", 45},
    {"M", 46},
    {"1", 18},
    {"2", 19},
    {"3", 20},
    {"4", 21},
    {"5", 23},
    {"6", 22},
    {"7", 26},
    {"8", 28},
    {"9", 25},
    {"0", 29},
    {"Minus", 27},
    {"Equal", 24},
    {"Plus", 24},
    {"LeftBracket", 33},
    {"RightBracket", 30},
    {"Semicolon", 41},
    {"Quote", 39},
    {"Comma", 43},
    {"Period", 47},
    {"Slash", 44},
    {"Backslash", 42},
    {"Grave", 50},
    {"Return", 36},
    {"Enter", 36},
    {"Tab", 48},
    {"Space", 49},
    {"Backspace", 51},
    {"Escape", 53},
    {"Esc", 53},
    {"Delete", 117},
    {"Del", 117},
    {"Insert", 114},
    {"Home", 115},
    {"End", 119},
    {"PageUp", 116},
    {"PageDown", 121},
    {"Left", 123},
    {"Right", 124},
    {"Down", 125},
    {"Up", 126},
    {"F1", 122},
    {"F2", 120},
    {"F3", 99},
    {"F4", 118},
    {"F5", 96},
    {"F6", 97},
    {"F7", 98},
    {"F8", 100},
    {"F9", 101},
    {"F10", 109},
    {"F11", 103},
}};
// F13-F15 are where a Mac sees a PC keyboard's Print Screen, Scroll Lock and Pause: the PC
// keyboard's names come first, so that the key is shown by them.
constexpr std::array<KeyName, 31> kMoreFunctionKeys = {{
    {"F12", 111},         {"PrintScreen", 105}, {"F13", 105},          {"ScrollLock", 107},
    {"F14", 107},         {"Pause", 113},       {"F15", 113},          {"F16", 106},
    {"F17", 64},          {"F18", 79},          {"F19", 80},           {"F20", 90},
    {"ContextMenu", 110},  // the PC application (menu) key
    {"Keypad0", 82},      {"Keypad1", 83},      {"Keypad2", 84},       {"Keypad3", 85},
    {"Keypad4", 86},      {"Keypad5", 87},      {"Keypad6", 88},       {"Keypad7", 89},
    {"Keypad8", 91},      {"Keypad9", 92},      {"KeypadDecimal", 65}, {"KeypadMultiply", 67},
    {"KeypadPlus", 69},   {"KeypadClear", 71},  {"KeypadDivide", 75},  {"KeypadEnter", 76},
    {"KeypadMinus", 78},  {"KeypadEquals", 81},
}};

constexpr auto kAllKeyNames = [] {
  std::array<KeyName, kKeyNames.size() + kMoreFunctionKeys.size()> all{};
  size_t i = 0;
  for (const KeyName& k : kKeyNames) all[i++] = k;
  for (const KeyName& k : kMoreFunctionKeys) all[i++] = k;
  return all;
}();

constexpr std::array<ModifierName, 4> kWindowsModifiers = {{
    {"Ctrl", kModCtrl},
    {"Win", kModWin},
    {"Alt", kModAlt},
    {"Shift", kModShift},
}};
constexpr std::array<ModifierName, 6> kMacModifiers = {{
    {"Cmd", kFlagCommand},
    {"Command", kFlagCommand},
    {"Option", kFlagOption},
    {"Control", kFlagControl},
    {"Shift", kFlagShift},
    {"Fn", kFlagFn},
}};

}  // namespace

std::span<const KeyName> keyNames() {
  return kAllKeyNames;
}

const KeyName* keyNamed(std::string_view name) {
  for (const KeyName& key : kAllKeyNames) {
    if (equalsIgnoringCase(key.name, name)) return &key;
  }
  return nullptr;
}

std::optional<uint8_t> keyCodeNamed(std::string_view name) {
  const KeyName* key = keyNamed(name);
  if (key == nullptr) return std::nullopt;
  return key->code;
}

std::string_view keyNameOf(uint8_t code) {
  for (const KeyName& key : kAllKeyNames) {
    if (key.code == code) return key.name;
  }
  return {};
}

std::span<const ModifierName> windowsModifierNames() {
  return kWindowsModifiers;
}
std::span<const ModifierName> macModifierNames() {
  return kMacModifiers;
}

}  // namespace corvane
