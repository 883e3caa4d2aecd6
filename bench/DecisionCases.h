// The per-event decision cases measured on the null platform, shared by the Google Benchmark
// suite and the callgrind driver.
#pragma once

#include <array>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/NullPlatform.h"
#include "engine/KeyboardShortcutManager.h"
#include "rules/KeyNames.h"
#include "rules/RulesFile.h"

namespace corvane::bench {

struct DecisionCase {
  std::string_view id;    // command-line name
  std::string_view what;  // for the report
  EventType type;
  NullEvent event;
  std::string_view frontmost;  // what the workspace answers
  bool needsEntry;             // the key code must be in consumedKeyUps before each event
  bool withRules = false;      // decided with a rules file of 500 shortcuts (rulesForBench)
  bool viewerOpen = false;     // a key viewer is open: every key-down is recorded for it
  // A modifier tapped alone: the event's flags and none in turn (press, release), each release
  // running the rules' shortcut for it.
  bool tapped = false;
  // With rules: the file's ten Win+digit shortcuts open Dock positions instead of sending keys.
  bool withDock = false;
};

inline constexpr std::array<DecisionCase, 21> kDecisionCases = {{
    {"untranslated-down",
     "unmarked untranslated key-down (H)",
     kEventKeyDown,
     {4, 0, 0},
     "com.apple.Terminal",
     false},
    {"untranslated-named-down",
     "unmarked untranslated key-down of a key the rules name (C, no modifier)",
     kEventKeyDown,
     {8, 0, 0},
     "com.apple.Terminal",
     false},
    {"untranslated-up",
     "unmarked key-up with no entry (H)",
     kEventKeyUp,
     {4, 0, 0},
     "com.apple.Terminal",
     false},
    {"translated-down",
     "translated key-down Fn+C (copy: posts Command-C down and up)",
     kEventKeyDown,
     {8, kFlagFn, 0},
     "com.apple.Terminal",
     false},
    {"swallowed-up",
     "swallowed key-up of a translated key-down (C)",
     kEventKeyUp,
     {8, 0, 0},
     "com.apple.Terminal",
     true},
    {"marked",
     "marked event (field 42 = 1; Fn+C key-down)",
     kEventKeyDown,
     {8, kFlagFn, 1},
     "com.apple.Terminal",
     false},
    {"flags-changed",
     "flags-changed (Fn)",
     kEventFlagsChanged,
     {63, kFlagFn, 0},
     "com.apple.Terminal",
     false},
    {"browser-query",
     "Shift+Tab: browser query, frontmost not a browser",
     kEventKeyDown,
     {48, kFlagShift, 0},
     "com.apple.Terminal",
     false},
    {"browser-reopen",
     "Shift+Tab in a browser: query, reopenTab scheduled",
     kEventKeyDown,
     {48, kFlagShift, 0},
     "org.mozilla.firefox",
     false},
    {"rename-scheduled",
     "F2: renameFile scheduled",
     kEventKeyDown,
     {120, 0, 0},
     "com.apple.Terminal",
     false},
    {"rules-untranslated-down",
     "500 shortcuts: unmarked untranslated key-down (H)",
     kEventKeyDown,
     {4, 0, 0},
     "com.apple.TextEdit",
     false,
     true},
    {"rules-untranslated-named-down",
     "500 shortcuts: untranslated key-down of a key they name (O, no modifier)",
     kEventKeyDown,
     {31, 0, 0},
     "com.apple.TextEdit",
     false,
     true},
    {"rules-translated-down",
     "500 shortcuts: translated built-in key-down Fn+C (copy)",
     kEventKeyDown,
     {8, kFlagFn, 0},
     "com.apple.TextEdit",
     false,
     true},
    {"rules-user-translated-down",
     "500 shortcuts: translated key-down of the user's Fn+O (posts Command-O)",
     kEventKeyDown,
     {31, kFlagFn, 0},
     "com.apple.TextEdit",
     false,
     true},
    {"rules-excluded-down",
     "500 shortcuts: built-in Fn+C in an excluded application (a pattern of remote)",
     kEventKeyDown,
     {8, kFlagFn, 0},
     "com.parallels.winapp.notepad",
     false,
     true},
    {"rules-tapped-alone",
     "500 shortcuts: Win (Option) tapped alone, press and release in turn (posts Cmd+Space)",
     kEventFlagsChanged,
     {58, kFlagOption, 0},
     "com.apple.TextEdit",
     false,
     true,
     false,
     true},
    {"viewer-untranslated-down",
     "key viewer open: unmarked untranslated key-down (H), recorded",
     kEventKeyDown,
     {4, 0, 0},
     "com.apple.Terminal",
     false,
     false,
     true},
    {"viewer-translated-down",
     "key viewer open: translated key-down Fn+C (copy), recorded",
     kEventKeyDown,
     {8, kFlagFn, 0},
     "com.apple.Terminal",
     false,
     false,
     true},
    {"dock-untranslated-down",
     "500 shortcuts, ten of them Dock positions: unmarked untranslated key-down (H)",
     kEventKeyDown,
     {4, 0, 0},
     "com.apple.TextEdit",
     false,
     true,
     false,
     false,
     true},
    {"dock-user-translated-down",
     "500 shortcuts, ten of them Dock positions: the user's Fn+O (posts Command-O)",
     kEventKeyDown,
     {31, kFlagFn, 0},
     "com.apple.TextEdit",
     false,
     true,
     false,
     false,
     true},
    {"dock-down",
     "500 shortcuts, ten of them Dock positions: Win (Option)+2, the Dock's 2nd application "
     "opened from the main queue",
     kEventKeyDown,
     {19, kFlagOption, 0},
     "com.apple.TextEdit",
     false,
     true,
     false,
     false,
     true},
}};

// A rules file of 500 shortcuts over every key and eight modifier sets, spread over groups,
// patterns and except (of every five: one in one application, one in a group of the file's, one
// in a pattern, one everywhere but the terminals, one everywhere); terminals and remote
// excluded (remote keeping Alt+Tab and Win+E); Ctrl+C off in the file's group; Win tapped alone
// opens Spotlight. Ctrl+O sends Command-O; Ctrl+C, C and H are left to the built-ins. With dock,
// Win+1 to Win+9 and Win+0 open Dock positions 1 to 10 instead, where they apply.
inline RulesFile rulesForBench(bool dock = false) {
  static constexpr std::string_view kModifiers[] = {
      "Ctrl+", "Ctrl+Shift+", "Win+", "Alt+", "Win+Shift+", "Alt+Shift+", "Ctrl+Alt+", "Shift+"};
  std::string text = R"({"groups": {"editors": ["com.microsoft.VSCode", "com.jetbrains.*",
      "com.sublimetext.4", "com.panic.Nova"]},
      "exclude": ["terminals", {"apps": ["remote"], "keep": ["Alt+Tab", "Win+E"]}],
      "disable": ["Shift+Tab", {"name": "Ctrl+C", "in": ["editors"]}],
      "shortcuts": [{"press": "Ctrl+O", "send": "Cmd+O"}, {"press": "Win", "send": "Cmd+Space"})";
  int count = 2;
  for (std::string_view modifiers : kModifiers) {
    for (const KeyName& key : keyNames()) {
      if (count == 500) break;
      const std::string press = std::string(modifiers) + std::string(key.name);
      // Each key once: not its other names (Plus is Equal), and not the keys left to built-ins.
      if (key.name == "C" || key.name == "H" || press == "Ctrl+O" ||
          keyNameOf(key.code) != key.name) {
        continue;
      }
      const bool digit = key.name.size() == 1 && key.name[0] >= '0' && key.name[0] <= '9';
      if (dock && digit && modifiers == "Win+") {
        const int position = key.name[0] == '0' ? 10 : key.name[0] - '0';
        text += ",{\"press\": \"" + press + "\", \"dock\": " + std::to_string(position);
      } else {
        text += ",{\"press\": \"" + press + "\", \"send\": \"Cmd+Option+" + std::string(key.name) +
                "\"";
      }
      switch (count % 5) {
        case 0:
          text += ", \"apps\": [\"com.example.App" + std::to_string(count) + "\"]";
          break;
        case 1:
          text += ", \"apps\": [\"editors\"]";
          break;
        case 2:
          text += ", \"apps\": [\"com.example.vendor" + std::to_string(count) + ".*\"]";
          break;
        case 3:
          text += ", \"except\": [\"terminals\"]";
          break;
        default:
          break;
      }
      text += "}";
      ++count;
    }
  }
  text += "]}";
  RulesParse parse = parseRules(text);
  if (!parse.rules || parse.rules->shortcuts.size() != 500) std::abort();
  return std::move(*parse.rules);
}

}  // namespace corvane::bench
