#include "rules/ApplicationNames.h"

#include <algorithm>
#include <array>
#include <set>

#include "engine/KeyboardShortcutManager.h"
#include "engine/RuleTable.h"
#include "rules/ReadingFailure.h"
#include "rules/Text.h"

namespace corvane {
namespace {

using json::Value;
using reading::expectType;
using reading::fail;

// The identifiers that public rule sets for PC keyboards use for these applications.
constexpr std::array<std::string_view, 8> kTerminals = {
    "com.apple.Terminal",   "com.googlecode.iterm2",  "dev.warp.Warp-Stable",  "io.alacritty",
    "net.kovidgoyal.kitty", "com.github.wez.wezterm", "com.mitchellh.ghostty", "co.zeit.hyper",
};
constexpr std::array<std::string_view, 16> kRemote = {
    "com.vmware.fusion",
    "com.vmware.proxyApp.*",  // each guest application of a Fusion machine
    "com.vmware.horizon",
    "com.parallels.desktop.console",
    "com.parallels.vm",
    "com.parallels.winapp.*",  // each Windows application of a Parallels machine
    "com.utmapp.UTM",
    "org.virtualbox.app.VirtualBoxVM",
    "com.microsoft.rdc.macos",
    "com.microsoft.windowsapp",
    "com.citrix.XenAppViewer",
    "com.citrix.receiver.icaviewer.*",
    "com.teamviewer.TeamViewer",
    "com.realvnc.vncviewer",
    "com.jumpdesktop.JumpDesktop",
    "tv.parsec.www",
};
const std::array<BuiltinGroup, 3> kBuiltinGroups = {{
    {"browsers", kBrowserBundleIdentifiers},
    {"terminals", kTerminals},
    {"remote", kRemote},
}};

// Lists are gathered in any order, then sorted once with each text kept once.
void sortUnique(std::vector<std::string>& list) {
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
}

void merge(Applications& into, const Applications& from) {
  into.identifiers.insert(into.identifiers.end(), from.identifiers.begin(), from.identifiers.end());
  into.prefixes.insert(into.prefixes.end(), from.prefixes.begin(), from.prefixes.end());
}

bool isPatternOrIdentifier(std::string_view text) {
  return text.find_first_of(".*") != std::string_view::npos;
}

// An identifier, or a pattern's text before the *: checks it and adds it to the lists.
void addIdentifierOrPattern(const Value& item, Applications& into) {
  const std::string_view text = item.text;
  const size_t star = text.find('*');
  if (star == std::string_view::npos) {
    into.identifiers.emplace_back(text);
    return;
  }
  if (star + 1 != text.size() || text.size() < 3 || text[star - 1] != '.') {
    fail(item.at, inQuotes(text) +
                      " is not a pattern: a pattern is an identifier's beginning and \".*\", "
                      "such as \"com.jetbrains.*\"");
  }
  into.prefixes.emplace_back(text.substr(0, star));
}

}  // namespace

std::span<const BuiltinGroup> builtinGroups() {
  return kBuiltinGroups;
}

bool Applications::contains(std::string_view bundleIdentifier) const {
  if (std::binary_search(identifiers.begin(), identifiers.end(), bundleIdentifier)) return true;
  return std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& prefix) {
    return patternNames(prefix, bundleIdentifier);
  });
}

ApplicationNames::ApplicationNames(const Value* groups) {
  for (const BuiltinGroup& builtin : kBuiltinGroups) {
    Group group;
    group.state = Group::State::resolved;
    for (std::string_view member : builtin.members) {
      if (member.ends_with(".*")) {
        group.resolved.prefixes.emplace_back(member.substr(0, member.size() - 1));
      } else {
        group.resolved.identifiers.emplace_back(member);
      }
    }
    sortUnique(group.resolved.identifiers);
    sortUnique(group.resolved.prefixes);
    index_.emplace(builtin.name, known_.size());
    known_.emplace_back(std::string(builtin.name), std::move(group));
  }
  if (groups == nullptr) return;
  expectType(*groups, Value::Type::object, "\"groups\"");
  for (const Value::Member& member : groups->members) {
    const std::string& name = member.name;
    if (name.empty() || isPatternOrIdentifier(name)) {
      fail(member.at,
           "a group's name has no dot or *, such as \"editors\" (it stands where "
           "bundle identifiers would)");
    }
    if (find(name) != nullptr) {
      fail(member.at, inQuotes(name) + " is a built-in group; give yours another name");
    }
    expectType(member.value, Value::Type::array, inQuotes(name));
    if (member.value.items.empty()) {
      fail(member.value.at, "a group must name at least one application");
    }
    Group group;
    group.value = &member.value;
    index_.emplace(name, known_.size());
    known_.emplace_back(name, std::move(group));
  }
  for (const Value::Member& member : groups->members) {
    std::vector<std::string> path;
    resolve(member.name, path);
    ApplicationGroup written{member.name, {}};
    for (const Value& item : member.value.items) written.members.push_back(item.text);
    groups_.push_back(std::move(written));
  }
}

ApplicationNames::Group* ApplicationNames::find(std::string_view name) {
  const auto found = index_.find(name);
  return found != index_.end() ? &known_[found->second].second : nullptr;
}

const ApplicationNames::Group* ApplicationNames::find(std::string_view name) const {
  return const_cast<ApplicationNames*>(this)->find(name);
}

void ApplicationNames::resolve(const std::string& name, std::vector<std::string>& path) {
  Group& group = *find(name);
  if (group.state == Group::State::resolved) return;
  group.state = Group::State::resolving;
  path.push_back(name);
  std::set<std::string_view> seen;
  for (const Value& item : group.value->items) {
    expectType(item, Value::Type::string, "each item of " + inQuotes(name));
    if (!seen.insert(item.text).second) fail(item.at, inQuotes(item.text) + " is listed twice");
    add(item, group.resolved, &path);
  }
  sortUnique(group.resolved.identifiers);
  sortUnique(group.resolved.prefixes);
  path.pop_back();
  group.state = Group::State::resolved;
}

void ApplicationNames::add(const Value& item, Applications& into, std::vector<std::string>* path) {
  if (item.text.empty()) fail(item.at, "an application's bundle identifier may not be empty");
  if (isPatternOrIdentifier(item.text)) {
    addIdentifierOrPattern(item, into);
    return;
  }
  Group* group = find(item.text);
  if (group == nullptr) unknownGroup(item);
  if (group->state == Group::State::resolving) {
    // The path from the group named here back to it.
    std::string cycle;
    const auto start = std::find(path->begin(), path->end(), item.text);
    for (auto it = start; it != path->end(); ++it) cycle += *it + " -> ";
    fail(item.at, "group " + inQuotes(item.text) + " names itself (" + cycle + item.text + ")");
  }
  if (group->state == Group::State::unresolved) {
    std::vector<std::string> fresh;
    resolve(item.text, path != nullptr ? *path : fresh);
  }
  merge(into, group->resolved);
}

void ApplicationNames::unknownGroup(const Value& item) const {
  std::vector<std::string_view> names;
  for (const auto& [name, group] : known_) names.push_back(name);
  fail(item.at, "unknown application group " + inQuotes(item.text) + didYouMean(item.text, names) +
                    " (a bundle identifier has dots, such as \"com.apple.Terminal\"; the groups "
                    "are " +
                    joinNames(names) + ")");
}

Applications ApplicationNames::read(const Value& list, std::string_view what) const {
  expectType(list, Value::Type::array, what);
  if (list.items.empty()) {
    fail(list.at, std::string(what) + " must name at least one application");
  }
  Applications out;
  std::set<std::string_view> seen;
  for (const Value& item : list.items) {
    expectType(item, Value::Type::string, "each item of " + std::string(what));
    if (!seen.insert(item.text).second) fail(item.at, inQuotes(item.text) + " is listed twice");
    const size_t prefixesBefore = out.prefixes.size();
    // Every group is resolved already: nothing is written here.
    const_cast<ApplicationNames*>(this)->add(item, out, nullptr);
    out.written.push_back(item.text);
    // The pattern limit, at the name that passes it.
    for (size_t i = prefixesBefore; i < out.prefixes.size(); ++i) {
      if (patternsUsed_.insert(out.prefixes[i]).second && patternsUsed_.size() > kMaxPatterns) {
        fail(item.at, "the file uses more than " + std::to_string(kMaxPatterns) +
                          " patterns (identifiers ending in .*)");
      }
    }
  }
  sortUnique(out.identifiers);
  sortUnique(out.prefixes);
  return out;
}

}  // namespace corvane
