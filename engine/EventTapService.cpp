// The tap service: start and stop on the main thread, the tap's run loop on a thread of its own.
#include <chrono>

#include "engine/KeyboardShortcutManager.h"
#include "engine/TapThreadContext.h"

namespace corvane {

constinit thread_local const TapThreadContext* currentTapThread = nullptr;
constinit thread_local RememberedFront rememberedFront;

void KeyboardShortcutManager::start() {
  if (eventTap) return;
  std::weak_ptr<KeyboardShortcutManager> weakManager = weak_from_this();
  const uint64_t generation = ++tapGeneration_;
  stoppedForLostTrust = false;
  stoppedForTapTimeouts = false;
  eventTapThread.store(std::thread(
      [weakManager, generation] { runTapThread(weakManager, kKeyEventMask, generation); }));
  isEnabled = true;  // at once: the tap may not exist yet when start returns
}

void KeyboardShortcutManager::runTapThread(std::weak_ptr<KeyboardShortcutManager> weakManager,
                                           EventMask mask, uint64_t generation) {
  const std::shared_ptr<KeyboardShortcutManager> self = weakManager.lock();
  if (!self) return;
  KeyboardEventServices& events = self->events_;
  events.setCurrentThreadUserInteractive();

  // The thread keeps references of its own to the port, source and run loop; the manager's
  // fields hold others, which stop may release while this thread is still leaving its loop.
  const Retained<MachPortRef> port(
      events, events.tapCreate(kSessionEventTap, kHeadInsertEventTap, kEventTapOptionDefault, mask,
                               &eventTapCallback, nullptr));
  if (!port) {
    // eventTap is left as it is (none): a newer start may already have stored its own tap.
    self->handTapCreationFailureToMain(generation);
    return;
  }
  self->eventTap.store(port.retainedCopy());

  const Retained<RunLoopSourceRef> source(events, events.machPortCreateRunLoopSource(port.get()));
  self->runLoopSource.store(source.retainedCopy());
  if (!source) {
    // A tap that cannot be attached to a run loop would never deliver: give it up like a tap
    // that could not be created.
    events.machPortInvalidate(port.get());
    self->eventTap.reset();
    self->handTapCreationFailureToMain(generation);
    return;
  }

  RunLoopRef currentLoop = events.runLoopGetCurrent();
  events.retain(currentLoop);
  const Retained<RunLoopRef> loop(events, currentLoop);
  // Storing the run loop completes the installation: stop acts only on a tap whose run loop is
  // stored, so it never sees a half-installed tap.
  self->eventTapRunLoop.store(loop.retainedCopy());

  events.runLoopAddSource(loop.get(), source.get());
  events.tapEnable(port.get(), true);
  // A release (of Fn, or of a modifier tapped alone) that came while no tap ran must not leave
  // the key "down".
  self->readKeyboardState();

  const TapThreadContext context{self.get(), &events, port.get()};
  currentTapThread = &context;
  events.runLoopRun();
  currentTapThread = nullptr;
  // The manager, port, source and run loop references of this thread are dropped here.
}

void KeyboardShortcutManager::handTapCreationFailureToMain(uint64_t generation) {
  struct HandBack {
    std::shared_ptr<KeyboardShortcutManager> manager;
    uint64_t generation;
  };
  mainQueue_.asyncAfter(
      std::chrono::nanoseconds(0),
      [](void* context) {
        const std::unique_ptr<HandBack> handBack(static_cast<HandBack*>(context));
        KeyboardShortcutManager& manager = *handBack->manager;
        // A start or stop made since then has the last word.
        if (manager.tapGeneration_ != handBack->generation) return;
        manager.eventTapThread.reset();
        manager.isEnabled = false;
      },
      new HandBack{shared_from_this(), generation});
}

void KeyboardShortcutManager::stop() {
  tapCandidate_.store(0, std::memory_order_relaxed);  // a modifier pressed before is no tap
  // The run loop is stored last by the tap thread: without it there is no tap to stop yet
  // (idle, still starting, or creation failed), and stop does nothing.
  const RunLoopRef loop = eventTapRunLoop.get();
  const MachPortRef port = eventTap.get();
  if (port == nullptr || loop == nullptr) return;
  const RunLoopSourceRef source = runLoopSource.get();

  events_.tapEnable(port, false);
  // The port is invalidated before the loop is stopped. The tap thread may be between storing
  // its run loop and running it: a stop reaches only a running loop, and taking a source out
  // does not wake a loop, so a stop made before the thread's run, followed by an invalidation
  // made after it, would leave the thread asleep in a loop with no source. Once the port is
  // invalid its source can no longer be added, so the run that follows returns at once, and a
  // run already under way is ended by the stop.
  if (source != nullptr) events_.runLoopRemoveSource(loop, source);
  events_.machPortInvalidate(port);
  if (source != nullptr) events_.runLoopStop(loop);

  eventTap.reset();
  runLoopSource.reset();
  eventTapRunLoop.reset();
  eventTapThread.reset();
  ++tapGeneration_;
  isEnabled = false;
}

void KeyboardShortcutManager::stopForLostTrust() {
  if (!eventTap) return;
  stoppedForLostTrust = true;  // before stop's isEnabled assignment, which announces both
  stop();
}

}  // namespace corvane
