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
#include "platform/simulated/SimulatedSession.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using sim::ClockMode;
using sim::SimulatedSession;

constexpr auto kWait = 10s;  // generous: only a broken build waits this long

// Forwards to a simulated session and can hold the tap thread just before one operation, so a
// test can act on the main thread at exactly that point of the installation.
class GatedPlatform final : public Platform, private KeyboardEventServices {
 public:
  explicit GatedPlatform(std::shared_ptr<SimulatedSession> session)
      : session_(std::move(session)), inner_(session_->events()) {}

  KeyboardEventServices& events() override { return *this; }
  Workspace& workspace() override { return session_->workspace(); }
  MainQueue& mainQueue() override { return session_->mainQueue(); }
  Pauser& pauser() override { return session_->pauser(); }

  // Holds the next caller of the operation (any thread) until released; holdAlsoBefore adds a
  // second gate to the first.
  void holdBefore(std::string_view operation) {
    std::lock_guard lock(mutex_);
    gates_ = {operation};
    heldAt_.clear();
  }
  void holdAlsoBefore(std::string_view operation) {
    std::lock_guard lock(mutex_);
    gates_.push_back(operation);
  }
  void waitUntilHeld(std::string_view operation = {}) {
    std::unique_lock lock(mutex_);
    ASSERT_TRUE(changed_.wait_for(lock, kWait, [this, operation] {
      return operation.empty() ? !heldAt_.empty() : std::ranges::count(heldAt_, operation) > 0;
    }));
  }
  void release() {
    std::lock_guard lock(mutex_);
    gates_.clear();
    changed_.notify_all();
  }
  void releaseOnly(std::string_view operation) {
    std::lock_guard lock(mutex_);
    std::erase(gates_, operation);
    changed_.notify_all();
  }
  int runLoopReturns() const { return runLoopReturns_.load(); }

 private:
  void checkpoint(std::string_view operation) {
    std::unique_lock lock(mutex_);
    const auto gated = [this, operation] { return std::ranges::count(gates_, operation) > 0; };
    if (!gated()) return;
    heldAt_.push_back(operation);
    changed_.notify_all();
    changed_.wait(lock, [&] { return !gated(); });
  }

  MachPortRef tapCreate(TapLocation l, TapPlacement p, TapOptions o, EventMask m,
                        EventTapCallback c, void* u) override {
    checkpoint("tapCreate");
    return inner_.tapCreate(l, p, o, m, c, u);
  }
  void tapEnable(MachPortRef t, bool e) override { inner_.tapEnable(t, e); }
  RunLoopSourceRef machPortCreateRunLoopSource(MachPortRef port) override {
    checkpoint("machPortCreateRunLoopSource");
    return inner_.machPortCreateRunLoopSource(port);
  }
  RunLoopRef runLoopGetCurrent() override { return inner_.runLoopGetCurrent(); }
  void runLoopAddSource(RunLoopRef l, RunLoopSourceRef s) override {
    checkpoint("runLoopAddSource");
    inner_.runLoopAddSource(l, s);
  }
  void runLoopRemoveSource(RunLoopRef l, RunLoopSourceRef s) override {
    inner_.runLoopRemoveSource(l, s);
  }
  void runLoopRun() override {
    checkpoint("runLoopRun");
    inner_.runLoopRun();
    runLoopReturns_.fetch_add(1);
  }
  void runLoopStop(RunLoopRef l) override { inner_.runLoopStop(l); }
  void machPortInvalidate(MachPortRef p) override {
    checkpoint("machPortInvalidate");
    inner_.machPortInvalidate(p);
  }
  int64_t eventGetIntegerValueField(EventRef e, EventField f) override {
    return inner_.eventGetIntegerValueField(e, f);
  }
  EventFlags eventGetFlags(EventRef e) override { return inner_.eventGetFlags(e); }
  EventSourceRef eventSourceCreate(EventSourceState s) override {
    return inner_.eventSourceCreate(s);
  }
  EventRef eventCreateKeyboardEvent(EventSourceRef s, KeyCode k, bool d) override {
    return inner_.eventCreateKeyboardEvent(s, k, d);
  }
  void eventSetFlags(EventRef e, EventFlags f) override { inner_.eventSetFlags(e, f); }
  void eventSetIntegerValueField(EventRef e, EventField f, int64_t v) override {
    inner_.eventSetIntegerValueField(e, f, v);
  }
  void eventPost(TapLocation l, EventRef e) override { inner_.eventPost(l, e); }
  EventFlags eventSourceFlagsState(EventSourceState s) override {
    return inner_.eventSourceFlagsState(s);
  }
  void setCurrentThreadUserInteractive() override { inner_.setCurrentThreadUserInteractive(); }
  void retain(const void* r) override { inner_.retain(r); }
  void release(const void* r) override { inner_.release(r); }

  std::shared_ptr<SimulatedSession> session_;
  KeyboardEventServices& inner_;
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

TEST_F(TapServiceTest, StartInstallsOneActiveTapAtTheHeadOfTheSession) {
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
}

TEST_F(TapServiceTest, TheApplicationReceivesTheTranslationDecidedOnTheTapThread) {
  manager->start();
  waitForTap();
  typeFnC();

  const auto received = session->received();
  ASSERT_EQ(received.size(), 4u);  // Fn down, Command-C down, Command-C up, Fn up
  EXPECT_EQ(received[0].type, kEventFlagsChanged);
  EXPECT_EQ(received[1].type, kEventKeyDown);
  EXPECT_EQ(received[1].keyCode, 8);
  EXPECT_EQ(received[1].flags, kFlagCommand);
  EXPECT_EQ(received[1].userData, 1);
  EXPECT_EQ(received[2].type, kEventKeyUp);
  EXPECT_EQ(received[3].type, kEventFlagsChanged);
  const auto posted = session->posted();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].thread, manager->eventTapThread.id()) << "decided on the tap thread";
}

TEST_F(TapServiceTest, SecondStartDoesNothing) {
  manager->start();
  waitForTap();
  const auto thread = manager->eventTapThread.id();
  manager->start();
  EXPECT_EQ(manager->eventTapThread.id(), thread);
  EXPECT_EQ(session->tapsCreated(), 1u);
  EXPECT_EQ(willChange, 1) << "a start that does nothing assigns nothing";
}

TEST_F(TapServiceTest, StopInIdleDoesNothing) {
  manager->stop();
  EXPECT_EQ(willChange, 0);
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_EQ(session->portsInvalidated(), 0u);
}

TEST_F(TapServiceTest, StopDismantlesTheTapAndEndsItsLoop) {
  manager->start();
  waitForTap();
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

  typeFnC();
  const auto received = session->received();
  ASSERT_EQ(received.size(), 4u);
  EXPECT_EQ(received[1].flags, kFlagFn) << "untranslated once stopped";
  EXPECT_TRUE(session->posted().empty());
}

TEST_F(TapServiceTest, StopThenStartBuildsANewTapAndKeepsPendingKeyUps) {
  manager->start();
  waitForTap();
  session->keyboardEvent(kEventKeyDown, 8, kFlagFn);
  session->settle();
  manager->stop();
  manager->start();
  waitForTap(2);
  EXPECT_EQ(session->tapsCreated(), 2u);
  session->keyboardEvent(kEventKeyUp, 8, 0);
  session->settle();
  const auto received = session->received();
  ASSERT_EQ(received.size(), 2u) << "the key-up of the translated C is still swallowed";
  EXPECT_EQ(received[0].flags, kFlagCommand);
}

TEST_F(TapServiceTest, TapSwitchedOffByTheSystemIsSwitchedBackOn) {
  manager->start();
  waitForTap();
  for (EventType reason : {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput}) {
    session->disableTaps(reason);
    session->settle();
    ASSERT_EQ(session->taps().size(), 1u);
    EXPECT_TRUE(session->taps()[0].enabled) << reason;
    session->clearRecords();
    typeFnC();
    EXPECT_EQ(session->posted().size(), 2u) << "still translating after " << reason;
  }
  EXPECT_TRUE(manager->isEnabled);
  EXPECT_EQ(session->tapsCreated(), 1u);
}

TEST_F(TapServiceTest, FailedCreationIsReportedToTheMainThread) {
  session->setTrusted(false);
  manager->start();
  waitForTap();
  EXPECT_TRUE(manager->isEnabled) << "until the main thread hears of the failure";
  EXPECT_EQ(session->runDueMainWork(kWait), 1u);
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_FALSE(manager->eventTapThread);
  EXPECT_FALSE(manager->eventTap);
  EXPECT_EQ(willChange, 2);
  EXPECT_EQ(willChangeThread, std::this_thread::get_id());

  session->setTrusted(true);
  manager->start();
  waitForTap(2);
  EXPECT_TRUE(manager->isEnabled);
  EXPECT_EQ(session->taps().size(), 1u);
}

TEST_F(TapServiceTest, LateFailureDoesNotUndoANewerStart) {
  session->setTrusted(false);
  manager->start();
  waitForTap();
  session->setTrusted(true);
  manager->start();  // no tap: a new attempt
  waitForTap(2);
  session->runDueMainWork(100ms);
  EXPECT_TRUE(manager->isEnabled);
  EXPECT_TRUE(manager->eventTapThread);
  EXPECT_EQ(session->taps().size(), 1u);
}

TEST_F(TapServiceTest, StopWithAFailedCreationDoesNothingAndTheFailureStillLands) {
  session->setTrusted(false);
  manager->start();
  waitForTap();
  manager->stop();
  EXPECT_TRUE(manager->isEnabled);
  session->runDueMainWork(kWait);
  EXPECT_FALSE(manager->isEnabled);
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
