// Runs N decisions of one kind on the null platform, for counting instructions per event with
//   valgrind --tool=callgrind --toggle-collect='corvane::KeyboardShortcutManager::handleEvent*'
//   bench_decision_driver CASE N
// (one command line; only the decisions are counted: the total divided by N is instructions per
// event).
// Without arguments it lists the cases.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "bench/DecisionCases.h"
#include "rules/RuleCompiler.h"

int main(int argc, char** argv) {
  using namespace corvane;
  using namespace corvane::bench;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CASE N\ncases:\n", argv[0]);
    for (const DecisionCase& c : kDecisionCases) {
      std::fprintf(stderr, "  %-18.*s %.*s\n", static_cast<int>(c.id.size()), c.id.data(),
                   static_cast<int>(c.what.size()), c.what.data());
    }
    return 2;
  }
  const DecisionCase* chosen = nullptr;
  for (const DecisionCase& c : kDecisionCases) {
    if (c.id == argv[1]) chosen = &c;
  }
  const long n = std::strtol(argv[2], nullptr, 10);
  if (chosen == nullptr || n <= 0) {
    std::fprintf(stderr, "%s: unknown case or bad N\n", argv[0]);
    return 2;
  }

  auto platform = std::make_shared<NullPlatform>();
  platform->setFrontmost(chosen->frontmost);
  auto manager = std::make_shared<KeyboardShortcutManager>(platform);
  if (chosen->withRules) setRules(*manager, rulesForBench(chosen->withDock));
  if (chosen->viewerOpen) manager->openKeyViewer();
  NullEvent event = chosen->event;
  const EventRef ref = refOf(event);
  long swallowed = 0;
  for (long i = 0; i < n; ++i) {
    if (chosen->needsEntry) manager->consumedKeyUps.insert(event.keyCode);
    if (chosen->tapped) event.flags = (i & 1) != 0 ? 0 : chosen->event.flags;
    if (manager->handleEvent(chosen->type, ref) == nullptr) ++swallowed;
    if (platform->parkingFull()) platform->runParkedWork();
  }
  platform->runParkedWork();
  std::printf("%s: %ld events, %ld swallowed, %llu posted\n", argv[1], n, swallowed,
              static_cast<unsigned long long>(platform->posted()));
  return 0;
}
