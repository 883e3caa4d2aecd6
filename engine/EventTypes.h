// Platform values the engine's logic is written in: event types, fields, flag bits and
// tap parameters, exactly as CoreGraphics defines them.
#pragma once

#include <cstdint>

namespace corvane {

// Opaque platform references. On macOS they are the CoreGraphics / CoreFoundation objects
// themselves (CGEventRef, CGEventSourceRef, CFMachPortRef, CFRunLoopRef, CFRunLoopSourceRef);
// the simulated session uses objects of its own.
struct OpaqueEvent;
struct OpaqueEventSource;
struct OpaqueMachPort;
struct OpaqueRunLoop;
struct OpaqueRunLoopSource;
struct OpaqueTapProxy;
using EventRef = OpaqueEvent*;
using EventSourceRef = OpaqueEventSource*;
using MachPortRef = OpaqueMachPort*;
using RunLoopRef = OpaqueRunLoop*;
using RunLoopSourceRef = OpaqueRunLoopSource*;
using TapProxy = OpaqueTapProxy*;

using EventType = uint32_t;
inline constexpr EventType kEventKeyDown = 10;
inline constexpr EventType kEventKeyUp = 11;
inline constexpr EventType kEventFlagsChanged = 12;
inline constexpr EventType kEventTapDisabledByTimeout = 0xFFFFFFFE;
inline constexpr EventType kEventTapDisabledByUserInput = 0xFFFFFFFF;

using EventField = uint32_t;
inline constexpr EventField kKeyboardEventKeycode = 9;
inline constexpr EventField kEventSourceUserData = 42;

using EventFlags = uint64_t;
inline constexpr EventFlags kFlagShift = 0x20000;
inline constexpr EventFlags kFlagControl = 0x40000;
inline constexpr EventFlags kFlagOption = 0x80000;
inline constexpr EventFlags kFlagCommand = 0x100000;
inline constexpr EventFlags kFlagFn = 0x800000;

// The value in field 42 that marks every event the engine posts.
inline constexpr int64_t kEventMarker = 1;

using TapLocation = uint32_t;
inline constexpr TapLocation kHIDEventTap = 0;
inline constexpr TapLocation kSessionEventTap = 1;
using TapPlacement = uint32_t;
inline constexpr TapPlacement kHeadInsertEventTap = 0;
inline constexpr TapPlacement kTailAppendEventTap = 1;
using TapOptions = uint32_t;
inline constexpr TapOptions kEventTapOptionDefault = 0;
inline constexpr TapOptions kEventTapOptionListenOnly = 1;

using EventMask = uint64_t;
// Key-down, key-up and flags-changed: bits 10, 11 and 12.
inline constexpr EventMask kKeyEventMask = 0x1C00;
// Key-downs and key-ups only: the events a tap may not see without the Accessibility permission.
inline constexpr EventMask kKeyDownUpMask = 0x0C00;

using EventSourceState = int32_t;
inline constexpr EventSourceState kEventSourceStateHIDSystemState = 1;

using KeyCode = uint16_t;

// Signature of a tap callback: returning the event passes it, returning nullptr swallows it.
using EventTapCallback = EventRef (*)(TapProxy proxy, EventType type, EventRef event,
                                      void* userInfo);

}  // namespace corvane
