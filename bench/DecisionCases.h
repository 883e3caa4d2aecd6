// The per-event decision cases measured on the null platform, shared by the Google Benchmark
// suite and the callgrind driver.
#pragma once

#include <array>
#include <string_view>

#include "bench/NullPlatform.h"
#include "engine/KeyboardShortcutManager.h"

namespace corvane::bench {

struct DecisionCase {
  std::string_view id;    // command-line name
  std::string_view what;  // for the report
  EventType type;
  NullEvent event;
  std::string_view frontmost;  // what the workspace answers
  bool needsEntry;             // the key code must be in consumedKeyUps before each event
};

inline constexpr std::array<DecisionCase, 10> kDecisionCases = {{
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
}};

}  // namespace corvane::bench
