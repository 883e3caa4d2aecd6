// The tap's port handed over where its run loop source belongs.
// expect: no matching function for call to 'CFRunLoopRemoveSource'
#include <CoreFoundation/CoreFoundation.h>

void removeTapSource(CFRunLoopRef loop, CFMachPortRef port) {
  CFRunLoopRemoveSource(loop, port, kCFRunLoopCommonModes);
}
