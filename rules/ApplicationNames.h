// The names a rules file gives applications: bundle identifiers ("com.apple.Terminal"),
// patterns ("com.jetbrains.*": every identifier that starts with "com.jetbrains.") and groups
// (built-in: browsers, terminals, remote; and the file's own "groups"). Every list is resolved
// when the file is read, so the tap thread only compares against what they come to.
#pragma once

#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rules/JsonReader.h"
#include "rules/RulesFile.h"

namespace corvane {

struct BuiltinGroup {
  std::string_view name;
  std::span<const std::string_view> members;  // identifiers and patterns
};
// browsers (the seven the built-in Shift+Tab knows), terminals, remote (virtual machines and
// remote desktops).
std::span<const BuiltinGroup> builtinGroups();

// The most patterns one file may use (the tap thread keeps which of them the application in
// front matches in a fixed set). Checked at the list that passes it.
inline constexpr size_t kMaxPatterns = 256;

class ApplicationNames {
 public:
  // groups: the file's "groups" member, or nullptr. Each group is checked: its name, every
  // member, and that no group names itself through others.
  explicit ApplicationNames(const json::Value* groups);

  // A list of application names, at least one, each at most once: checked and resolved.
  // what: how messages name the list ("\"apps\"").
  Applications read(const json::Value& list, std::string_view what) const;

  const std::vector<ApplicationGroup>& groups() const { return groups_; }

 private:
  struct Group {
    const json::Value* value = nullptr;  // the file's list; nullptr for a built-in group
    Applications resolved;
    enum class State : uint8_t { unresolved, resolving, resolved } state = State::unresolved;
  };
  void resolve(const std::string& name, std::vector<std::string>& path);
  void add(const json::Value& item, Applications& into, std::vector<std::string>* path);
  Group* find(std::string_view name);
  const Group* find(std::string_view name) const;
  [[noreturn]] void unknownGroup(const json::Value& item) const;

  std::vector<std::pair<std::string, Group>> known_;  // built-in groups first, then the file's
  std::map<std::string, size_t, std::less<>> index_;  // each name's place in known_
  std::vector<ApplicationGroup> groups_;              // the file's, as written
  // Every pattern the lists read so far come to, for the file's limit.
  mutable std::set<std::string, std::less<>> patternsUsed_;
};

}  // namespace corvane
