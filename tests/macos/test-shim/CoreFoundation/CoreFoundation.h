// Test shim: what the macOS tests use of CoreFoundation beyond the layer's shim.
#pragma once
#include_next <CoreFoundation/CoreFoundation.h>

CF_IMPLICIT_BRIDGING_ENABLED
CF_EXTERN_C_BEGIN
CF_ASSUME_NONNULL_BEGIN

typedef double CFTimeInterval;
typedef struct __CFArray* CFMutableArrayRef;

CF_EXPORT CFIndex CFGetRetainCount(CFTypeRef cf);

// CFArray.h
typedef const void* _Nullable (*CFArrayRetainCallBack)(CFAllocatorRef _Nullable allocator,
                                                        const void* _Nullable value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef _Nullable allocator,
                                       const void* _Nullable value);
typedef CFStringRef _Nullable (*CFArrayCopyDescriptionCallBack)(const void* _Nullable value);
typedef Boolean (*CFArrayEqualCallBack)(const void* _Nullable value1,
                                        const void* _Nullable value2);
typedef struct {
  CFIndex version;
  CFArrayRetainCallBack _Nullable retain;
  CFArrayReleaseCallBack _Nullable release;
  CFArrayCopyDescriptionCallBack _Nullable copyDescription;
  CFArrayEqualCallBack _Nullable equal;
} CFArrayCallBacks;
CF_EXPORT const CFArrayCallBacks kCFTypeArrayCallBacks;
CF_EXPORT CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef _Nullable allocator,
                                                 CFIndex capacity,
                                                 const CFArrayCallBacks* _Nullable callBacks);

// CFRunLoop.h
typedef CF_ENUM(int32_t, CFRunLoopRunResult){
    kCFRunLoopRunFinished = 1,
    kCFRunLoopRunStopped = 2,
    kCFRunLoopRunTimedOut = 3,
    kCFRunLoopRunHandledSource = 4,
};
CF_EXPORT const CFRunLoopMode kCFRunLoopDefaultMode;
CF_EXPORT CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds,
                                                Boolean returnAfterSourceHandled);

CF_ASSUME_NONNULL_END
CF_EXTERN_C_END
CF_IMPLICIT_BRIDGING_DISABLED
