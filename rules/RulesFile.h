// The user's rules file (rules.json): applications to leave alone, built-in shortcuts to switch
// off, the swap settings to start with, and shortcuts of the user's own. This is the file as
// read and checked; RuleTable is what the tap thread decides with.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BuiltinCombination.h"
#include "engine/EventTypes.h"

namespace corvane {

// One shortcut of the user's, as written (and checked) in the file.
struct UserShortcut {
  // What to press: Windows modifiers and one key.
  uint8_t modifiers = 0;  // WindowsModifier bits
  uint8_t keyCode = 0;
  std::string press;  // canonical spelling, e.g. "Ctrl+Shift+Home"

  // What it does: a Mac keystroke (send) or opening an application (open).
  bool opens = false;
  uint8_t sendKeyCode = 0;
  EventFlags sendModifiers =
      0;             // the Mac modifier bits written (Command, Option, Control, Shift, Fn)
  std::string send;  // canonical spelling, e.g. "Cmd+Shift+Left"; empty when it opens
  std::string open;  // absolute path of the application; empty when it sends

  // Where it applies: bundle identifiers as written ("browsers" kept as written); empty:
  // everywhere.
  std::vector<std::string> apps;
  std::string title;  // as written; empty when the file gives none (see displayTitle)
  int line = 0;       // where the shortcut starts in the file

  // The flags the keystroke is posted with: the written modifiers, plus Fn for function keys and
  // the numeric-pad flag for arrows, as a Mac keyboard sends them.
  EventFlags postedFlags() const;
  // The title, or by default the keystroke ("Cmd+O") or the application's name ("Terminal").
  std::string displayTitle() const;
};

struct RulesFile {
  std::vector<std::string> exclude;  // bundle identifiers where nothing is translated
  std::optional<bool> swapFnAndControl;
  std::optional<bool> swapOptionAndCommand;
  std::vector<std::string> disable;  // canonical names from kBuiltinCombinationNames, file order
  uint32_t disabled = 0;             // combinationBit of each
  std::vector<UserShortcut> shortcuts;

  bool disables(BuiltinCombination c) const { return (disabled & combinationBit(c)) != 0; }
  bool empty() const {
    return exclude.empty() && !swapFnAndControl && !swapOptionAndCommand && disabled == 0 &&
           shortcuts.empty();
  }
};

// What is wrong with a file: where (line and column from 1; 0 when it is the whole file) and
// what, in words for the user.
struct RulesError {
  int line = 0;
  int column = 0;
  std::string message;

  // "line 7, column 14: unknown key name ..." (or just the message when there is no position).
  std::string describe() const;
};

struct RulesParse {
  std::optional<RulesFile> rules;  // set on success
  RulesError error;                // set otherwise
};

// The largest file read, in bytes.
inline constexpr size_t kMaxRulesFileSize = 256 * 1024;

// Reads the text of a rules file: one JSON object, // and /* */ comments allowed, UTF-8.
RulesParse parseRules(std::string_view text);

// The rules file's place: $XDG_CONFIG_HOME/corvane/rules.json when XDG_CONFIG_HOME is set, else
// ~/.config/corvane/rules.json (on a Mac too).
std::filesystem::path rulesFilePath();

struct RulesLoad {
  enum class Status : uint8_t { missing, loaded, failed };
  Status status = Status::missing;
  std::optional<RulesFile> rules;  // when loaded
  RulesError error;                // when failed (line 0 for a file that cannot be read)
};

// Reads and checks the file at path; a missing file is not an error.
RulesLoad loadRulesFile(const std::filesystem::path& path);

// The seven browsers "browsers" stands for in "apps".
inline constexpr std::string_view kBrowsersAlias = "browsers";

}  // namespace corvane
