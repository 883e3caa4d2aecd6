// Our own declaration of the SMAppService members Corvane uses, for an SDK without the
// ServiceManagement framework (the cross check of the macOS layer). Written from Apple's
// documentation; a full SDK's own header always takes precedence over this one.
#pragma once

#import <Foundation/Foundation.h>

NS_ASSUME_NONNULL_BEGIN

API_AVAILABLE(macos(13.0))
@interface SMAppService : NSObject
@property(class, readonly) SMAppService* mainAppService;
- (BOOL)registerAndReturnError:(NSError* _Nullable* _Nullable)error;
- (BOOL)unregisterAndReturnError:(NSError* _Nullable* _Nullable)error;
@end

NS_ASSUME_NONNULL_END
