// A plain integer where CoreGraphics takes one of its enums: the layer must say which it means.
// expect: no matching function for call to 'CGEventPost'
#include <CoreGraphics/CoreGraphics.h>

void post(uint32_t location, CGEventRef event) {
  CGEventPost(location, event);
}
