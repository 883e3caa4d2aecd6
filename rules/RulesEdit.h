// Edits the window makes to the rules file, written into its text by changing only the members
// they touch: comments, order, spacing and everything else stay as the user wrote them. Each
// edit takes the file's whole text and gives the whole new text; the new text is read back
// before it is handed out, so an edit never makes a file the reader refuses.
//
// RulesFileEditor keeps the file's text as last read or written, writes each edit atomically
// (beside the file, then a rename; through a symbolic link to its target), refuses to write over
// a file that changed on disk since, and keeps the texts before each edit for undo.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Builtins.h"
#include "rules/RulesFile.h"

namespace corvane::edit {

// A shortcut as the editor makes it: the members of one "shortcuts" entry, as they are written.
struct ShortcutDraft {
  std::string press{};              // "Ctrl+Shift+Home", "Win" (tapped alone)
  std::vector<std::string> send{};  // one keystroke or up to four; empty when it opens or docks
  std::string open{};               // absolute path of an application ending in .app
  int dock = 0;                     // a Dock position, 1 to 99; 0: none
  std::vector<std::string> apps{};  // empty: everywhere
  std::vector<std::string> except{};
  bool withShift = false;
  std::string title{};  // empty: none written
};

// The draft of a shortcut the file has (to change it in the editor).
ShortcutDraft draftOf(const UserShortcut& shortcut);

// The new text, or what is wrong (an edit whose result the reader would refuse gives the
// reader's message, and no text).
struct EditResult {
  std::optional<std::string> text;
  RulesError error;
  // The rules of the new text, as the reader reads them (set with text).
  std::optional<RulesFile> rules;
};

// Built-in switches. Off adds the combination's name to "disable" (the member made when the
// file has none), or makes a scoped entry naming it plain; on removes the entry of "disable" that
// names it, plain or scoped, in whatever spelling ("ctrl + del"). Nothing changes when it already
// is as asked.
EditResult setBuiltinOff(std::string_view text, BuiltinCombination combination, bool off);
// A scoped entry { "name": ..., "in": [...] } of "disable": its "in" replaced by apps; an empty
// apps removes the entry (the built-in is on everywhere again); made when there is none, or from
// a plain entry naming it (its spelling kept).
EditResult setBuiltinOffIn(std::string_view text, BuiltinCombination combination,
                           const std::vector<std::string>& apps);

// Exclusions. Adds an application (a bundle identifier, pattern or group name) to "exclude" as a
// plain entry; nothing changes when a plain entry already names it.
EditResult addExclusion(std::string_view text, std::string_view application);
// Removes the plain entry that names the application; nothing changes when none does.
EditResult removeExcludedApplication(std::string_view text, std::string_view application);
// The entries of "exclude" by index as RulesFile::exclusions counts them: the plain names
// together are one entry (the first, when there are any), then each { "apps", "keep" } object in
// file order. Removes the index-th entry (the plain one: every plain name).
EditResult removeExclusion(std::string_view text, size_t index);
// The built-ins the index-th entry keeps: the plain names become one { "apps": [...], "keep":
// [...] } where the first of them was; an empty keep leaves "keep" out (plain names stay plain).
EditResult setKept(std::string_view text, size_t index, const std::vector<std::string>& kept);
// The built-ins still translated in one application of the plain names: its plain entry becomes
// an entry { "apps": [application], "keep": [...] } of its own, at the end of "exclude". Nothing
// changes for an empty kept or when no plain entry names it.
EditResult setKeptFor(std::string_view text, std::string_view application,
                      const std::vector<std::string>& kept);

// Shortcuts of the user's, by index in file order (as RulesFile::shortcuts). A new one is one
// line: { "press": ..., "send": ..., "apps": [...], "except": [...], "withShift": true,
// "title": ... }. A changed one has only the members the draft changes rewritten.
EditResult addShortcut(std::string_view text, const ShortcutDraft& shortcut);
EditResult replaceShortcut(std::string_view text, size_t index, const ShortcutDraft& shortcut);
EditResult removeShortcut(std::string_view text, size_t index);

// The rules file as the window edits it.
class RulesFileEditor {
 public:
  // starterText: the text a missing file starts from (the starter file), the edit then made in it.
  RulesFileEditor(std::filesystem::path path, std::string starterText);

  enum class Outcome {
    written,        // the new text is on disk
    unchanged,      // the edit changed nothing: nothing written
    refused,        // the edit is refused (error says why): nothing written
    changedOnDisk,  // the file changed since it was read: nothing written; reload() first
    failed,         // the file could not be written (error says why); the old one is untouched
  };
  struct Result {
    Outcome outcome = Outcome::unchanged;
    RulesError error;
  };

  // Reads the file again (after changedOnDisk, or when the watcher saw a change). Forgets undo.
  void reload();
  // The text as last read or written (the starter text while there is no file).
  const std::string& text() const;
  bool exists() const;

  // Applies an edit (one of the functions above, bound to its arguments) and writes the result.
  template <class Edit>
  Result apply(Edit&& edit) {
    return write(edit(std::string_view(text())));
  }
  // Writes back the text before the last written edit (a file that edit made is removed again),
  // with the same check that the file did not change on disk since.
  Result undo();
  bool canUndo() const;

 private:
  Result write(EditResult result);
  // Whether the file on disk is still the text last read or written (error set when not).
  bool unchangedOnDisk(Result& result) const;

  struct Before {
    std::string text;
    bool existed = false;
  };
  std::filesystem::path path_;
  std::string starter_;
  std::string text_;
  bool exists_ = false;
  RulesError readError_;  // why the file could not be read, when it could not
  std::vector<Before> undo_;
};

}  // namespace corvane::edit
