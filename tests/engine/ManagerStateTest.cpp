#include <thread>

#include "rules/RuleCompiler.h"
#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

using ManagerStateTest = EngineTest;

// Each published value signals before it is stored, once per assignment, also when the value
// does not change, on the assigning thread.
class PublishedValueTest
    : public EngineTest,
      public ::testing::WithParamInterface<PublishedBool KeyboardShortcutManager::*> {};

TEST_P(PublishedValueTest, SignalsBeforeEveryAssignmentOnTheAssigningThread) {
  PublishedBool& value = (*manager).*GetParam();
  std::vector<bool> seenBefore;
  std::vector<std::thread::id> threads;
  manager->objectWillChange.subscribe([&] {
    seenBefore.push_back(value.get());
    threads.push_back(std::this_thread::get_id());
  });

  const bool initial = value.get();
  value = !initial;
  value = !initial;  // the value it already holds
  std::thread other([&] { value = initial; });
  const std::thread::id otherId = other.get_id();
  other.join();

  ASSERT_EQ(seenBefore.size(), 3u);
  EXPECT_EQ(seenBefore[0], initial) << "signalled after the store";
  EXPECT_EQ(seenBefore[1], !initial);
  EXPECT_EQ(seenBefore[2], !initial);
  EXPECT_EQ(threads[0], std::this_thread::get_id());
  EXPECT_EQ(threads[2], otherId);
  EXPECT_EQ(value.get(), initial);
}

INSTANTIATE_TEST_SUITE_P(AllThree, PublishedValueTest,
                         ::testing::Values(&KeyboardShortcutManager::isEnabled,
                                           &KeyboardShortcutManager::swapFnAndControl,
                                           &KeyboardShortcutManager::swapOptionAndCommand),
                         [](const auto& info) {
                           if (info.param == &KeyboardShortcutManager::isEnabled)
                             return "isEnabled";
                           return info.param == &KeyboardShortcutManager::swapFnAndControl
                                      ? "swapFnAndControl"
                                      : "swapOptionAndCommand";
                         });

TEST_F(ManagerStateTest, UnsubscribedHandlersAreNotCalled) {
  int first = 0;
  int second = 0;
  const auto token = manager->objectWillChange.subscribe([&] { ++first; });
  manager->objectWillChange.subscribe([&] { ++second; });
  manager->swapFnAndControl = false;
  manager->objectWillChange.unsubscribe(token);
  manager->swapFnAndControl = true;
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
}

TEST_F(ManagerStateTest, HandlerMayUnsubscribeItself) {
  int calls = 0;
  ChangeNotifier::Token token = 0;
  token = manager->objectWillChange.subscribe([&] {
    ++calls;
    manager->objectWillChange.unsubscribe(token);
  });
  manager->isEnabled = true;
  manager->isEnabled = false;
  EXPECT_EQ(calls, 1);
}

TEST_F(ManagerStateTest, ChangingASettingLeavesTheRestAlone) {
  ASSERT_TRUE(keyDown(8, kFlagFn));  // Fn+C: copy, key code 8 recorded
  manager->swapFnAndControl = false;
  EXPECT_TRUE(manager->consumedKeyUps.contains(8));
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_EQ(session->tapsCreated(), 0u);
  EXPECT_EQ(manager->actionForKeyDown(8, kFlagControl), "copy") << "takes effect at the next key";
}

TEST_F(ManagerStateTest, ChangingTheRulesSignalsTheWindow) {
  int signals = 0;
  manager->objectWillChange.subscribe([&] { ++signals; });
  setRules(*manager, RulesFile{});
  manager->clearRules();
  EXPECT_EQ(signals, 2);
}

}  // namespace
}  // namespace corvane::testing
