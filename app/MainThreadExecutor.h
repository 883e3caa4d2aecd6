// Off the Mac the engine runs on the simulated session with a real clock. Its main-queue work
// (the delayed Return, the reopen-tab sequence, the hand-back of a failed tap creation) must run
// on the program's main thread, which is Qt's event loop.
#pragma once

class QObject;

namespace corvane {

class KeyboardShortcutManager;
namespace sim {
class SimulatedSession;
}

// The simulated session a manager runs on, or nullptr on another platform.
sim::SimulatedSession* simulatedSessionOf(KeyboardShortcutManager& manager);

// From now on the session's main-queue work is posted, from any thread, to the event loop of
// context's thread and run there after its delay. Work still queued when context is destroyed
// is dropped.
void runMainQueueOnEventLoop(sim::SimulatedSession& session, QObject* context);

inline constexpr const char* kSimulatedKeyboardNotice =
    "Corvane: no system keyboard is tapped on this platform; shortcuts are translated only on a "
    "simulated keyboard session inside the program.";

}  // namespace corvane
