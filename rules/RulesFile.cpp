// Reading rules.json: the JSON, then every member checked, with the place of each mistake.
#include "rules/RulesFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>
#include <system_error>

#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"
#include "rules/JsonReader.h"
#include "rules/KeyNames.h"
#include "rules/Text.h"

namespace corvane {
namespace {

using json::Position;
using json::Value;

constexpr std::array<std::string_view, 4> kTopMembers = {"exclude", "settings", "disable",
                                                         "shortcuts"};
constexpr std::array<std::string_view, 2> kSettingNames = {"swapFnAndControl",
                                                           "swapOptionAndCommand"};
constexpr std::array<std::string_view, 5> kShortcutMembers = {"press", "send", "open", "apps",
                                                              "title"};

struct Failure {
  RulesError error;
};

[[noreturn]] void fail(Position at, std::string message) {
  throw Failure{RulesError{at.line, at.column, std::move(message)}};
}

void expectType(const Value& value, Value::Type type, std::string_view what) {
  if (value.type != type) {
    fail(value.at, std::string(what) + " must be " + std::string(json::describeType(type)) +
                       ", not " + std::string(json::describeType(value.type)));
  }
}

std::string unknownMember(std::string_view name, std::span<const std::string_view> known,
                          std::string_view where) {
  return "unknown member " + inQuotes(name) + std::string(where) + didYouMean(name, known) +
         " (the members are " + joinNames(known) + ")";
}

std::vector<std::string_view> allKeyAndModifierNames() {
  std::vector<std::string_view> names;
  for (const ModifierName& m : windowsModifierNames()) names.push_back(m.name);
  for (const ModifierName& m : macModifierNames()) names.push_back(m.name);
  for (const KeyName& k : keyNames()) names.push_back(k.name);
  return names;
}

// One "+"-separated part of a press or send text, and where it is.
struct Part {
  std::string_view text;
  Position at;
};

std::vector<Part> splitKeys(const Value& value) {
  std::vector<Part> parts;
  const std::string_view text = value.text;
  size_t start = 0;
  size_t characters = 0;  // code points before start
  size_t i = 0;
  size_t charIndex = 0;
  const auto flush = [&](size_t end) {
    std::string_view part = text.substr(start, end - start);
    size_t lead = 0;
    while (lead < part.size() && part[lead] == ' ') ++lead;
    part.remove_prefix(lead);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    parts.push_back(Part{part, value.charAt(characters + lead)});
  };
  for (; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (text[i] == '+') {
      flush(i);
      start = i + 1;
      characters = charIndex + 1;
    }
    ++charIndex;
  }
  flush(text.size());
  return parts;
}

const ModifierName* findModifier(std::span<const ModifierName> names, std::string_view text) {
  for (const ModifierName& m : names) {
    if (equalsIgnoringCase(m.name, text)) return &m;
  }
  return nullptr;
}

// The Mac key a Windows modifier's name in "send" should be.
std::string_view macNameFor(std::string_view windowsName) {
  if (equalsIgnoringCase(windowsName, "Ctrl")) return "Control";
  if (equalsIgnoringCase(windowsName, "Win")) return "Cmd";
  return "Option";  // Alt
}

std::string unknownKey(std::string_view text) {
  static const std::vector<std::string_view> names = allKeyAndModifierNames();
  if (text.empty()) return "a key name is missing between two +";
  return "unknown key name " + inQuotes(text) + didYouMean(text, names);
}

// What "press" and "send" each take: their own modifiers, and how to point out the other's.
struct KeysMember {
  std::string_view name;                // "press" or "send"
  std::span<const ModifierName> own;    // its modifiers, in the order they are written back
  std::span<const ModifierName> other;  // the other member's, a mistake here
  std::string_view ownNames;            // for messages
  std::string_view example;             // a whole combination
  std::string (*wrongSide)(std::string_view written, const ModifierName& other);
};

struct Keys {
  uint64_t modifiers = 0;  // the own ModifierName bits
  uint8_t code = 0;
  std::string written;  // canonical: modifiers in the member's order, then the key
};

// "Ctrl+Shift+Home": modifiers, each at most once, then one key name.
Keys readKeys(const Value& value, const KeysMember& member) {
  const std::string quotedMember = inQuotes(member.name);
  expectType(value, Value::Type::string, quotedMember);
  const std::vector<Part> parts = splitKeys(value);
  Keys keys;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const Part& part = parts[i];
    const ModifierName* modifier = findModifier(member.own, part.text);
    if (modifier == nullptr) {
      if (const ModifierName* other = findModifier(member.other, part.text)) {
        fail(part.at, member.wrongSide(part.text, *other));
      }
      if (keyCodeNamed(part.text)) {
        fail(part.at, "only the last key of " + quotedMember + " may be a key; " +
                          inQuotes(part.text) + " is not one of " + std::string(member.ownNames));
      }
      fail(part.at, unknownKey(part.text));
    }
    if ((keys.modifiers & modifier->bit) != 0) {
      fail(part.at, inQuotes(modifier->name) + " is named twice");
    }
    keys.modifiers |= modifier->bit;
  }
  const Part& key = parts.back();
  const std::optional<uint8_t> code = keyCodeNamed(key.text);
  if (!code) {
    if (findModifier(member.own, key.text) != nullptr ||
        findModifier(member.other, key.text) != nullptr) {
      fail(key.at, quotedMember + " needs a key after its modifiers (such as " +
                       std::string(member.example) + ")");
    }
    fail(key.at, unknownKey(key.text));
  }
  keys.code = *code;
  uint64_t written = 0;  // an alias (Command) is written back as its first name (Cmd)
  for (const ModifierName& m : member.own) {
    if ((keys.modifiers & m.bit) != 0 && (written & m.bit) == 0) {
      keys.written += std::string(m.name) + "+";
      written |= m.bit;
    }
  }
  keys.written += keyNameOf(*code);
  return keys;
}

const KeysMember kPress = {
    "press",
    windowsModifierNames(),
    macModifierNames(),
    "Ctrl, Win, Alt, Shift",
    "Ctrl+O",
    [](std::string_view written, const ModifierName&) {
      return inQuotes(written) +
             " is a Mac key; \"press\" names the Windows keys Ctrl, Win, Alt "
             "and Shift";
    }};
const KeysMember kSend = {"send",
                          macModifierNames(),
                          windowsModifierNames(),
                          "Cmd, Option, Control, Shift, Fn",
                          "Cmd+O",
                          [](std::string_view, const ModifierName& windows) {
                            return inQuotes(windows.name) +
                                   " is a Windows key; \"send\" names Mac keys: write " +
                                   inQuotes(macNameFor(windows.name));
                          }};

void readPress(const Value& value, UserShortcut& shortcut) {
  Keys keys = readKeys(value, kPress);
  shortcut.modifiers = static_cast<uint8_t>(keys.modifiers);
  shortcut.keyCode = keys.code;
  shortcut.press = std::move(keys.written);
}

void readSend(const Value& value, UserShortcut& shortcut) {
  Keys keys = readKeys(value, kSend);
  shortcut.sendModifiers = keys.modifiers;
  shortcut.sendKeyCode = keys.code;
  shortcut.send = std::move(keys.written);
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

std::vector<std::string> readIdentifiers(const Value& value, std::string_view what) {
  expectType(value, Value::Type::array, what);
  std::vector<std::string> identifiers;
  for (const Value& item : value.items) {
    expectType(item, Value::Type::string, std::string("each item of ") + std::string(what));
    if (item.text.empty()) fail(item.at, "an application's bundle identifier may not be empty");
    if (std::find(identifiers.begin(), identifiers.end(), item.text) != identifiers.end()) {
      fail(item.at, inQuotes(item.text) + " is listed twice");
    }
    identifiers.push_back(item.text);
  }
  return identifiers;
}

// The bundle identifiers a shortcut's apps stand for ("browsers" made into the seven).
std::vector<std::string_view> expandApps(const std::vector<std::string>& apps) {
  std::vector<std::string_view> out;
  for (const std::string& app : apps) {
    if (app == kBrowsersAlias) {
      out.insert(out.end(), kBrowserBundleIdentifiers.begin(), kBrowserBundleIdentifiers.end());
    } else {
      out.push_back(app);
    }
  }
  return out;
}

bool appsOverlap(const UserShortcut& a, const UserShortcut& b) {
  if (a.apps.empty() || b.apps.empty()) return true;
  const std::vector<std::string_view> left = expandApps(a.apps);
  for (std::string_view app : expandApps(b.apps)) {
    if (std::find(left.begin(), left.end(), app) != left.end()) return true;
  }
  return false;
}

UserShortcut readShortcut(const Value& value) {
  expectType(value, Value::Type::object, "each shortcut");
  UserShortcut shortcut;
  shortcut.line = value.at.line;
  const Value* press = nullptr;
  const Value::Member* send = nullptr;
  const Value::Member* open = nullptr;
  for (const Value::Member& member : value.members) {
    if (member.name == "press") {
      press = &member.value;
      readPress(member.value, shortcut);
    } else if (member.name == "send" || member.name == "open") {
      const Value::Member* other = member.name == "send" ? open : send;
      if (other != nullptr) {
        fail(member.at,
             "a shortcut has \"send\" (a keystroke) or \"open\" (an application), not "
             "both");
      }
      if (member.name == "send") {
        send = &member;
        readSend(member.value, shortcut);
      } else {
        open = &member;
        readOpen(member.value, shortcut);
      }
    } else if (member.name == "apps") {
      shortcut.apps = readIdentifiers(member.value, "\"apps\"");
      if (shortcut.apps.empty()) {
        fail(member.value.at,
             "\"apps\" must name at least one application (leave it out to "
             "apply everywhere)");
      }
    } else if (member.name == "title") {
      expectType(member.value, Value::Type::string, "\"title\"");
      shortcut.title = member.value.text;
    } else {
      fail(member.at, unknownMember(member.name, kShortcutMembers, " in a shortcut"));
    }
  }
  if (press == nullptr) fail(value.at, "a shortcut needs \"press\": the Windows keys to press");
  if (send == nullptr && open == nullptr) {
    fail(value.at, "a shortcut needs \"send\" (a Mac keystroke) or \"open\" (an application)");
  }
  return shortcut;
}

void readShortcuts(const Value& value, RulesFile& rules) {
  expectType(value, Value::Type::array, "\"shortcuts\"");
  for (const Value& item : value.items) {
    UserShortcut shortcut = readShortcut(item);
    for (const UserShortcut& earlier : rules.shortcuts) {
      if (earlier.keyCode == shortcut.keyCode && earlier.modifiers == shortcut.modifiers &&
          appsOverlap(earlier, shortcut)) {
        const Value::Member& press = *std::find_if(item.members.begin(), item.members.end(),
                                                   [](const auto& m) { return m.name == "press"; });
        fail(press.value.at, inQuotes(shortcut.press) + " is already a shortcut (line " +
                                 std::to_string(earlier.line) + ") in the same applications");
      }
    }
    rules.shortcuts.push_back(std::move(shortcut));
  }
}

void readDisable(const Value& value, RulesFile& rules) {
  expectType(value, Value::Type::array, "\"disable\"");
  for (const Value& item : value.items) {
    expectType(item, Value::Type::string, "each item of \"disable\"");
    std::string name;
    for (char c : item.text) {
      if (c != ' ') name += c;
    }
    size_t found = kBuiltinCombinationCount;
    for (size_t i = 0; i < kBuiltinCombinationCount; ++i) {
      if (equalsIgnoringCase(kBuiltinCombinationNames[i], name)) found = i;
    }
    if (found == kBuiltinCombinationCount) {
      fail(item.at, "unknown built-in shortcut " + inQuotes(item.text) +
                        didYouMean(name, kBuiltinCombinationNames) + " (the built-in ones are " +
                        joinNames(kBuiltinCombinationNames) + ")");
    }
    const uint32_t bit = combinationBit(static_cast<BuiltinCombination>(found));
    if ((rules.disabled & bit) != 0) fail(item.at, inQuotes(item.text) + " is listed twice");
    rules.disabled |= bit;
    rules.disable.emplace_back(kBuiltinCombinationNames[found]);
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
  RulesFile rules;
  for (const Value::Member& member : root.members) {
    if (member.name == "exclude") {
      rules.exclude = readIdentifiers(member.value, "\"exclude\"");
    } else if (member.name == "settings") {
      readSettings(member.value, rules);
    } else if (member.name == "disable") {
      readDisable(member.value, rules);
    } else if (member.name == "shortcuts") {
      readShortcuts(member.value, rules);
    } else {
      fail(member.at, unknownMember(member.name, kTopMembers, ""));
    }
  }
  return rules;
}

}  // namespace

EventFlags UserShortcut::postedFlags() const {
  EventFlags flags = sendModifiers;
  if (isFunctionKey(sendKeyCode)) flags |= kFlagFn;
  if (sendKeyCode >= 123 && sendKeyCode <= 126) flags |= kFlagNumericPad;
  return flags;
}

std::string UserShortcut::displayTitle() const {
  if (!title.empty()) return title;
  if (!opens) return send;
  std::string_view name = open;
  name = name.substr(name.rfind('/') + 1);
  name.remove_suffix(4);  // ".app"
  return std::string(name);
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
