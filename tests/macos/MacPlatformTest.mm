// The macOS layer against the real system, where it does more than forward one call: the
// mapping of the engine's values onto CoreGraphics events, the main queue's thread and delay,
// the guards of the workspace and the URL opener, and the login item's failure text.
// Nothing here posts an event, taps the keyboard, opens an application or registers a login
// item: the CI runner's session must stay untouched.
#include <gtest/gtest.h>

#import <CoreFoundation/CoreFoundation.h>
#import <Foundation/Foundation.h>
#include <pthread.h>

#include <atomic>
#include <chrono>

#include "platform/macos/MacKeyboardEventServices.h"
#include "platform/macos/MacMainQueue.h"
#include "platform/macos/MacShellServices.h"
#include "platform/macos/MacWorkspace.h"

namespace corvane::mac {
namespace {

TEST(MacKeyboardEventServicesTest, AKeyboardEventCarriesTheEnginesKeyFlagsAndMarker) {
  MacKeyboardEventServices events;
  // Events are made without a source too (the engine's synthesis tolerates a failed source).
  EventSourceRef source = events.eventSourceCreate(kEventSourceStateHIDSystemState);
  for (const bool keyDown : {true, false}) {
    EventRef event = events.eventCreateKeyboardEvent(source, KeyCode{8}, keyDown);
    ASSERT_NE(event, nullptr);
    events.eventSetFlags(event, kFlagCommand | kFlagShift);
    events.eventSetIntegerValueField(event, kEventSourceUserData, kEventMarker);
    EXPECT_EQ(events.eventGetIntegerValueField(event, kKeyboardEventKeycode), 8);
    EXPECT_EQ(events.eventGetIntegerValueField(event, kEventSourceUserData), kEventMarker);
    EXPECT_EQ(events.eventGetFlags(event) &
                  (kFlagCommand | kFlagShift | kFlagControl | kFlagOption | kFlagFn),
              kFlagCommand | kFlagShift);
    events.release(event);
  }
  events.release(source);  // a failed create gives nullptr, which release ignores
}

struct MainQueueProbe {
  std::atomic<bool> ran{false};
  std::atomic<bool> onMainThread{false};
  std::chrono::steady_clock::time_point ranAt;
};

TEST(MacMainQueueTest, RunsTheWorkOnceOnTheMainThreadNoEarlierThanTheDelay) {
  ASSERT_NE(pthread_main_np(), 0) << "GoogleTest runs tests on the main thread";
  MacMainQueue queue;
  MainQueueProbe probe;
  const auto delay = std::chrono::milliseconds(60);
  const auto scheduledAt = std::chrono::steady_clock::now();
  queue.asyncAfter(
      delay,
      [](void* context) {
        auto& p = *static_cast<MainQueueProbe*>(context);
        p.ranAt = std::chrono::steady_clock::now();
        p.onMainThread = pthread_main_np() != 0;
        p.ran = true;
      },
      &probe);
  EXPECT_FALSE(probe.ran) << "the work ran inside asyncAfter";
  // The main queue is drained by the main thread's run loop.
  const auto giveUpAt = scheduledAt + std::chrono::seconds(10);
  while (!probe.ran && std::chrono::steady_clock::now() < giveUpAt) {
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, true);
  }
  ASSERT_TRUE(probe.ran);
  EXPECT_TRUE(probe.onMainThread);
  EXPECT_GE(probe.ranAt - scheduledAt, delay);
}

TEST(MacWorkspaceTest, OpenApplicationRefusesPathsItCannotMakeAFileUrlOf) {
  MacWorkspace workspace;
  EXPECT_FALSE(workspace.openApplication(""));
  EXPECT_FALSE(workspace.openApplication("/Applications/\xff\xfe.app"));
}

TEST(MacUrlOpenerTest, RefusesTextThatIsNotUtf8) {
  MacUrlOpener opener;
  EXPECT_FALSE(opener.openURL("x-apple.systempreferences:\xff"));
}

// The text after the failure message's prefix: the error's own description, else its identity.
TEST(MacLoginItemServiceTest, AFailureReadsAsTheErrorsDescriptionOrItsDomainAndCode) {
  const struct {
    NSError* error;
    const char* text;
  } cases[] = {
      {[NSError errorWithDomain:@"SMAppServiceErrorDomain"
                           code:1
                       userInfo:@{NSLocalizedDescriptionKey : @"Operation not permitted"}],
       "Operation not permitted"},
      {[NSError errorWithDomain:@"SMAppServiceErrorDomain"
                           code:1
                       userInfo:@{NSLocalizedDescriptionKey : @""}],
       "SMAppServiceErrorDomain error 1"},
      {nil, ""},
  };
  for (const auto& c : cases) {
    const LoginItemService::Result result = loginItemFailure(c.error);
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.errorDescription, c.text);
  }
}

}  // namespace
}  // namespace corvane::mac
