// The Dock's applications, from its preferences: the "persistent-apps" array of com.apple.dock,
// each item's "tile-data" "bundle-identifier" in order. Items without one (spacers) are skipped;
// Finder is not in the array, the Dock always shows it first.
#include <CoreFoundation/CoreFoundation.h>

#include "platform/macos/CFOwned.h"
#include "platform/macos/MacWorkspace.h"

namespace corvane::mac {
namespace {

template <class Ref>
Ref asType(const void* value, CFTypeID type) {
  return value != nullptr && CFGetTypeID(value) == type ? static_cast<Ref>(value) : nullptr;
}

}  // namespace

std::vector<std::string> MacWorkspace::dockApplications() {
  std::vector<std::string> applications{std::string(kFinder)};
  const CFStringRef dock = CFSTR("com.apple.dock");
  // What the Dock wrote since the last read is seen only after a synchronize.
  CFPreferencesAppSynchronize(dock);
  const CFOwned<CFPropertyListRef> value(CFPreferencesCopyAppValue(CFSTR("persistent-apps"), dock));
  const auto items = asType<CFArrayRef>(value.get(), CFArrayGetTypeID());
  if (items == nullptr) return applications;
  const CFIndex count = CFArrayGetCount(items);
  for (CFIndex i = 0; i < count; ++i) {
    const auto item =
        asType<CFDictionaryRef>(CFArrayGetValueAtIndex(items, i), CFDictionaryGetTypeID());
    if (item == nullptr) continue;
    const auto tile = asType<CFDictionaryRef>(CFDictionaryGetValue(item, CFSTR("tile-data")),
                                              CFDictionaryGetTypeID());
    if (tile == nullptr) continue;
    const auto identifier = asType<CFStringRef>(
        CFDictionaryGetValue(tile, CFSTR("bundle-identifier")), CFStringGetTypeID());
    char text[kMaxBundleIdentifierBytes + 1];
    if (identifier == nullptr ||
        !CFStringGetCString(identifier, text, sizeof text, kCFStringEncodingUTF8) ||
        text[0] == '\0') {
      continue;  // a spacer, or an item that names no application
    }
    applications.emplace_back(text);
  }
  return applications;
}

}  // namespace corvane::mac
