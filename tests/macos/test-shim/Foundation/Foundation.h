// Test shim: what the macOS tests use of Foundation beyond the layer's shim.
#pragma once
#include_next <Foundation/Foundation.h>

NS_ASSUME_NONNULL_BEGIN

@protocol NSCopying
@end

@interface NSString (Copying) <NSCopying>
@end

@interface NSDictionary (Making)
+ (instancetype)dictionaryWithObjects:(const id _Nonnull[_Nullable])objects
                              forKeys:(const id<NSCopying> _Nonnull[_Nullable])keys
                                count:(NSUInteger)count;
@end

typedef NSString* NSErrorUserInfoKey;
FOUNDATION_EXPORT NSErrorUserInfoKey const NSLocalizedDescriptionKey;

@interface NSError (Making)
+ (instancetype)errorWithDomain:(NSErrorDomain)domain
                           code:(NSInteger)code
                       userInfo:(nullable NSDictionary*)dict;
@end

NS_ASSUME_NONNULL_END
