// Shim: the ApplicationServices declarations the macOS layer uses (see tests/macos-shim/README.md).
// The SDK's umbrella brings in CoreFoundation and CoreGraphics too.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>

CF_IMPLICIT_BRIDGING_ENABLED
CF_EXTERN_C_BEGIN
CF_ASSUME_NONNULL_BEGIN

// HIServices/AXUIElement.h
extern Boolean AXIsProcessTrusted(void);
extern Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef _Nullable options);
extern CFStringRef kAXTrustedCheckOptionPrompt;

CF_ASSUME_NONNULL_END
CF_EXTERN_C_END
CF_IMPLICIT_BRIDGING_DISABLED
