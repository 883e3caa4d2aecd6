// The shortcut reference: what the window lists, for display only. The engine never reads these
// tables; its own rules decide what is translated.
#pragma once

#include <array>
#include <string_view>

namespace corvane::ui {

struct ShortcutItem {
  std::string_view windowsKeys;  // the Windows-style combination, names joined by " + "
  std::string_view macKeys;      // what the program produces; carried, never shown
  std::string_view description;  // what it does; the row's identity within its table
};

inline constexpr std::array<ShortcutItem, 5> systemShortcuts{{
    {"Alt + Tab", "⌘ + Tab", "Switch Apps"},
    {"Alt + F4", "⌘ + W", "Close Window"},
    {"Win + L", "⌃ + ⌘ + Q", "Lock Computer"},
    {"Win + E", "⌘ + E", "Open Finder"},
    {"Ctrl + Shift + Esc", "⌃ + ⇧ + Esc", "Activity Monitor"},
}};

inline constexpr std::array<ShortcutItem, 5> browserShortcuts{{
    {"Ctrl + F", "⌘ + F", "Find/Search"},
    {"Ctrl + L", "⌘ + L", "Focus Address Bar"},
    {"Ctrl + Tab", "Control + Tab", "Next Tab"},
    {"Ctrl + T", "⌘ + T", "New Tab"},
    {"Ctrl + W", "⌘ + W", "Close Tab"},
}};

inline constexpr std::array<ShortcutItem, 7> editingShortcuts{{
    {"Ctrl + C", "⌘ + C", "Copy"},
    {"Ctrl + X", "⌘ + X", "Cut"},
    {"Ctrl + V", "⌘ + V", "Paste"},
    {"Ctrl + Z", "⌘ + Z", "Undo"},
    {"Ctrl + Y", "⌘ + ⇧ + Z", "Redo"},
    {"Ctrl + A", "⌘ + A", "Select All"},
    {"Ctrl + Delete", "⌥ + Delete", "Delete Word: Previous (⌫), Next (Del)"},
}};

inline constexpr std::array<ShortcutItem, 5> fileShortcuts{{
    {"Ctrl + N", "⌘ + N", "New Document"},
    {"Ctrl + S", "⌘ + S", "Save"},
    {"Ctrl + P", "⌘ + P", "Print"},
    {"F2", "Return", "Rename File"},
    {"Alt + Enter", "⌘ + I", "Get Info"},
}};

}  // namespace corvane::ui
