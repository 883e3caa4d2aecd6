#include "tools/corvane-replay/KeyPresser.h"

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"
#include "platform/simulated/SimulatedSession.h"
#include "rules/KeyNames.h"
#include "rules/KeyWords.h"
#include "rules/KeysReading.h"
#include "rules/RuleCompiler.h"
#include "rules/Text.h"

namespace corvane::replay {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kFnKey = 63;

// A Mac laptop's Fn layer: with Fn held, these keys send another key's code.
struct FnLayer {
  int64_t pressed;
  int64_t sent;
};
constexpr FnLayer kFnLayer[] = {
    {123, 115},  // Left: Home
    {124, 119},  // Right: End
    {126, 116},  // Up: Page Up
    {125, 121},  // Down: Page Down
    {51, 117},   // Backspace (the Mac's Delete): forward Delete
};

bool isModifierKey(int64_t keyCode) {
  return keyCode >= 54 && keyCode <= 63;
}

std::optional<bool> onOff(std::string_view value) {
  if (equalsIgnoringCase(value, "on")) return true;
  if (equalsIgnoringCase(value, "off")) return false;
  return std::nullopt;
}

// What the engine posted for the press: its key-downs in Mac words (the modifier keys of the
// reopen-tab sequence aside), or the applications it opened.
std::string effectWords(const sim::SimulatedSession& session, std::string_view macKeys) {
  std::string posted;
  for (const sim::PostedEvent& event : session.posted()) {
    if (event.type != kEventKeyDown || isModifierKey(event.keyCode)) continue;
    // Function keys and arrows are posted with the Fn flag, as a Mac keyboard sends them.
    const EventFlags shown = isFunctionKey(event.keyCode) ? event.flags & ~kFlagFn : event.flags;
    posted += posted.empty() ? "; posts " : ", ";
    posted += macKeysWords(event.keyCode, shown);
  }
  for (const sim::OpenRequest& open : session.openRequests()) {
    posted += posted.empty() ? "; opens " : ", opens ";
    posted += open.path;
  }
  if (posted.empty()) return "; the application gets " + std::string(macKeys);
  return posted;
}

}  // namespace

std::optional<PressedKeys> readPressedKeys(std::string_view text, std::string& error) {
  const std::optional<Keystroke> keystroke = reading::readKeystrokeText(text, inQuotes(text), error);
  if (!keystroke) return std::nullopt;
  return PressedKeys{keystroke->keyCode, keystroke->modifiers};
}

bool readSwaps(std::string_view text, PressOptions& options, std::string& error) {
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string_view item = text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    const size_t equals = item.find('=');
    const std::string_view name = item.substr(0, equals);
    const std::optional<bool> value =
        equals == std::string_view::npos ? std::nullopt : onOff(item.substr(equals + 1));
    const bool fn = equalsIgnoringCase(name, "fn");
    if ((!fn && !equalsIgnoringCase(name, "option")) || !value) {
      error = "--swap takes fn=on|off and option=on|off, not " + inQuotes(item);
      return false;
    }
    (fn ? options.swapFnAndControl : options.swapOptionAndCommand) = *value;
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

void pressKeys(const PressOptions& options, std::FILE* out) {
  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Virtual);
  if (options.app) session->setFrontmostApplication(std::string_view(*options.app));
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  if (options.rules != nullptr) {
    setRules(*manager, *options.rules);
    if (options.rules->swapFnAndControl) {
      manager->swapFnAndControl = *options.rules->swapFnAndControl;
    }
    if (options.rules->swapOptionAndCommand) {
      manager->swapOptionAndCommand = *options.rules->swapOptionAndCommand;
    }
  }
  if (options.swapFnAndControl) manager->swapFnAndControl = *options.swapFnAndControl;
  if (options.swapOptionAndCommand) manager->swapOptionAndCommand = *options.swapOptionAndCommand;
  manager->start();
  if (!session->waitForTapSetups(1, 60s) || !manager->eventTap) {
    throw std::runtime_error("the tap could not be set up");
  }
  manager->openKeyViewer();

  for (const std::string& text : options.keys) {
    std::string error;
    const PressedKeys keys = readPressedKeys(text, error).value();
    const bool fn = (keys.modifiers & kFlagFn) != 0;
    int64_t keyCode = keys.keyCode;
    for (const FnLayer& layer : kFnLayer) {
      if (fn && keyCode == layer.pressed) keyCode = layer.sent;
    }
    // As a Mac keyboard sends the key: Fn on function keys, the numeric-pad flag on the arrows
    // and the keypad.
    const EventFlags flags =
        Keystroke{static_cast<uint8_t>(keyCode), keys.modifiers, {}}.postedFlags();

    session->clearRecords();
    if (fn) session->keyboardEvent(kEventFlagsChanged, kFnKey, kFlagFn);
    session->keyboardEvent(kEventKeyDown, keyCode, flags);
    session->keyboardEvent(kEventKeyUp, keyCode, flags);
    if (fn) session->keyboardEvent(kEventFlagsChanged, kFnKey, 0);
    session->settle();
    session->advance(1s);  // the actions the main thread runs after a delay

    std::string line = text + ": ";
    bool decided = false;
    manager->drainKeyViewer([&](const KeyRecord& record) {
      if (decided) return;
      decided = true;
      const std::string macKeys = macKeysWords(record.keyCode, record.flags);
      // A Dock position past the Dock's end opens nothing and swallows the key.
      std::vector<std::string> dock;
      const uint8_t dockPosition = dockPositionOf(record.outcome, manager->rules());
      if (dockPosition != 0) dock = session->workspace().dockApplications();
      line += macKeys + ", read as " +
              windowsKeysWords(record.keyCode, record.flags, record.swapFnAndControl,
                               record.swapOptionAndCommand) +
              ": " +
              outcomeWords(record.outcome, manager->rules(), options.app.value_or(""), &dock) +
              (dockPosition > dock.size() ? "" : effectWords(*session, macKeys));
    });
    if (!decided) line += outcomeWords({OutcomeCode::tapStopped, kNoRuleIndex}, nullptr, "");
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
  }

  manager->closeKeyViewer();
  manager->stop();
  session->waitForRunLoopsToEnd(60s);
  session->advance(1s);
  // The tap thread lets go of the manager as it ends: the manager goes before the session.
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (manager.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50us);
  }
}

}  // namespace corvane::replay
