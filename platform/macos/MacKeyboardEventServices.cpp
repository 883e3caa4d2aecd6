#include "platform/macos/MacKeyboardEventServices.h"

#include <ApplicationServices/ApplicationServices.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <pthread/qos.h>

#include <type_traits>

#include "engine/KeyboardShortcutManager.h"

namespace corvane::mac {

// The engine is written in the platform's own values: hold it to them.
static_assert(kHIDEventTap == static_cast<TapLocation>(kCGHIDEventTap));
static_assert(kSessionEventTap == static_cast<TapLocation>(kCGSessionEventTap));
static_assert(kHeadInsertEventTap == static_cast<TapPlacement>(kCGHeadInsertEventTap));
static_assert(kTailAppendEventTap == static_cast<TapPlacement>(kCGTailAppendEventTap));
static_assert(kEventTapOptionDefault == static_cast<TapOptions>(kCGEventTapOptionDefault));
static_assert(kEventTapOptionListenOnly == static_cast<TapOptions>(kCGEventTapOptionListenOnly));
static_assert(kEventKeyDown == static_cast<EventType>(kCGEventKeyDown));
static_assert(kEventKeyUp == static_cast<EventType>(kCGEventKeyUp));
static_assert(kEventFlagsChanged == static_cast<EventType>(kCGEventFlagsChanged));
static_assert(kEventTapDisabledByTimeout == static_cast<EventType>(kCGEventTapDisabledByTimeout));
static_assert(kEventTapDisabledByUserInput ==
              static_cast<EventType>(kCGEventTapDisabledByUserInput));
static_assert(kKeyboardEventKeycode == static_cast<EventField>(kCGKeyboardEventKeycode));
static_assert(kEventSourceUserData == static_cast<EventField>(kCGEventSourceUserData));
static_assert(kFlagShift == kCGEventFlagMaskShift);
static_assert(kFlagControl == kCGEventFlagMaskControl);
static_assert(kFlagOption == kCGEventFlagMaskAlternate);
static_assert(kFlagCommand == kCGEventFlagMaskCommand);
static_assert(kFlagFn == kCGEventFlagMaskSecondaryFn);
static_assert(kEventSourceStateHIDSystemState ==
              static_cast<EventSourceState>(kCGEventSourceStateHIDSystemState));
static_assert(std::is_same_v<EventFlags, CGEventFlags>);
static_assert(std::is_same_v<EventMask, CGEventMask>);
static_assert(std::is_same_v<KeyCode, CGKeyCode>);
static_assert(std::is_same_v<std::underlying_type_t<CGEventType>, EventType>);

namespace {

CGEventRef cg(EventRef event) {
  return reinterpret_cast<CGEventRef>(event);
}
CGEventSourceRef cg(EventSourceRef source) {
  return reinterpret_cast<CGEventSourceRef>(source);
}
CFMachPortRef cf(MachPortRef port) {
  return reinterpret_cast<CFMachPortRef>(port);
}
CFRunLoopRef cf(RunLoopRef loop) {
  return reinterpret_cast<CFRunLoopRef>(loop);
}
CFRunLoopSourceRef cf(RunLoopSourceRef source) {
  return reinterpret_cast<CFRunLoopSourceRef>(source);
}

// The tap's callback as CoreGraphics calls it, with CoreGraphics' own types: it hands the event
// to the engine's callback, each value converted on its own (no function pointer is cast).
CGEventRef forwardToEngine(CGEventTapProxy proxy, CGEventType type, CGEventRef event,
                           void* userInfo) {
  return cg(eventTapCallback(reinterpret_cast<TapProxy>(proxy), static_cast<EventType>(type),
                             reinterpret_cast<EventRef>(event), userInfo));
}

}  // namespace

MachPortRef MacKeyboardEventServices::tapCreate(TapLocation location, TapPlacement placement,
                                                TapOptions options, EventMask eventsOfInterest,
                                                EventTapCallback callback, void* userInfo) {
  // The engine taps with its one callback, which forwardToEngine calls; a tap for any other
  // cannot be made here.
  if (callback != &eventTapCallback) return nullptr;
  return reinterpret_cast<MachPortRef>(CGEventTapCreate(
      static_cast<CGEventTapLocation>(location), static_cast<CGEventTapPlacement>(placement),
      static_cast<CGEventTapOptions>(options), eventsOfInterest, &forwardToEngine, userInfo));
}

void MacKeyboardEventServices::tapEnable(MachPortRef tap, bool enable) {
  CGEventTapEnable(cf(tap), enable);
}

RunLoopSourceRef MacKeyboardEventServices::machPortCreateRunLoopSource(MachPortRef port) {
  return reinterpret_cast<RunLoopSourceRef>(
      CFMachPortCreateRunLoopSource(kCFAllocatorDefault, cf(port), 0));
}

RunLoopRef MacKeyboardEventServices::runLoopGetCurrent() {
  return reinterpret_cast<RunLoopRef>(CFRunLoopGetCurrent());
}

void MacKeyboardEventServices::runLoopAddSource(RunLoopRef loop, RunLoopSourceRef source) {
  CFRunLoopAddSource(cf(loop), cf(source), kCFRunLoopCommonModes);
}

void MacKeyboardEventServices::runLoopRemoveSource(RunLoopRef loop, RunLoopSourceRef source) {
  CFRunLoopRemoveSource(cf(loop), cf(source), kCFRunLoopCommonModes);
}

void MacKeyboardEventServices::runLoopRun() {
  CFRunLoopRun();
}

void MacKeyboardEventServices::runLoopStop(RunLoopRef loop) {
  CFRunLoopStop(cf(loop));
}

void MacKeyboardEventServices::machPortInvalidate(MachPortRef port) {
  CFMachPortInvalidate(cf(port));
}

int64_t MacKeyboardEventServices::eventGetIntegerValueField(EventRef event, EventField field) {
  return CGEventGetIntegerValueField(cg(event), static_cast<CGEventField>(field));
}

EventFlags MacKeyboardEventServices::eventGetFlags(EventRef event) {
  return CGEventGetFlags(cg(event));
}

EventSourceRef MacKeyboardEventServices::eventSourceCreate(EventSourceState state) {
  return reinterpret_cast<EventSourceRef>(
      CGEventSourceCreate(static_cast<CGEventSourceStateID>(state)));
}

EventRef MacKeyboardEventServices::eventCreateKeyboardEvent(EventSourceRef source, KeyCode key,
                                                            bool keyDown) {
  return reinterpret_cast<EventRef>(CGEventCreateKeyboardEvent(cg(source), key, keyDown));
}

void MacKeyboardEventServices::eventSetFlags(EventRef event, EventFlags flags) {
  CGEventSetFlags(cg(event), flags);
}

void MacKeyboardEventServices::eventSetIntegerValueField(EventRef event, EventField field,
                                                         int64_t value) {
  CGEventSetIntegerValueField(cg(event), static_cast<CGEventField>(field), value);
}

void MacKeyboardEventServices::eventPost(TapLocation location, EventRef event) {
  CGEventPost(static_cast<CGEventTapLocation>(location), cg(event));
}

EventFlags MacKeyboardEventServices::eventSourceFlagsState(EventSourceState state) {
  return CGEventSourceFlagsState(static_cast<CGEventSourceStateID>(state));
}

void MacKeyboardEventServices::setCurrentThreadUserInteractive() {
  // A thread that cannot be raised still runs the tap, only at default priority.
  (void)pthread_set_qos_class_self_np(QOS_CLASS_USER_INTERACTIVE, 0);
}

// CFRetain and CFRelease crash on NULL; the engine's references may be absent (a failed create).
void MacKeyboardEventServices::retain(const void* ref) {
  if (ref != nullptr) CFRetain(ref);
}

void MacKeyboardEventServices::release(const void* ref) {
  if (ref != nullptr) CFRelease(ref);
}

}  // namespace corvane::mac
