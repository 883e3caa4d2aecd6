// start, stop and the tap thread, with real threads on a simulated session.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/KeyboardShortcutManager.h"
#include "tests/engine/ForwardingPlatform.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using sim::ClockMode;
using sim::SimulatedSession;

constexpr auto kWait = 10s;  // generous: only a broken build waits this long

// Can hold the tap thread (or any caller) just before one step, so a test can act on the main
// thread at exactly that point of the installation.
class GatedPlatform final : public testing::ForwardingPlatform {
 public:
  explicit GatedPlatform(std::shared_ptr<SimulatedSession> session)
      : session_(std::move(session)) {}

  // Holds the next caller of the step until released; holdAlsoBefore adds a second gate.
  void holdBefore(std::string_view step) {
    std::lock_guard lock(mutex_);
    gates_ = {step};
    heldAt_.clear();
  }
  void holdAlsoBefore(std::string_view step) {
    std::lock_guard lock(mutex_);
    gates_.push_back(step);
  }
  void waitUntilHeld(std::string_view step = {}) {
    std::unique_lock lock(mutex_);
    ASSERT_TRUE(changed_.wait_for(lock, kWait, [this, step] {
      return step.empty() ? !heldAt_.empty() : std::ranges::count(heldAt_, step) > 0;
    }));
  }
  void release() {
    std::lock_guard lock(mutex_);
    gates_.clear();
    changed_.notify_all();
  }
  void releaseOnly(std::string_view step) {
    std::lock_guard lock(mutex_);
    std::erase(gates_, step);
    changed_.notify_all();
  }
  int runLoopReturns() const { return runLoopReturns_.load(); }

 private:
  SimulatedSession& sessionOf(const void*) override { return *session_; }
  void checkpoint(std::string_view step) override {
    if (step == "runLoopReturned") runLoopReturns_.fetch_add(1);
    std::unique_lock lock(mutex_);
    const auto gated = [this, step] { return std::ranges::count(gates_, step) > 0; };
    if (!gated()) return;
    heldAt_.push_back(step);
    changed_.notify_all();
    changed_.wait(lock, [&] { return !gated(); });
  }

  std::shared_ptr<SimulatedSession> session_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string_view> gates_;
  std::vector<std::string_view> heldAt_;
  std::atomic<int> runLoopReturns_{0};
};

class TapServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager->objectWillChange.subscribe([this] {
      ++willChange;
      willChangeThread = std::this_thread::get_id();
    });
  }
  void TearDown() override {
    manager->stop();
    EXPECT_TRUE(session->waitForRunLoopsToEnd(kWait)) << "a tap thread's run loop never ended";
  }

  void waitForTap(uint64_t setups = 1) { ASSERT_TRUE(session->waitForTapSetups(setups, kWait)); }

  // Types Fn+C (copy with both swaps on), each event decided before the next comes, as a
  // person types.
  void typeFnC() {
    session->keyboardEvent(kEventFlagsChanged, 63, kFlagFn);
    session->settle();
    session->keyboardEvent(kEventKeyDown, 8, kFlagFn);
    session->settle();
    session->keyboardEvent(kEventKeyUp, 8, kFlagFn);
    session->settle();
    session->keyboardEvent(kEventFlagsChanged, 63, 0);
    session->settle();
  }

  std::shared_ptr<SimulatedSession> session = std::make_shared<SimulatedSession>(ClockMode::Real);
  std::shared_ptr<KeyboardShortcutManager> manager =
      std::make_shared<KeyboardShortcutManager>(session);
  int willChange = 0;
  std::thread::id willChangeThread;
};

// Start, a translation, stop. What the application gets at each start and stop, and a start
// that fails without the permission, are replayed in tests/tools/golden/do.jsonl and
// trusted.jsonl.
TEST_F(TapServiceTest, StartInstallsOneActiveTapAtTheHeadAndStopDismantlesIt) {
  manager->start();
  EXPECT_TRUE(manager->isEnabled) << "set at once, before the tap exists";
  EXPECT_TRUE(manager->eventTapThread);
  waitForTap();

  const auto taps = session->taps();
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].location, kSessionEventTap);
  EXPECT_EQ(taps[0].placement, kHeadInsertEventTap);
  EXPECT_EQ(taps[0].options, kEventTapOptionDefault);
  EXPECT_EQ(taps[0].mask, 0x1C00u);
  EXPECT_TRUE(taps[0].enabled);
  EXPECT_TRUE(taps[0].attached);
  EXPECT_TRUE(manager->eventTap);
  EXPECT_TRUE(manager->runLoopSource);
  EXPECT_TRUE(manager->eventTapRunLoop);
  EXPECT_EQ(willChange, 1);
  EXPECT_EQ(willChangeThread, std::this_thread::get_id());

  typeFnC();
  ASSERT_EQ(session->received().size(), 4u);  // Fn down, Command-C down, Command-C up, Fn up
  const auto posted = session->posted();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].thread, manager->eventTapThread.id()) << "decided on the tap thread";

  manager->stop();
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_FALSE(manager->eventTap);
  EXPECT_FALSE(manager->runLoopSource);
  EXPECT_FALSE(manager->eventTapRunLoop);
  EXPECT_FALSE(manager->eventTapThread);
  EXPECT_EQ(willChange, 2);
  EXPECT_EQ(session->portsInvalidated(), 1u);
  EXPECT_TRUE(session->taps().empty());
  EXPECT_TRUE(session->waitForRunLoopsToEnd(kWait));
}

class GatedTapServiceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    gate->release();
    manager->stop();
    EXPECT_TRUE(session->waitForRunLoopsToEnd(kWait));
  }
  std::shared_ptr<SimulatedSession> session = std::make_shared<SimulatedSession>(ClockMode::Real);
  std::shared_ptr<GatedPlatform> gate = std::make_shared<GatedPlatform>(session);
  std::shared_ptr<KeyboardShortcutManager> manager =
      std::make_shared<KeyboardShortcutManager>(gate);
};

// The port is stored but the run loop is not: stop must not act on that half-installed tap.
TEST_F(GatedTapServiceTest, StopWhileThePortIsStoredButNotTheLoopDoesNothing) {
  gate->holdBefore("machPortCreateRunLoopSource");
  manager->start();
  gate->waitUntilHeld();
  ASSERT_TRUE(manager->eventTap);
  manager->stop();
  EXPECT_TRUE(manager->isEnabled);
  EXPECT_TRUE(manager->eventTap);
  EXPECT_EQ(session->portsInvalidated(), 0u);

  gate->release();
  ASSERT_TRUE(session->waitForTapSetups(1, kWait));
  manager->stop();
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_TRUE(session->waitForRunLoopsToEnd(kWait));
}

// Everything is stored but the loop has not begun: stop acts, and the loop that then starts
// returns at once instead of running forever. Its stop of the loop does nothing here (the loop
// is not running yet); what ends the thread is the source stop took out: removed from the loop,
// or, before it was added, invalidated with the port so that adding it does nothing, leaving a
// loop without sources.
// The stop's steps interleaved with the installation: its source removal and loop stop come
// before the tap thread adds its source and runs its loop, its invalidation after. A loop that
// is not running cannot be stopped and a removal does not wake one, so the order of the stop's
// steps decides whether the thread ever ends.
TEST_F(GatedTapServiceTest, StopWhoseInvalidationComesAfterTheRunStartedStillEndsTheThread) {
  gate->holdBefore("runLoopAddSource");
  manager->start();
  gate->waitUntilHeld("runLoopAddSource");
  gate->holdAlsoBefore("machPortInvalidate");
  std::thread stopper([this] { manager->stop(); });
  gate->waitUntilHeld("machPortInvalidate");
  const int returnsBefore = gate->runLoopReturns();
  gate->releaseOnly("runLoopAddSource");
  // The tap thread adds its source and runs its loop (or, with the port already invalid,
  // returns at once).
  for (int i = 0;
       i < 1000 && session->runningRunLoops() == 0 && gate->runLoopReturns() == returnsBefore;
       ++i) {
    std::this_thread::sleep_for(1ms);
  }
  gate->releaseOnly("machPortInvalidate");
  stopper.join();
  EXPECT_TRUE(session->waitForRunLoopsToEnd(kWait)) << "the tap thread sleeps for ever";
  EXPECT_FALSE(manager->isEnabled);
}

TEST_F(GatedTapServiceTest, StopBetweenInstallationAndTheLoopStillEndsTheThread) {
  for (std::string_view step : {"runLoopAddSource", "runLoopRun"}) {
    gate->holdBefore(step);
    manager->start();
    gate->waitUntilHeld();
    const int returnsBefore = gate->runLoopReturns();
    manager->stop();
    EXPECT_FALSE(manager->isEnabled) << step;
    EXPECT_FALSE(manager->eventTap) << step;
    gate->release();
    for (int i = 0; i < 1000 && gate->runLoopReturns() == returnsBefore; ++i) {
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(gate->runLoopReturns(), returnsBefore + 1)
        << "the loop never returned after " << step;
    EXPECT_TRUE(session->taps().empty());
  }
}

TEST_F(GatedTapServiceTest, TheThreadLetsGoOfTheManagerWhenItsLoopEnds) {
  manager->start();
  ASSERT_TRUE(session->waitForTapSetups(1, kWait));
  std::weak_ptr<KeyboardShortcutManager> weak = manager;
  manager->stop();
  manager.reset();
  for (int i = 0; i < 1000 && !weak.expired(); ++i) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(weak.expired());
  manager = std::make_shared<KeyboardShortcutManager>(gate);  // for TearDown
}

// Start and stop from the main thread, as the window's button does, while another thread floods
// the session with key events. ThreadSanitizer watches this one.
TEST(TapServiceStressTest, StartStopWhileFlooded) {
  const uint64_t liveBefore = SimulatedSession::liveObjects();
  {
    auto session = std::make_shared<SimulatedSession>(ClockMode::Real);
    auto manager = std::make_shared<KeyboardShortcutManager>(session);
    std::atomic<bool> flooding{true};
    std::atomic<uint64_t> injected{0};
    std::thread flood([&] {
      std::mt19937 random(7);
      // Tab with Fn and Shift (reopen) and F2 (rename) schedule main-thread work: kept rare.
      const int64_t keys[] = {8, 9, 6, 48, 4, 37, 14, 53};
      const EventFlags flags[] = {0, kFlagFn, kFlagCommand, kFlagOption, kFlagShift};
      while (flooding.load()) {
        const int64_t key = keys[random() % std::size(keys)];
        const EventFlags f = flags[random() % std::size(flags)];
        session->keyboardEvent(kEventKeyDown, key, f);
        session->keyboardEvent(kEventKeyUp, key, f);
        if (random() % 16 == 0) session->keyboardEvent(kEventFlagsChanged, 63, f);
        if (random() % 2048 == 0) session->keyboardEvent(kEventKeyDown, 120, 0);
        injected.fetch_add(2);
        if (injected.load() % 512 == 0) session->settle();
      }
    });

    constexpr int kCycles = 2000;
    for (int i = 0; i < kCycles; ++i) {
      if (manager->isEnabled) {
        manager->stop();
      } else {
        manager->start();
      }
      if (i % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200 + i % 700));
      if (i % 50 == 0) session->disableTaps(kEventTapDisabledByTimeout);
      session->runDueMainWork();
    }
    flooding.store(false);
    flood.join();
    manager->stop();
    if (manager->isEnabled) {  // still installing: let it finish, then stop it
      ASSERT_TRUE(session->waitForTapSetups(1, kWait));
      for (int i = 0; i < 1000 && manager->isEnabled; ++i) {
        std::this_thread::sleep_for(1ms);
        manager->stop();
      }
    }
    EXPECT_FALSE(manager->isEnabled);
    ASSERT_TRUE(session->waitForRunLoopsToEnd(kWait));
    session->settle();
    // Delayed actions hold the manager until they have run.
    while (session->pendingMainWork() > 0) session->runDueMainWork(100ms);
    EXPECT_EQ(session->tapsCreated(), session->portsInvalidated());
    EXPECT_GT(injected.load(), 1000u);
    RecordProperty("events", static_cast<int>(injected.load()));
    RecordProperty("cycles", kCycles);
  }
  // The last tap thread may still be letting go of its port, source and run loop.
  for (int i = 0; i < 2000 && SimulatedSession::liveObjects() != liveBefore; ++i) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(SimulatedSession::liveObjects(), liveBefore) << "platform objects leaked";
}

}  // namespace
}  // namespace corvane
