// Function keys carry the Fn flag by themselves: the decision reads Fn for them from the Fn key's
// own flags-changed events, and for every other key from the event.
#include <string>

#include "engine/ShortcutKeys.h"
#include "tests/engine/EngineHarness.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kFnKey = 63;
constexpr int64_t kBackspace = 51, kForwardDelete = 117, kF4 = 118, kF2 = 120;

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

// Letters, Tab, Return, Backspace... read their own Fn bit, as before: Fn+C is still Copy even
// when no flags-changed event of the Fn key was seen.
TEST_F(FnKeyTest, OtherKeysReadTheirOwnFnBit) {
  for (int64_t key : {int64_t{8}, int64_t{48}, kBackspace, int64_t{53}}) {
    EXPECT_FALSE(isFunctionKey(key));
    for (bool fnDown : {false, true}) {
      fnKey(fnDown);
      const EventFlags flags = key == 53 ? kFlagFn | kFlagShift : kFlagFn;
      EXPECT_EQ(keyDown(key, flags), manager->actionForKeyDown(key, flags).has_value()) << key;
      keyUp(key);
      session->advance(1s);
    }
  }
}

TEST_F(FnKeyTest, DeleteAlonePassesAndDeletesTheNextCharacter) {
  EXPECT_FALSE(keyDown(kForwardDelete, kFlagFn));
  EXPECT_FALSE(keyUp(kForwardDelete, kFlagFn));
  EXPECT_TRUE(session->posted().empty());
}

TEST_F(FnKeyTest, F2AloneRenames) {
  EXPECT_TRUE(keyDown(kF2, kFlagFn));
  EXPECT_TRUE(keyUp(kF2, kFlagFn));
  session->advance(60ms);
  ASSERT_EQ(session->posted().size(), 2u);
  EXPECT_EQ(session->posted()[0].keyCode, 36);
  EXPECT_EQ(session->posted()[0].flags, 0u);
}

// On a laptop, Fn+Backspace comes as Forward Delete with the Fn key down: Ctrl+Delete.
TEST_F(FnKeyTest, FnBackspaceOnALaptopDeletesThePreviousWord) {
  fnKey(true);
  EXPECT_TRUE(keyDown(kForwardDelete, kFlagFn));
  ASSERT_EQ(session->posted().size(), 2u);
  EXPECT_EQ(session->posted()[0].keyCode, kBackspace);
  EXPECT_EQ(session->posted()[0].flags, kFlagOption);
  fnKey(false);
  EXPECT_TRUE(keyUp(kForwardDelete, 0));
  EXPECT_FALSE(keyDown(kForwardDelete, kFlagFn)) << "the Fn key is up again";
}

TEST_F(FnKeyTest, AltF4ClosesTheWindowWithBothSwapsOnOrOff) {
  for (bool on : {true, false}) {
    manager->swapFnAndControl = on;
    manager->swapOptionAndCommand = on;
    session->clearRecords();
    EXPECT_TRUE(keyDown(kF4, kFlagFn | (on ? kFlagCommand : kFlagOption))) << on;
    ASSERT_EQ(session->posted().size(), 2u);
    EXPECT_EQ(session->posted()[0].keyCode, 13);
    EXPECT_TRUE(keyUp(kF4));
  }
  // The raw-Command row: Fn key down and Command, both swaps on.
  manager->swapFnAndControl = true;
  manager->swapOptionAndCommand = true;
  fnKey(true);
  EXPECT_TRUE(keyDown(kF4, kFlagFn | kFlagCommand));
}

// Keys as an Apple laptop and a PC keyboard make them, and what each becomes.
struct KeyboardCase {
  const char* name;
  bool fnIsCtrl;
  bool fnKeyDown;
  int64_t key;
  EventFlags flags;   // as the event carries them (function keys carry Fn themselves)
  int64_t postedKey;  // -1: the key passes
  EventFlags postedFlags;
  bool delayed;  // renameFile's Return comes 60 ms later
};

class KeyboardCaseTest : public FnKeyTest, public ::testing::WithParamInterface<KeyboardCase> {};

TEST_P(KeyboardCaseTest, BecomesWhatTheUserMeant) {
  const KeyboardCase& c = GetParam();
  manager->swapFnAndControl = c.fnIsCtrl;
  fnKey(c.fnKeyDown);
  EXPECT_EQ(keyDown(c.key, c.flags), c.postedKey >= 0);
  if (c.delayed) session->advance(60ms);
  const auto posted = session->posted();
  if (c.postedKey < 0) {
    EXPECT_TRUE(posted.empty());
    return;
  }
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].keyCode, c.postedKey);
  EXPECT_EQ(posted[0].flags, c.postedFlags);
}

constexpr EventFlags kCmd = kFlagCommand, kCtl = kFlagControl, kOpt = kFlagOption, kFn = kFlagFn;

INSTANTIATE_TEST_SUITE_P(
    LaptopAndPcKeys, KeyboardCaseTest,
    ::testing::Values(
        // F1-F20: Fn only makes them F-keys, even while it plays Ctrl.
        KeyboardCase{"FnF2Renames", true, true, kF2, kFn, 36, 0, true},
        KeyboardCase{"FnF2RenamesWithControlAsCtrl", false, true, kF2, kFn, 36, 0, true},
        KeyboardCase{"FnAltF4Closes", true, true, kF4, kFn | kCmd, 13, kCmd, false},
        KeyboardCase{"FnCtrlF2IsNoRename", false, true, kF2, kFn | kCtl, -1, 0, false},
        // Forward Delete: the Fn key plays Ctrl on a laptop's Fn+Backspace (previous word)...
        KeyboardCase{"FnBackspacePreviousWord", true, true, kForwardDelete, kFn, kBackspace, kOpt,
                     false},
        // ... while a PC keyboard's Ctrl+Del deletes the next word.
        KeyboardCase{"PcCtrlDelNextWord", false, false, kForwardDelete, kFn | kCtl, kForwardDelete,
                     kOpt, false},
        KeyboardCase{"ControlFnBackspaceNextWordWhenControlIsCtrl", false, true, kForwardDelete,
                     kFn | kCtl, kForwardDelete, kOpt, false},
        KeyboardCase{"ForwardDeleteAlonePasses", true, false, kForwardDelete, kFn, -1, 0, false},
        KeyboardCase{"CtrlBackspacePreviousWord", false, false, kBackspace, kCtl, kBackspace, kOpt,
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

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
