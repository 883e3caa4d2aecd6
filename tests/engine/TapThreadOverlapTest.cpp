// After a stop and a start, the old tap thread may still be inside a callback (here: asking the
// workspace which application is frontmost) while the new tap thread decides a flood of events.
// Both update consumedKeyUps and heldByApplication; no update may be lost, and ThreadSanitizer
// must see no race (the tsan preset runs this binary).
//
// One simulated session delivers an event to its taps one at a time and waits for a callback's
// verdict, so a callback held open there would hold up every later event. On a Mac the system
// does not wait for an invalidated tap. To let the two threads overlap, the platform below gives
// the first tap to one session and later taps to a second one: each tap thread talks to its own
// session, so the new tap keeps receiving events while the old callback waits.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"
#include "tests/engine/ForwardingPlatform.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using sim::SimulatedSession;

constexpr auto kWait = 10s;

class TwoSessionPlatform final : public testing::ForwardingPlatform {
 public:
  TwoSessionPlatform(std::shared_ptr<SimulatedSession> first,
                     std::shared_ptr<SimulatedSession> later)
      : first_(std::move(first)), later_(std::move(later)) {}

  // The next frontmost query made on the first session's tap thread waits until released.
  void holdFrontmostQueryOfFirstTap() {
    std::lock_guard lock(mutex_);
    holding_ = true;
  }
  void waitUntilHeld() {
    std::unique_lock lock(mutex_);
    ASSERT_TRUE(changed_.wait_for(lock, kWait, [this] { return held_; }));
  }
  void release() {
    std::lock_guard lock(mutex_);
    holding_ = false;
    changed_.notify_all();
  }

 private:
  // The session that made a port, source or run loop; else the calling tap thread's (the main
  // thread uses the first one).
  SimulatedSession& sessionOf(const void* object) override {
    if (object != nullptr) {
      std::lock_guard lock(ownersMutex_);
      if (auto it = owners_.find(object); it != owners_.end()) return *it->second;
    }
    return tSession != nullptr ? *tSession : *first_;
  }
  // The first tap is the first session's, later ones the second's.
  void checkpoint(std::string_view step) override {
    if (step == "tapCreate")
      tSession = tapsCreated_.fetch_add(1) == 0 ? first_.get() : later_.get();
  }
  void made(const void* object) override {
    std::lock_guard lock(ownersMutex_);
    owners_[object] = &sessionOf(nullptr);
  }
  void setCurrentThreadUserInteractive() override {}

  std::string_view frontmostBundleIdentifier() override {
    if (tSession == first_.get()) {
      std::unique_lock lock(mutex_);
      if (holding_) {
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !holding_; });
      }
    }
    return ForwardingPlatform::frontmostBundleIdentifier();
  }

  static thread_local SimulatedSession* tSession;

  std::shared_ptr<SimulatedSession> first_;
  std::shared_ptr<SimulatedSession> later_;
  // The gate. The main thread takes it to let the old callback go; the new tap thread never
  // does, so that nothing orders its work before the old callback's.
  std::mutex mutex_;
  std::condition_variable changed_;
  bool holding_ = false;
  bool held_ = false;
  std::atomic<int> tapsCreated_{0};
  std::mutex ownersMutex_;
  std::map<const void*, SimulatedSession*> owners_;
};

thread_local SimulatedSession* TwoSessionPlatform::tSession = nullptr;

TEST(TapThreadOverlap, AnOldCallbackFinishingDuringANewTapsFloodLosesNoUpdate) {
  auto oldSession = std::make_shared<SimulatedSession>(sim::ClockMode::Virtual);
  auto newSession = std::make_shared<SimulatedSession>(sim::ClockMode::Virtual);
  oldSession->setFrontmostApplication("com.apple.Safari");
  auto platform = std::make_shared<TwoSessionPlatform>(oldSession, newSession);
  auto manager = std::make_shared<KeyboardShortcutManager>(platform);

  manager->start();
  ASSERT_TRUE(oldSession->waitForTapSetups(1, kWait));

  // Shift+Tab in a browser: the old tap's callback asks which application is frontmost and is
  // held there; once let go it records Tab in consumedKeyUps.
  platform->holdFrontmostQueryOfFirstTap();
  std::thread oldPress([&] { oldSession->keyboardEvent(kEventKeyDown, kKeyTab, kFlagShift); });
  platform->waitUntilHeld();

  manager->stop();
  manager->start();
  ASSERT_TRUE(newSession->waitForTapSetups(1, kWait));

  // The new tap decides a flood on the same words of both sets: translated presses (Fn+C, Fn+X,
  // Fn+V) and presses that reach the application (A, S), each released.
  // Progress is read relaxed: the main thread must not learn, through the counter, of the new
  // tap's writes before it lets the old callback go, or ThreadSanitizer would see them ordered.
  std::atomic<bool> stopFlood{false};
  std::atomic<int> rounds{0};
  auto roundsDone = [&rounds] { return rounds.load(std::memory_order_relaxed); };
  std::thread flood([&] {
    while (!stopFlood.load(std::memory_order_relaxed) || roundsDone() < 400) {
      for (int64_t key : {kKeyC, kKeyX, kKeyV}) {
        newSession->keyboardEvent(kEventKeyDown, key, kFlagFn);
        newSession->keyboardEvent(kEventKeyUp, key, kFlagFn);
      }
      for (int64_t key : {kKeyA, kKeyS}) {
        newSession->keyboardEvent(kEventKeyDown, key);
        newSession->keyboardEvent(kEventKeyUp, key);
      }
      rounds.fetch_add(1, std::memory_order_relaxed);
    }
  });
  while (roundsDone() < 50) std::this_thread::yield();
  const int roundsAtRelease = roundsDone();
  platform->release();
  oldPress.join();  // the old callback has given its verdict
  while (roundsDone() < roundsAtRelease + 50) std::this_thread::yield();
  stopFlood.store(true, std::memory_order_relaxed);
  flood.join();
  newSession->settle();

  EXPECT_TRUE(manager->consumedKeyUps.contains(kKeyTab)) << "the old callback's entry was lost";
  EXPECT_EQ(manager->consumedKeyUps.size(), 1u) << "a flood entry was lost or came back";
  EXPECT_TRUE(manager->heldByApplication.empty());
  EXPECT_TRUE(oldSession->received().empty()) << "Shift+Tab was translated, not passed";

  // Tab is released under the new tap: its key-up is the translated press's, swallowed once.
  newSession->clearRecords();
  newSession->keyboardEvent(kEventKeyUp, kKeyTab, kFlagShift);
  newSession->settle();
  EXPECT_TRUE(newSession->received().empty());
  EXPECT_TRUE(manager->consumedKeyUps.empty());

  manager->stop();
  EXPECT_TRUE(oldSession->waitForRunLoopsToEnd(kWait));
  EXPECT_TRUE(newSession->waitForRunLoopsToEnd(kWait));
  oldSession->advance(1s);  // the reopen-tab sequence holds the manager until it has run
  newSession->advance(1s);
}

TEST(KeyCodeSetTest, HoldsCodesBelow128AndNothingElse) {
  KeyCodeSet set;
  for (int64_t code : {0, 63, 64, 127}) {
    EXPECT_FALSE(set.contains(code)) << code;
    EXPECT_TRUE(set.insert(code)) << code;
    EXPECT_FALSE(set.insert(code)) << "no duplicates: " << code;
    EXPECT_TRUE(set.contains(code)) << code;
  }
  for (int64_t code : {int64_t{128}, int64_t{255}, int64_t{-1}, INT64_MIN, INT64_MAX}) {
    EXPECT_FALSE(set.insert(code)) << code;
    EXPECT_FALSE(set.contains(code)) << code;
    EXPECT_FALSE(set.erase(code)) << code;
  }
  EXPECT_EQ(set.size(), 4u);
  EXPECT_TRUE(set.erase(63));
  EXPECT_FALSE(set.erase(63));
  EXPECT_TRUE(set.contains(64));
  EXPECT_EQ(set.size(), 3u);
}

}  // namespace
}  // namespace corvane
