// Test shim: what the macOS tests use of Foundation beyond the layer's shim.
#pragma once
#include_next <Foundation/Foundation.h>

NS_ASSUME_NONNULL_BEGIN

typedef struct {
  NSInteger majorVersion;
  NSInteger minorVersion;
  NSInteger patchVersion;
} NSOperatingSystemVersion;

@interface NSProcessInfo : NSObject
@property(class, readonly, strong) NSProcessInfo* processInfo;
- (BOOL)isOperatingSystemAtLeastVersion:(NSOperatingSystemVersion)version;
@end

NS_ASSUME_NONNULL_END
