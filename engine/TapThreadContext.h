// What the tap callback knows about the tap thread it runs on. Set by runTapThread for the
// length of its run loop; the callback is registered with no user info.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "engine/Platform.h"
#include "engine/RuleTable.h"

namespace corvane {

class KeyboardShortcutManager;

struct TapThreadContext {
  KeyboardShortcutManager* manager;
  KeyboardEventServices* events;
  MachPortRef port;  // the thread's own reference to its tap
  // When the system last switched this tap off by timeout, older first (the pauser's uptime in
  // nanoseconds; the minimum: not yet). Only this tap's thread reads and writes them.
  mutable std::array<int64_t, 2> timedOutAt{std::numeric_limits<int64_t>::min(),
                                            std::numeric_limits<int64_t>::min()};
};

extern constinit thread_local const TapThreadContext* currentTapThread;

// The front application's classes as the last decision on this thread worked them out, good
// while the table (its serial) and the workspace's frontmost stamp stay what they were then.
// Each thread keeps its own: an old tap thread still deciding never reads a new one's.
struct RememberedFront {
  uint64_t table = 0;  // no table has serial 0
  uint64_t frontmostStamp = 0;
  FrontClasses classes;
};
extern constinit thread_local RememberedFront rememberedFront;

}  // namespace corvane
