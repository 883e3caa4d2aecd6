// Construction and the per-event decision.
#include "engine/KeyboardShortcutManager.h"

#include <chrono>
#include <limits>

#include "engine/ShortcutKeys.h"
#include "engine/TapThreadContext.h"

namespace corvane {

KeyboardShortcutManager::KeyboardShortcutManager(std::shared_ptr<Platform> platform)
    : platform_(std::move(platform)),
      events_(platform_->events()),
      workspace_(platform_->workspace()),
      mainQueue_(platform_->mainQueue()),
      pauser_(platform_->pauser()) {
  for (size_t i = 0; i < kNamedKeys.size(); ++i) {
    namedKeys_[i].store(kNamedKeys[i], std::memory_order_relaxed);
  }
}

EventRef KeyboardShortcutManager::handleEvent(EventType type, EventRef event) {
  // The engine's own events pass untouched, whatever their type; a marked key-up leaves
  // consumedKeyUps alone.
  if (events_.eventGetIntegerValueField(event, kEventSourceUserData) == kEventMarker) return event;
  const int64_t keyCode = events_.eventGetIntegerValueField(event, kKeyboardEventKeycode);
  if (type == kEventKeyDown) {
    // A key that no rule names is not translated: it passes. It is still kept track of: the
    // user's rules can come to name it while it is held. (While a key viewer is open every key
    // counts as named, so that it is recorded: this path reads nothing more for the viewer.)
    if (!isNamedNow(keyCode)) return passKeyDown(keyCode, event);
    if (keyViewerOpen_.load(std::memory_order_relaxed)) [[unlikely]] {
      return decideKeyDownForViewer(keyCode, event);
    }
    return decideKeyDown(keyCode, event);
  }
  if (type == kEventKeyUp) {
    // The key-up of a translated key-down is swallowed once.
    if (consumedKeyUps.contains(keyCode) && consumedKeyUps.erase(keyCode)) return nullptr;
    if (heldByApplication.contains(keyCode)) heldByApplication.erase(keyCode);
    return event;
  }
  // Flags-changed (modifier presses and releases) and every other type pass; the Fn key's own
  // tells whether it is down.
  if (type == kEventFlagsChanged) {
    // With a modifier tapped alone in the rules, the event is handed on whole (the Fn key's too):
    // nothing of this call is needed after it, so every other event keeps its small frame.
    if (tappedModifiers_.load(std::memory_order_relaxed) != 0) [[unlikely]] {
      return trackTappedModifier(keyCode, event);
    }
    if (keyCode == kKeyFunction) {
      fnKeyDown.store((events_.eventGetFlags(event) & kFlagFn) != 0, std::memory_order_relaxed);
    }
  }
  return event;
}

EventRef KeyboardShortcutManager::handleEvent(EventType type, EventRef event,
                                              DecisionOutcome& outcome) {
  if (type != kEventKeyDown ||
      events_.eventGetIntegerValueField(event, kEventSourceUserData) == kEventMarker) {
    return handleEvent(type, event);
  }
  const int64_t keyCode = events_.eventGetIntegerValueField(event, kKeyboardEventKeycode);
  if (!isNamedNow(keyCode)) {
    outcome = {OutcomeCode::noShortcut, kNoRuleIndex};
    return passKeyDown(keyCode, event);
  }
  return decideKeyDown(keyCode, event, outcome);
}

EventRef KeyboardShortcutManager::decideKeyDownForViewer(int64_t keyCode, EventRef event) {
  KeyRecord record;
  record.type = kEventKeyDown;
  record.keyCode = keyCode;
  record.flags = flagsAsRead(keyCode, events_.eventGetFlags(event));
  record.swapFnAndControl = swapFnAndControl.get();
  record.swapOptionAndCommand = swapOptionAndCommand.get();
  if (recording_.load(std::memory_order_relaxed)) {
    // The recorder takes the key: it is swallowed, and so is its key-up; a key between Ctrl's
    // press and release means Ctrl was not tapped alone. The auto-repeat of a key the
    // application holds from before is swallowed alone: its key-up is the application's.
    tapCandidate_.store(0, std::memory_order_relaxed);
    if (heldByApplication.contains(keyCode)) return nullptr;
    record.outcome = {OutcomeCode::recorded, kNoRuleIndex};
    consumedKeyUps.insert(keyCode);
    keyViewer_.push(record);
    return nullptr;
  }
  // A key no rule names comes to "no shortcut" here as well, only by a longer way.
  EventRef verdict = decideKeyDown(keyCode, event, record.outcome);
  keyViewer_.push(record);
  return verdict;
}

EventFlags KeyboardShortcutManager::flagsAsRead(int64_t keyCode, EventFlags flags) const {
  // The system sets Fn on every function key's events: for the navigation keys Fn counts only
  // when the Fn key is down; for F1-F20 it never counts (on a laptop the Fn key is what makes
  // them F-keys). (Without the Fn bit and the Fn key, there is nothing to replace.)
  const bool fnDown = fnKeyDown.load(std::memory_order_relaxed);
  if (((flags & kFlagFn) != 0 || fnDown) && isFunctionKey(keyCode)) [[unlikely]] {
    flags = (flags & ~kFlagFn) | (fnDown && !isFKey(keyCode) ? kFlagFn : 0);
  }
  return flags;
}

EventRef KeyboardShortcutManager::decideKeyDown(int64_t keyCode, EventRef event) {
  return decideKeyDown(keyCode, event, nullptr);
}

EventRef KeyboardShortcutManager::decideKeyDown(int64_t keyCode, EventRef event,
                                                DecisionOutcome& outcome) {
  return decideKeyDown(keyCode, event, &outcome);
}

inline EventRef KeyboardShortcutManager::decideKeyDown(int64_t keyCode, EventRef event,
                                                       DecisionOutcome* outcome) {
  const EventFlags flags = flagsAsRead(keyCode, events_.eventGetFlags(event));
  // The user's rules, when there are any, are read under a guard, away from this path.
  if (ruleTable_.load(std::memory_order_relaxed) != nullptr) [[unlikely]] {
    return decideWithRules(keyCode, flags, event, outcome);
  }
  return decideBuiltin(keyCode, flags, event, outcome);
}

void KeyboardShortcutManager::openKeyViewer() {
  keyViewer_.discard();
  keyViewerOpen_.store(true, std::memory_order_relaxed);
  publishNamedKeys();
}

void KeyboardShortcutManager::closeKeyViewer() {
  keyViewerOpen_.store(false, std::memory_order_relaxed);
  publishNamedKeys();
  keyViewer_.discard();
}

void KeyboardShortcutManager::startRecording() {
  if (recording_.load(std::memory_order_relaxed)) return;
  viewerOpenBeforeRecording_ = isKeyViewerOpen();
  if (!viewerOpenBeforeRecording_) openKeyViewer();
  recording_.store(true, std::memory_order_relaxed);
  publishTappedModifiers();
}

void KeyboardShortcutManager::stopRecording() {
  if (!recording_.load(std::memory_order_relaxed)) return;
  recording_.store(false, std::memory_order_relaxed);
  publishTappedModifiers();
  tapCandidate_.store(0, std::memory_order_relaxed);  // a modifier pressed while recording
  if (!viewerOpenBeforeRecording_) closeKeyViewer();
}

void KeyboardShortcutManager::recordTranslated(int64_t keyCode, Action action, int64_t userKey) {
  tapCandidate_.store(0, std::memory_order_relaxed);  // a key between: no tap alone
  if (!heldByApplication.contains(keyCode)) {
    consumedKeyUps.insert(keyCode);
  } else if ((action != Action::none ? postedKey(action) : userKey) == keyCode) {
    // The key went down untranslated and a modifier came during its auto-repeat: the
    // keystroke posted now is of the same key, and its key-up releases it in the
    // application, so the user's key-up is the translated one's.
    heldByApplication.erase(keyCode);
    consumedKeyUps.insert(keyCode);
  }
  // Otherwise the application still holds the key from the press that passed (hold F4, then
  // Alt: Command-W is posted) and must see its key-up, so it is not recorded.
}

void KeyboardShortcutManager::readKeyboardState() {
  const EventFlags held = events_.eventSourceFlagsState(kEventSourceStateHIDSystemState);
  fnKeyDown.store((held & kFlagFn) != 0, std::memory_order_relaxed);
  // A modifier released while no tap ran must not count as still held, or its next tap alone
  // would read as no change.
  modifiersHeld_.store(windowsModifiers(held), std::memory_order_relaxed);
}

void KeyboardShortcutManager::tapSwitchedOff(const TapThreadContext& context, EventType reason) {
  if (reason == kEventTapDisabledByTimeout) {
    // Switched off by timeout for the third time within the window: the permission was taken
    // away, or something keeps this thread from answering. Each switch-on would make the next
    // key of the session wait for the timeout again, so the tap stays off and translation stops,
    // from the main thread. Switch-offs by the user's input do not count.
    const int64_t now = pauser_.uptime().count();
    const int64_t window = std::chrono::nanoseconds(kTimeoutWindow).count();
    const int64_t oldest = context.timedOutAt[0];
    if (oldest != std::numeric_limits<int64_t>::min() && now - oldest < window) {
      if (timedOutTap_.exchange(context.port, std::memory_order_acq_rel) == context.port) return;
      mainQueue_.asyncAfter(std::chrono::nanoseconds(0), &runTapTimeouts, holdForDelayedWork());
      return;
    }
    context.timedOutAt = {context.timedOutAt[1], now};
  }
  // Too slow once, or the user's input: switch it back on at once, or keys would reach
  // applications untranslated while the window says "Active". Whether the process is still
  // trusted is the main thread's to find out (probeTrust, every 2 seconds).
  events_.tapEnable(context.port, true);
  readKeyboardState();
}

void KeyboardShortcutManager::runTapTimeouts(void* context) {
  const DelayedHold::Taken taken = DelayedHold::take(context);
  KeyboardShortcutManager& manager = *taken.manager;
  const MachPortRef port = manager.timedOutTap_.exchange(nullptr, std::memory_order_acq_rel);
  // Only the tap that was switched off: a stop and start since then has the last word.
  if (port == nullptr || port != manager.eventTap.get()) return;
  manager.stoppedForTapTimeouts = true;  // before stop's isEnabled assignment, which announces it
  manager.stop();
}

namespace {
EventRef passEverything(TapProxy /*proxy*/, EventType /*type*/, EventRef event, void* /*info*/) {
  return event;
}
}  // namespace

bool KeyboardShortcutManager::probeTrust() {
  // Only key-downs and key-ups: the system clears from a tap's mask what the process may not
  // see, and gives no tap when nothing is left (CGEventTapCreate in CGEvent.h).
  const MachPortRef port =
      events_.tapCreate(kSessionEventTap, kHeadInsertEventTap, kEventTapOptionDefault,
                        kKeyDownUpMask, &passEverything, nullptr);
  if (port == nullptr) return false;
  events_.machPortInvalidate(port);
  events_.release(port);
  return true;
}

EventRef eventTapCallback(TapProxy /*proxy*/, EventType type, EventRef event, void* /*userInfo*/) {
  const TapThreadContext* context = currentTapThread;
  if (context == nullptr) return event;  // not on a tap thread: nothing to decide with
  if (type == kEventTapDisabledByTimeout || type == kEventTapDisabledByUserInput) {
    context->manager->tapSwitchedOff(*context, type);
    return event;
  }
  return context->manager->handleEvent(type, event);
}

}  // namespace corvane
