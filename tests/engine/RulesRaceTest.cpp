// The rules replaced from the main thread while the tap thread decides a flood of key presses:
// no race (ThreadSanitizer runs this), no table freed under a reader (AddressSanitizer), and no
// key-up reaching the application without its key-down.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"
#include "rules/RuleCompiler.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

RulesFile rulesFrom(const char* text) {
  RulesParse parse = parseRules(text);
  EXPECT_TRUE(parse.rules) << parse.error.describe();
  return parse.rules.value_or(RulesFile{});
}

TEST(RulesRaceTest, ReplacingTheRulesWhileAFloodIsDecided) {
  const RulesFile first = rulesFrom(R"({"disable": ["Ctrl+C"], "shortcuts": [
      {"press": "Ctrl+O", "send": "Cmd+O"},
      {"press": "Home", "send": "Cmd+Left"},
      {"press": "Win+T", "open": "/Applications/Terminal.app"}]})");
  const RulesFile second = rulesFrom(R"({"exclude": ["com.example.Vm"], "shortcuts": [
      {"press": "Ctrl+C", "send": "Cmd+Shift+C", "apps": ["browsers"]},
      {"press": "Ctrl+O", "send": "Option+O", "apps": ["com.apple.Safari"]}]})");

  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real);
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  manager->start();
  ASSERT_TRUE(session->waitForTapSetups(1, 10s));

  std::atomic<bool> flooding{true};
  std::thread flood([&] {
    // Keys the rules name and keys they do not, with and without Ctrl (Fn) and Win (Option).
    const int64_t keys[] = {31, 8, 9, 115, 17, 4, 96};
    const EventFlags flags[] = {0, kFlagFn, kFlagOption, kFlagFn | kFlagShift};
    const char* apps[] = {"com.apple.Safari", "com.example.Vm", "com.apple.TextEdit"};
    unsigned n = 0;
    while (flooding.load(std::memory_order_relaxed)) {
      const int64_t key = keys[n % std::size(keys)];
      const EventFlags f = flags[(n / 7) % std::size(flags)];
      if (n % 97 == 0) session->setFrontmostApplication(apps[(n / 97) % std::size(apps)]);
      session->keyboardEvent(kEventKeyDown, key, f);
      session->keyboardEvent(kEventKeyUp, key, f);
      ++n;
    }
  });

  for (int i = 0; i < 10'000; ++i) {
    if (i % 3 == 2) {
      manager->clearRules();
    } else {
      setRules(*manager, i % 3 == 0 ? first : second);
    }
  }
  flooding.store(false);
  flood.join();
  session->settle();
  manager->stop();
  ASSERT_TRUE(session->waitForRunLoopsToEnd(10s));
  // What the translated presses left on the main queue holds the manager: run it, as the main
  // thread would, so that the manager and the session are freed.
  while (session->pendingMainWork() > 0) session->runDueMainWork(100ms);

  // Every key-up of the user's that reached the application came after its key-down.
  std::map<int64_t, int> down;
  for (const sim::ReceivedEvent& event : session->received()) {
    if (event.userData != 0) continue;
    if (event.type == kEventKeyDown) ++down[event.keyCode];
    if (event.type == kEventKeyUp) {
      EXPECT_GT(down[event.keyCode], 0) << "an orphan key-up of " << event.keyCode;
      --down[event.keyCode];
    }
  }
  for (const auto& [key, held] : down) EXPECT_EQ(held, 0) << "key " << key << " left down";
}

}  // namespace
}  // namespace corvane
