// Shim: the CoreGraphics declarations the macOS layer uses (see tests/macos-shim/README.md).
#pragma once

#include <stdbool.h>
#include <stdint.h>

#include <CoreFoundation/CoreFoundation.h>

#define CG_EXTERN extern

CF_IMPLICIT_BRIDGING_ENABLED
CF_EXTERN_C_BEGIN
CF_ASSUME_NONNULL_BEGIN

// CGEventTypes.h
typedef struct __CGEvent* CGEventRef;
typedef struct __CGEventSource* CGEventSourceRef;
typedef struct __CGEventTapProxy* CGEventTapProxy;

typedef CF_ENUM(uint32_t, CGEventTapLocation){
    kCGHIDEventTap = 0,
    kCGSessionEventTap,
    kCGAnnotatedSessionEventTap,
};
typedef CF_ENUM(uint32_t, CGEventTapPlacement){
    kCGHeadInsertEventTap = 0,
    kCGTailAppendEventTap,
};
typedef CF_ENUM(uint32_t, CGEventTapOptions){
    kCGEventTapOptionDefault = 0x00000000,
    kCGEventTapOptionListenOnly = 0x00000001,
};
typedef uint64_t CGEventMask;
typedef CF_ENUM(uint32_t, CGEventType){
    kCGEventKeyDown = 10,
    kCGEventKeyUp = 11,
    kCGEventFlagsChanged = 12,
    kCGEventTapDisabledByTimeout = 0xFFFFFFFE,
    kCGEventTapDisabledByUserInput = 0xFFFFFFFF,
};
typedef CF_ENUM(uint32_t, CGEventField){
    kCGKeyboardEventKeycode = 9,
    kCGEventSourceUserData = 42,
};
typedef CF_OPTIONS(uint64_t, CGEventFlags){
    kCGEventFlagMaskShift = 0x00020000,
    kCGEventFlagMaskControl = 0x00040000,
    kCGEventFlagMaskAlternate = 0x00080000,
    kCGEventFlagMaskCommand = 0x00100000,
    kCGEventFlagMaskSecondaryFn = 0x00800000,
};
typedef uint16_t CGKeyCode;
typedef CF_ENUM(int32_t, CGEventSourceStateID){
    kCGEventSourceStatePrivate = -1,
    kCGEventSourceStateCombinedSessionState = 0,
    kCGEventSourceStateHIDSystemState = 1,
};

typedef CGEventRef _Nullable (*CGEventTapCallBack)(CGEventTapProxy proxy, CGEventType type,
                                                   CGEventRef event, void* _Nullable userInfo);

// CGEvent.h
CG_EXTERN CFMachPortRef _Nullable CGEventTapCreate(CGEventTapLocation tap,
                                                   CGEventTapPlacement place,
                                                   CGEventTapOptions options,
                                                   CGEventMask eventsOfInterest,
                                                   CGEventTapCallBack callback,
                                                   void* _Nullable userInfo);
CG_EXTERN void CGEventTapEnable(CFMachPortRef tap, bool enable);
CG_EXTERN bool CGEventTapIsEnabled(CFMachPortRef tap);
CG_EXTERN int64_t CGEventGetIntegerValueField(CGEventRef _Nullable event, CGEventField field);
CG_EXTERN void CGEventSetIntegerValueField(CGEventRef _Nullable event, CGEventField field,
                                          int64_t value);
CG_EXTERN CGEventFlags CGEventGetFlags(CGEventRef _Nullable event);
CG_EXTERN void CGEventSetFlags(CGEventRef _Nullable event, CGEventFlags flags);
CG_EXTERN CGEventRef _Nullable CGEventCreateKeyboardEvent(CGEventSourceRef _Nullable source,
                                                          CGKeyCode virtualKey, bool keyDown);
CG_EXTERN void CGEventPost(CGEventTapLocation tap, CGEventRef _Nullable event);

// CGEventSource.h
CG_EXTERN CGEventSourceRef _Nullable CGEventSourceCreate(CGEventSourceStateID stateID);
CG_EXTERN CGEventFlags CGEventSourceFlagsState(CGEventSourceStateID stateID);

CF_ASSUME_NONNULL_END
CF_EXTERN_C_END
CF_IMPLICIT_BRIDGING_DISABLED
