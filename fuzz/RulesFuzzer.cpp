// The rules file's reader on arbitrary bytes: every input gives an error with a readable place
// and a bounded message, or rules whose compiled table finds each shortcut where it belongs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "engine/RuleTable.h"
#include "rules/RuleCompiler.h"
#include "rules/RulesFile.h"

namespace {

void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "rules fuzzer: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RulesParse parse = parseRules(text);
  if (!parse.rules) {
    const RulesError& error = parse.error;
    check(!error.message.empty(), "an error without a message");
    check(error.line >= 0 && (error.line == 0 || error.column >= 1), "an error without a place");
    // Values are cut in messages: a long line of input never makes a long message.
    check(error.message.size() < 1024, "a message longer than 1 KiB");
    return 0;
  }
  const std::unique_ptr<const RuleTable> compiled = compileRules(std::move(*parse.rules));
  const RuleTable& table = *compiled;
  for (const UserShortcut& shortcut : table.source()->shortcuts) {
    check(!shortcut.keystrokes.empty() || shortcut.opens || shortcut.dock != 0,
          "a shortcut that does nothing");
    check(shortcut.keystrokes.size() <= kMaxSequence, "a sequence too long");
    if (shortcut.tapped) {
      // A modifier tapped alone: one of Ctrl, Win, Alt, found among its own.
      check(shortcut.modifiers == kModCtrl || shortcut.modifiers == kModWin ||
                shortcut.modifiers == kModAlt,
            "a tapped modifier that is not Ctrl, Win or Alt");
      check((table.tappedModifiers() & shortcut.modifiers) != 0, "a tapped modifier not marked");
      check(!table.tappedCandidates(shortcut.modifiers).empty(), "a tapped shortcut is lost");
      continue;
    }
    check(shortcut.keyCode < 128 && shortcut.modifiers < 16, "a shortcut outside the table");
    check(table.hasUserKey(shortcut.keyCode), "a shortcut's key is not marked");
    check(!table.candidates(shortcut.keyCode, shortcut.modifiers).empty(), "a shortcut is lost");
    if (shortcut.withShift) {
      check(!table.candidates(shortcut.keyCode, shortcut.modifiers | kModShift).empty(),
            "a withShift shortcut is lost with Shift");
    }
    check(!shortcut.displayTitle().empty() || !shortcut.title.empty() || shortcut.opens ||
              shortcut.dock != 0,
          "a shortcut without a title");
  }
  return 0;
}
