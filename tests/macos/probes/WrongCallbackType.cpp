// A callback whose signature is not CGEventTapCallBack.
// expect: no matching function for call to 'CGEventTapCreate'
#include <CoreGraphics/CoreGraphics.h>

CGEventRef callback(CGEventTapProxy, CGEventType, CGEventRef event) {
  return event;
}

CFMachPortRef tap() {
  return CGEventTapCreate(kCGSessionEventTap, kCGHeadInsertEventTap, kCGEventTapOptionDefault,
                          0x1C00, callback, nullptr);
}
