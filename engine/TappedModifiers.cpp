// A modifier tapped alone: Ctrl, Win or Alt pressed and released with nothing between, within
// kTapAloneWithin, runs the user's shortcut for it. Followed from flags-changed events on the tap
// thread.
#include "engine/RuleReader.h"
#include "engine/ShortcutKeys.h"

namespace corvane {

EventRef KeyboardShortcutManager::trackTappedModifier(int64_t keyCode, EventRef event) {
  const EventFlags flags = events_.eventGetFlags(event);
  if (keyCode == kKeyFunction) fnKeyDown.store((flags & kFlagFn) != 0, std::memory_order_relaxed);
  // Only Ctrl, Win, Alt and Shift count; Caps Lock and the rest change nothing here.
  const uint8_t held = windowsModifiers(flags);
  const uint8_t before = modifiersHeld_.load(std::memory_order_relaxed);
  if (held == before) return event;
  modifiersHeld_.store(held, std::memory_order_relaxed);
  const uint8_t candidate = tapCandidate_.load(std::memory_order_relaxed);
  if (candidate != 0) {
    // Released alone in time: it fires. Another modifier cancels it.
    tapCandidate_.store(0, std::memory_order_relaxed);
    if (held == 0 && before == candidate &&
        pauser_.uptime() - std::chrono::nanoseconds(tapDownAt_.load(std::memory_order_relaxed)) <=
            kTapAloneWithin) {
      fireTapped(candidate, keyCode);
    }
    return event;
  }
  if (before == 0 && (held & tappedModifiers_.load(std::memory_order_relaxed)) == held &&
      (held == kModCtrl || held == kModWin || held == kModAlt)) {
    tapDownAt_.store(pauser_.uptime().count(), std::memory_order_relaxed);
    tapCandidate_.store(held, std::memory_order_relaxed);
  }
  return event;
}

void KeyboardShortcutManager::fireTapped(uint8_t modifier, int64_t keyCode) {
  if (recording_.load(std::memory_order_relaxed)) {
    // The recorder takes the tap: no shortcut of the user's fires for it.
    KeyRecord record;
    record.type = kEventFlagsChanged;
    record.keyCode = keyCode;
    record.flags = modifier;
    record.outcome = {OutcomeCode::recorded, kNoRuleIndex};
    record.swapFnAndControl = swapFnAndControl.get();
    record.swapOptionAndCommand = swapOptionAndCommand.get();
    keyViewer_.push(record);
    return;
  }
  const RuleReader reader(*this);
  const RuleTable* table = reader.table();
  if (table == nullptr) return;
  FrontOf front(workspace_, *table);
  const CompiledShortcut* shortcut =
      firstApplying(*table, table->tappedCandidates(modifier), front);
  DecisionOutcome outcome{OutcomeCode::tappedAlone, kNoRuleIndex};
  if (shortcut == nullptr) return;
  if (shortcut->apps == kNoScope && table->hasExclusions() && table->excludes(front.get())) {
    outcome = {OutcomeCode::excluded, kNoRuleIndex};
  } else {
    outcome.index = static_cast<uint16_t>(shortcut->index);
    performShortcut(*shortcut);
  }
  if (keyViewerOpen_.load(std::memory_order_relaxed)) {
    KeyRecord record;
    record.type = kEventFlagsChanged;
    record.keyCode = keyCode;
    record.flags = 0;
    record.outcome = outcome;
    record.swapFnAndControl = swapFnAndControl.get();
    record.swapOptionAndCommand = swapOptionAndCommand.get();
    keyViewer_.push(record);
  }
}

}  // namespace corvane
