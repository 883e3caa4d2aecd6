// The user's rules file (rules.json): applications to leave alone, built-in shortcuts to switch
// off, the swap settings to start with, groups of applications, and shortcuts of the user's own.
// This is the file as read and checked; RuleTable is what the tap thread decides with.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Builtins.h"
#include "engine/EventTypes.h"

namespace corvane {

// Applications as a list of the file names them (in "apps", "except", "exclude" and a disable
// entry's "in"): bundle identifiers, patterns ("com.jetbrains.*") and group names as written,
// and what they come to with every group resolved.
struct Applications {
  std::vector<std::string> written;      // file order
  std::vector<std::string> identifiers;  // exact bundle identifiers, sorted, each once
  std::vector<std::string> prefixes;     // a pattern's text before its *: "com.jetbrains."

  bool empty() const { return written.empty(); }
  // Whether the application with this bundle identifier is one of them.
  bool contains(std::string_view bundleIdentifier) const;
};

// One Mac keystroke of a shortcut's "send".
struct Keystroke {
  uint8_t keyCode = 0;
  EventFlags modifiers = 0;  // the Mac modifier bits written (Command, Option, Control, Shift, Fn)
  std::string written;       // canonical spelling, e.g. "Cmd+Shift+Left"

  // The flags it is posted with: the written modifiers, plus Fn for function keys and the
  // numeric-pad flag for arrows and the keypad, as a Mac keyboard sends them.
  EventFlags postedFlags() const;
};

// The most keystrokes one "send" posts.
inline constexpr size_t kMaxSequence = 4;

// One shortcut of the user's, as written (and checked) in the file.
struct UserShortcut {
  // What to press: Windows modifiers and one key, or one of Ctrl, Win, Alt tapped alone.
  uint8_t modifiers = 0;   // WindowsModifier bits
  uint8_t keyCode = 0;     // unused when tapped
  bool tapped = false;     // "press": "Win": the modifier pressed and released alone
  bool withShift = false;  // matches with or without Shift, and sends Shift along when held
  std::string press;       // canonical spelling, e.g. "Ctrl+Shift+Home", keys as written

  // What it does: Mac keystrokes in order (send), opening an application (open) or the Dock's
  // application at a position (dock).
  bool opens = false;
  std::vector<Keystroke> keystrokes;  // one to kMaxSequence; empty when it opens
  std::string send;  // the keystrokes as written, ", " between: "Cmd+Shift+4, Space"
  std::string open;  // absolute path of the application; empty when it sends
  uint8_t dock = 0;  // "dock": the Dock's application at this position (1: Finder); 0: none

  // Where it applies: in apps (empty: everywhere) but not in except.
  std::vector<std::string> apps;  // as written ("browsers" kept as written)
  Applications inApps;
  Applications except;
  std::string title;  // as written; empty when the file gives none (see displayTitle)
  int line = 0;       // where the shortcut starts in the file

  // The title, or by default the keystrokes ("Cmd+O"), the application's name ("Terminal") or
  // the Dock position ("Dock position 2").
  std::string displayTitle() const;
};

// An "exclude" entry: applications where nothing is translated but the built-ins kept.
struct Exclusion {
  Applications apps;
  uint32_t keep = 0;              // combinationBit of each built-in still translated there
  std::vector<std::string> kept;  // their names, canonical, file order
  bool plain = false;             // the file's plain names, together (each a string of "exclude")
};

// A built-in switched off only in some applications ({ "name": ..., "in": [...] }).
struct ScopedDisable {
  BuiltinCombination combination = BuiltinCombination::none;
  Applications in;
};

// A group of the user's ("groups"): a name standing for applications, patterns and groups.
struct ApplicationGroup {
  std::string name;
  std::vector<std::string> members;  // as written
};

struct RulesFile {
  // Application names of every "exclude" entry, as written, file order.
  std::vector<std::string> exclude;
  std::vector<Exclusion> exclusions;
  std::optional<bool> swapFnAndControl;
  std::optional<bool> swapOptionAndCommand;
  std::vector<std::string> disable;       // canonical names switched off everywhere, file order
  uint32_t disabled = 0;                  // combinationBit of each
  std::vector<ScopedDisable> disabledIn;  // switched off only in some applications
  std::vector<ApplicationGroup> groups;
  std::vector<UserShortcut> shortcuts;

  bool disables(BuiltinCombination c) const { return (disabled & combinationBit(c)) != 0; }
  // The applications a built-in is switched off in alone, or nullptr.
  const ScopedDisable* disabledOnlyIn(BuiltinCombination c) const;
  bool empty() const {
    return exclusions.empty() && !swapFnAndControl && !swapOptionAndCommand && disabled == 0 &&
           disabledIn.empty() && shortcuts.empty();
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

// Reads the text of a rules file: one JSON object, // and /* */ comments and a comma after the
// last item allowed, UTF-8.
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

// The seven browsers the built-in group "browsers" stands for.
inline constexpr std::string_view kBrowsersAlias = "browsers";

}  // namespace corvane
