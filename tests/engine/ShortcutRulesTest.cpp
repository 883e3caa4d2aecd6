#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

// Every combination of the five modifier bits for every key code the rules name and their
// neighbours, under the four settings, with a browser or another application frontmost: each
// press that gives an action or asks which application is frontmost is one line of
// golden/builtin-rules.txt. Bits no rule looks at never change the answer. On a difference the
// whole answer is written beside the golden as builtin-rules.txt.actual. Which applications are
// browsers is replayed in tests/tools/golden/frontmost.jsonl.
TEST_F(EngineTest, EveryBuiltinRuleAndItsNeighboursMatchTheGolden) {
  const int64_t keys[] = {0,  1,  3,  6,  7,   8,   9,   12,  13,  14,  16,  17,        34,
                          35, 36, 37, 45, 48,  51,  53,  55,  56,  117, 118, 120,       2,
                          10, 15, 47, 49, 119, 121, 255, 256, 264, -8,  -48, INT64_MIN, INT64_MAX};
  const EventFlags modifierBits[] = {kFlagShift, kFlagControl, kFlagOption, kFlagCommand, kFlagFn};
  const EventFlags ignoredBits[] = {kCapsLock, kNumericPad, kCapsLock | kNumericPad | 0x100 | 0x1};

  std::ostringstream out;
  for (bool fnIsCtrl : {false, true}) {
    for (bool optionIsWin : {false, true}) {
      manager->swapFnAndControl = fnIsCtrl;
      manager->swapOptionAndCommand = optionIsWin;
      std::set<std::string> produced;
      for (bool browser : {false, true}) {
        session->setFrontmostApplication(browser ? "com.apple.Safari" : "com.apple.finder");
        for (int64_t key : keys) {
          for (unsigned subset = 0; subset < 32; ++subset) {
            EventFlags flags = 0;
            for (unsigned bit = 0; bit < 5; ++bit) {
              if (subset & (1u << bit)) flags |= modifierBits[bit];
            }
            const uint64_t queriesBefore = session->frontmostQueries();
            const std::string got(manager->actionForKeyDown(key, flags).value_or(""));
            const uint64_t queries = session->frontmostQueries() - queriesBefore;
            for (EventFlags ignored : ignoredBits) {
              ASSERT_EQ(manager->actionForKeyDown(key, flags | ignored).value_or(""), got)
                  << "key " << key << " flags 0x" << std::hex << (flags | ignored);
            }
            if (got.empty() && queries == 0) continue;
            out << (fnIsCtrl ? "FnIsCtrl" : "ControlIsCtrl") << ' '
                << (optionIsWin ? "OptionIsWin" : "CommandIsWin") << ' '
                << (browser ? "browser" : "other") << " key " << key << " flags 0x" << std::hex
                << flags << std::dec << " queries " << queries << ' '
                << (got.empty() ? "none" : got) << '\n';
            if (!got.empty()) produced.insert(got);
          }
        }
      }
      // Every action is reachable under every setting, save the next word's deletion while the
      // Fn key plays Ctrl.
      EXPECT_EQ(produced.size(), fnIsCtrl ? kActionCount - 1 : kActionCount);
    }
  }
  const std::string golden = CORVANE_ENGINE_GOLDEN "/builtin-rules.txt";
  std::ifstream file(golden);
  std::stringstream expected;
  expected << file.rdbuf();
  if (expected.str() != out.str()) std::ofstream(golden + ".actual") << out.str();
  EXPECT_TRUE(expected.str() == out.str()) << "see " << golden << ".actual";
}

}  // namespace
}  // namespace corvane::testing
