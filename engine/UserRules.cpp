// The user's rules file in the decision: publishing a compiled table from the main thread, and
// deciding a key-down with it on the tap thread.
#include <span>

#include "engine/KeyboardShortcutManager.h"
#include "engine/RuleTable.h"
#include "engine/ShortcutKeys.h"

namespace corvane {

// Counts a tap thread in as a reader of the rule table for the length of one decision. The
// count goes up before the table is loaded, so a main thread that sees no reader after
// replacing the table knows nobody can still hold the old one.
class RuleReader {
 public:
  explicit RuleReader(KeyboardShortcutManager& manager) : manager_(manager) {
    manager_.ruleReaders_.fetch_add(1, std::memory_order_seq_cst);
    table_ = manager_.ruleTable_.load(std::memory_order_seq_cst);
  }
  ~RuleReader() { manager_.ruleReaders_.fetch_sub(1, std::memory_order_release); }
  RuleReader(const RuleReader&) = delete;
  RuleReader& operator=(const RuleReader&) = delete;
  const RuleTable* table() const { return table_; }

 private:
  KeyboardShortcutManager& manager_;
  const RuleTable* table_;
};

// Releases the handles and the thread handle; performs none of the steps of stop. No tap thread
// can be deciding (each holds the manager), so every table can go.
KeyboardShortcutManager::~KeyboardShortcutManager() {
  delete ruleTable_.load(std::memory_order_acquire);
  for (const RuleTable* table : retiredRules_) delete table;
}

namespace {

// The application in front, asked of the workspace and classified against the table the first
// time a decision needs it, and again after something else has asked the workspace.
class FrontOf {
 public:
  FrontOf(Workspace& workspace, const RuleTable& table) : workspace_(workspace), table_(table) {}
  const FrontApplication& get() {
    if (!known_) {
      front_ = table_.classify(workspace_.frontmostBundleIdentifier());
      known_ = true;
    }
    return front_;
  }
  void forget() { known_ = false; }

 private:
  Workspace& workspace_;
  const RuleTable& table_;
  FrontApplication front_;
  bool known_ = false;
};

// The first of the shortcuts that applies in the front application (those that name
// applications come first), or nullptr.
const CompiledShortcut* firstApplying(const RuleTable& table,
                                      std::span<const CompiledShortcut> candidates,
                                      FrontOf& front) {
  for (const CompiledShortcut& candidate : candidates) {
    if ((candidate.apps == kNoScope && candidate.except == kNoScope) ||
        table.appliesIn(candidate, front.get())) {
      return &candidate;
    }
  }
  return nullptr;
}

}  // namespace

EventRef KeyboardShortcutManager::decideWithRules(int64_t keyCode, EventFlags flags, EventRef event,
                                                  DecisionOutcome* outcome) {
  const RuleReader reader(*this);
  const RuleTable* table = reader.table();
  if (table == nullptr) [[unlikely]] {  // cleared since the caller looked
    return decideBuiltin(keyCode, flags, event, outcome);
  }
  // The frontmost application is asked only for a shortcut that names applications, by the
  // built-in Shift+Tab, and once a key-down would be translated; the user's shortcuts ask once.
  FrontOf front(workspace_, *table);

  // The user's shortcuts first: those for the application in front, then the others.
  const CompiledShortcut* shortcut = nullptr;
  if (table->hasUserKey(keyCode)) {
    shortcut = firstApplying(*table, table->candidates(keyCode, windowsModifiers(flags)), front);
  }
  const auto pass = [&](DecisionOutcome why) {
    if (outcome != nullptr) *outcome = why;
    return passKeyDown(keyCode, event);
  };
  // Then the built-in rules, less the disabled ones. Their browser test asks the workspace
  // itself, which ends the life of an answer kept from before.
  Action action = Action::none;
  DecisionOutcome decided{OutcomeCode::userShortcut, kNoRuleIndex};
  if (shortcut == nullptr) {
    const uint32_t disabled = table->disabled();
    bool fnIsCtrl = false;
    const BuiltinCombination combination = builtinCombination(keyCode, flags, disabled, fnIsCtrl);
    const auto index = static_cast<uint16_t>(combination);
    action = actionOf(combination, disabled, fnIsCtrl);
    if (action == Action::none) {
      return pass(combination == BuiltinCombination::none
                      ? DecisionOutcome{OutcomeCode::noShortcut, kNoRuleIndex}
                      : DecisionOutcome{OutcomeCode::disabled, index});
    }
    front.forget();
    if (table->hasScopedDisables() && table->disabledIn(combination, front.get())) {
      return pass({OutcomeCode::disabledHere, index});
    }
    // Nothing is translated in an excluded application but the built-ins it keeps.
    if (table->hasExclusions() && table->excludes(front.get(), combination)) {
      return pass({OutcomeCode::excluded, kNoRuleIndex});
    }
    decided = {OutcomeCode::builtin, index, action};
  } else {
    // A shortcut written for the application in front applies even where it is excluded.
    if (shortcut->apps == kNoScope && table->hasExclusions() && table->excludes(front.get())) {
      return pass({OutcomeCode::excluded, kNoRuleIndex});
    }
    decided.index = static_cast<uint16_t>(shortcut->index);
  }
  if (outcome != nullptr) *outcome = decided;
  if (shortcut != nullptr) {
    recordTranslated(keyCode, Action::none,
                     shortcut->opens || shortcut->keystrokeCount != 1 ? -1 : shortcut->keys[0]);
    performShortcut(*shortcut);
  } else {
    recordTranslated(keyCode, action);
    perform(action);
  }
  return nullptr;
}

void KeyboardShortcutManager::performShortcut(const CompiledShortcut& shortcut) {
  if (shortcut.opens) {
    openOnMainQueue(*shortcut.open);
    return;
  }
  for (size_t i = 0; i < shortcut.keystrokeCount; ++i) {
    postKeystrokeWithFlags(shortcut.flags[i], shortcut.keys[i]);
  }
}

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

void KeyboardShortcutManager::setRuleTable(std::unique_ptr<const RuleTable> table) {
  objectWillChange.send();
  publishRules(table.release());
}

void KeyboardShortcutManager::clearRules() {
  objectWillChange.send();
  publishRules(nullptr);
}

const RulesFile* KeyboardShortcutManager::rules() const {
  // Only the main thread stores the table.
  const RuleTable* table = ruleTable_.load(std::memory_order_relaxed);
  return table != nullptr ? table->source() : nullptr;
}

void KeyboardShortcutManager::publishRules(const RuleTable* table) {
  // A key the new table names is let through the first test once the table is there.
  const RuleTable* old = ruleTable_.exchange(table, std::memory_order_seq_cst);
  tappedModifiers_.store(table != nullptr ? table->tappedModifiers() : 0,
                         std::memory_order_relaxed);
  publishNamedKeys();
  if (old != nullptr) retiredRules_.push_back(old);
  reclaimRetiredRules();
}

void KeyboardShortcutManager::publishNamedKeys() {
  // Only the main thread stores the table and opens the viewer. While a viewer is open every key
  // is named, so that every key-down goes the way that records it.
  static constexpr std::array<uint64_t, 2> kEveryKey = {~uint64_t{0}, ~uint64_t{0}};
  const RuleTable* table = ruleTable_.load(std::memory_order_relaxed);
  const std::array<uint64_t, 2>& named = keyViewerOpen_.load(std::memory_order_relaxed) ? kEveryKey
                                         : table != nullptr ? table->namedKeys()
                                                            : kNamedKeys;
  for (size_t i = 0; i < named.size(); ++i)
    namedKeys_[i].store(named[i], std::memory_order_relaxed);
}

void KeyboardShortcutManager::reclaimRetiredRules() {
  if (retiredRules_.empty()) return;
  // A reader that came in after the exchange sees the new table; one still counted may hold an
  // old one, so the old ones wait for the next publication.
  if (ruleReaders_.load(std::memory_order_seq_cst) != 0) return;
  for (const RuleTable* table : retiredRules_) delete table;
  retiredRules_.clear();
}

}  // namespace corvane
