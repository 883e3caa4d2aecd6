#include <string>
#include <thread>

#include "tests/engine/EngineHarness.h"
#include "tests/engine/TestNames.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;
using sim::PostedEvent;

struct Stroke {
  const char* action;
  int64_t key;
  EventFlags flags;
};

class KeystrokeActionTest : public EngineTest, public ::testing::WithParamInterface<Stroke> {};

// Each immediate action posts exactly one marked key-down and key-up at the HID level, from a
// fresh HID-state source, on the calling thread, before it returns. Every built-in's keystroke
// is replayed in tests/tools/golden/engine-builtins.jsonl, the applications opened from the main
// thread in set.jsonl and the press goldens, the reopen sequence's timing and F2's Return 60 ms
// later on the main thread in frontmost.jsonl and main-thread.jsonl.
TEST_P(KeystrokeActionTest, PostsItsKeystrokeAtOnce) {
  const Stroke& stroke = GetParam();
  std::thread tapThread([&] { manager->performAction(stroke.action); });
  const auto callerId = tapThread.get_id();
  tapThread.join();

  const auto posted = session->posted();
  ASSERT_EQ(posted.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const PostedEvent& event = posted[i];
    EXPECT_EQ(event.type, i == 0 ? kEventKeyDown : kEventKeyUp);
    EXPECT_EQ(event.keyCode, stroke.key);
    EXPECT_EQ(event.flags, stroke.flags);
    EXPECT_EQ(event.userData, 1);
    EXPECT_EQ(event.location, kHIDEventTap);
    EXPECT_EQ(event.sourceState, kEventSourceStateHIDSystemState);
    EXPECT_EQ(event.thread, callerId);
    EXPECT_EQ(event.time, 0ns);
  }
  EXPECT_TRUE(session->openRequests().empty());
  EXPECT_EQ(session->pendingMainWork(), 0u);
}

INSTANTIATE_TEST_SUITE_P(ActionTable, KeystrokeActionTest,
                         ::testing::Values(Stroke{"copy", 8, kFlagCommand},
                                           Stroke{"lockComputer", 12, kFlagCommand | kFlagControl}),
                         [](const auto& info) { return std::string(info.param.action); });

TEST_F(EngineTest, UnknownNamesDoNothing) {
  for (const char* name : {"", "Copy", "COPY", "copy ", "reopentab", "none", "openfinder"}) {
    manager->performAction(name);
  }
  session->advance(1s);
  EXPECT_TRUE(session->posted().empty());
  EXPECT_TRUE(session->openRequests().empty());
}

TEST_F(EngineTest, TwoQuickPressesScheduleTwoDelayedActions) {
  manager->performAction("renameFile");
  session->advance(10ms);
  manager->performAction("renameFile");
  session->advance(1s);
  const auto posted = session->posted();
  ASSERT_EQ(posted.size(), 4u);
  EXPECT_EQ(posted[0].time, 60ms);
  EXPECT_EQ(posted[2].time, 70ms);
}

TEST_F(EngineTest, MoreDelayedActionsThanHoldsAllRunOnce) {
  constexpr size_t kCount = 3 * KeyboardShortcutManager::kDelayedHoldCount + 1;
  for (size_t i = 0; i < kCount; ++i) manager->performAction("renameFile");
  session->advance(1s);
  EXPECT_EQ(session->posted().size(), 2 * kCount);
  session->clearRecords();
  manager->performAction("renameFile");  // the holds are free again
  session->advance(1s);
  EXPECT_EQ(session->posted().size(), 2u);
}

TEST_F(EngineTest, DelayedActionKeepsTheManagerAlive) {
  manager->performAction("renameFile");
  std::weak_ptr<KeyboardShortcutManager> weak = manager;
  manager.reset();
  EXPECT_FALSE(weak.expired());
  session->advance(1s);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(session->posted().size(), 2u) << "an action scheduled before still takes effect";
}

struct ModifierList {
  std::vector<EventFlags> list;
  EventFlags posted;
};

class PostKeystrokeTest : public EngineTest, public ::testing::WithParamInterface<ModifierList> {};

TEST_P(PostKeystrokeTest, PostsTheOrOfTheList) {
  manager->postKeystroke(GetParam().list, 0);
  const auto posted = session->posted();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].flags, GetParam().posted);
  EXPECT_EQ(posted[1].flags, GetParam().posted);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PostKeystrokeTest,
    ::testing::Values(ModifierList{{}, 0}, ModifierList{{kFlagCommand, kFlagShift}, 0x120000},
                      ModifierList{{kFlagCommand, kFlagControl}, 0x140000},
                      ModifierList{{kFlagCommand, kFlagCommand}, kFlagCommand},
                      ModifierList{{kFlagOption, kFlagShift, kFlagControl, kFlagCommand},
                                   0x1E0000}),
    [](const auto& info) {
      std::string name = "list";
      for (EventFlags flags : info.param.list) name += "_" + hexName(flags);
      return info.param.list.empty() ? std::string("empty") : name;
    });

TEST_F(EngineTest, WithoutASourceKeystrokesStillPostButTheReopenSequenceDoesNothing) {
  session->refuseEventSources(true);
  manager->postKeystroke({}, 8);
  auto posted = session->posted();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_FALSE(posted[0].sourceState.has_value());
  EXPECT_EQ(posted[0].userData, 1);

  session->clearRecords();
  const auto before = session->now();
  manager->postReopenTabSequence();
  EXPECT_TRUE(session->posted().empty());
  EXPECT_EQ(session->now(), before) << "no pause without a source";
}

TEST_F(EngineTest, RefusedEventsAreSkippedButTheirPausesKept) {
  session->refuseKeyboardEvents(true);
  manager->postKeystroke({kFlagCommand}, 8);
  const auto before = session->now();
  manager->postReopenTabSequence();
  EXPECT_TRUE(session->posted().empty());
  EXPECT_EQ(session->now() - before, 58ms);
}

TEST_F(EngineTest, EverySourceAndEventMadeIsReleased) {
  const uint64_t live = sim::SimulatedSession::liveObjects();
  manager->postKeystroke({kFlagCommand}, 8);
  manager->postReopenTabSequence();
  session->settle();
  EXPECT_EQ(sim::SimulatedSession::liveObjects(), live);
}

TEST_F(EngineTest, PostedEventsPassTheDecisionUntouched) {
  ASSERT_TRUE(keyDown(6, kFlagFn));  // Ctrl+Z, recorded
  manager->postReopenTabSequence();
  manager->postKeystroke({kFlagCommand}, 6);
  const auto before = manager->consumedKeyUps.size();
  for (const PostedEvent& event : session->posted()) {
    EXPECT_FALSE(swallows(event.type, event.keyCode, event.flags, event.userData));
  }
  EXPECT_EQ(manager->consumedKeyUps.size(), before);
  EXPECT_TRUE(manager->consumedKeyUps.contains(6)) << "a marked key-up leaves the entry";
}

}  // namespace
}  // namespace corvane::testing
