#include <set>
#include <string>
#include <tuple>

#include "tests/engine/EngineHarness.h"
#include "tests/engine/TestNames.h"

namespace corvane::testing {
namespace {

enum class Need { held, notHeld, any };

struct Rule {
  int row;
  Need ctrl, win, alt, shift;
  int64_t key;
  bool browserOnly;
  const char* action;
};

// The rule table, written in Windows modifiers. Row 24 (raw Command bit for F4) is below.
constexpr Need H = Need::held, N = Need::notHeld, A = Need::any;
const Rule kRules[] = {
    {1, N, H, N, A, 14, false, "openFinder"},
    {2, H, N, N, A, 8, false, "copy"},
    {3, H, N, N, A, 7, false, "cut"},
    {4, H, N, N, A, 9, false, "paste"},
    {5, H, N, N, A, 6, false, "undo"},
    {6, H, N, N, A, 16, false, "redo"},
    {7, H, N, N, A, 0, false, "selectAll"},
    {8, H, N, N, A, 3, false, "find"},
    {9, H, N, N, A, 1, false, "save"},
    {10, H, N, N, A, 35, false, "print"},
    {11, H, N, N, A, 45, false, "newDoc"},
    {12, H, N, N, A, 17, false, "newTab"},
    {13, H, N, N, A, 13, false, "closeTab"},
    {14, H, N, N, A, 51, false, "deleteWord"},
    {15, H, N, N, A, 117, false, "deleteWord"},
    {16, H, N, N, A, 37, false, "focusAddressBar"},
    {17, H, N, N, N, 48, false, "switchTabNext"},
    {18, H, N, N, H, 48, false, "reopenTab"},
    {19, H, N, N, H, 53, false, "openActivityMonitor"},
    {20, N, N, N, H, 48, true, "reopenTab"},
    {21, N, N, H, A, 36, false, "getInfo"},
    {22, N, N, H, A, 48, false, "switchApps"},
    {23, N, N, H, A, 118, false, "closeWindow"},
    {25, N, H, N, A, 37, false, "lockComputer"},
    {26, N, N, N, A, 120, false, "renameFile"},
};

bool satisfies(Need need, bool held) {
  return need == Need::any || (need == Need::held) == held;
}

struct Held {
  bool ctrl, win, alt, shift;
};

Held windowsModifiers(EventFlags flags, bool fnIsCtrl, bool optionIsWin) {
  return {(flags & (fnIsCtrl ? kFlagFn : kFlagControl)) != 0,
          (flags & (optionIsWin ? kFlagOption : kFlagCommand)) != 0,
          (flags & (optionIsWin ? kFlagCommand : kFlagOption)) != 0, (flags & kFlagShift) != 0};
}

std::string expectedAction(int64_t key, EventFlags flags, bool fnIsCtrl, bool optionIsWin,
                           bool browserFrontmost) {
  const Held held = windowsModifiers(flags, fnIsCtrl, optionIsWin);
  for (const Rule& rule : kRules) {
    if (rule.key == key && satisfies(rule.ctrl, held.ctrl) && satisfies(rule.win, held.win) &&
        satisfies(rule.alt, held.alt) && satisfies(rule.shift, held.shift) &&
        (!rule.browserOnly || browserFrontmost)) {
      // Ctrl+Delete is a PC keyboard's Del (the next word) unless the Fn key plays Ctrl: then it
      // is a laptop's Fn+Backspace (the previous word).
      if (rule.row == 15 && !fnIsCtrl) return "deleteNextWord";
      return rule.action;
    }
  }
  if (key == 118 && optionIsWin && (flags & 0x1C0000) == kFlagCommand) return "closeWindow";
  return "";
}

// Every combination of the five modifier bits, with and without bits no rule looks at, for every
// key code the rules name and their neighbours, under the four settings, with a browser or
// another application frontmost.
class RuleTableTest : public EngineTest,
                      public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(RuleTableTest, EveryRowAndItsNeighbours) {
  const auto [fnIsCtrl, optionIsWin] = GetParam();
  manager->swapFnAndControl = fnIsCtrl;
  manager->swapOptionAndCommand = optionIsWin;

  const int64_t keys[] = {0,  1,  3,  6,  7,   8,   9,   12,  13, 14,  16,        17,       34,
                          35, 36, 37, 45, 48,  51,  53,  55,  56, 117, 118,       120,      2,
                          10, 15, 47, 49, 119, 121, 255, 256, -8, -48, INT64_MIN, INT64_MAX};
  const EventFlags modifierBits[] = {kFlagShift, kFlagControl, kFlagOption, kFlagCommand, kFlagFn};
  const EventFlags ignoredBits[] = {0, kCapsLock, kNumericPad,
                                    kCapsLock | kNumericPad | 0x100 | 0x1};

  std::set<std::string> produced;
  for (bool browser : {false, true}) {
    session->setFrontmostApplication(browser ? "com.apple.Safari" : "com.apple.finder");
    for (int64_t key : keys) {
      for (unsigned subset = 0; subset < 32; ++subset) {
        EventFlags modifiers = 0;
        for (unsigned bit = 0; bit < 5; ++bit) {
          if (subset & (1u << bit)) modifiers |= modifierBits[bit];
        }
        for (EventFlags ignored : ignoredBits) {
          const EventFlags flags = modifiers | ignored;
          const uint64_t queriesBefore = session->frontmostQueries();
          const auto action = manager->actionForKeyDown(key, flags);
          const std::string got = action ? std::string(*action) : "";
          ASSERT_EQ(got, expectedAction(key, flags, fnIsCtrl, optionIsWin, browser))
              << "key " << key << " flags 0x" << std::hex << flags;
          const Held held = windowsModifiers(flags, fnIsCtrl, optionIsWin);
          const bool mayQuery = key == 48 && held.shift && !held.ctrl && !held.win && !held.alt;
          ASSERT_EQ(session->frontmostQueries() - queriesBefore, mayQuery ? 1u : 0u)
              << "frontmost query for key " << key << " flags 0x" << std::hex << flags;
          if (action) produced.insert(got);
        }
      }
    }
  }
  // Every action is reachable under every setting, save the next word's deletion while the Fn
  // key plays Ctrl.
  EXPECT_EQ(produced.size(), fnIsCtrl ? kActionCount - 1 : kActionCount);
}

INSTANTIATE_TEST_SUITE_P(FourSettings, RuleTableTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "FnIsCtrl"
                                                                      : "ControlIsCtrl") +
                                  "_" + (std::get<1>(info.param) ? "OptionIsWin" : "CommandIsWin");
                         });

// Concrete presses, each with its expected result, independent of the table above.
struct Press {
  bool fnIsCtrl, optionIsWin;
  int64_t key;
  EventFlags flags;
  const char* action;  // "" for none
};

class PressTest : public EngineTest, public ::testing::WithParamInterface<Press> {};

TEST_P(PressTest, GivesItsAction) {
  const Press& p = GetParam();
  manager->swapFnAndControl = p.fnIsCtrl;
  manager->swapOptionAndCommand = p.optionIsWin;
  const auto action = manager->actionForKeyDown(p.key, p.flags);
  EXPECT_EQ(action.value_or(""), std::string_view(p.action));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, PressTest,
    ::testing::Values(
        // Both swaps on, as a new manager starts.
        Press{true, true, 8, kFlagFn, "copy"}, Press{true, true, 8, kFlagControl, ""},
        Press{true, true, 48, kFlagCommand, "switchApps"},
        Press{true, true, 14, kFlagOption, "openFinder"},
        Press{true, true, 37, kFlagOption, "lockComputer"},
        Press{true, true, 36, kFlagCommand, "getInfo"},
        // Both off.
        Press{false, false, 8, kFlagControl, "copy"}, Press{false, false, 8, kFlagFn, ""},
        Press{false, false, 14, kFlagCommand, "openFinder"},
        Press{false, false, 37, kFlagCommand, "lockComputer"},
        Press{false, false, 48, kFlagOption, "switchApps"},
        // Shift is ignored where the row says any.
        Press{true, true, 6, kFlagFn | kFlagShift, "undo"},
        Press{true, true, 17, kFlagFn | kFlagShift, "newTab"},
        Press{true, true, 120, kFlagShift, "renameFile"},
        Press{true, true, 48, kFlagFn, "switchTabNext"},
        Press{true, true, 48, kFlagFn | kFlagShift, "reopenTab"},
        // Two of Ctrl, Win, Alt match nothing.
        Press{true, true, 8, kFlagFn | kFlagCommand, ""},
        Press{true, true, 8, kFlagFn | kFlagOption, ""},
        Press{true, true, 14, kFlagOption | kFlagCommand, ""},
        Press{true, true, 53, kFlagFn | kFlagShift, "openActivityMonitor"},
        Press{true, true, 53, kFlagFn, ""}, Press{true, true, 120, kFlagFn, ""},
        Press{true, true, 51, kFlagFn, "deleteWord"}, Press{true, true, 117, kFlagFn, "deleteWord"},
        // F4: Alt, and the raw Command bit when Option plays Win.
        Press{true, true, 118, kFlagCommand, "closeWindow"},
        Press{true, true, 118, kFlagFn | kFlagCommand, "closeWindow"},
        Press{true, true, 118, kFlagFn | kFlagCommand | kFlagControl, ""},
        Press{true, false, 118, kFlagOption | kFlagFn, ""},
        Press{false, false, 118, kFlagOption, "closeWindow"},
        Press{true, true, 118, kFlagCommand | kCapsLock | kNumericPad, "closeWindow"},
        Press{true, true, -8, kFlagFn, ""}, Press{true, true, 8 + 256, kFlagFn, ""}),
    [](const auto& info) {
      const Press& p = info.param;
      return std::string(p.fnIsCtrl ? "FnCtrl" : "ControlCtrl") +
             (p.optionIsWin ? "OptionWin" : "CommandWin") + "_key" +
             (p.key < 0 ? "Minus" + std::to_string(-p.key) : std::to_string(p.key)) + "_flags" +
             hexName(p.flags) + "_" + (*p.action != '\0' ? p.action : "none");
    });

class BrowserRuleTest : public EngineTest,
                        public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(BrowserRuleTest, ShiftTabReopensOnlyInTheSevenBrowsers) {
  const auto& [identifier, isBrowser] = GetParam();
  session->setFrontmostApplication(
      identifier == nullptr ? std::nullopt : std::optional<std::string_view>(identifier));
  EXPECT_EQ(manager->isBrowserFrontmost(), isBrowser);
  EXPECT_EQ(manager->actionForKeyDown(48, kFlagShift).value_or(""), isBrowser ? "reopenTab" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Applications, BrowserRuleTest,
    ::testing::Values(
        std::pair{"com.google.Chrome", true}, std::pair{"org.chromium.Chromium", true},
        std::pair{"com.apple.Safari", true}, std::pair{"org.mozilla.firefox", true},
        std::pair{"com.microsoft.edgemac", true}, std::pair{"com.brave.Browser", true},
        std::pair{"company.thebrowser.Browser", true}, std::pair{"com.apple.safari", false},
        std::pair{"com.google.Chrome ", false}, std::pair{"com.apple.finder", false},
        std::pair{"", false}, std::pair{static_cast<const char*>(nullptr), false}),
    [](const auto& info) {
      const char* identifier = info.param.first;
      return identifier == nullptr ? std::string("noFrontmostApplication") : testName(identifier);
    });

}  // namespace
}  // namespace corvane::testing
