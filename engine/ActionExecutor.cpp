// The action executor and keystroke synthesis.
#include <chrono>
#include <string>
#include <vector>

#include "engine/KeyboardShortcutManager.h"

namespace corvane {
namespace {

struct ReopenStep {
  KeyCode key;
  bool keyDown;
  EventFlags flags;
  uint32_t pauseAfterMicroseconds;
};

// Command-Shift-T as six events; each modifier's key-down carries its own bit, its key-up not.
constexpr std::array<ReopenStep, 6> kReopenTabSequence = {{
    {55, true, kFlagCommand, 12000},
    {56, true, kFlagCommand | kFlagShift, 12000},
    {17, true, kFlagCommand | kFlagShift, 10000},
    {17, false, kFlagCommand | kFlagShift, 12000},
    {56, false, kFlagCommand, 12000},
    {55, false, 0, 0},
}};

}  // namespace

void KeyboardShortcutManager::runReopenTab(void* context) {
  const DelayedHold::Taken taken = DelayedHold::take(context);
  taken.manager->postReopenTabSequence();
}

void KeyboardShortcutManager::runDelayedKey(void* context) {
  const Work& work = actionEntry(static_cast<DelayedHold*>(context)->action).work;
  const DelayedHold::Taken taken = DelayedHold::take(context);
  taken.manager->postKeystrokeWithFlags(work.flags, work.key);
}

void KeyboardShortcutManager::performAction(std::string_view name) {
  const Action action = actionNamed(name);
  if (action != Action::none) perform(action);
}

int64_t KeyboardShortcutManager::postedKey(Action action) {
  const ActionWork& work = kActionWork[static_cast<size_t>(action)];
  return work.kind == Work::Kind::keystroke ? work.key : -1;
}

void KeyboardShortcutManager::perform(Action action) {
  const ActionWork& work = kActionWork[static_cast<size_t>(action)];
  if (work.kind == Work::Kind::keystroke) [[likely]] {
    postKeystrokeWithFlags(work.flags, work.key);
    return;
  }
  switch (work.kind) {
    case Work::Kind::keystroke:
      return;
    case Work::Kind::open:
      openOnMainQueue(actionEntry(action).work.path);
      return;
    case Work::Kind::delayedKey: {
      DelayedHold* hold = holdForDelayedWork();
      hold->action = action;
      mainQueue_.asyncAfter(std::chrono::milliseconds(work.delayMilliseconds), &runDelayedKey,
                            hold);
      return;
    }
    case Work::Kind::reopenTab:
      mainQueue_.asyncAfter(std::chrono::milliseconds(work.delayMilliseconds), &runReopenTab,
                            holdForDelayedWork());
      return;
  }
}

void KeyboardShortcutManager::runOpenApplication(void* context) {
  // The path is copied before the hold is given back (main thread: allocating is fine here).
  const std::string path = static_cast<DelayedHold*>(context)->path;
  const DelayedHold::Taken taken = DelayedHold::take(context);
  taken.manager->workspace_.openApplication(path);  // the answer is ignored
}

void KeyboardShortcutManager::openOnMainQueue(std::string_view path) {
  DelayedHold* hold = holdForDelayedWork();
  hold->path.assign(path);  // within the reserved capacity: no allocation
  mainQueue_.asyncAfter(std::chrono::nanoseconds(0), &runOpenApplication, hold);
}

void KeyboardShortcutManager::runOpenDockApplication(void* context) {
  const size_t position = static_cast<DelayedHold*>(context)->dockPosition;
  const DelayedHold::Taken taken = DelayedHold::take(context);
  Workspace& workspace = taken.manager->workspace_;
  const std::vector<std::string> dock = workspace.dockApplications();
  // A position past the Dock's end does nothing.
  if (position >= 1 && position <= dock.size()) {
    workspace.openApplicationWithBundleIdentifier(dock[position - 1]);
  }
}

void KeyboardShortcutManager::openDockApplicationOnMainQueue(uint8_t position) {
  DelayedHold* hold = holdForDelayedWork();
  hold->dockPosition = position;
  mainQueue_.asyncAfter(std::chrono::nanoseconds(0), &runOpenDockApplication, hold);
}

KeyboardShortcutManager::DelayedHold* KeyboardShortcutManager::holdForDelayedWork() {
  DelayedHold* hold = nullptr;
  for (DelayedHold& slot : delayedHolds_) {
    if (!slot.busy.exchange(true, std::memory_order_acquire)) {
      hold = &slot;
      break;
    }
  }
  if (hold == nullptr) {  // more delayed actions pending at once than slots: rare
    hold = new DelayedHold;
    hold->pooled = false;
  }
  hold->manager = this;
  hold->keepAlive = weak_from_this().lock();
  return hold;
}

KeyboardShortcutManager::DelayedHold::Taken KeyboardShortcutManager::DelayedHold::take(
    void* context) {
  auto* hold = static_cast<DelayedHold*>(context);
  Taken taken{std::move(hold->keepAlive), hold->manager};
  if (hold->pooled) {
    hold->busy.store(false, std::memory_order_release);
  } else {
    delete hold;
  }
  return taken;
}

void KeyboardShortcutManager::postKeystroke(std::span<const EventFlags> modifiers, KeyCode key) {
  EventFlags flags = 0;
  for (EventFlags modifier : modifiers) flags |= modifier;
  postKeystrokeWithFlags(flags, key);
}

void KeyboardShortcutManager::postKeystrokeWithFlags(EventFlags flags, KeyCode key) {
  // Made without a source when the platform gives none.
  EventSourceRef source = events_.eventSourceCreate(kEventSourceStateHIDSystemState);
  // The flags are set outright: modifiers the user holds (the Fn that played Ctrl) are not on
  // the posted events.
  EventRef keyDown = events_.eventCreateKeyboardEvent(source, key, true);
  if (keyDown != nullptr) {
    events_.eventSetFlags(keyDown, flags);
    events_.eventSetIntegerValueField(keyDown, kEventSourceUserData, kEventMarker);
    events_.eventPost(kHIDEventTap, keyDown);
  }
  EventRef keyUp = events_.eventCreateKeyboardEvent(source, key, false);
  if (keyUp != nullptr) {
    events_.eventSetFlags(keyUp, flags);
    events_.eventSetIntegerValueField(keyUp, kEventSourceUserData, kEventMarker);
    events_.eventPost(kHIDEventTap, keyUp);
    events_.release(keyUp);
  }
  if (keyDown != nullptr) events_.release(keyDown);
  if (source != nullptr) events_.release(source);
}

void KeyboardShortcutManager::postReopenTabSequence() {
  EventSourceRef source = events_.eventSourceCreate(kEventSourceStateHIDSystemState);
  if (source == nullptr) return;  // nothing is posted and there is no pause
  for (const ReopenStep& step : kReopenTabSequence) {
    if (EventRef event = events_.eventCreateKeyboardEvent(source, step.key, step.keyDown)) {
      events_.eventSetFlags(event, step.flags);
      events_.eventSetIntegerValueField(event, kEventSourceUserData, kEventMarker);
      events_.eventPost(kHIDEventTap, event);
      events_.release(event);
    }
    // A step whose event could not be made still keeps its pause.
    if (step.pauseAfterMicroseconds != 0) pauser_.usleep(step.pauseAfterMicroseconds);
  }
  events_.release(source);
}

}  // namespace corvane
