// Compiled with ARC (-fobjc-arc). The one CoreFoundation object (the trust options) is owned
// by a CFOwned handle.
#include "platform/macos/MacShellServices.h"

#import <AppKit/AppKit.h>
#import <ApplicationServices/ApplicationServices.h>
#import <Carbon/Carbon.h>
#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#include "platform/macos/CFOwned.h"

namespace corvane::mac {

namespace {

// nil when the text is not UTF-8.
NSString* stringFromUtf8(std::string_view text) {
  if (text.empty()) return @"";
  return [[NSString alloc] initWithBytes:text.data()
                                  length:text.size()
                                encoding:NSUTF8StringEncoding];
}

}  // namespace

LoginItemService::Result loginItemFailure(NSError* error) {
  if (error == nil) return {false, {}};
  const char* description = error.localizedDescription.UTF8String;
  if (description != nullptr && *description != '\0') return {false, description};
  // No text of its own: name the error as Foundation does ("<domain> error <code>").
  const char* identity =
      [NSString stringWithFormat:@"%@ error %ld", error.domain, static_cast<long>(error.code)]
          .UTF8String;
  return {false, identity != nullptr ? identity : ""};
}

bool MacAccessibilityTrust::checkAccessibilityTrust() {
  const void* keys[] = {kAXTrustedCheckOptionPrompt};
  const void* values[] = {kCFBooleanTrue};
  const CFOwned<CFDictionaryRef> options(CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1,
                                                            &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks));
  return AXIsProcessTrustedWithOptions(options.get()) != 0;
}

bool MacAccessibilityTrust::isSecureEventInputEnabled() {
  return IsSecureEventInputEnabled() != 0;
}

void MacApplicationActivation::setAccessoryActivationPolicy() {
  [NSApplication.sharedApplication setActivationPolicy:NSApplicationActivationPolicyAccessory];
}

void MacApplicationActivation::activateIgnoringOtherApps() {
  // Deprecated from macOS 14 in favour of -activate, which does not take the front from the
  // active application; the program targets 12.4 and needs exactly this behaviour.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
  [NSApplication.sharedApplication activateIgnoringOtherApps:YES];
#pragma clang diagnostic pop
}

bool MacLoginItemService::isAvailable() {
  if (@available(macOS 13.0, *)) return true;
  return false;
}

LoginItemService::Status MacLoginItemService::status() {
  if (@available(macOS 13.0, *)) {
    switch (SMAppService.mainAppService.status) {
      case SMAppServiceStatusNotRegistered:
        return Status::notRegistered;
      case SMAppServiceStatusEnabled:
        return Status::enabled;
      case SMAppServiceStatusRequiresApproval:
        return Status::requiresApproval;
      case SMAppServiceStatusNotFound:
        return Status::notFound;
    }
  }
  return Status::notFound;
}

LoginItemService::Result MacLoginItemService::registerMainApp() {
  if (@available(macOS 13.0, *)) {
    @autoreleasepool {
      NSError* error = nil;
      if ([SMAppService.mainAppService registerAndReturnError:&error]) return {true, {}};
      return loginItemFailure(error);
    }
  }
  return {false, kUnavailableDescription};
}

LoginItemService::Result MacLoginItemService::unregisterMainApp() {
  if (@available(macOS 13.0, *)) {
    @autoreleasepool {
      NSError* error = nil;
      if ([SMAppService.mainAppService unregisterAndReturnError:&error]) return {true, {}};
      return loginItemFailure(error);
    }
  }
  return {false, kUnavailableDescription};
}

bool MacUrlOpener::openURL(std::string_view url) {
  @autoreleasepool {
    NSString* text = stringFromUtf8(url);
    if (text == nil) return false;
    NSURL* target = [NSURL URLWithString:text];
    if (target == nil) return false;
    return [NSWorkspace.sharedWorkspace openURL:target];
  }
}

}  // namespace corvane::mac
