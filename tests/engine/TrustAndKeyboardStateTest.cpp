// What the tap thread does about the Mac around it: a permission taken away, the Fn key's state
// while no tap ran, and applications opened away from the tap thread. Real threads on a
// simulated session.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"
#include "rules/RuleCompiler.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using sim::ClockMode;
using sim::SimulatedSession;

constexpr auto kWait = 10s;  // generous: only a broken build waits this long

class TapThreadTest : public ::testing::Test {
 protected:
  void TearDown() override {
    manager->stop();
    EXPECT_TRUE(session->waitForRunLoopsToEnd(kWait));
  }
  void startAndWait(uint64_t setups = 1) {
    manager->start();
    ASSERT_TRUE(session->waitForTapSetups(setups, kWait));
  }
  void key(EventType type, int64_t code, EventFlags flags) {
    session->keyboardEvent(type, code, flags);
    session->settle();
  }

  std::shared_ptr<SimulatedSession> session = std::make_shared<SimulatedSession>(ClockMode::Real);
  std::shared_ptr<KeyboardShortcutManager> manager =
      std::make_shared<KeyboardShortcutManager>(session);
};

// The user removes Corvane from the Accessibility list while it runs. AXIsProcessTrusted keeps
// its first answer; only a tap made now tells. The running tap is switched back on after each
// timeout until the third within ten seconds: the keyboard waits for a tap Corvane switched back
// on twice, then translation stops from the main thread and stays stopped until a Start. Which
// timeouts count is replayed in tests/tools/golden/engine-tap-timeouts.jsonl.
TEST_F(TapThreadTest, RemovedPermissionIsReadLiveAndRepeatedTimeoutsStopTranslation) {
  startAndWait();
  EXPECT_TRUE(manager->probeTrust());
  ASSERT_TRUE(session->axIsProcessTrusted(false));
  session->removeFromAccessibilityList();
  EXPECT_TRUE(session->axIsProcessTrusted(false)) << "the cached answer of macOS 13 and later";
  EXPECT_FALSE(manager->probeTrust()) << "a tap made now says it";
  EXPECT_FALSE(manager->probeTrust());
  EXPECT_EQ(session->accessibilityPrompts(), 1u) << "at most once: the prompt leaves an entry";
  ASSERT_EQ(session->taps().size(), 1u) << "the probe leaves no tap behind";

  for (int64_t code : {8, 9, 7, 6}) key(kEventKeyDown, code, kFlagFn);
  EXPECT_EQ(session->tapTimeouts(), 3u) << "switched back on twice, then left off";
  EXPECT_EQ(session->received().size(), 4u) << "every key went through untranslated";
  EXPECT_TRUE(manager->isEnabled) << "until the main thread hears of it";
  EXPECT_GE(session->runDueMainWork(kWait), 1u);
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_TRUE(manager->stoppedForTapTimeouts);
  EXPECT_FALSE(manager->eventTap);

  session->setTrusted(true);
  EXPECT_TRUE(manager->probeTrust()) << "a grant is seen at once";
  startAndWait(2 + 2);  // the two failed probes counted as set-ups
  EXPECT_FALSE(manager->stoppedForTapTimeouts) << "a new start forgets why the last one ended";
  key(kEventKeyDown, 8, kFlagFn);
  EXPECT_EQ(session->posted().size(), 2u);
}

// An Fn release that came while no tap ran (stopped, or switched off) must not leave Fn "down":
// the Fn key's state is read from the keyboard at each start and each re-enable.
TEST_F(TapThreadTest, FnStateIsReadFromTheKeyboardAtStartAndReEnable) {
  startAndWait();
  key(kEventFlagsChanged, 63, kFlagFn);
  EXPECT_TRUE(manager->fnKeyDown);
  manager->stop();
  key(kEventFlagsChanged, 63, 0);  // released while no tap runs
  EXPECT_TRUE(manager->fnKeyDown) << "nobody saw the release";
  startAndWait(2);
  EXPECT_FALSE(manager->fnKeyDown) << "read afresh at start";

  key(kEventFlagsChanged, 63, kFlagFn);
  manager->fnKeyDown = false;  // as if its press had come while the tap was off
  session->disableTaps(kEventTapDisabledByTimeout);
  session->settle();
  EXPECT_TRUE(manager->fnKeyDown) << "read afresh when switched back on";
}

// Win held, Stop, Win released while no tap runs, Start: the release was never seen, so the held
// modifiers are read from the keyboard at start, and the next tap alone fires.
TEST_F(TapThreadTest, AModifierReleasedWhileStoppedTapsAloneAfterStart) {
  RulesParse parse = parseRules(R"({"shortcuts": [{"press": "Win", "send": "Cmd+Space"}]})");
  ASSERT_TRUE(parse.rules) << parse.error.describe();
  manager->setRuleTable(compileRules(std::move(*parse.rules)));
  startAndWait();
  key(kEventFlagsChanged, 58, kFlagOption);  // Option plays Win
  manager->stop();
  key(kEventFlagsChanged, 58, 0);
  startAndWait(2);
  key(kEventFlagsChanged, 58, kFlagOption);
  key(kEventFlagsChanged, 58, 0);
  ASSERT_EQ(session->posted().size(), 2u) << "the tap alone fired";
  EXPECT_EQ(session->posted()[0].keyCode, 49);
}

// A workspace whose openApplication blocks until released, as LaunchServices may.
class BlockingWorkspacePlatform final : public Platform, private Workspace {
 public:
  explicit BlockingWorkspacePlatform(std::shared_ptr<SimulatedSession> session)
      : session_(std::move(session)) {}
  KeyboardEventServices& events() override { return session_->events(); }
  Workspace& workspace() override { return *this; }
  MainQueue& mainQueue() override { return session_->mainQueue(); }
  Pauser& pauser() override { return session_->pauser(); }

  void release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  bool waitUntilOpening() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kWait, [this] { return opening_; });
  }

 private:
  std::string_view frontmostBundleIdentifier() override {
    return session_->workspace().frontmostBundleIdentifier();
  }
  bool openApplication(std::string_view path) override {
    std::unique_lock lock(mutex_);
    opening_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    lock.unlock();
    return session_->workspace().openApplication(path);
  }

  std::shared_ptr<SimulatedSession> session_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool opening_ = false;
  bool released_ = false;
};

TEST(OpenApplicationTest, TheTapCallbackReturnsBeforeTheApplicationOpens) {
  auto session = std::make_shared<SimulatedSession>(ClockMode::Real);
  auto platform = std::make_shared<BlockingWorkspacePlatform>(session);
  auto manager = std::make_shared<KeyboardShortcutManager>(platform);
  manager->start();
  ASSERT_TRUE(session->waitForTapSetups(1, kWait));

  // Win+E, delivered by another thread: it returns once the tap gave its verdict.
  auto typed = std::async(std::launch::async, [&] {
    session->keyboardEvent(kEventKeyDown, 14, kFlagOption);
    session->keyboardEvent(kEventKeyUp, 14, kFlagOption);
    session->settle();
  });
  const bool returned = typed.wait_for(5s) == std::future_status::ready;
  EXPECT_TRUE(returned) << "the tap thread waits for the application to open";
  EXPECT_TRUE(session->received().empty()) << "Win+E was swallowed at once";
  EXPECT_TRUE(session->openRequests().empty());

  // The main thread opens it, and may take as long as it likes.
  std::thread::id mainId;
  std::thread mainThread([&] {
    mainId = std::this_thread::get_id();
    session->runDueMainWork(kWait);
  });
  EXPECT_TRUE(platform->waitUntilOpening());
  platform->release();
  mainThread.join();
  typed.wait();
  ASSERT_EQ(session->openRequests().size(), 1u);
  EXPECT_EQ(session->openRequests()[0].path, kFinderPath);
  EXPECT_EQ(session->openRequests()[0].thread, mainId);
  manager->stop();
  EXPECT_TRUE(session->waitForRunLoopsToEnd(kWait));
}

}  // namespace
}  // namespace corvane
