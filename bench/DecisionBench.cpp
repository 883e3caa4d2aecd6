// The decision for one event (handleEvent), on the null platform and on the simulated session
// (called directly, as the tap thread would): time per event, and heap allocations per event
// (counter allocs_per_event; the target is 0 on every path).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/AllocationCounter.h"
#include "bench/DecisionCases.h"
#include "platform/simulated/SimulatedSession.h"
#include "rules/RuleCompiler.h"

namespace corvane::bench {
namespace {

void nullDecision(benchmark::State& state, const DecisionCase& c) {
  auto platform = std::make_shared<NullPlatform>();
  platform->setFrontmost(c.frontmost);
  auto manager = std::make_shared<KeyboardShortcutManager>(platform);
  if (c.withRules) setRules(*manager, rulesForBench(c.withDock));
  if (c.viewerOpen) manager->openKeyViewer();
  NullEvent event = c.event;
  const EventRef ref = refOf(event);

  uint64_t excluded = 0;  // allocations of the parked work's runs, which is not the event path
  const uint64_t before = allocationsOnThisThread();
  uint64_t round = 0;
  for (auto _ : state) {
    if (c.needsEntry) manager->consumedKeyUps.insert(event.keyCode);
    if (c.tapped) event.flags = (round++ & 1) != 0 ? 0 : c.event.flags;
    benchmark::DoNotOptimize(manager->handleEvent(c.type, ref));
    if (platform->parkingFull()) {
      state.PauseTiming();
      const uint64_t at = allocationsOnThisThread();
      platform->runParkedWork();
      excluded += allocationsOnThisThread() - at;
      state.ResumeTiming();
    }
  }
  const uint64_t allocations = allocationsOnThisThread() - before - excluded;
  platform->runParkedWork();
  state.counters["allocs_per_event"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations());
}

void simulatedDecision(benchmark::State& state, const DecisionCase& c) {
  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Virtual);
  session->setFrontmostApplication(c.frontmost);
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  if (c.withRules) setRules(*manager, rulesForBench(c.withDock));
  if (c.viewerOpen) manager->openKeyViewer();
  KeyboardEventServices& events = session->events();
  const EventRef event = events.eventCreateKeyboardEvent(nullptr, 0, true);
  events.eventSetIntegerValueField(event, kKeyboardEventKeycode, c.event.keyCode);
  events.eventSetFlags(event, c.event.flags);
  events.eventSetIntegerValueField(event, kEventSourceUserData, c.event.userData);

  // Warm the session's pools and record vectors.
  for (int i = 0; i < 64; ++i) manager->handleEvent(c.type, event);
  session->advance(std::chrono::seconds(1));
  session->clearRecords();

  uint64_t excluded = 0;  // the session's own bookkeeping and the delayed work's runs
  uint64_t n = 0;
  // Cases that schedule main-thread work run it before the manager's holds for it run out (a
  // user never has more pending); the others only clear the records now and then.
  const bool schedulesWork = c.id == "browser-reopen" || c.id == "rename-scheduled";
  const uint64_t drainEvery = schedulesWork ? KeyboardShortcutManager::kDelayedHoldCount : 512;
  const uint64_t before = allocationsOnThisThread();
  for (auto _ : state) {
    if (c.needsEntry) manager->consumedKeyUps.insert(c.event.keyCode);
    if (c.tapped) events.eventSetFlags(event, (n & 1) != 0 ? 0 : c.event.flags);
    benchmark::DoNotOptimize(manager->handleEvent(c.type, event));
    if (++n % drainEvery == 0) {
      state.PauseTiming();
      const uint64_t at = allocationsOnThisThread();
      session->advance(std::chrono::seconds(1));
      session->clearRecords();
      excluded += allocationsOnThisThread() - at;
      state.ResumeTiming();
    }
  }
  const uint64_t allocations = allocationsOnThisThread() - before - excluded;
  session->advance(std::chrono::seconds(1));
  events.release(event);
  state.counters["allocs_per_event"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations());
}

const bool registered = [] {
  for (const DecisionCase& c : kDecisionCases) {
    benchmark::RegisterBenchmark(("decision/null/" + std::string(c.id)).c_str(),
                                 [&c](benchmark::State& state) { nullDecision(state, c); });
  }
  for (const DecisionCase& c : kDecisionCases) {
    benchmark::RegisterBenchmark(("decision/simulated/" + std::string(c.id)).c_str(),
                                 [&c](benchmark::State& state) { simulatedDecision(state, c); });
  }
  return true;
}();

}  // namespace
}  // namespace corvane::bench

BENCHMARK_MAIN();
