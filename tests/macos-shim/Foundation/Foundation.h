// Shim: the Foundation declarations the macOS layer uses (see tests/macos-shim/README.md).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <CoreFoundation/CoreFoundation.h>

#if !defined(__OBJC__)
#error "Foundation/Foundation.h is Objective-C: compile this file as Objective-C++ (.mm)"
#endif

#define FOUNDATION_EXPORT extern
#define NS_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define NS_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")
#define NS_ENUM(_type, _name) CF_ENUM(_type, _name)
#define NS_OPTIONS(_type, _name) CF_OPTIONS(_type, _name)
#define API_AVAILABLE_MACOS(_version) __attribute__((availability(macos, introduced = _version)))

// objc/objc.h
#define nil nullptr
typedef signed char BOOL;
#define YES ((BOOL)1)
#define NO ((BOOL)0)
typedef long NSInteger;
typedef unsigned long NSUInteger;

NS_ASSUME_NONNULL_BEGIN

__attribute__((objc_root_class))
@interface NSObject {
  Class isa;
}
+ (instancetype)alloc;
- (instancetype)init;
@end

typedef NSUInteger NSStringEncoding;
enum : NSStringEncoding {
  NSUTF8StringEncoding = 4,
};

@interface NSString : NSObject
+ (instancetype)stringWithFormat:(NSString*)format, ... __attribute__((format(__NSString__, 1, 2)));
- (nullable instancetype)initWithBytes:(const void*)bytes
                                length:(NSUInteger)len
                              encoding:(NSStringEncoding)encoding;
- (BOOL)getCString:(char*)buffer
         maxLength:(NSUInteger)maxBufferCount
          encoding:(NSStringEncoding)encoding;
@property(nullable, readonly) const char* UTF8String __attribute__((objc_returns_inner_pointer));
- (BOOL)hasSuffix:(NSString*)str;
- (NSString*)stringByAppendingPathComponent:(NSString*)str;
@end

@interface NSArray<__covariant ObjectType> : NSObject
@property(readonly) NSUInteger count;
- (ObjectType)objectAtIndexedSubscript:(NSUInteger)idx;
@end

@interface NSDictionary<__covariant KeyType, __covariant ObjectType> : NSObject
- (nullable ObjectType)objectForKeyedSubscript:(KeyType)key;
@end

@interface NSURL : NSObject
+ (NSURL*)fileURLWithPath:(NSString*)path;
+ (nullable instancetype)URLWithString:(NSString*)URLString;
@property(nullable, readonly, copy) NSString* path;
@end

@class NSError;

@interface NSFileManager : NSObject
@property(class, readonly, strong) NSFileManager* defaultManager;
- (NSString*)displayNameAtPath:(NSString*)path;
- (nullable NSArray<NSString*>*)contentsOfDirectoryAtPath:(NSString*)path
                                                     error:(NSError* _Nullable* _Nullable)error;
@end

@interface NSBundle : NSObject
+ (nullable instancetype)bundleWithPath:(NSString*)path;
@property(nullable, readonly, copy) NSString* bundleIdentifier;
@end

typedef NSString* NSErrorDomain;

@interface NSError : NSObject
@property(readonly, copy) NSErrorDomain domain;
@property(readonly) NSInteger code;
@property(readonly, copy) NSString* localizedDescription;
@end

typedef NSString* NSNotificationName;

@interface NSNotification : NSObject
@property(nullable, readonly, copy) NSDictionary* userInfo;
@end

@interface NSOperationQueue : NSObject
@property(class, readonly, strong) NSOperationQueue* mainQueue;
@end

@interface NSNotificationCenter : NSObject
- (id)addObserverForName:(nullable NSNotificationName)name
                  object:(nullable id)obj
                   queue:(nullable NSOperationQueue*)queue
              usingBlock:(void (^)(NSNotification* notification))block;
- (void)removeObserver:(id)observer;
@end

NS_ASSUME_NONNULL_END
