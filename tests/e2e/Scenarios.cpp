// The scenario table: keys in, the events applications must receive, with the settings, the rules
// file and the frontmost application of each. Key codes are the Mac's (US names).
#include <iterator>

#include "tests/e2e/EndToEnd.h"

namespace corvane::e2e {
namespace {

constexpr int64_t kA = 0, kC = 8, kO = 31, kW = 13, kTab = 48, kReturn = 36, kDelete = 51;
constexpr int64_t kCommandKey = 55, kShiftKey = 56, kControlKey = 59, kFnKey = 63;
constexpr int64_t kForwardDelete = 117, kF2 = 120, kF4 = 118;
constexpr int64_t kLetters[] = {0, 1, 2, 3, 5, 4, 38, 40, 37};  // A S D F G H J K L

Step press(EventType type, int64_t code, EventFlags flags, int64_t userData = 0) {
  return {Step::Kind::key, Key{type, code, flags, userData}};
}
Step down(int64_t code, EventFlags flags = 0, int64_t userData = 0) {
  return press(kEventKeyDown, code, flags, userData);
}
Step up(int64_t code, EventFlags flags = 0, int64_t userData = 0) {
  return press(kEventKeyUp, code, flags, userData);
}
Step modifier(int64_t code, EventFlags flags) {
  return press(kEventFlagsChanged, code, flags);
}
Step stop() {
  return {Step::Kind::stop};
}
Step start() {
  return {Step::Kind::start};
}
// Lets the delayed actions run (Return for F2 comes 60 ms after the key-down).
Step pause(std::chrono::milliseconds duration) {
  return {Step::Kind::pause, {}, Step::Fate::passes, duration};
}
Step fated(Step step, Step::Fate fate) {
  step.fate = fate;
  return step;
}

// Expected events: what the application receives.
Key gets(EventType type, int64_t code, EventFlags flags, int64_t userData = 0) {
  return {type, code, flags, userData};
}
Key getsDown(int64_t code, EventFlags flags = 0) {
  return gets(kEventKeyDown, code, flags);
}
Key getsUp(int64_t code, EventFlags flags = 0) {
  return gets(kEventKeyUp, code, flags);
}
Key getsModifier(int64_t code, EventFlags flags) {
  return gets(kEventFlagsChanged, code, flags);
}
// A keystroke the engine posted: marked.
Key postedDown(int64_t code, EventFlags flags = 0) {
  return gets(kEventKeyDown, code, flags, kEventMarker);
}
Key postedUp(int64_t code, EventFlags flags = 0) {
  return gets(kEventKeyUp, code, flags, kEventMarker);
}

// Every step's key, passed unchanged.
std::vector<Key> passes(const std::vector<Step>& steps) {
  std::vector<Key> keys;
  for (const Step& step : steps) {
    if (step.kind == Step::Kind::key) keys.push_back(step.key);
  }
  return keys;
}

// 2,000 events in quick succession (TestSession::floodInterval): presses of letters that pass,
// and every fourth press Fn+C (four events) that becomes Command-C.
Scenario flood() {
  Scenario s{.name = "2,000-event flood: nothing lost, nothing stuck", .flood = true};
  size_t events = 0;
  for (size_t i = 0; events < 2000; ++i) {
    if (i % 4 == 3) {
      s.steps.insert(s.steps.end(),
                     {modifier(kFnKey, kFlagFn), fated(down(kC, kFlagFn), Step::Fate::translated),
                      fated(up(kC, kFlagFn), Step::Fate::swallowed), modifier(kFnKey, 0)});
      s.expected.insert(s.expected.end(),
                        {getsModifier(kFnKey, kFlagFn), postedDown(kC, kFlagCommand),
                         postedUp(kC, kFlagCommand), getsModifier(kFnKey, 0)});
      events += 4;
    } else {
      const int64_t letter = kLetters[i % std::size(kLetters)];
      s.steps.insert(s.steps.end(), {down(letter), up(letter)});
      s.expected.insert(s.expected.end(), {getsDown(letter), getsUp(letter)});
      events += 2;
    }
  }
  return s;
}

}  // namespace

std::vector<Scenario> scenarios() {
  std::vector<Scenario> table;
  // Fn+C: Fn plays Ctrl; Command-C is posted and the key-up of C is swallowed.
  table.push_back({.name = "Fn+C -> Cmd+C, the C key-up swallowed",
                   .steps = {modifier(kFnKey, kFlagFn), down(kC, kFlagFn), up(kC, kFlagFn),
                             modifier(kFnKey, 0)},
                   .expected = {getsModifier(kFnKey, kFlagFn), postedDown(kC, kFlagCommand),
                                postedUp(kC, kFlagCommand), getsModifier(kFnKey, 0)}});
  table.push_back(
      {.name = "Control+C with both swaps off -> Cmd+C",
       .swapFnAndControl = false,
       .swapOptionAndCommand = false,
       .steps = {modifier(kControlKey, kFlagControl), down(kC, kFlagControl), up(kC, kFlagControl),
                 modifier(kControlKey, 0)},
       .expected = {getsModifier(kControlKey, kFlagControl), postedDown(kC, kFlagCommand),
                    postedUp(kC, kFlagCommand), getsModifier(kControlKey, 0)}});
  // macOS gives F-keys the Fn flag by itself: F2 alone still renames (Return, after a delay).
  table.push_back({.name = "F2 alone (with the Fn flag macOS adds) -> Return after the delay",
                   .steps = {down(kF2, kFlagFn), up(kF2, kFlagFn)},
                   .expected = {postedDown(kReturn), postedUp(kReturn)}});
  // A laptop's F2 with the Fn key held (its keys are media keys by default): the Fn key is no
  // modifier on F-keys, so it still renames.
  table.push_back({.name = "F2 with the Fn key down -> Return after the delay",
                   .steps = {modifier(kFnKey, kFlagFn), down(kF2, kFlagFn), up(kF2, kFlagFn),
                             pause(std::chrono::milliseconds(200)), modifier(kFnKey, 0)},
                   .expected = {getsModifier(kFnKey, kFlagFn), postedDown(kReturn),
                                postedUp(kReturn), getsModifier(kFnKey, 0)}});
  {
    std::vector<Step> steps = {down(kForwardDelete, kFlagFn), up(kForwardDelete, kFlagFn)};
    table.push_back({.name = "the PC Del key (Forward Delete, Fn flag, no Fn key) passes",
                     .steps = steps,
                     .expected = passes(steps)});
  }
  // A laptop's Fn+Backspace arrives as Forward Delete with the Fn key down: Ctrl+Backspace.
  table.push_back({.name = "Fn+Backspace (117 with the Fn key down) -> Option+Delete",
                   .steps = {modifier(kFnKey, kFlagFn), down(kForwardDelete, kFlagFn),
                             up(kForwardDelete, kFlagFn), modifier(kFnKey, 0)},
                   .expected = {getsModifier(kFnKey, kFlagFn), postedDown(kDelete, kFlagOption),
                                postedUp(kDelete, kFlagOption), getsModifier(kFnKey, 0)}});
  // A PC keyboard's Ctrl+Del (Control plays Ctrl) deletes the next word.
  table.push_back(
      {.name = "Ctrl+Del on a PC keyboard (swaps off) -> Option+Forward Delete",
       .swapFnAndControl = false,
       .swapOptionAndCommand = false,
       .steps = {modifier(kControlKey, kFlagControl), down(kForwardDelete, kFlagControl | kFlagFn),
                 up(kForwardDelete, kFlagControl | kFlagFn), modifier(kControlKey, 0)},
       .expected = {getsModifier(kControlKey, kFlagControl),
                    postedDown(kForwardDelete, kFlagOption), postedUp(kForwardDelete, kFlagOption),
                    getsModifier(kControlKey, 0)}});
  // Command plays Alt; F4 carries the Fn flag as macOS sends it.
  table.push_back(
      {.name = "Alt+F4 -> Cmd+W",
       .steps = {modifier(kCommandKey, kFlagCommand), down(kF4, kFlagCommand | kFlagFn),
                 up(kF4, kFlagCommand | kFlagFn), modifier(kCommandKey, 0)},
       .expected = {getsModifier(kCommandKey, kFlagCommand), postedDown(kW, kFlagCommand),
                    postedUp(kW, kFlagCommand), getsModifier(kCommandKey, 0)}});
  {
    std::vector<Step> steps = {modifier(kShiftKey, kFlagShift), down(kTab, kFlagShift),
                               up(kTab, kFlagShift), modifier(kShiftKey, 0)};
    table.push_back(
        {.name = "Shift+Tab outside a browser passes", .steps = steps, .expected = passes(steps)});
  }
  table.push_back({.name = "a shortcut of the rules file: Ctrl+O -> Cmd+O",
                   .rules = R"({ "shortcuts": [ { "press": "Ctrl+O", "send": "Cmd+O" } ] })",
                   .steps = {modifier(kFnKey, kFlagFn), down(kO, kFlagFn), up(kO, kFlagFn),
                             modifier(kFnKey, 0)},
                   .expected = {getsModifier(kFnKey, kFlagFn), postedDown(kO, kFlagCommand),
                                postedUp(kO, kFlagCommand), getsModifier(kFnKey, 0)}});
  {
    std::vector<Step> steps = {modifier(kFnKey, kFlagFn), down(kC, kFlagFn), up(kC, kFlagFn),
                               modifier(kFnKey, 0)};
    table.push_back({.name = "an excluded application (Finder, frontmost) gets Fn+C as typed",
                     .rules = R"({ "exclude": ["com.apple.finder"] })",
                     .steps = steps,
                     .expected = passes(steps)});
  }
  {
    std::vector<Step> steps = {down(kC, kFlagFn, kEventMarker), up(kC, kFlagFn, kEventMarker)};
    table.push_back(
        {.name = "marked events pass untouched", .steps = steps, .expected = passes(steps)});
  }
  table.push_back(flood());
  // Stopped and started while A and Fn+C are held: the new tap still swallows C's key-up, and
  // A's key-up reaches the application.
  table.push_back(
      {.name = "stop and start while keys are held",
       .steps = {down(kA), modifier(kFnKey, kFlagFn), down(kC, kFlagFn), stop(), start(),
                 up(kC, kFlagFn), modifier(kFnKey, 0), up(kA)},
       .expected = {getsDown(kA), getsModifier(kFnKey, kFlagFn), postedDown(kC, kFlagCommand),
                    postedUp(kC, kFlagCommand), getsModifier(kFnKey, 0), getsUp(kA)}});
  return table;
}

}  // namespace corvane::e2e
