// Compiled with ARC (-fobjc-arc). Main thread only: the window asks while it builds a picker,
// and the activation notification comes on the main queue.
#include "platform/macos/MacShellServices.h"

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace corvane::mac {
namespace {

std::string utf8(NSString* _Nullable text) {
  const char* bytes = text != nil ? text.UTF8String : nullptr;
  return bytes != nullptr ? std::string(bytes) : std::string();
}

NSString* nsString(const char* text) {
  return [[NSString alloc] initWithBytes:text length:strlen(text) encoding:NSUTF8StringEncoding];
}

// The name Finder shows, less ".app".
std::string displayName(NSString* path) {
  std::string name = utf8([NSFileManager.defaultManager displayNameAtPath:path]);
  if (name.size() > 4 && name.ends_with(".app")) name.resize(name.size() - 4);
  return name;
}

std::optional<ApplicationEntry> entryOf(NSRunningApplication* _Nullable application) {
  if (application == nil || application.bundleIdentifier == nil) return std::nullopt;
  if (application.processIdentifier == getpid()) return std::nullopt;  // Corvane itself
  ApplicationEntry entry{utf8(application.bundleIdentifier), utf8(application.localizedName),
                         utf8(application.bundleURL.path)};
  if (entry.name.empty()) entry.name = entry.bundleIdentifier;
  return entry;
}

}  // namespace

MacApplicationCatalog::MacApplicationCatalog() {
  @autoreleasepool {
    NSRunningApplication* front = NSWorkspace.sharedWorkspace.frontmostApplication;
    if (entryOf(front)) lastFrontPid_ = front.processIdentifier;
    NSNotificationCenter* center = NSWorkspace.sharedWorkspace.notificationCenter;
    id token = [center addObserverForName:NSWorkspaceDidActivateApplicationNotification
                                   object:nil
                                    queue:NSOperationQueue.mainQueue
                               usingBlock:^(NSNotification* notification) {
                                 NSRunningApplication* activated =
                                     notification.userInfo[NSWorkspaceApplicationKey];
                                 if (entryOf(activated)) {
                                   lastFrontPid_ = activated.processIdentifier;
                                 }
                               }];
    activationObserver_ = (__bridge_retained void*)token;
  }
}

MacApplicationCatalog::~MacApplicationCatalog() {
  @autoreleasepool {
    id token = (__bridge_transfer id)activationObserver_;
    [NSWorkspace.sharedWorkspace.notificationCenter removeObserver:token];
  }
}

std::vector<ApplicationEntry> MacApplicationCatalog::installedApplications() {
  std::vector<ApplicationEntry> installed;
  @autoreleasepool {
    for (const char* folder : {"/Applications", "/Applications/Utilities", "/System/Applications",
                               "/System/Applications/Utilities"}) {
      NSString* folderPath = nsString(folder);
      NSArray<NSString*>* names = [NSFileManager.defaultManager contentsOfDirectoryAtPath:folderPath
                                                                                    error:nil];
      for (NSUInteger i = 0; i < names.count; ++i) {
        NSString* name = names[i];
        if (![name hasSuffix:nsString(".app")]) continue;
        NSString* path = [folderPath stringByAppendingPathComponent:name];
        NSString* identifier = [NSBundle bundleWithPath:path].bundleIdentifier;
        if (identifier == nil) continue;  // no name a rules file could use
        installed.push_back({utf8(identifier), displayName(path), utf8(path)});
      }
    }
  }
  std::ranges::sort(installed, [](const ApplicationEntry& a, const ApplicationEntry& b) {
    return a.name < b.name;
  });
  return installed;
}

std::vector<ApplicationEntry> MacApplicationCatalog::runningApplications() {
  std::vector<ApplicationEntry> running;
  @autoreleasepool {
    NSArray<NSRunningApplication*>* applications = NSWorkspace.sharedWorkspace.runningApplications;
    for (NSUInteger i = 0; i < applications.count; ++i) {
      NSRunningApplication* application = applications[i];
      if (application.activationPolicy != NSApplicationActivationPolicyRegular) continue;
      if (std::optional<ApplicationEntry> entry = entryOf(application)) {
        running.push_back(std::move(*entry));
      }
    }
  }
  return running;
}

std::optional<ApplicationEntry> MacApplicationCatalog::frontmostBeforeWindow() {
  if (lastFrontPid_ == 0) return std::nullopt;
  @autoreleasepool {
    // Nothing once it has quit.
    return entryOf([NSRunningApplication runningApplicationWithProcessIdentifier:lastFrontPid_]);
  }
}

}  // namespace corvane::mac
