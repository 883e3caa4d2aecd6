// Compiled with ARC (-fobjc-arc). Both calls can come from the tap thread, which has no
// autorelease pool of its own: each call drains its own.
#include "platform/macos/MacWorkspace.h"

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

namespace corvane::mac {

MacWorkspace::MacWorkspace() {
  @autoreleasepool {
    NSNotificationCenter* center = NSWorkspace.sharedWorkspace.notificationCenter;
    id token = [center addObserverForName:NSWorkspaceDidActivateApplicationNotification
                                   object:nil
                                    queue:NSOperationQueue.mainQueue
                               usingBlock:^(NSNotification* notification) {
                                 (void)notification;
                                 frontmostChanged();
                               }];
    activationObserver_ = (__bridge_retained void*)token;
  }
}

MacWorkspace::~MacWorkspace() {
  @autoreleasepool {
    id token = (__bridge_transfer id)activationObserver_;
    [NSWorkspace.sharedWorkspace.notificationCenter removeObserver:token];
  }
}

std::string_view MacWorkspace::frontmostBundleIdentifier() noexcept {
  // Fixed storage: no allocation on the tap thread, and nothing that could throw.
  thread_local char identifier[kMaxBundleIdentifierBytes + 1];
  bool copied = false;
  @autoreleasepool {
    NSString* bundleIdentifier = NSWorkspace.sharedWorkspace.frontmostApplication.bundleIdentifier;
    copied = bundleIdentifier != nil && [bundleIdentifier getCString:identifier
                                                           maxLength:sizeof identifier
                                                            encoding:NSUTF8StringEncoding];
  }
  return copied ? std::string_view(identifier) : std::string_view();
}

bool MacWorkspace::openApplication(std::string_view absolutePath) {
  // fileURLWithPath: raises on an empty path.
  if (absolutePath.empty()) return false;
  @autoreleasepool {
    NSString* path = [[NSString alloc] initWithBytes:absolutePath.data()
                                              length:absolutePath.size()
                                            encoding:NSUTF8StringEncoding];
    if (path == nil) return false;
    return [NSWorkspace.sharedWorkspace openURL:[NSURL fileURLWithPath:path]];
  }
}

bool MacWorkspace::openApplicationWithBundleIdentifier(std::string_view bundleIdentifier) {
  if (bundleIdentifier.empty()) return false;
  @autoreleasepool {
    NSString* identifier = [[NSString alloc] initWithBytes:bundleIdentifier.data()
                                                    length:bundleIdentifier.size()
                                                  encoding:NSUTF8StringEncoding];
    if (identifier == nil) return false;
    NSURL* application =
        [NSWorkspace.sharedWorkspace URLForApplicationWithBundleIdentifier:identifier];
    if (application == nil) return false;
    return [NSWorkspace.sharedWorkspace openURL:application];
  }
}

}  // namespace corvane::mac
