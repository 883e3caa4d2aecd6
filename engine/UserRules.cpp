// The user's rules file in the decision: publishing a compiled table from the main thread, and
// deciding a key-down with it on the tap thread.
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

EventRef KeyboardShortcutManager::decideWithRules(int64_t keyCode, EventFlags flags, EventRef event,
                                                  DecisionOutcome* outcome) {
  const RuleReader reader(*this);
  const RuleTable* table = reader.table();
  // The frontmost application is asked only for a shortcut that names applications, by the
  // built-in Shift+Tab, and once a key-down would be translated; the user's shortcuts ask once.
  std::string_view frontmost;
  bool asked = false;
  const auto frontmostApplication = [&] {
    if (!asked) {
      frontmost = workspace_.frontmostBundleIdentifier();
      asked = true;
    }
    return frontmost;
  };

  // The user's shortcuts first, in file order; the first that applies wins.
  const CompiledShortcut* shortcut = nullptr;
  if (table != nullptr && table->hasUserKey(keyCode)) {
    for (const CompiledShortcut& candidate : table->candidates(keyCode, windowsModifiers(flags))) {
      if (candidate.appsBegin == candidate.appsEnd ||
          table->appliesIn(candidate, frontmostApplication())) {
        shortcut = &candidate;
        break;
      }
    }
  }
  // Then the built-in rules, less the disabled ones. Their browser test asks the workspace
  // itself, which ends the life of an answer kept from before.
  Action action = Action::none;
  DecisionOutcome decided{OutcomeCode::userShortcut, shortcut != nullptr
                                                         ? static_cast<uint16_t>(shortcut->index)
                                                         : kNoRuleIndex};
  if (shortcut == nullptr) {
    const uint32_t disabled = table ? table->disabled() : 0;
    bool fnIsCtrl = false;
    const BuiltinCombination combination = builtinCombination(keyCode, flags, disabled, fnIsCtrl);
    action = actionOf(combination, disabled, fnIsCtrl);
    if (action == Action::none) {
      if (outcome != nullptr) {
        *outcome = combination == BuiltinCombination::none
                       ? DecisionOutcome{OutcomeCode::noShortcut, kNoRuleIndex}
                       : DecisionOutcome{OutcomeCode::disabled, static_cast<uint16_t>(combination)};
      }
      return passKeyDown(keyCode, event);
    }
    decided = {OutcomeCode::builtin, static_cast<uint16_t>(combination)};
    asked = false;
  }
  // Nothing is translated in an excluded application.
  if (table != nullptr && table->hasExclusions() && table->excludes(frontmostApplication())) {
    if (outcome != nullptr) *outcome = {OutcomeCode::excluded, kNoRuleIndex};
    return passKeyDown(keyCode, event);
  }
  if (outcome != nullptr) *outcome = decided;
  if (shortcut != nullptr) {
    recordTranslated(keyCode, Action::none, shortcut->opens ? -1 : shortcut->sendKey);
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
  } else {
    postKeystrokeWithFlags(shortcut.sendFlags, shortcut.sendKey);
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
