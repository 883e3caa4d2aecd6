// Compiled with ARC (-fobjc-arc). Main thread only (the window asks while it composes).
#include "ui/WindowServices.h"

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

namespace corvane {

std::string applicationName(std::string_view bundleIdentifier) {
  std::string name(bundleIdentifier);
  if (bundleIdentifier.empty()) return name;
  @autoreleasepool {
    NSString* identifier = [[NSString alloc] initWithBytes:bundleIdentifier.data()
                                                    length:bundleIdentifier.size()
                                                  encoding:NSUTF8StringEncoding];
    if (identifier == nil) return name;
    NSString* path =
        [NSWorkspace.sharedWorkspace URLForApplicationWithBundleIdentifier:identifier].path;
    if (path == nil) return name;
    // The name Finder shows: localised, and without ".app" where Finder hides the extension.
    const char* display = [NSFileManager.defaultManager displayNameAtPath:path].UTF8String;
    if (display == nullptr || display[0] == '\0') return name;
    name = display;
  }
  constexpr std::string_view suffix = ".app";
  if (name.size() > suffix.size() && name.ends_with(suffix))
    name.resize(name.size() - suffix.size());
  return name;
}

}  // namespace corvane
