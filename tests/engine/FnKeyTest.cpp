// Function keys carry the Fn flag by themselves: the decision reads Fn for them from the Fn key's
// own flags-changed events, and for every other key from the event. What laptop and PC keys
// become is replayed in tests/tools/golden/engine-fn-keys.jsonl; that other keys read their own
// Fn bit, with or without the Fn key's events, in engine-decisions.jsonl and keys.jsonl.
#include "engine/ShortcutKeys.h"
#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kFnKey = 63, kF2 = 120;

class FnKeyTest : public EngineTest {
 protected:
  void fnKey(bool down) { EXPECT_FALSE(swallows(kEventFlagsChanged, kFnKey, down ? kFlagFn : 0)); }
};

// Every function key, with the Fn key down or up, the Fn bit on the event or not, under all four
// swap settings and with each other modifier: the decision is the rules' answer for the event's
// flags with the Fn bit replaced by the Fn key's state on the navigation keys, and with no Fn
// bit at all on F1-F20 (the Fn key only makes them F-keys on a laptop).
TEST_F(FnKeyTest, FunctionKeysReadFnFromTheFnKey) {
  const int64_t functionKeys[] = {122, 120, 99,  118, 96,  97,  98,  100, 101, 109,
                                  103, 111, 105, 107, 113, 106, 64,  79,  80,  90,
                                  114, 115, 116, 117, 119, 121, 123, 124, 125, 126};
  int translated = 0;
  for (const int64_t& key : functionKeys) {
    ASSERT_TRUE(isFunctionKey(key)) << key;
    for (bool fnDown : {false, true}) {
      for (bool fnBit : {false, true}) {
        for (int swaps = 0; swaps < 4; ++swaps) {
          for (EventFlags other : {EventFlags{0}, kFlagCommand, kFlagOption, kFlagControl,
                                   kFlagShift, kFlagCommand | kFlagControl}) {
            manager->swapFnAndControl = (swaps & 1) != 0;
            manager->swapOptionAndCommand = (swaps & 2) != 0;
            fnKey(fnDown);
            const EventFlags flags = other | (fnBit ? kFlagFn : 0);
            const bool fnCounts = fnDown && !isFKey(key);
            ASSERT_EQ(isFKey(key), &key - functionKeys < 20) << key;
            const bool expected =
                manager->actionForKeyDown(key, other | (fnCounts ? kFlagFn : 0)).has_value();
            EventRef event = makeEvent(key, flags);
            const bool swallowed = manager->handleEvent(kEventKeyDown, event) == nullptr;
            EXPECT_EQ(swallowed, expected)
                << "key " << key << " Fn key down " << fnDown << " Fn bit " << fnBit << " swaps "
                << swaps << " flags " << std::hex << flags;
            EXPECT_EQ(events.eventGetFlags(event), flags) << "the event's flags are never edited";
            translated += swallowed ? 1 : 0;
            EXPECT_EQ(keyUp(key), swallowed) << "the key-up goes with its key-down";
            session->advance(1s);
          }
        }
      }
    }
  }
  EXPECT_GT(translated, 0);
}

TEST_F(FnKeyTest, OnlyTheFnKeysOwnUnmarkedEventsMoveItsState) {
  fnKey(true);
  EXPECT_FALSE(swallows(kEventFlagsChanged, kFnKey, 0, 1)) << "marked";
  EXPECT_FALSE(swallows(kEventFlagsChanged, 56, 0)) << "Shift released";
  EXPECT_FALSE(keyUp(kF2, 0));
  EXPECT_TRUE(manager->fnKeyDown.load());
  fnKey(false);
  EXPECT_FALSE(manager->fnKeyDown.load());
}

}  // namespace
}  // namespace corvane::testing
