#include "rules/KeysReading.h"

#include <array>
#include <vector>

#include "rules/KeyNames.h"
#include "rules/ReadingFailure.h"
#include "rules/Text.h"

namespace corvane::reading {
namespace {

using json::Position;
using json::Value;

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
  size_t charIndex = 0;
  const auto flush = [&](size_t end) {
    std::string_view part = text.substr(start, end - start);
    size_t lead = 0;
    while (lead < part.size() && part[lead] == ' ') ++lead;
    part.remove_prefix(lead);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    parts.push_back(Part{part, value.charAt(characters + lead)});
  };
  for (size_t i = 0; i < text.size(); ++i) {
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
  bool modifierAlone = false;  // one modifier and no key (allowed by the caller or not)
  std::string written;  // canonical: modifiers in the member's order, then the key as written
};

// "Ctrl+Shift+Home": modifiers, each at most once, then one key name. With aloneAllowed, one
// modifier by itself too.
Keys readKeys(const Value& value, const KeysMember& member, std::string_view what,
              bool aloneAllowed = false) {
  const std::string quotedMember = std::string(what);
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
      if (keyNamed(part.text) != nullptr) {
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
  const KeyName* named = keyNamed(key.text);
  if (named == nullptr) {
    const ModifierName* own = findModifier(member.own, key.text);
    if (own != nullptr && parts.size() == 1 && aloneAllowed) {
      keys.modifiers = own->bit;
      keys.modifierAlone = true;
      keys.written = std::string(own->name);
      return keys;
    }
    if (own != nullptr || findModifier(member.other, key.text) != nullptr) {
      fail(key.at, quotedMember + " needs a key after its modifiers (such as " +
                       std::string(member.example) + ")");
    }
    fail(key.at, unknownKey(key.text));
  }
  keys.code = named->code;
  uint64_t written = 0;  // an alias (Command) is written back as its first name (Cmd)
  for (const ModifierName& m : member.own) {
    if ((keys.modifiers & m.bit) != 0 && (written & m.bit) == 0) {
      keys.written += std::string(m.name) + "+";
      written |= m.bit;
    }
  }
  keys.written += named->name;  // the key as the file names it (Plus, not Equal)
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

Keystroke readKeystroke(const Value& value, std::string_view what) {
  Keys keys = readKeys(value, kSend, what);
  return Keystroke{keys.code, keys.modifiers, std::move(keys.written)};
}

// The Windows keys of each built-in, read as "press" reads them.
struct BuiltinKeys {
  uint8_t modifiers = 0;
  uint8_t code = 0;
};
const std::array<BuiltinKeys, kBuiltinCombinationCount>& builtinKeys() {
  static const auto table = [] {
    std::array<BuiltinKeys, kBuiltinCombinationCount> keys{};
    for (size_t i = 0; i < kBuiltinCombinationCount; ++i) {
      Value name;
      name.type = Value::Type::string;
      name.text = std::string(kBuiltinCombinationNames[i]);
      const Keys read = readKeys(name, kPress, "\"disable\"");
      keys[i] = {static_cast<uint8_t>(read.modifiers), read.code};
    }
    return keys;
  }();
  return table;
}

}  // namespace

void readPress(const Value& value, UserShortcut& shortcut) {
  Keys keys = readKeys(value, kPress, "\"press\"", /*aloneAllowed=*/true);
  if (keys.modifierAlone && keys.modifiers == kModShift) {
    fail(value.at, "Shift tapped alone is no shortcut; \"press\" may be Ctrl, Win or Alt alone");
  }
  shortcut.modifiers = static_cast<uint8_t>(keys.modifiers);
  shortcut.keyCode = keys.code;
  shortcut.tapped = keys.modifierAlone;
  shortcut.press = std::move(keys.written);
}

void readSend(const Value& value, UserShortcut& shortcut) {
  shortcut.keystrokes.clear();
  if (value.type == Value::Type::array) {
    if (value.items.empty() || value.items.size() > kMaxSequence) {
      fail(value.at, "\"send\" is one keystroke or a list of one to " +
                         std::to_string(kMaxSequence) + ", not " +
                         std::to_string(value.items.size()));
    }
    for (const Value& item : value.items) {
      shortcut.keystrokes.push_back(readKeystroke(item, "each item of \"send\""));
    }
  } else {
    if (value.type != Value::Type::string) {
      fail(value.at, "\"send\" must be a text or a list of texts, not " +
                         std::string(json::describeType(value.type)));
    }
    shortcut.keystrokes.push_back(readKeystroke(value, "\"send\""));
  }
  shortcut.send.clear();
  for (const Keystroke& keystroke : shortcut.keystrokes) {
    if (!shortcut.send.empty()) shortcut.send += ", ";
    shortcut.send += keystroke.written;
  }
}

namespace {

[[noreturn]] void unknownBuiltin(const Value& value) {
  std::string squeezed;
  for (char c : value.text) {
    if (c != ' ') squeezed += c;
  }
  fail(value.at, "unknown built-in shortcut " + inQuotes(value.text) +
                     didYouMean(squeezed, kBuiltinCombinationNames) + " (the built-in ones are " +
                     joinNames(kBuiltinCombinationNames) + ")");
}

}  // namespace

BuiltinCombination readBuiltin(const Value& value, std::string_view what) {
  expectType(value, Value::Type::string, what);
  Keys keys;
  try {
    keys = readKeys(value, kPress, what);
  } catch (const Failure&) {
    unknownBuiltin(value);
  }
  const auto& table = builtinKeys();
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].modifiers == keys.modifiers && table[i].code == keys.code) {
      return static_cast<BuiltinCombination>(i);
    }
  }
  unknownBuiltin(value);
}

std::optional<Keystroke> readKeystrokeText(std::string_view text, std::string_view what,
                                           std::string& error) {
  // As "send", but the messages do not name a member of the file.
  KeysMember member = kSend;
  member.wrongSide = [](std::string_view, const ModifierName& windows) {
    return inQuotes(windows.name) + " is a Windows key; the Mac keys are " +
           std::string(kSend.ownNames) + ": write " + inQuotes(macNameFor(windows.name));
  };
  Value value;
  value.type = Value::Type::string;
  value.text = std::string(text);
  try {
    const Keys keys = readKeys(value, member, what);
    return Keystroke{keys.code, keys.modifiers, keys.written};
  } catch (const Failure& failure) {
    error = failure.error.message;
    return std::nullopt;
  }
}

}  // namespace corvane::reading
