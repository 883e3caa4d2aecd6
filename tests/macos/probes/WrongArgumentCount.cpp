// The run loop mode left out.
// expect: no matching function for call to 'CFRunLoopAddSource'
#include <CoreFoundation/CoreFoundation.h>

void addTapSource(CFRunLoopRef loop, CFRunLoopSourceRef source) {
  CFRunLoopAddSource(loop, source);
}
