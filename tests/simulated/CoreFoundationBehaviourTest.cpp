// The simulated session's taps, ports and run loops behave as CoreFoundation's and CoreGraphics'
// do where the engine relies on them, and the session as macOS does: the numbered list at the top
// of SimulatedSession.h.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/simulated/SimulatedSession.h"

namespace corvane::sim {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 10s;  // generous: only a broken session waits this long

std::atomic<int> gCallbacks{0};

// Swallows every key event it sees, so the application's records show whether it ran.
EventRef swallowingCallback(TapProxy, EventType, EventRef, void*) {
  gCallbacks.fetch_add(1);
  return nullptr;
}

// A tap with its source, and a thread that owns a run loop the test can add it to and run.
class RunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gCallbacks.store(0);
    port = events.tapCreate(kSessionEventTap, kHeadInsertEventTap, kEventTapOptionDefault, 0x1C00,
                            &swallowingCallback, nullptr);
    ASSERT_NE(port, nullptr);
    source = events.machPortCreateRunLoopSource(port);
  }
  void TearDown() override {
    // Without its source a loop that has yet to run returns at once, and one running ends at
    // a stop: stop until it has, whichever it was when a test failed.
    events.machPortInvalidate(port);
    if (runner.joinable()) {
      for (int i = 0; i < 10000 && !runHasReturned(1ms); ++i) events.runLoopStop(loop);
      runner.join();
    }
    events.release(source);
    events.release(port);
    if (loop != nullptr) events.release(loop);
  }

  // Starts the loop's thread: it takes its run loop, runs `beforeRun` with it (on the main
  // thread, while the loop's thread waits), then runs the loop until it returns.
  template <class BeforeRun>
  void startLoopThread(BeforeRun beforeRun) {
    std::promise<RunLoopRef> loopReady;
    std::promise<void> mayRun;
    std::future<RunLoopRef> loopFuture = loopReady.get_future();
    runReturned = returned.get_future();
    runner = std::thread([this, &loopReady, mayRunFuture = mayRun.get_future()] {
      RunLoopRef current = events.runLoopGetCurrent();
      events.retain(current);
      loopReady.set_value(current);
      mayRunFuture.wait();
      events.runLoopRun();
      returned.set_value();
    });
    loop = loopFuture.get();
    beforeRun();
    mayRun.set_value();
  }

  bool runHasReturned(std::chrono::milliseconds wait = kWait) {
    return runReturned.wait_for(wait) == std::future_status::ready;
  }

  // A key-down through the session: true when the tap's callback decided it.
  bool tapDecidesAKey() {
    const int before = gCallbacks.load();
    session.keyboardEvent(kEventKeyDown, 8, 0);
    session.settle();
    return gCallbacks.load() > before;
  }

  SimulatedSession session{ClockMode::Real};
  KeyboardEventServices& events = session.events();
  MachPortRef port = nullptr;
  RunLoopSourceRef source = nullptr;
  RunLoopRef loop = nullptr;
  std::thread runner;
  std::promise<void> returned;
  std::future<void> runReturned;
};

// (3): nothing to wait for, so the run does not wait.
TEST_F(RunLoopTest, RunningALoopWithoutSourcesReturnsAtOnce) {
  startLoopThread([] {});
  EXPECT_TRUE(runHasReturned());
  EXPECT_EQ(session.tapSetups(), 0u) << "it never began running";
}

// (1) and (3): the source of an invalidated port is not added, so the loop has none.
TEST_F(RunLoopTest, TheSourceOfAnInvalidatedPortIsNotAddedAndTheRunReturns) {
  startLoopThread([this] {
    events.machPortInvalidate(port);
    events.runLoopAddSource(loop, source);
  });
  EXPECT_TRUE(runHasReturned());
  EXPECT_TRUE(session.taps().empty());
}

// (4): a stop that lands before the run is lost; the loop runs and serves its tap until the
// next stop.
TEST_F(RunLoopTest, AStopBeforeTheRunHasNoEffect) {
  startLoopThread([this] {
    events.runLoopAddSource(loop, source);
    events.runLoopStop(loop);
  });
  ASSERT_TRUE(session.waitForTapSetups(1, kWait));
  EXPECT_TRUE(tapDecidesAKey()) << "the loop is running and serving the tap";
  EXPECT_FALSE(runHasReturned(0ms));

  events.runLoopStop(loop);
  EXPECT_TRUE(runHasReturned());
  EXPECT_TRUE(session.received().empty()) << "the key-down was swallowed by the tap";
}

// (2): the removal takes effect at once, but nothing wakes the loop, so it keeps running
// until it is stopped.
TEST_F(RunLoopTest, RemovingTheSourceFromAnotherThreadLeavesTheLoopAsleep) {
  startLoopThread([this] { events.runLoopAddSource(loop, source); });
  ASSERT_TRUE(session.waitForTapSetups(1, kWait));
  events.runLoopRemoveSource(loop, source);
  EXPECT_FALSE(tapDecidesAKey()) << "the key passes untouched";
  EXPECT_EQ(session.received().size(), 1u);
  // Only a loop that wrongly woke and returned ends here: a correct one is never late.
  EXPECT_FALSE(session.waitForRunLoopsToEnd(100ms));

  events.runLoopStop(loop);
  EXPECT_TRUE(runHasReturned());
}

// (1) and (2): invalidation takes the source out of the running loop, which likewise is not
// woken; the port's tap is gone from the session.
TEST_F(RunLoopTest, InvalidatingThePortRemovesItsSourceFromTheRunningLoop) {
  startLoopThread([this] { events.runLoopAddSource(loop, source); });
  ASSERT_TRUE(session.waitForTapSetups(1, kWait));
  events.machPortInvalidate(port);
  EXPECT_TRUE(session.taps().empty());
  EXPECT_FALSE(tapDecidesAKey());
  EXPECT_FALSE(session.waitForRunLoopsToEnd(100ms));

  events.runLoopStop(loop);
  EXPECT_TRUE(runHasReturned());
}

// (8): an untrusted process's active tap is disabled by timeout at the next event; each time
// it is enabled again, the next event brings the same wait.
TEST_F(RunLoopTest, AnUntrustedActiveTapTimesOutAtEachEvent) {
  startLoopThread([this] { events.runLoopAddSource(loop, source); });
  ASSERT_TRUE(session.waitForTapSetups(1, kWait));
  session.setTrusted(false);
  for (uint64_t round = 1; round <= 2; ++round) {
    const int before = gCallbacks.load();
    session.keyboardEvent(kEventKeyDown, 8, 0);
    session.settle();
    EXPECT_EQ(gCallbacks.load(), before + 1) << "only the notification reaches the callback";
    EXPECT_EQ(session.received().size(), round) << "the key goes on";
    EXPECT_EQ(session.tapTimeouts(), round);
    ASSERT_EQ(session.taps().size(), 1u);
    EXPECT_FALSE(session.taps()[0].enabled);
    events.tapEnable(port, true);
  }
  session.setTrusted(true);
  EXPECT_TRUE(tapDecidesAKey());
  EXPECT_EQ(session.tapTimeouts(), 2u);
}

// (9): under secure input key downs and ups go past the taps; flags-changed events do not.
TEST_F(RunLoopTest, SecureInputTakesKeysPastTheTaps) {
  startLoopThread([this] { events.runLoopAddSource(loop, source); });
  ASSERT_TRUE(session.waitForTapSetups(1, kWait));
  session.setSecureInput(true);
  for (EventType type : {kEventKeyDown, kEventKeyUp}) {
    const int before = gCallbacks.load();
    session.keyboardEvent(type, 8, 0);
    session.settle();
    EXPECT_EQ(gCallbacks.load(), before) << type;
  }
  EXPECT_EQ(session.received().size(), 2u);
  const int before = gCallbacks.load();
  session.keyboardEvent(kEventFlagsChanged, 56, kFlagShift);
  session.settle();
  EXPECT_EQ(gCallbacks.load(), before + 1) << "a modifier change still reaches the tap";
  EXPECT_EQ(session.received().size(), 2u) << "and the tap swallowed it";
  session.setSecureInput(false);
  EXPECT_TRUE(tapDecidesAKey());
}

// (10): the keyboard's modifier state follows its flags-changed events only; function keys'
// own Fn flags and posted events leave it alone.
TEST(KeyboardStateTest, FlagsStateIsWhatTheKeyboardHolds) {
  SimulatedSession session;
  KeyboardEventServices& events = session.events();
  const auto held = [&] { return events.eventSourceFlagsState(kEventSourceStateHIDSystemState); };
  EXPECT_EQ(held(), 0u);
  session.keyboardEvent(kEventFlagsChanged, 63, kFlagFn);
  EXPECT_EQ(held(), kFlagFn);
  session.keyboardEvent(kEventFlagsChanged, 56, kFlagFn | kFlagShift);
  EXPECT_EQ(held(), kFlagFn | kFlagShift);
  session.keyboardEvent(kEventFlagsChanged, 63, kFlagShift);
  session.keyboardEvent(kEventKeyDown, 120, kFlagFn | kFlagShift);  // F2 carries Fn itself
  EXPECT_EQ(held(), kFlagShift);
  EventRef posted = events.eventCreateKeyboardEvent(nullptr, 56, true);
  events.eventSetFlags(posted, 0);
  events.eventPost(kHIDEventTap, posted);
  events.release(posted);
  EXPECT_EQ(held(), kFlagShift);
}

// (5)
TEST(TapCreationTest, FailsWhileTheProcessIsNotTrusted) {
  SimulatedSession session;
  KeyboardEventServices& events = session.events();
  for (const bool trusted : {false, true}) {
    session.setTrusted(trusted);
    const MachPortRef port =
        events.tapCreate(kSessionEventTap, kHeadInsertEventTap, kEventTapOptionDefault, 0x1C00,
                         &swallowingCallback, nullptr);
    EXPECT_EQ(port != nullptr, trusted) << "trusted: " << trusted;
    EXPECT_EQ(session.taps().size(), trusted ? 1u : 0u);
    if (port != nullptr) {
      events.machPortInvalidate(port);
      events.release(port);
    }
  }
}

}  // namespace
}  // namespace corvane::sim
