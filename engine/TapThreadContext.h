// What the tap callback knows about the tap thread it runs on. Set by runTapThread for the
// length of its run loop; the callback is registered with no user info.
#pragma once

#include "engine/Platform.h"

namespace corvane {

class KeyboardShortcutManager;

struct TapThreadContext {
  KeyboardShortcutManager* manager;
  KeyboardEventServices* events;
  MachPortRef port;  // the thread's own reference to its tap
};

extern constinit thread_local const TapThreadContext* currentTapThread;

}  // namespace corvane
