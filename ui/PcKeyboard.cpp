#include "ui/PcKeyboard.h"

#include "engine/ShortcutKeys.h"
#include "rules/KeyNames.h"
#include "rules/RulesFile.h"

namespace corvane::ui {
namespace {

struct PcKey {
  uint16_t scanCode;  // XKB key code (the evdev code + 8)
  int qtKey;          // Qt::Key_unknown: found by its scan code only
  uint8_t macCode;    // kVK_ of Carbon's Events.h
};

// clang-format off
constexpr PcKey kPcKeys[] = {
    {24, Qt::Key_Q, 12},
    {25, Qt::Key_W, 13},
    {26, Qt::Key_E, 14},
    {27, Qt::Key_R, 15},
    {28, Qt::Key_T, 17},
    {29, Qt::Key_Y, 16},
    {30, Qt::Key_U, 32},
    {31, Qt::Key_I, 34},
    {32, Qt::Key_O, 31},
    {33, Qt::Key_P, 35},
    {38, Qt::Key_A, 0},
    {39, Qt::Key_S, 1},
    {40, Qt::Key_D, 2},
    {41, Qt::Key_F, 3},
    {42, Qt::Key_G, 5},
    {43, Qt::Key_H, 4},
    {44, Qt::Key_J, 38},
    {45, Qt::Key_K, 40},
    {46, Qt::Key_L, 37},
    {52, Qt::Key_Z, 6},
    {53, Qt::Key_X, 7},
    {54, Qt::Key_C, 8},
    {55, Qt::Key_V, 9},
    {56, Qt::Key_B, 11},
    {57, Qt::Key_N, 45},
    {58, Qt::Key_M, 46},
    {10, Qt::Key_1, 18},
    {11, Qt::Key_2, 19},
    {12, Qt::Key_3, 20},
    {13, Qt::Key_4, 21},
    {14, Qt::Key_5, 23},
    {15, Qt::Key_6, 22},
    {16, Qt::Key_7, 26},
    {17, Qt::Key_8, 28},
    {18, Qt::Key_9, 25},
    {19, Qt::Key_0, 29},
    {9, Qt::Key_Escape, 53},
    {20, Qt::Key_Minus, 27},
    {21, Qt::Key_Equal, 24},
    {22, Qt::Key_Backspace, 51},  // Backspace (the Mac's Delete)
    {23, Qt::Key_Tab, 48},
    {23, Qt::Key_Backtab, 48},  // Shift+Tab, to Qt
    {34, Qt::Key_BracketLeft, 33},
    {35, Qt::Key_BracketRight, 30},
    {36, Qt::Key_Return, 36},
    {47, Qt::Key_Semicolon, 41},
    {48, Qt::Key_Apostrophe, 39},
    {49, Qt::Key_QuoteLeft, 50},
    {51, Qt::Key_Backslash, 42},
    {59, Qt::Key_Comma, 43},
    {60, Qt::Key_Period, 47},
    {61, Qt::Key_Slash, 44},
    {65, Qt::Key_Space, 49},
    {94, Qt::Key_unknown, 10},  // the ISO key beside left Shift
    {67, Qt::Key_F1, 122},
    {68, Qt::Key_F2, 120},
    {69, Qt::Key_F3, 99},
    {70, Qt::Key_F4, 118},
    {71, Qt::Key_F5, 96},
    {72, Qt::Key_F6, 97},
    {73, Qt::Key_F7, 98},
    {74, Qt::Key_F8, 100},
    {75, Qt::Key_F9, 101},
    {76, Qt::Key_F10, 109},
    {95, Qt::Key_F11, 103},
    {96, Qt::Key_F12, 111},
    {107, Qt::Key_Print, 105},  // Print Screen: F13
    {78, Qt::Key_ScrollLock, 107},  // Scroll Lock: F14
    {127, Qt::Key_Pause, 113},  // Pause: F15
    {191, Qt::Key_F13, 105},
    {192, Qt::Key_F14, 107},
    {193, Qt::Key_F15, 113},
    {194, Qt::Key_F16, 106},
    {195, Qt::Key_F17, 64},
    {196, Qt::Key_F18, 79},
    {197, Qt::Key_F19, 80},
    {198, Qt::Key_F20, 90},
    {118, Qt::Key_Insert, 114},  // Insert: Help
    {119, Qt::Key_Delete, 117},  // Delete: forward delete
    {110, Qt::Key_Home, 115},
    {115, Qt::Key_End, 119},
    {112, Qt::Key_PageUp, 116},
    {117, Qt::Key_PageDown, 121},
    {113, Qt::Key_Left, 123},
    {114, Qt::Key_Right, 124},
    {116, Qt::Key_Down, 125},
    {111, Qt::Key_Up, 126},
    {135, Qt::Key_Menu, 110},  // the application key
    {77, Qt::Key_NumLock, 71},  // Num Lock: the keypad's Clear
    {106, Qt::Key_unknown, 75},  // keypad /
    {63, Qt::Key_unknown, 67},  // keypad *
    {82, Qt::Key_unknown, 78},  // keypad -
    {86, Qt::Key_unknown, 69},  // keypad +
    {104, Qt::Key_Enter, 76},  // keypad Enter
    {91, Qt::Key_unknown, 65},  // keypad .
    {125, Qt::Key_unknown, 81},  // keypad =
    {90, Qt::Key_unknown, 82},  // keypad 0
    {87, Qt::Key_unknown, 83},
    {88, Qt::Key_unknown, 84},
    {89, Qt::Key_unknown, 85},
    {83, Qt::Key_unknown, 86},
    {84, Qt::Key_unknown, 87},
    {85, Qt::Key_unknown, 88},
    {79, Qt::Key_unknown, 89},
    {80, Qt::Key_unknown, 91},
    {81, Qt::Key_unknown, 92},  // keypad 9
    {37, Qt::Key_Control, 59},  // left Ctrl: Control
    {105, Qt::Key_unknown, 62},  // right Ctrl
    {50, Qt::Key_Shift, 56},
    {62, Qt::Key_unknown, 60},  // right Shift
    {64, Qt::Key_Alt, 58},  // left Alt: Option
    {108, Qt::Key_AltGr, 61},  // right Alt
    {133, Qt::Key_Super_L, 55},  // left Windows (Super) key: Command
    {134, Qt::Key_Super_R, 54},  // right Windows key
};
// clang-format on

// The flag a modifier key holds, by its Mac key code; 0 for other keys.
EventFlags modifierFlagOf(int64_t macCode) {
  switch (macCode) {
    case 54:
    case 55:
      return kFlagCommand;
    case 56:
    case 60:
      return kFlagShift;
    case 58:
    case 61:
      return kFlagOption;
    case 59:
    case 62:
      return kFlagControl;
    default:
      return 0;
  }
}

EventFlags macFlagsOf(Qt::KeyboardModifiers modifiers) {
  EventFlags flags = 0;
  if (modifiers & Qt::ShiftModifier) flags |= kFlagShift;
  if (modifiers & Qt::ControlModifier) flags |= kFlagControl;
  if (modifiers & Qt::AltModifier) flags |= kFlagOption;
  if (modifiers & Qt::MetaModifier) flags |= kFlagCommand;  // the Super key under X11
  return flags;
}

}  // namespace

std::optional<PcKeyEvent> macEventOf(const QKeyEvent& event) {
  const bool down = event.type() == QEvent::KeyPress;
  if (!down && event.isAutoRepeat()) return std::nullopt;
  const PcKey* found = nullptr;
  for (const PcKey& key : kPcKeys) {
    if (event.nativeScanCode() != 0 ? key.scanCode == event.nativeScanCode()
                                    : key.qtKey != Qt::Key_unknown && key.qtKey == event.key()) {
      found = &key;
      break;
    }
  }
  if (found == nullptr) return std::nullopt;
  const int64_t code = found->macCode;
  EventFlags flags = macFlagsOf(event.modifiers());
  if (const EventFlags modifier = modifierFlagOf(code)) {
    // The flags after the change: Qt gives them as they were before it under X11.
    flags = down ? flags | modifier : flags & ~modifier;
    return PcKeyEvent{kEventFlagsChanged, code, flags};
  }
  // Fn on function keys, the numeric-pad flag on the arrows and the keypad, as a Mac reads them.
  flags = Keystroke{static_cast<uint8_t>(code), flags, {}}.postedFlags();
  return PcKeyEvent{down ? kEventKeyDown : kEventKeyUp, code, flags};
}

}  // namespace corvane::ui
