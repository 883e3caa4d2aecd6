// The built-in shortcuts, each said once. Every other part reads them from here: the rule
// matching, the executor's keystrokes, the words of a decision, the window's rows, the starter
// rules file and the rules file's schema (scripts/make-rules-schema reads the names below).
//
// A new built-in is one row of CORVANE_BUILTINS; one whose Mac side is a new keystroke adds a row
// to CORVANE_ACTIONS as well; only a new kind of work (Work::Kind) needs code.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/EventTypes.h"
#include "engine/ShortcutKeys.h"

namespace corvane {

// The Windows modifiers a shortcut names, as bits.
enum WindowsModifier : uint8_t { kModCtrl = 1, kModWin = 2, kModAlt = 4, kModShift = 8 };

inline constexpr std::string_view kFinderPath = "/System/Library/CoreServices/Finder.app";
inline constexpr std::string_view kActivityMonitorPath =
    "/System/Applications/Utilities/Activity Monitor.app";

// What an action does on the Mac.
struct Work {
  enum class Kind : uint8_t {
    keystroke,       // key with flags, posted at once
    open,            // the application at path, opened from the main queue
    delayedKey,      // key with flags, posted from the main queue after delay
    reopenTab,       // Command-Shift-T as six events with pauses, from the main queue after delay
  };
  Kind kind;
  KeyCode key;
  EventFlags flags;
  std::chrono::milliseconds delay;
  std::string_view path;
};
constexpr Work keystroke(KeyCode key, EventFlags flags) {
  return {Work::Kind::keystroke, key, flags, {}, {}};
}
constexpr Work command(KeyCode key) {
  return keystroke(key, kFlagCommand);
}
constexpr Work opens(std::string_view path) {
  return {Work::Kind::open, 0, 0, {}, path};
}

// clang-format off
// The actions: name (the executor's), what it does, and its title in a decision's words.
#define CORVANE_ACTIONS(X)                                                                       \
  X(copy,                command(8),                                 "Copy")                      \
  X(cut,                 command(7),                                 "Cut")                       \
  X(paste,               command(9),                                 "Paste")                     \
  X(undo,                command(6),                                 "Undo")                      \
  X(redo,                keystroke(6, kFlagCommand | kFlagShift),    "Redo")                      \
  X(selectAll,           command(0),                                 "Select All")                \
  X(find,                command(3),                                 "Find/Search")               \
  X(newTab,              command(17),                                "New Tab")                   \
  X(closeTab,            command(13),                                "Close Tab")                 \
  X(reopenTab,           (Work{Work::Kind::reopenTab, 17, kFlagCommand | kFlagShift,             \
                               std::chrono::milliseconds(20), {}}),  "Reopen Closed Tab")         \
  X(save,                command(1),                                 "Save")                      \
  X(print,               command(35),                                "Print")                     \
  X(newDoc,              command(45),                                "New Document")              \
  X(deleteWord,          keystroke(51, kFlagOption),                 "Delete Previous Word")      \
  X(openFinder,          opens(kFinderPath),                         "Finder")                    \
  X(openActivityMonitor, opens(kActivityMonitorPath),                "Activity Monitor")          \
  X(focusAddressBar,     command(37),                                "Focus Address Bar")         \
  X(switchTabNext,       keystroke(48, kFlagControl),                "Next Tab")                  \
  X(switchApps,          command(48),                                "Switch Apps")               \
  X(closeWindow,         command(13),                                "Close Window")              \
  X(getInfo,             command(34),                                "Get Info")                  \
  X(lockComputer,        keystroke(12, kFlagCommand | kFlagControl), "Lock Computer")             \
  X(renameFile,          (Work{Work::Kind::delayedKey, 36, 0,                                     \
                               std::chrono::milliseconds(60), {}}),  "Rename File")               \
  X(deleteNextWord,      keystroke(117, kFlagOption),                "Delete Next Word")

// The built-in shortcuts: id, the Windows combination as the rules file names it, the key and
// the Windows modifiers among Ctrl, Win and Alt it matches (exactly those), Shift (any, must,
// never), a special case, the action, and the window's row: section (none: no row), place in
// its section (a row two built-ins share names both), keys, Mac keys (carried, never shown) and
// description.
#define CORVANE_BUILTINS(X)                                                                      \
  X(winE,          "Win+E",          kKeyE,  kModWin,  any,  plain,   openFinder,                    \
    system,  4, "Win + E",            "⌘ + E",         "Open Finder")                            \
  X(ctrlC,         "Ctrl+C",         kKeyC,   kModCtrl, any,  plain,   copy,                          \
    editing, 1, "Ctrl + C",           "⌘ + C",         "Copy")                                   \
  X(ctrlX,         "Ctrl+X",         kKeyX,   kModCtrl, any,  plain,   cut,                           \
    editing, 2, "Ctrl + X",           "⌘ + X",         "Cut")                                    \
  X(ctrlV,         "Ctrl+V",         kKeyV,   kModCtrl, any,  plain,   paste,                         \
    editing, 3, "Ctrl + V",           "⌘ + V",         "Paste")                                  \
  X(ctrlZ,         "Ctrl+Z",         kKeyZ,   kModCtrl, any,  plain,   undo,                          \
    editing, 4, "Ctrl + Z",           "⌘ + Z",         "Undo")                                   \
  X(ctrlY,         "Ctrl+Y",         kKeyY,  kModCtrl, any,  plain,   redo,                          \
    editing, 5, "Ctrl + Y",           "⌘ + ⇧ + Z",     "Redo")                                   \
  X(ctrlA,         "Ctrl+A",         kKeyA,   kModCtrl, any,  plain,   selectAll,                     \
    editing, 6, "Ctrl + A",           "⌘ + A",         "Select All")                             \
  X(ctrlF,         "Ctrl+F",         kKeyF,   kModCtrl, any,  plain,   find,                          \
    browser, 1, "Ctrl + F",           "⌘ + F",         "Find/Search")                            \
  X(ctrlS,         "Ctrl+S",         kKeyS,   kModCtrl, any,  plain,   save,                          \
    files,   2, "Ctrl + S",           "⌘ + S",         "Save")                                   \
  X(ctrlP,         "Ctrl+P",         kKeyP,  kModCtrl, any,  plain,   print,                         \
    files,   3, "Ctrl + P",           "⌘ + P",         "Print")                                  \
  X(ctrlN,         "Ctrl+N",         kKeyN,  kModCtrl, any,  plain,   newDoc,                        \
    files,   1, "Ctrl + N",           "⌘ + N",         "New Document")                           \
  X(ctrlT,         "Ctrl+T",         kKeyT,  kModCtrl, any,  plain,   newTab,                        \
    browser, 4, "Ctrl + T",           "⌘ + T",         "New Tab")                                \
  X(ctrlW,         "Ctrl+W",         kKeyW,  kModCtrl, any,  plain,   closeTab,                      \
    browser, 5, "Ctrl + W",           "⌘ + W",         "Close Tab")                              \
  X(ctrlBackspace, "Ctrl+Backspace", kKeyDelete,  kModCtrl, any,  plain,   deleteWord,                    \
    editing, 7, "Ctrl + Delete",      "⌥ + Delete",    "Delete Word: Previous (⌫), Next (Del)")  \
  X(ctrlDelete,    "Ctrl+Delete",    kKeyForwardDelete, kModCtrl, any,  previousWordWhenFnIsCtrl, deleteNextWord, \
    editing, 7, "Ctrl + Delete",      "⌥ + Delete",    "Delete Word: Previous (⌫), Next (Del)")  \
  X(ctrlL,         "Ctrl+L",         kKeyL,  kModCtrl, any,  plain,   focusAddressBar,               \
    browser, 2, "Ctrl + L",           "⌘ + L",         "Focus Address Bar")                      \
  X(ctrlTab,       "Ctrl+Tab",       kKeyTab,  kModCtrl, never, plain,  switchTabNext,                 \
    browser, 3, "Ctrl + Tab",         "Control + Tab", "Next Tab")                               \
  X(ctrlShiftTab,  "Ctrl+Shift+Tab", kKeyTab,  kModCtrl, must, plain,   reopenTab,                     \
    none,    0, "",                   "",              "")                                       \
  X(ctrlShiftEsc,  "Ctrl+Shift+Esc", kKeyEscape,  kModCtrl, must, plain,   openActivityMonitor,           \
    system,  5, "Ctrl + Shift + Esc", "⌃ + ⇧ + Esc",   "Activity Monitor")                       \
  X(shiftTab,      "Shift+Tab",      kKeyTab,  0,        must, inBrowser, reopenTab,                   \
    none,    0, "",                   "",              "")                                       \
  X(altEnter,      "Alt+Enter",      kKeyReturn,  kModAlt,  any,  plain,   getInfo,                       \
    files,   5, "Alt + Enter",        "⌘ + I",         "Get Info")                               \
  X(altTab,        "Alt+Tab",        kKeyTab,  kModAlt,  any,  plain,   switchApps,                    \
    system,  1, "Alt + Tab",          "⌘ + Tab",       "Switch Apps")                            \
  X(altF4,         "Alt+F4",         kKeyF4, kModAlt,  any,  commandAloneToo, closeWindow,           \
    system,  2, "Alt + F4",           "⌘ + W",         "Close Window")                           \
  X(winL,          "Win+L",          kKeyL,  kModWin,  any,  plain,   lockComputer,                  \
    system,  3, "Win + L",            "⌃ + ⌘ + Q",     "Lock Computer")                          \
  X(f2,            "F2",             kKeyF2, 0,        any,  plain,   renameFile,                    \
    files,   4, "F2",                 "Return",        "Rename File")
// clang-format on

enum class Action : uint8_t {
#define CORVANE_ACTION_ID(id, work, title) id,
  CORVANE_ACTIONS(CORVANE_ACTION_ID)
#undef CORVANE_ACTION_ID
      none,  // no action: the key press reaches the system untouched
};
inline constexpr size_t kActionCount = static_cast<size_t>(Action::none);

struct ActionEntry {
  std::string_view name;
  Work work;
  std::string_view title;
};
inline constexpr std::array<ActionEntry, kActionCount> kActions = {{
#define CORVANE_ACTION_ENTRY(id, work, title) {#id, work, title},
    CORVANE_ACTIONS(CORVANE_ACTION_ENTRY)
#undef CORVANE_ACTION_ENTRY
}};

// What the executor reads of each action's work, packed small.
struct ActionWork {
  Work::Kind kind;
  KeyCode key;
  uint16_t delayMilliseconds;
  EventFlags flags;
};
inline constexpr std::array<ActionWork, kActionCount> kActionWork = [] {
  std::array<ActionWork, kActionCount> table{};
  for (size_t i = 0; i < kActionCount; ++i) {
    const Work& work = kActions[i].work;
    table[i] = {work.kind, work.key, static_cast<uint16_t>(work.delay.count()), work.flags};
  }
  return table;
}();

constexpr const ActionEntry& actionEntry(Action action) {
  return kActions[static_cast<size_t>(action)];
}
constexpr std::string_view actionName(Action action) {
  return actionEntry(action).name;
}
// The action of a name (exact, case-sensitive), or Action::none for a name that is not one.
constexpr Action actionNamed(std::string_view name) {
  for (size_t i = 0; i < kActionCount; ++i) {
    if (kActions[i].name == name) return static_cast<Action>(i);
  }
  return Action::none;
}

enum class BuiltinCombination : uint8_t {
#define CORVANE_BUILTIN_ID(id, ...) id,
  CORVANE_BUILTINS(CORVANE_BUILTIN_ID)
#undef CORVANE_BUILTIN_ID
      none,
};
inline constexpr size_t kBuiltinCombinationCount = static_cast<size_t>(BuiltinCombination::none);

constexpr uint32_t combinationBit(BuiltinCombination c) {
  return uint32_t{1} << static_cast<unsigned>(c);
}

struct Builtin {
  enum class Shift : uint8_t { any, must, never };
  // What the matching does beyond keys and modifiers.
  enum class Special : uint8_t {
    plain,
    // Only while a web browser is in front (asked last, and never when it is switched off).
    inBrowser,
    // Also the raw Command bit alone among Control, Option and Command while Option plays Win:
    // Fn+Command+F4 with both swaps on reads as Ctrl+Alt+F4 and still closes the window.
    commandAloneToo,
    // While the Fn key plays Ctrl, Fn+Backspace on a Mac laptop is Forward Delete with Ctrl
    // held: the user pressed Ctrl+Backspace, the previous word (deleteWord).
    previousWordWhenFnIsCtrl,
  };
  enum class Section : uint8_t { none, system, browser, editing, files };

  std::string_view name;
  KeyCode key;
  uint8_t modifiers;  // among kModCtrl, kModWin and kModAlt: exactly these
  Shift shift;
  Special special;
  Action action;
  Section section;
  uint8_t row;  // 1-based place in its section
  std::string_view rowKeys;
  std::string_view rowMacKeys;
  std::string_view rowDescription;
};

inline constexpr std::array<Builtin, kBuiltinCombinationCount> kBuiltins = {{
#define CORVANE_BUILTIN_ENTRY(id, name, key, mods, shift, special, action, section, row, keys, \
                              mac, description)                                              \
  {name,   key,    mods, Builtin::Shift::shift, Builtin::Special::special, Action::action,   \
   Builtin::Section::section, row, keys, mac, description},
    CORVANE_BUILTINS(CORVANE_BUILTIN_ENTRY)
#undef CORVANE_BUILTIN_ENTRY
}};

constexpr const Builtin& builtinEntry(BuiltinCombination c) {
  return kBuiltins[static_cast<size_t>(c)];
}

// The names the rules file gives the built-ins ("disable"), in the table's order.
inline constexpr std::array<std::string_view, kBuiltinCombinationCount> kBuiltinCombinationNames =
    [] {
      std::array<std::string_view, kBuiltinCombinationCount> names{};
      for (size_t i = 0; i < kBuiltinCombinationCount; ++i) names[i] = kBuiltins[i].name;
      return names;
    }();

// The matching, derived from the table: each key code some built-in names gets a row of 16,
// one per Ctrl/Win/Alt/Shift combination held (WindowsModifier bits), giving the built-in it is
// or kNoBuiltin. A row's 0 is no key; kMatchRowOf says which row a key code has.
inline constexpr uint8_t kNoBuiltin = 0xFF;
struct BuiltinMatch {
  std::array<uint8_t, 128> rowOf{};  // 0: no built-in names the key
  std::array<std::array<uint8_t, 16>, 24> byHeld{};
  std::array<uint8_t, 24> commandAloneToo{};  // per row: the built-in, or kNoBuiltin
  std::array<Action, kBuiltinCombinationCount> action{};
  std::array<Builtin::Special, kBuiltinCombinationCount> special{};
};
inline constexpr BuiltinMatch kBuiltinMatch = [] {
  BuiltinMatch m{};
  uint8_t rows = 0;
  for (auto& row : m.byHeld) row.fill(kNoBuiltin);
  m.commandAloneToo.fill(kNoBuiltin);
  for (size_t i = 0; i < kBuiltinCombinationCount; ++i) {
    const Builtin& b = kBuiltins[i];
    uint8_t& row = m.rowOf[static_cast<size_t>(b.key)];
    if (row == 0) row = ++rows;  // more keys than rows does not compile
    for (uint8_t shift : {uint8_t{0}, uint8_t{kModShift}}) {
      if ((b.shift == Builtin::Shift::must && shift == 0) ||
          (b.shift == Builtin::Shift::never && shift != 0)) {
        continue;
      }
      uint8_t& entry = m.byHeld[row][b.modifiers | shift];
      if (entry != kNoBuiltin) throw "two built-ins match the same keys";
      entry = static_cast<uint8_t>(i);
    }
    if (b.special == Builtin::Special::commandAloneToo) m.commandAloneToo[row] = uint8_t(i);
    m.action[i] = b.action;
    m.special[i] = b.special;
  }
  return m;
}();

// The key codes some built-in names, as a 128-bit set. No other key press is translated by
// them, so it is decided without looking at its modifiers.
inline constexpr std::array<uint64_t, 2> kNamedKeys = [] {
  std::array<uint64_t, 2> bits{};
  for (const Builtin& b : kBuiltins) {
    bits[static_cast<size_t>(b.key >> 6)] |= uint64_t{1} << (b.key & 63);
  }
  return bits;
}();

constexpr bool isNamedKey(int64_t keyCode) {
  const auto code = static_cast<uint64_t>(keyCode);
  return code < 128 && ((kNamedKeys[code >> 6] >> (code & 63)) & 1) != 0;
}

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

}  // namespace corvane
