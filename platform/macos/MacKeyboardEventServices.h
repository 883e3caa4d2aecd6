// The engine's keyboard event services on CoreGraphics event taps and CoreFoundation run loops.
#pragma once

#include "engine/Platform.h"

namespace corvane::mac {

// One CoreGraphics or CoreFoundation call per operation. tapCreate takes only the engine's
// eventTapCallback, which CoreGraphics reaches through a forwarding function of its own type. The
// engine's opaque references are the CG/CF objects themselves; every reference a create returns is
// owned by the caller, who gives it back through release (CFRelease).
class MacKeyboardEventServices final : public KeyboardEventServices {
 public:
  MachPortRef tapCreate(TapLocation location, TapPlacement placement, TapOptions options,
                        EventMask eventsOfInterest, EventTapCallback callback,
                        void* userInfo) override;
  void tapEnable(MachPortRef tap, bool enable) override;
  RunLoopSourceRef machPortCreateRunLoopSource(MachPortRef port) override;
  RunLoopRef runLoopGetCurrent() override;
  void runLoopAddSource(RunLoopRef loop, RunLoopSourceRef source) override;
  void runLoopRemoveSource(RunLoopRef loop, RunLoopSourceRef source) override;
  void runLoopRun() override;
  void runLoopStop(RunLoopRef loop) override;
  void machPortInvalidate(MachPortRef port) override;

  int64_t eventGetIntegerValueField(EventRef event, EventField field) override;
  EventFlags eventGetFlags(EventRef event) override;

  EventSourceRef eventSourceCreate(EventSourceState state) override;
  EventRef eventCreateKeyboardEvent(EventSourceRef source, KeyCode key, bool keyDown) override;
  void eventSetFlags(EventRef event, EventFlags flags) override;
  void eventSetIntegerValueField(EventRef event, EventField field, int64_t value) override;
  void eventPost(TapLocation location, EventRef event) override;
  EventFlags eventSourceFlagsState(EventSourceState state) override;
  void setCurrentThreadUserInteractive() override;

  void retain(const void* ref) override;
  void release(const void* ref) override;
};

}  // namespace corvane::mac
