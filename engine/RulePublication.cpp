// Publishing the user's compiled rules from the main thread: the tap thread reads the table
// through one atomic pointer, and a replaced table is freed once no reader can hold it.
#include "engine/KeyboardShortcutManager.h"
#include "engine/RuleTable.h"

namespace corvane {

// Releases the handles and the thread handle; performs none of the steps of stop. No tap thread
// can be deciding (each holds the manager), so every table can go.
KeyboardShortcutManager::~KeyboardShortcutManager() {
  delete ruleTable_.load(std::memory_order_acquire);
  for (const RuleTable* table : retiredRules_) delete table;
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
  publishTappedModifiers();
  publishNamedKeys();
  if (old != nullptr) retiredRules_.push_back(old);
  reclaimRetiredRules();
}

void KeyboardShortcutManager::publishTappedModifiers() {
  // While the recorder records, Ctrl, Win and Alt are each followed, to be recorded when tapped.
  const RuleTable* table = ruleTable_.load(std::memory_order_relaxed);
  const uint8_t tapped = recording_.load(std::memory_order_relaxed)
                             ? uint8_t{kModCtrl | kModWin | kModAlt}
                         : table != nullptr ? table->tappedModifiers()
                                            : uint8_t{0};
  tappedModifiers_.store(tapped, std::memory_order_relaxed);
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
