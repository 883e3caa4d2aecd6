// The actions. At the manager's interface an action is its name (a fixed text compared by
// exact, case-sensitive equality); inside the engine it is this enum.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane {

enum class Action : uint8_t {
  copy,
  cut,
  paste,
  undo,
  redo,
  selectAll,
  find,
  newTab,
  closeTab,
  reopenTab,
  save,
  print,
  newDoc,
  deleteWord,
  openFinder,
  openActivityMonitor,
  focusAddressBar,
  switchTabNext,
  switchApps,
  closeWindow,
  getInfo,
  lockComputer,
  renameFile,
  deleteNextWord,  // Ctrl+Delete from a PC keyboard's Del key: Option+Forward Delete
  none,            // no action: the key press reaches the system untouched
};

inline constexpr size_t kActionCount = static_cast<size_t>(Action::none);

// Names in the executor's table order.
inline constexpr std::array<std::string_view, kActionCount> kActionNames = {
    "copy",
    "cut",
    "paste",
    "undo",
    "redo",
    "selectAll",
    "find",
    "newTab",
    "closeTab",
    "reopenTab",
    "save",
    "print",
    "newDoc",
    "deleteWord",
    "openFinder",
    "openActivityMonitor",
    "focusAddressBar",
    "switchTabNext",
    "switchApps",
    "closeWindow",
    "getInfo",
    "lockComputer",
    "renameFile",
    "deleteNextWord",
};

constexpr std::string_view actionName(Action action) {
  return kActionNames[static_cast<size_t>(action)];
}

// The action of a name, or Action::none for a name that is not in the table.
constexpr Action actionNamed(std::string_view name) {
  for (size_t i = 0; i < kActionCount; ++i) {
    if (kActionNames[i] == name) return static_cast<Action>(i);
  }
  return Action::none;
}

}  // namespace corvane
