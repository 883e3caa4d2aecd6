// Shim: the CoreFoundation declarations the macOS layer uses (see tests/macos-shim/README.md).
#pragma once

#include <stdint.h>

#if defined(__cplusplus)
#define CF_EXTERN_C_BEGIN extern "C" {
#define CF_EXTERN_C_END }
#else
#define CF_EXTERN_C_BEGIN
#define CF_EXTERN_C_END
#endif
#define CF_EXPORT extern

// As the SDK's CFAvailability.h expands them in C++11 and later.
#if defined(__cplusplus)
#define CF_ENUM(_type, _name) \
  enum _name : _type _name;   \
  enum _name : _type
#define CF_OPTIONS(_type, _name) \
  _type _name;                   \
  enum : _type
#else
#define CF_ENUM(_type, _name) \
  _type _name;                \
  enum
#define CF_OPTIONS(_type, _name) \
  _type _name;                   \
  enum
#endif

#define CF_RETURNS_RETAINED __attribute__((cf_returns_retained))
#define CF_RETURNS_NOT_RETAINED __attribute__((cf_returns_not_retained))
#define CF_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define CF_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")
#define CF_IMPLICIT_BRIDGING_ENABLED _Pragma("clang arc_cf_code_audited begin")
#define CF_IMPLICIT_BRIDGING_DISABLED _Pragma("clang arc_cf_code_audited end")

CF_IMPLICIT_BRIDGING_ENABLED
CF_EXTERN_C_BEGIN
CF_ASSUME_NONNULL_BEGIN

typedef unsigned char Boolean;
typedef long CFIndex;
typedef const void* CFTypeRef;

typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFBoolean* CFBooleanRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFMachPort* CFMachPortRef;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopSource* CFRunLoopSourceRef;
typedef CFStringRef CFRunLoopMode;

CF_EXPORT const CFAllocatorRef kCFAllocatorDefault;
CF_EXPORT const CFBooleanRef kCFBooleanTrue;
CF_EXPORT const CFRunLoopMode kCFRunLoopCommonModes;

CF_EXPORT CFTypeRef CFRetain(CFTypeRef cf);
CF_EXPORT void CFRelease(CFTypeRef cf);

// CFDictionary.h
typedef const void* _Nullable (*CFDictionaryRetainCallBack)(CFAllocatorRef _Nullable allocator,
                                                             const void* _Nullable value);
typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef _Nullable allocator,
                                            const void* _Nullable value);
typedef CFStringRef _Nullable (*CFDictionaryCopyDescriptionCallBack)(const void* _Nullable value);
typedef Boolean (*CFDictionaryEqualCallBack)(const void* _Nullable value1,
                                             const void* _Nullable value2);
typedef unsigned long CFHashCode;
typedef CFHashCode (*CFDictionaryHashCallBack)(const void* _Nullable value);
typedef struct {
  CFIndex version;
  CFDictionaryRetainCallBack _Nullable retain;
  CFDictionaryReleaseCallBack _Nullable release;
  CFDictionaryCopyDescriptionCallBack _Nullable copyDescription;
  CFDictionaryEqualCallBack _Nullable equal;
  CFDictionaryHashCallBack _Nullable hash;
} CFDictionaryKeyCallBacks;
typedef struct {
  CFIndex version;
  CFDictionaryRetainCallBack _Nullable retain;
  CFDictionaryReleaseCallBack _Nullable release;
  CFDictionaryCopyDescriptionCallBack _Nullable copyDescription;
  CFDictionaryEqualCallBack _Nullable equal;
} CFDictionaryValueCallBacks;
CF_EXPORT const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
CF_EXPORT const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;
CF_EXPORT CFDictionaryRef CFDictionaryCreate(
    CFAllocatorRef _Nullable allocator, const void* _Nullable* _Nullable keys,
    const void* _Nullable* _Nullable values, CFIndex numValues,
    const CFDictionaryKeyCallBacks* _Nullable keyCallBacks,
    const CFDictionaryValueCallBacks* _Nullable valueCallBacks);

// CFMachPort.h
CF_EXPORT CFRunLoopSourceRef _Nullable CFMachPortCreateRunLoopSource(
    CFAllocatorRef _Nullable allocator, CFMachPortRef port, CFIndex order);
CF_EXPORT void CFMachPortInvalidate(CFMachPortRef port);

// CFRunLoop.h
CF_EXPORT CFRunLoopRef CFRunLoopGetCurrent(void);
CF_EXPORT void CFRunLoopRun(void);
CF_EXPORT void CFRunLoopStop(CFRunLoopRef rl);
CF_EXPORT void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
CF_EXPORT void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source,
                                     CFRunLoopMode mode);

// CFBase.h, CFArray.h, CFDictionary.h, CFString.h, CFPreferences.h: reading the Dock's list
typedef unsigned long CFTypeID;
typedef unsigned int UInt32;
typedef CFTypeRef CFPropertyListRef;
typedef const struct __CFArray* CFArrayRef;
typedef UInt32 CFStringEncoding;
typedef CF_ENUM(CFStringEncoding, CFStringBuiltInEncodings){
    kCFStringEncodingUTF8 = 0x08000100,
};
#define CFSTR(cStr) ((CFStringRef)__builtin___CFStringMakeConstantString("" cStr ""))
CF_EXPORT CFTypeID CFGetTypeID(CFTypeRef cf);
CF_EXPORT CFTypeID CFArrayGetTypeID(void);
CF_EXPORT CFIndex CFArrayGetCount(CFArrayRef theArray);
CF_EXPORT const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);
CF_EXPORT CFTypeID CFDictionaryGetTypeID(void);
CF_EXPORT const void* _Nullable CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
CF_EXPORT CFTypeID CFStringGetTypeID(void);
CF_EXPORT Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                                     CFStringEncoding encoding);
CF_EXPORT _Nullable CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key,
                                                                CFStringRef applicationID);
CF_EXPORT Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);

CF_ASSUME_NONNULL_END
CF_EXTERN_C_END
CF_IMPLICIT_BRIDGING_DISABLED
