#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "engine/KeyboardShortcutManager.h"

namespace corvane {
namespace {

TEST(SharedManagerTest, ThreadsAskingFirstAtOnceGetOneInstance) {
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::vector<KeyboardShortcutManager*> seen(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) {
      }
      seen[i] = &KeyboardShortcutManager::shared();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(std::set<KeyboardShortcutManager*>(seen.begin(), seen.end()).size(), 1u);
  EXPECT_EQ(&KeyboardShortcutManager::shared(), seen[0]);

  KeyboardShortcutManager& shared = KeyboardShortcutManager::shared();
  EXPECT_FALSE(shared.isEnabled) << "creation does not start the tap";
  EXPECT_TRUE(shared.swapFnAndControl);
  EXPECT_TRUE(shared.swapOptionAndCommand);
  EXPECT_FALSE(shared.eventTap);
}

}  // namespace
}  // namespace corvane
