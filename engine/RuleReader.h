// What a tap thread decides with the user's rules: its count as a reader of the published
// table, and the application in front, classified once per decision.
#pragma once

#include <span>

#include "engine/KeyboardShortcutManager.h"
#include "engine/RuleTable.h"
#include "engine/TapThreadContext.h"

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

// The application in front, classified against the table the first time a decision needs it,
// and then remembered by the thread until the table or the frontmost application changes: a
// decision then costs two comparisons, not a classification.
class FrontOf {
 public:
  FrontOf(Workspace& workspace, const RuleTable& table) : workspace_(workspace), table_(table) {}
  const FrontClasses& get() {
    RememberedFront& remembered = rememberedFront;
    const uint64_t stamp = workspace_.frontmostStamp();  // before the identifier is asked
    if (remembered.table != table_.serial() || remembered.frontmostStamp != stamp) [[unlikely]] {
      remembered.classes = table_.classes(workspace_.frontmostBundleIdentifier());
      remembered.table = table_.serial();
      remembered.frontmostStamp = stamp;
    }
    return remembered.classes;
  }

 private:
  Workspace& workspace_;
  const RuleTable& table_;
};

// The first of the shortcuts that applies in the front application (those that name
// applications come first), or nullptr.
inline const CompiledShortcut* firstApplying(const RuleTable& table,
                                             std::span<const CompiledShortcut> candidates,
                                             FrontOf& front) {
  for (const CompiledShortcut& candidate : candidates) {
    if ((candidate.apps == kNoScope && candidate.except == kNoScope) ||
        table.appliesIn(candidate, front.get().front)) {
      return &candidate;
    }
  }
  return nullptr;
}

}  // namespace corvane
