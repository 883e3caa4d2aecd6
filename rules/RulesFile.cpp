// Reading rules.json: the JSON, then every member checked, with the place of each mistake.
#include "rules/RulesFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <span>

#include "engine/ShortcutKeys.h"
#include "rules/ApplicationNames.h"
#include "rules/JsonReader.h"
#include "rules/KeyNames.h"
#include "rules/KeysReading.h"
#include "rules/ReadingFailure.h"
#include "rules/Text.h"

namespace corvane {
namespace {

using json::Position;
using json::Value;
using reading::expectType;
using reading::fail;
using reading::Failure;

constexpr std::array<std::string_view, 6> kTopMembers = {"$schema",  "groups",  "exclude",
                                                         "settings", "disable", "shortcuts"};
constexpr std::array<std::string_view, 2> kSettingNames = {"swapFnAndControl",
                                                           "swapOptionAndCommand"};
constexpr std::array<std::string_view, 8> kShortcutMembers = {
    "press", "send", "open", "dock", "apps", "except", "withShift", "title"};
constexpr std::array<std::string_view, 2> kDisableMembers = {"name", "in"};
constexpr std::array<std::string_view, 2> kExcludeMembers = {"apps", "keep"};

std::string unknownMember(std::string_view name, std::span<const std::string_view> known,
                          std::string_view where) {
  return "unknown member " + inQuotes(name) + std::string(where) + didYouMean(name, known) +
         " (the members are " + joinNames(known) + ")";
}

const Value::Member* memberNamed(const Value& object, std::string_view name) {
  for (const Value::Member& member : object.members) {
    if (member.name == name) return &member;
  }
  return nullptr;
}

void readOpen(const Value& value, UserShortcut& shortcut) {
  expectType(value, Value::Type::string, "\"open\"");
  const std::string& path = value.text;
  if (path.empty() || path.front() != '/') {
    fail(value.at,
         "\"open\" must be an absolute path (starting with /), such as "
         "\"/System/Applications/Utilities/Terminal.app\"");
  }
  std::string_view trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
  if (trimmed.size() < 5 || trimmed.substr(trimmed.size() - 4) != ".app") {
    fail(value.at, "\"open\" must be the path of an application, ending in .app");
  }
  shortcut.opens = true;
  shortcut.open = std::string(trimmed);
}

// "dock": a position in the Dock, 1 (Finder) to 99, written as a whole number.
void readDock(const Value& value, UserShortcut& shortcut) {
  expectType(value, Value::Type::number, "\"dock\"");
  const std::string& n = value.text;
  const bool whole =
      !n.empty() && n.size() <= 2 && n.find_first_not_of("0123456789") == std::string::npos;
  if (!whole || n == "0" || n.front() == '0') {
    fail(value.at, "\"dock\" must be a position in the Dock from 1 (Finder) to 99, not " + n);
  }
  shortcut.dock = static_cast<uint8_t>(std::stoi(n));
}

// Whether both shortcuts can apply in one application, at the same level of precedence (a
// shortcut with "apps" goes before one without, so only two of a kind can clash).
bool scopesClash(const UserShortcut& a, const UserShortcut& b) {
  if (a.inApps.empty() != b.inApps.empty()) return false;
  if (a.inApps.empty()) return true;  // both everywhere but their exceptions: always somewhere
  // Both name applications: some application of both that neither leaves out.
  for (const std::string& identifier : a.inApps.identifiers) {
    if (b.inApps.contains(identifier) && !a.except.contains(identifier) &&
        !b.except.contains(identifier)) {
      return true;
    }
  }
  for (const std::string& identifier : b.inApps.identifiers) {
    if (a.inApps.contains(identifier) && !a.except.contains(identifier) &&
        !b.except.contains(identifier)) {
      return true;
    }
  }
  for (const std::string& p : a.inApps.prefixes) {
    for (const std::string& q : b.inApps.prefixes) {
      if (!p.starts_with(q) && !q.starts_with(p)) continue;
      const std::string some = (p.size() > q.size() ? p : q) + "\x7f";
      if (!a.except.contains(some) && !b.except.contains(some)) return true;
    }
  }
  return false;
}

// The shortcuts read so far by the presses they answer to (a Windows modifier set and a key,
// or a modifier tapped alone; with Shift too for withShift) and by the applications they name,
// so that a new one is compared only with those it could clash with, not with every other.
class PressIndex {
 public:
  // The first shortcut before this one that applies with it in some application, or nullptr.
  const UserShortcut* clash(const UserShortcut& s, const std::vector<UserShortcut>& earlier) {
    std::vector<size_t> candidates;
    forEachPress(s, [&](uint32_t press) {
      const auto found = presses_.find(press);
      if (found != presses_.end()) found->second.candidates(s, candidates);
    });
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (const size_t i : candidates) {
      if (scopesClash(earlier[i], s)) return &earlier[i];
    }
    return nullptr;
  }
  void add(const UserShortcut& s, size_t index) {
    forEachPress(s, [&](uint32_t press) { presses_[press].add(s, index); });
  }

 private:
  template <typename F>
  static void forEachPress(const UserShortcut& s, F f) {
    const uint32_t key = s.tapped ? 128 : s.keyCode;
    f(key * 16 + s.modifiers);
    if (s.withShift) f(key * 16 + (s.modifiers | kModShift));
  }

  struct Press {
    std::vector<size_t> everywhere;                               // without "apps": any two clash
    std::map<std::string_view, std::vector<size_t>> identifiers;  // named in "apps"
    std::map<std::string_view, std::vector<size_t>> prefixes;

    void add(const UserShortcut& s, size_t index) {
      if (s.inApps.empty()) {
        everywhere.push_back(index);
        return;
      }
      for (const std::string& identifier : s.inApps.identifiers) {
        identifiers[identifier].push_back(index);
      }
      for (const std::string& prefix : s.inApps.prefixes) prefixes[prefix].push_back(index);
    }
    // Those that name an application this one names, by identifier or pattern.
    void candidates(const UserShortcut& s, std::vector<size_t>& into) const {
      const auto take = [&](const auto& map, std::string_view text) {
        const auto found = map.find(text);
        if (found != map.end()) into.insert(into.end(), found->second.begin(), found->second.end());
      };
      // Every pattern whose beginning this text starts with (itself included).
      const auto beginnings = [&](std::string_view text) {
        for (size_t length = 1; length <= text.size(); ++length) {
          if (text[length - 1] == '.') take(prefixes, text.substr(0, length));
        }
      };
      // Every text of the map that starts with the beginning.
      const auto startingWith = [&](const auto& map, std::string_view beginning) {
        for (auto it = map.lower_bound(beginning);
             it != map.end() && std::string_view(it->first).starts_with(beginning); ++it) {
          into.insert(into.end(), it->second.begin(), it->second.end());
        }
      };
      if (s.inApps.empty()) {
        into.insert(into.end(), everywhere.begin(), everywhere.end());
        return;
      }
      for (const std::string& identifier : s.inApps.identifiers) {
        take(identifiers, identifier);
        beginnings(identifier);
      }
      for (const std::string& prefix : s.inApps.prefixes) {
        beginnings(prefix);
        startingWith(identifiers, prefix);
        startingWith(prefixes, prefix);
      }
    }
  };
  std::map<uint32_t, Press> presses_;
};

UserShortcut readShortcut(const Value& value, const ApplicationNames& names) {
  expectType(value, Value::Type::object, "each shortcut");
  UserShortcut shortcut;
  shortcut.line = value.at.line;
  const Value* press = nullptr;
  const Value::Member* send = nullptr;
  const Value::Member* open = nullptr;
  const Value::Member* dock = nullptr;
  const Value::Member* withShift = nullptr;
  for (const Value::Member& member : value.members) {
    if (member.name == "press") {
      press = &member.value;
      reading::readPress(member.value, shortcut);
    } else if (member.name == "send" || member.name == "open" || member.name == "dock") {
      if (send != nullptr || open != nullptr || dock != nullptr) {
        fail(member.at,
             "a shortcut has one of \"send\" (a keystroke), \"open\" (an application) or "
             "\"dock\" (a Dock position), not two");
      }
      if (member.name == "send") {
        send = &member;
        reading::readSend(member.value, shortcut);
      } else if (member.name == "open") {
        open = &member;
        readOpen(member.value, shortcut);
      } else {
        dock = &member;
        readDock(member.value, shortcut);
      }
    } else if (member.name == "apps") {
      expectType(member.value, Value::Type::array, "\"apps\"");
      if (member.value.items.empty()) {
        fail(member.value.at,
             "\"apps\" must name at least one application (leave it out to "
             "apply everywhere)");
      }
      shortcut.inApps = names.read(member.value, "\"apps\"");
      shortcut.apps = shortcut.inApps.written;
    } else if (member.name == "except") {
      shortcut.except = names.read(member.value, "\"except\"");
    } else if (member.name == "withShift") {
      expectType(member.value, Value::Type::boolean, "\"withShift\"");
      withShift = &member;
      shortcut.withShift = member.value.boolean;
    } else if (member.name == "title") {
      expectType(member.value, Value::Type::string, "\"title\"");
      shortcut.title = member.value.text;
    } else {
      fail(member.at, unknownMember(member.name, kShortcutMembers, " in a shortcut"));
    }
  }
  if (press == nullptr) fail(value.at, "a shortcut needs \"press\": the Windows keys to press");
  if (send == nullptr && open == nullptr && dock == nullptr) {
    fail(value.at,
         "a shortcut needs \"send\" (a Mac keystroke), \"open\" (an application) or \"dock\" "
         "(a Dock position)");
  }
  if (shortcut.withShift && (shortcut.modifiers & kModShift) != 0) {
    fail(withShift->at, "\"withShift\" is for a \"press\" that names no Shift");
  }
  if (shortcut.withShift && shortcut.tapped) {
    fail(withShift->at, "\"withShift\" is for a \"press\" with a key, not a modifier tapped alone");
  }
  return shortcut;
}

void readShortcuts(const Value& value, const ApplicationNames& names, RulesFile& rules) {
  expectType(value, Value::Type::array, "\"shortcuts\"");
  PressIndex presses;
  for (const Value& item : value.items) {
    UserShortcut shortcut = readShortcut(item, names);
    if (const UserShortcut* earlier = presses.clash(shortcut, rules.shortcuts)) {
      const Value::Member& press = *memberNamed(item, "press");
      fail(press.value.at, inQuotes(shortcut.press) + " is already a shortcut (line " +
                               std::to_string(earlier->line) +
                               ") in the same applications: give one of them \"apps\" or "
                               "\"except\" so that no application has both");
    }
    presses.add(shortcut, rules.shortcuts.size());
    rules.shortcuts.push_back(std::move(shortcut));
  }
}

void readKeep(const Value& value, Exclusion& entry) {
  expectType(value, Value::Type::array, "\"keep\"");
  for (const Value& item : value.items) {
    const BuiltinCombination kept = reading::readBuiltin(item, "each item of \"keep\"");
    const uint32_t bit = combinationBit(kept);
    if ((entry.keep & bit) != 0) fail(item.at, inQuotes(item.text) + " is listed twice");
    entry.keep |= bit;
    entry.kept.emplace_back(kBuiltinCombinationNames[static_cast<size_t>(kept)]);
  }
}

void readExclude(const Value& value, const ApplicationNames& names, RulesFile& rules) {
  expectType(value, Value::Type::array, "\"exclude\"");
  // Plain names together make one entry; each { "apps", "keep" } object is one of its own.
  Exclusion plain;
  plain.plain = true;
  std::set<std::string_view> seen;
  for (const Value& item : value.items) {
    if (item.type == Value::Type::object) {
      Exclusion entry;
      const Value::Member* apps = memberNamed(item, "apps");
      for (const Value::Member& member : item.members) {
        if (member.name == "keep") {
          readKeep(member.value, entry);
        } else if (member.name != "apps") {
          fail(member.at, unknownMember(member.name, kExcludeMembers, " in an \"exclude\" entry"));
        }
      }
      if (apps == nullptr) {
        fail(item.at, "an \"exclude\" entry needs \"apps\": the applications to leave alone");
      }
      entry.apps = names.read(apps->value, "\"apps\"");
      for (const std::string& app : entry.apps.written) rules.exclude.push_back(app);
      rules.exclusions.push_back(std::move(entry));
      continue;
    }
    expectType(item, Value::Type::string, "each item of \"exclude\"");
    if (!seen.insert(item.text).second) fail(item.at, inQuotes(item.text) + " is listed twice");
    Value one;
    one.type = Value::Type::array;
    one.at = item.at;
    one.items.push_back(item);
    const Applications app = names.read(one, "\"exclude\"");
    plain.apps.identifiers.insert(plain.apps.identifiers.end(), app.identifiers.begin(),
                                  app.identifiers.end());
    plain.apps.prefixes.insert(plain.apps.prefixes.end(), app.prefixes.begin(), app.prefixes.end());
    plain.apps.written.push_back(item.text);
    rules.exclude.push_back(item.text);
  }
  for (std::vector<std::string>* list : {&plain.apps.identifiers, &plain.apps.prefixes}) {
    std::sort(list->begin(), list->end());
    list->erase(std::unique(list->begin(), list->end()), list->end());
  }
  if (!plain.apps.empty()) rules.exclusions.insert(rules.exclusions.begin(), std::move(plain));
}

void readDisable(const Value& value, const ApplicationNames& names, RulesFile& rules) {
  expectType(value, Value::Type::array, "\"disable\"");
  uint32_t listed = 0;
  for (const Value& item : value.items) {
    const Value* name = &item;
    const Value* in = nullptr;
    if (item.type == Value::Type::object) {
      for (const Value::Member& member : item.members) {
        if (member.name == "name") {
          name = &member.value;
        } else if (member.name == "in") {
          in = &member.value;
        } else {
          fail(member.at, unknownMember(member.name, kDisableMembers, " in a \"disable\" entry"));
        }
      }
      if (name == &item) {
        fail(item.at, "a \"disable\" entry needs \"name\": the built-in shortcut to switch off");
      }
      if (in == nullptr) {
        fail(item.at,
             "a \"disable\" entry needs \"in\": the applications it is off in (or write its name "
             "alone to switch it off everywhere)");
      }
    } else if (item.type != Value::Type::string) {
      fail(item.at, "each item of \"disable\" must be a text or an object, not " +
                        std::string(json::describeType(item.type)));
    }
    const BuiltinCombination combination = reading::readBuiltin(*name, "\"disable\"");
    const uint32_t bit = combinationBit(combination);
    if ((listed & bit) != 0) fail(name->at, inQuotes(name->text) + " is listed twice");
    listed |= bit;
    if (in != nullptr) {
      rules.disabledIn.push_back(ScopedDisable{combination, names.read(*in, "\"in\"")});
    } else {
      rules.disabled |= bit;
      rules.disable.emplace_back(kBuiltinCombinationNames[static_cast<size_t>(combination)]);
    }
  }
}

void readSettings(const Value& value, RulesFile& rules) {
  expectType(value, Value::Type::object, "\"settings\"");
  for (const Value::Member& member : value.members) {
    std::optional<bool>* setting = nullptr;
    if (member.name == kSettingNames[0]) setting = &rules.swapFnAndControl;
    if (member.name == kSettingNames[1]) setting = &rules.swapOptionAndCommand;
    if (setting == nullptr)
      fail(member.at, unknownMember(member.name, kSettingNames, " in \"settings\""));
    expectType(member.value, Value::Type::boolean, inQuotes(member.name));
    *setting = member.value.boolean;
  }
}

RulesFile readRules(const Value& root) {
  if (root.type != Value::Type::object) {
    fail(root.at, "the file must hold one JSON object ({ ... }), not " +
                      std::string(json::describeType(root.type)));
  }
  // Groups first: every other member may name them, wherever they stand in the file.
  const Value::Member* groups = memberNamed(root, "groups");
  const ApplicationNames names(groups != nullptr ? &groups->value : nullptr);
  RulesFile rules;
  rules.groups = names.groups();
  for (const Value::Member& member : root.members) {
    if (member.name == "$schema") {
      expectType(member.value, Value::Type::string, "\"$schema\"");
    } else if (member.name == "groups") {
      continue;
    } else if (member.name == "exclude") {
      readExclude(member.value, names, rules);
    } else if (member.name == "settings") {
      readSettings(member.value, rules);
    } else if (member.name == "disable") {
      readDisable(member.value, names, rules);
    } else if (member.name == "shortcuts") {
      readShortcuts(member.value, names, rules);
    } else {
      fail(member.at, unknownMember(member.name, kTopMembers, ""));
    }
  }
  return rules;
}

}  // namespace

EventFlags Keystroke::postedFlags() const {
  EventFlags flags = modifiers;
  if (isFunctionKey(keyCode)) flags |= kFlagFn;
  if ((keyCode >= 123 && keyCode <= 126) || isKeypadKey(keyCode)) flags |= kFlagNumericPad;
  return flags;
}

std::string UserShortcut::displayTitle() const {
  if (!title.empty()) return title;
  if (dock != 0) return "Dock position " + std::to_string(dock);
  if (!opens) return send;
  std::string_view name = open;
  name = name.substr(name.rfind('/') + 1);
  name.remove_suffix(4);  // ".app"
  return std::string(name);
}

const ScopedDisable* RulesFile::disabledOnlyIn(BuiltinCombination c) const {
  for (const ScopedDisable& d : disabledIn) {
    if (d.combination == c) return &d;
  }
  return nullptr;
}

std::string RulesError::describe() const {
  if (line <= 0) return message;
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

RulesParse parseRules(std::string_view text) {
  RulesParse result;
  if (text.size() > kMaxRulesFileSize) {
    result.error.message = "the file is larger than 256 KiB";
    return result;
  }
  Value root;
  if (!json::parse(text, root, result.error)) return result;
  try {
    result.rules = readRules(root);
  } catch (const Failure& failure) {
    result.error = failure.error;
  }
  return result;
}
std::filesystem::path rulesFilePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::filesystem::path(home != nullptr ? home : "") / ".config";
  }
  return folder / "corvane" / "rules.json";
}

RulesLoad loadRulesFile(const std::filesystem::path& path) {
  RulesLoad load;
  // Opened without blocking: a FIFO (or a device) in the file's place must not hang the
  // program at launch; whatever is not a regular file is refused before anything is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return load;  // a missing file is not an error
    load.status = RulesLoad::Status::failed;
    load.error.message = std::string("cannot read the file: ") + std::strerror(errno);
    return load;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  load.status = RulesLoad::Status::failed;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    load.error.message = std::string("cannot read the file: ") + std::strerror(errno);
    return load;
  }
  if (S_ISDIR(info.st_mode)) {
    load.error.message = "cannot read the file: it is a folder";
    return load;
  }
  if (!S_ISREG(info.st_mode)) {
    load.error.message = "cannot read the file: it is not a regular file";
    return load;
  }
  // One byte more than allowed tells a file that is too large without reading all of it.
  std::string text(kMaxRulesFileSize + 1, '\0');
  size_t length = 0;
  while (length < text.size()) {
    const ssize_t got = ::read(fd, text.data() + length, text.size() - length);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      load.error.message = std::string("cannot read the file: ") + std::strerror(errno);
      return load;
    }
    if (got == 0) break;
    length += static_cast<size_t>(got);
  }
  text.resize(length);
  RulesParse parse = parseRules(text);
  if (!parse.rules) {
    load.error = parse.error;
    return load;
  }
  load.status = RulesLoad::Status::loaded;
  load.rules = std::move(parse.rules);
  return load;
}

}  // namespace corvane
