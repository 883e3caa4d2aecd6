// Edits written into the rules file's text, and the file written beside itself and renamed.
//
// Every edit works on byte ranges the reader gives (a value's, a member's): it splices new text
// in or cuts an element out, then reads the result back. Text between elements holds nothing but
// spaces, comments and commas, so the scanning here only has to know those.
#include "rules/RulesEdit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "rules/JsonReader.h"
#include "rules/KeysReading.h"
#include "rules/ReadingFailure.h"

namespace corvane::edit {
namespace {

using json::Value;
constexpr size_t npos = std::string_view::npos;

// ---- Reading ---------------------------------------------------------------------------------

EditResult refused(RulesError error) {
  EditResult result;
  result.error = std::move(error);
  return result;
}

// The result handed out: the text only when the reader takes it.
EditResult finish(std::string text) {
  RulesParse parse = parseRules(text);
  if (!parse.rules) return refused(parse.error);
  EditResult result;
  result.text = std::move(text);
  result.rules = std::move(parse.rules);
  return result;
}

// The JSON of a text the reader takes (an edit starts only from such a text), and its rules.
bool readable(std::string_view text, Value& root, RulesError& error, RulesFile* rules = nullptr) {
  RulesParse parse = parseRules(text);
  if (!parse.rules) {
    error = parse.error;
    return false;
  }
  if (rules != nullptr) *rules = std::move(*parse.rules);
  return json::parse(text, root, error);
}

const Value* valueOf(const Value& object, std::string_view name) {
  for (const Value::Member& member : object.members) {
    if (member.name == name) return &member.value;
  }
  return nullptr;
}

size_t memberIndex(const Value& object, std::string_view name) {
  for (size_t i = 0; i < object.members.size(); ++i) {
    if (object.members[i].name == name) return i;
  }
  return npos;
}

// The built-in a text names in any spelling "press" accepts, or none.
BuiltinCombination namedBuiltin(const Value& value) {
  if (value.type != Value::Type::string) return BuiltinCombination::none;
  try {
    return reading::readBuiltin(value, "");
  } catch (const reading::Failure&) {
    return BuiltinCombination::none;
  }
}

// The item of "disable" that names the built-in, plain or scoped, or npos.
size_t disableEntry(const Value* disable, BuiltinCombination combination) {
  if (disable == nullptr) return npos;
  for (size_t i = 0; i < disable->items.size(); ++i) {
    const Value& item = disable->items[i];
    const Value* name = item.type == Value::Type::object ? valueOf(item, "name") : &item;
    if (name != nullptr && namedBuiltin(*name) == combination) return i;
  }
  return npos;
}

bool sameValue(const Value& a, const Value& b) {
  if (a.type != b.type || a.boolean != b.boolean || a.text != b.text ||
      a.items.size() != b.items.size() || a.members.size() != b.members.size()) {
    return false;
  }
  for (size_t i = 0; i < a.items.size(); ++i) {
    if (!sameValue(a.items[i], b.items[i])) return false;
  }
  for (size_t i = 0; i < a.members.size(); ++i) {
    if (a.members[i].name != b.members[i].name ||
        !sameValue(a.members[i].value, b.members[i].value)) {
      return false;
    }
  }
  return true;
}

// ---- Writing JSON ----------------------------------------------------------------------------

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          std::array<char, 8> code{};
          std::snprintf(code.data(), code.size(), "\\u%04x", static_cast<unsigned>(c));
          out += code.data();
        } else {
          out += c;
        }
    }
  }
  return out + '"';
}

std::string listOf(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i > 0 ? ", " : "") + jsonString(items[i]);
  return out + "]";
}

using Members = std::vector<std::pair<std::string_view, std::string>>;

std::string objectOf(const Members& members) {
  std::string out = "{ ";
  for (size_t i = 0; i < members.size(); ++i) {
    out += (i > 0 ? ", " : "") + jsonString(members[i].first) + ": " + members[i].second;
  }
  return out + " }";
}

constexpr std::array<std::string_view, 8> kShortcutOrder = {
    "press", "send", "open", "dock", "apps", "except", "withShift", "title"};

// A shortcut's members as written, in the order above; those it does not have left out.
Members shortcutMembers(const ShortcutDraft& draft) {
  Members members{{"press", jsonString(draft.press)}};
  if (draft.send.size() == 1) {
    members.emplace_back("send", jsonString(draft.send.front()));
  } else if (!draft.send.empty()) {
    members.emplace_back("send", listOf(draft.send));
  } else if (!draft.open.empty()) {
    members.emplace_back("open", jsonString(draft.open));
  } else if (draft.dock != 0) {
    members.emplace_back("dock", std::to_string(draft.dock));
  }
  if (!draft.apps.empty()) members.emplace_back("apps", listOf(draft.apps));
  if (!draft.except.empty()) members.emplace_back("except", listOf(draft.except));
  if (draft.withShift) members.emplace_back("withShift", "true");
  if (!draft.title.empty()) members.emplace_back("title", jsonString(draft.title));
  return members;
}

// ---- Splicing --------------------------------------------------------------------------------

// Past spaces and comments from i; with sameLine, stops at a line's end (and before a /* */
// comment that runs on to the next line).
size_t pastBlank(std::string_view t, size_t i, bool sameLine) {
  while (i < t.size()) {
    const char c = t[i];
    if (c == ' ' || c == '\t' || c == '\r' || (c == '\n' && !sameLine)) {
      ++i;
    } else if (t.substr(i, 2) == "//") {
      i = std::min(t.find('\n', i), t.size());
    } else if (t.substr(i, 2) == "/*") {
      const size_t close = t.find("*/", i + 2);
      if (close == npos) return t.size();
      if (sameLine && t.substr(i, close - i).find('\n') != npos) return i;
      i = close + 2;
    } else {
      break;
    }
  }
  return i;
}

size_t lineStart(std::string_view t, size_t i) {
  const size_t newline = t.rfind('\n', i == 0 ? 0 : i - 1);
  return i == 0 || newline == npos ? 0 : newline + 1;
}

// Whether only spaces come before i on its line.
bool startsLine(std::string_view t, size_t i) {
  return t.substr(lineStart(t, i), i - lineStart(t, i)).find_first_not_of(" \t") == npos;
}

// Where the line ends (before its \r\n) when only spaces and comments follow i on it; else npos.
size_t lineEndAfter(std::string_view t, size_t i) {
  size_t end = pastBlank(t, i, true);
  if (end < t.size() && t[end] != '\n') return npos;
  while (end > i && t[end - 1] == '\r') --end;
  // A // comment runs to the \r; the line's end is before it as well.
  return end;
}

// Past the line end at i (\r\n or \n).
size_t pastLineEnd(std::string_view t, size_t i) {
  while (i < t.size() && t[i] == '\r') ++i;
  return i < t.size() && t[i] == '\n' ? i + 1 : i;
}

std::string_view newlineOf(std::string_view t) {
  const size_t n = t.find('\n');
  return n != npos && n > 0 && t[n - 1] == '\r' ? "\r\n" : "\n";
}

std::string indentOf(std::string_view t, size_t i) {
  const size_t start = lineStart(t, i);
  const size_t end = t.find_first_not_of(" \t", start);
  return std::string(t.substr(start, (end == npos ? t.size() : end) - start));
}

// An array's items or an object's members as byte ranges, and its brackets.
struct Elements {
  size_t open = 0;
  size_t close = 0;  // the closing bracket
  std::vector<std::pair<size_t, size_t>> ranges;
};

Elements elementsOf(const Value& container) {
  Elements e{container.begin, container.end - 1, {}};
  for (const Value& item : container.items) e.ranges.emplace_back(item.begin, item.end);
  for (const Value::Member& member : container.members)
    e.ranges.emplace_back(member.begin, member.end);
  return e;
}

// Changes to one text, made from the last to the first so that positions hold; two at one
// place come out in the order they were added.
struct Splices {
  struct Change {
    size_t from, to;
    std::string with;
  };
  std::vector<Change> changes;
  void add(size_t from, size_t to, std::string with) {
    changes.push_back({from, to, std::move(with)});
  }
  void apply(std::string& t) {
    while (!changes.empty()) {
      size_t last = 0;  // the last added of those furthest on
      for (size_t i = 1; i < changes.size(); ++i) {
        if (changes[i].from >= changes[last].from) last = i;
      }
      t.replace(changes[last].from, changes[last].to - changes[last].from, changes[last].with);
      changes.erase(changes.begin() + static_cast<std::ptrdiff_t>(last));
    }
  }
};

// The comma after an element, or npos.
size_t commaAfter(std::string_view t, size_t end) {
  const size_t at = pastBlank(t, end, false);
  return at < t.size() && t[at] == ',' ? at : npos;
}

// Puts piece after the element at index (or first in an empty container), in the container's
// style: on a line of its own at the element's indentation when the element has its own line,
// else on the same line after ", ".
void insertAfter(std::string& t, const Value& container, size_t index, const std::string& piece) {
  const Elements e = elementsOf(container);
  const std::string_view nl = newlineOf(t);
  Splices s;
  if (e.ranges.empty()) {
    const std::string_view inside = std::string_view(t).substr(e.open + 1, e.close - e.open - 1);
    if (inside.find('\n') != npos) {
      s.add(e.open + 1, e.open + 1, std::string(nl) + indentOf(t, e.close) + "  " + piece);
    } else if (inside.find_first_not_of(" \t") == npos) {
      const bool object = container.type == Value::Type::object;
      s.add(e.open + 1, e.close, object ? " " + piece + " " : piece);
    } else {
      s.add(e.open + 1, e.open + 1, piece + " ");
    }
    s.apply(t);
    return;
  }
  const auto [begin, end] = e.ranges[index];
  const bool last = index + 1 == e.ranges.size();
  const size_t comma = commaAfter(t, end);
  const size_t lineEnd = lineEndAfter(t, comma != npos ? comma + 1 : end);
  if (startsLine(t, begin) && lineEnd != npos) {
    if (comma == npos) s.add(end, end, ",");
    s.add(lineEnd, lineEnd,
          std::string(nl) + indentOf(t, begin) + piece + (comma != npos ? "," : ""));
  } else if (!last) {
    s.add(comma + 1, comma + 1, " " + piece + ",");
  } else {
    s.add(end, end, ", " + piece);
  }
  s.apply(t);
}

void append(std::string& t, const Value& container, const std::string& piece) {
  const size_t count = container.items.size() + container.members.size();
  insertAfter(t, container, count == 0 ? 0 : count - 1, piece);
}

// Cuts the element at index out with one comma beside it; an element on lines of its own goes
// with its lines (and a comment after it on its last line), the comments around others stay.
void removeAt(std::string& t, const Value& container, size_t index) {
  const Elements e = elementsOf(container);
  const auto [begin, end] = e.ranges[index];
  const size_t comma = commaAfter(t, end);
  const size_t lineEnd = lineEndAfter(t, comma != npos ? comma + 1 : end);
  Splices s;
  const bool ownLines = startsLine(t, begin) && lineEnd != npos;
  if (comma == npos && index > 0) {
    // The last without a comma after it: the comma before it goes.
    const size_t before = commaAfter(t, e.ranges[index - 1].second);
    if (before != npos) s.add(before, before + 1, "");
  }
  if (ownLines) {
    s.add(lineStart(t, begin), pastLineEnd(t, lineEnd), "");
  } else if (comma != npos) {
    // The spaces after the comma go too, and those before the element when nothing follows.
    const size_t to = std::min(t.find_first_not_of(" \t", comma + 1), t.size());
    size_t from = begin;
    while (to < t.size() && (t[to] == '\r' || t[to] == '\n') && from > 0 &&
           (t[from - 1] == ' ' || t[from - 1] == '\t')) {
      --from;
    }
    s.add(from, to, "");
  } else {
    size_t from = begin;
    while (from > 0 && (t[from - 1] == ' ' || t[from - 1] == '\t')) --from;
    s.add(index > 0 ? from : begin, end, "");
  }
  s.apply(t);
}

void replace(std::string& t, const Value& value, const std::string& with) {
  t.replace(value.begin, value.end - value.begin, with);
}

// Sets a member of the object found by locate in t's JSON: replaced when its value differs,
// put after the last member when it has none, removed when value is empty.
// With inShortcutOrder, a new member goes after the one before it in kShortcutOrder.
template <class Locate>
bool setMember(std::string& t, Locate locate, std::string_view name, const std::string& value,
               bool inShortcutOrder = false) {
  Value root;
  RulesError error;
  if (!json::parse(t, root, error)) return false;
  const Value* object = locate(root);
  if (object == nullptr) return false;
  const size_t index = memberIndex(*object, name);
  if (value.empty()) {
    if (index != npos) removeAt(t, *object, index);
    return true;
  }
  if (index != npos) {
    Value wanted;
    if (json::parse(value, wanted, error) && sameValue(object->members[index].value, wanted)) {
      return true;
    }
    replace(t, object->members[index].value, value);
    return true;
  }
  const std::string piece = jsonString(name) + ": " + value;
  size_t previous = npos;
  for (const std::string_view n : kShortcutOrder) {
    if (n == name) break;
    if (memberIndex(*object, n) != npos) previous = memberIndex(*object, n);
  }
  if (inShortcutOrder && previous != npos) {
    insertAfter(t, *object, previous, piece);
  } else {
    append(t, *object, piece);
  }
  return true;
}

// Adds an item to the root's list member, which is made (last) when the file has none: on one
// line, but a list of objects in a file whose members have lines of their own gets one item a
// line, as shortcuts are written.
void addToList(std::string& t, const Value& root, std::string_view name, const std::string& item) {
  if (const Value* list = valueOf(root, name)) {
    append(t, *list, item);
    return;
  }
  std::string value = "[" + item + "]";
  if (!root.members.empty() && item.starts_with("{")) {
    const Value::Member& last = root.members.back();
    const size_t comma = commaAfter(t, last.end);
    if (startsLine(t, last.begin) &&
        lineEndAfter(t, comma != npos ? comma + 1 : last.end) != npos) {
      const std::string nl = std::string(newlineOf(t)) + indentOf(t, last.begin);
      value = "[" + nl + "  " + item + nl + "]";
    }
  }
  append(t, root, jsonString(name) + ": " + value);
}

RulesError noSuch(std::string_view what, size_t index) {
  return RulesError{0, 0, "the file has no " + std::string(what) + " " + std::to_string(index + 1)};
}

// "exclude" as RulesFile::exclusions counts its entries: the plain names together first (when
// there are any), then each { "apps", "keep" } object. The items of the entry at index.
std::vector<size_t> exclusionItems(const Value* exclude, size_t index) {
  std::vector<size_t> plain;
  std::vector<size_t> objects;
  if (exclude == nullptr) return {};
  for (size_t i = 0; i < exclude->items.size(); ++i) {
    (exclude->items[i].type == Value::Type::object ? objects : plain).push_back(i);
  }
  if (!plain.empty()) {
    if (index == 0) return plain;
    --index;
  }
  if (index < objects.size()) return {objects[index]};
  return {};
}

const Value* exclude(const Value& root) {
  return valueOf(root, "exclude");
}

}  // namespace

ShortcutDraft draftOf(const UserShortcut& shortcut) {
  ShortcutDraft draft;
  draft.press = shortcut.press;
  for (const Keystroke& k : shortcut.keystrokes) draft.send.push_back(k.written);
  draft.open = shortcut.open;
  draft.dock = shortcut.dock;
  draft.apps = shortcut.apps;
  draft.except = shortcut.except.written;
  draft.withShift = shortcut.withShift;
  draft.title = shortcut.title;
  return draft;
}

EditResult setBuiltinOff(std::string_view text, BuiltinCombination combination, bool off) {
  Value root;
  RulesError error;
  if (!readable(text, root, error)) return refused(error);
  if (combination >= BuiltinCombination::none) return refused({0, 0, "no such built-in shortcut"});
  std::string t(text);
  const Value* disable = valueOf(root, "disable");
  const size_t entry = disableEntry(disable, combination);
  const std::string name = jsonString(kBuiltinCombinationNames[static_cast<size_t>(combination)]);
  if (!off) {
    if (entry != npos) removeAt(t, *disable, entry);
  } else if (entry == npos) {
    addToList(t, root, "disable", name);
  } else if (disable->items[entry].type == Value::Type::object) {
    replace(t, disable->items[entry], name);  // off only in some applications: now everywhere
  }
  return finish(std::move(t));
}

EditResult setBuiltinOffIn(std::string_view text, BuiltinCombination combination,
                           const std::vector<std::string>& apps) {
  Value root;
  RulesError error;
  if (!readable(text, root, error)) return refused(error);
  if (combination >= BuiltinCombination::none) return refused({0, 0, "no such built-in shortcut"});
  std::string t(text);
  const Value* disable = valueOf(root, "disable");
  const size_t entry = disableEntry(disable, combination);
  const std::string name = jsonString(kBuiltinCombinationNames[static_cast<size_t>(combination)]);
  if (apps.empty()) {
    if (entry != npos) removeAt(t, *disable, entry);
  } else if (entry == npos) {
    addToList(t, root, "disable", objectOf({{"name", name}, {"in", listOf(apps)}}));
  } else if (disable->items[entry].type == Value::Type::string) {
    const Value& item = disable->items[entry];
    const std::string written(text.substr(item.begin, item.end - item.begin));
    replace(t, item, objectOf({{"name", written}, {"in", listOf(apps)}}));
  } else {
    setMember(
        t, [&](const Value& r) { return &valueOf(r, "disable")->items[entry]; }, "in",
        listOf(apps));
  }
  return finish(std::move(t));
}

namespace {

// The place in "exclude" of the plain entry naming application, if there is one.
std::optional<size_t> plainExclusion(const Value& root, std::string_view application) {
  const Value* list = exclude(root);
  if (list == nullptr) return std::nullopt;
  for (size_t i = 0; i < list->items.size(); ++i) {
    const Value& item = list->items[i];
    if (item.type == Value::Type::string && item.text == application) return i;
  }
  return std::nullopt;
}

}  // namespace

EditResult addExclusion(std::string_view text, std::string_view application) {
  Value root;
  RulesError error;
  if (!readable(text, root, error)) return refused(error);
  std::string t(text);
  if (plainExclusion(root, application)) return finish(std::move(t));
  addToList(t, root, "exclude", jsonString(application));
  return finish(std::move(t));
}

EditResult removeExcludedApplication(std::string_view text, std::string_view application) {
  Value root;
  RulesError error;
  if (!readable(text, root, error)) return refused(error);
  std::string t(text);
  if (const std::optional<size_t> at = plainExclusion(root, application)) {
    removeAt(t, *exclude(root), *at);
  }
  return finish(std::move(t));
}

EditResult setKeptFor(std::string_view text, std::string_view application,
                      const std::vector<std::string>& kept) {
  if (kept.empty()) return finish(std::string(text));
  EditResult removed = removeExcludedApplication(text, application);
  if (!removed.text || *removed.text == text) return removed;
  Value root;
  RulesError error;
  if (!readable(*removed.text, root, error)) return refused(error);
  std::string t = std::move(*removed.text);
  addToList(t, root, "exclude",
            objectOf({{"apps", listOf({std::string(application)})}, {"keep", listOf(kept)}}));
  return finish(std::move(t));
}

EditResult removeExclusion(std::string_view text, size_t index) {
  Value root;
  RulesError error;
  if (!readable(text, root, error)) return refused(error);
  const std::vector<size_t> items = exclusionItems(exclude(root), index);
  if (items.empty()) return refused(noSuch("\"exclude\" entry", index));
  std::string t(text);
  // From the last, so that the earlier items' places hold.
  for (size_t k = items.size(); k-- > 0;) {
    if (!json::parse(t, root, error)) break;
    removeAt(t, *exclude(root), items[k]);
  }
  return finish(std::move(t));
}

EditResult setKept(std::string_view text, size_t index, const std::vector<std::string>& kept) {
  Value root;
  RulesError error;
  if (!readable(text, root, error)) return refused(error);
  const std::vector<size_t> items = exclusionItems(exclude(root), index);
  if (items.empty()) return refused(noSuch("\"exclude\" entry", index));
  std::string t(text);
  const Value& first = exclude(root)->items[items.front()];
  if (first.type == Value::Type::object) {
    setMember(
        t, [&](const Value& r) { return &exclude(r)->items[items.front()]; }, "keep",
        kept.empty() ? std::string() : listOf(kept));
    return finish(std::move(t));
  }
  if (kept.empty()) return finish(std::move(t));
  // The plain names become one entry that keeps them, where the first of them was.
  std::vector<std::string> apps;
  for (const size_t i : items) apps.push_back(exclude(root)->items[i].text);
  for (size_t k = items.size(); k-- > 1;) {
    if (!json::parse(t, root, error)) break;
    removeAt(t, *exclude(root), items[k]);
  }
  if (json::parse(t, root, error)) {
    replace(t, exclude(root)->items[items.front()],
            objectOf({{"apps", listOf(apps)}, {"keep", listOf(kept)}}));
  }
  return finish(std::move(t));
}

EditResult addShortcut(std::string_view text, const ShortcutDraft& shortcut) {
  Value root;
  RulesError error;
  if (!readable(text, root, error)) return refused(error);
  std::string t(text);
  addToList(t, root, "shortcuts", objectOf(shortcutMembers(shortcut)));
  return finish(std::move(t));
}

EditResult replaceShortcut(std::string_view text, size_t index, const ShortcutDraft& shortcut) {
  Value root;
  RulesError error;
  RulesFile rules;
  if (!readable(text, root, error, &rules)) return refused(error);
  if (index >= rules.shortcuts.size()) return refused(noSuch("shortcut", index));
  // Member by member, and only those the draft changes: the others stay as written ("ctrl+o"
  // is not made "Ctrl+O"), and so do the comments between them.
  const Members now = shortcutMembers(draftOf(rules.shortcuts[index]));
  const Members wanted = shortcutMembers(shortcut);
  const auto valueIn = [](const Members& members, std::string_view name) {
    for (const auto& [n, v] : members) {
      if (n == name) return v;
    }
    return std::string();
  };
  std::string t(text);
  const auto locate = [&](const Value& r) { return &valueOf(r, "shortcuts")->items[index]; };
  for (const std::string_view name : kShortcutOrder) {
    const std::string value = valueIn(wanted, name);
    if (value == valueIn(now, name)) continue;
    if (!setMember(t, locate, name, value, true)) break;
  }
  return finish(std::move(t));
}

EditResult removeShortcut(std::string_view text, size_t index) {
  Value root;
  RulesError error;
  if (!readable(text, root, error)) return refused(error);
  const Value* shortcuts = valueOf(root, "shortcuts");
  if (shortcuts == nullptr || index >= shortcuts->items.size()) {
    return refused(noSuch("shortcut", index));
  }
  std::string t(text);
  removeAt(t, *shortcuts, index);
  return finish(std::move(t));
}

// ---- The file --------------------------------------------------------------------------------

namespace {

enum class Disk { missing, read, failed };

// The whole file at path (through a symbolic link); reason set when it cannot be read.
Disk readFile(const std::filesystem::path& path, std::string& text, std::string& reason) {
  text.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return Disk::missing;
    reason = std::strerror(errno);
    return Disk::failed;
  }
  struct stat info {};
  Disk state = Disk::read;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    reason = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
    state = Disk::failed;
  }
  std::array<char, 65536> buffer{};
  while (state == Disk::read) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      reason = std::strerror(errno);
      state = Disk::failed;
    }
    if (got <= 0) break;
    text.append(buffer.data(), static_cast<size_t>(got));
  }
  ::close(fd);
  return state;
}

// The file a path names past its symbolic links (a link to a missing file: that file).
std::filesystem::path resolved(std::filesystem::path path) {
  std::error_code error;
  for (int i = 0;
       i < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(path, error)); ++i) {
    const std::filesystem::path link = std::filesystem::read_symlink(path, error);
    if (error) break;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return path;
}

RulesError cannot(std::string_view what, const std::filesystem::path& path, std::string_view why) {
  return RulesError{0, 0,
                    "cannot " + std::string(what) + " " + path.string() + ": " + std::string(why)};
}

// Writes text in target's place by way of a new file beside it, made durable, then renamed over:
// target is the old text or the new, never part of one. The new file keeps target's permissions.
bool writeAtomically(const std::filesystem::path& target, std::string_view text,
                     RulesError& error) {
  const std::filesystem::path folder = target.parent_path();
  std::error_code made;
  if (!folder.empty()) std::filesystem::create_directories(folder, made);
  if (made) {
    error = cannot("make the folder", folder, made.message());
    return false;
  }
  // One name per process; what a crash left under it is removed first.
  const std::filesystem::path temporary =
      folder / ("." + target.filename().string() + "." + std::to_string(::getpid()) + ".new");
  ::unlink(temporary.c_str());
  struct stat info {};
  const bool existed = ::stat(target.c_str(), &info) == 0;
  int failure = 0;  // the first error's errno
  const auto check = [&](bool done) {
    if (!done && failure == 0) failure = errno != 0 ? errno : EIO;
    return done && failure == 0;
  };
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  bool ok = check(fd >= 0) && check(!existed || ::fchmod(fd, info.st_mode & 07777) == 0);
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    ok = check(wrote > 0);
    if (ok) done += static_cast<size_t>(wrote);
  }
  ok = ok && check(::fsync(fd) == 0);
  if (fd >= 0) ok = check(::close(fd) == 0) && ok;
  ok = ok && check(::rename(temporary.c_str(), target.c_str()) == 0);
  if (!ok) {
    error = cannot("write", target, std::strerror(failure));
    ::unlink(temporary.c_str());
    return false;
  }
  const int directory = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (directory >= 0) {
    ::fsync(directory);  // the rename made durable too
    ::close(directory);
  }
  return true;
}

}  // namespace

RulesFileEditor::RulesFileEditor(std::filesystem::path path, std::string starterText)
    : path_(std::move(path)), starter_(std::move(starterText)) {
  reload();
}

void RulesFileEditor::reload() {
  undo_.clear();
  readError_ = {};
  std::string reason;
  switch (readFile(path_, text_, reason)) {
    case Disk::missing:
      text_ = starter_;
      exists_ = false;
      break;
    case Disk::read:
      exists_ = true;
      break;
    case Disk::failed:
      exists_ = true;
      readError_ = cannot("read", path_, reason);
      break;
  }
}

const std::string& RulesFileEditor::text() const {
  return text_;
}

bool RulesFileEditor::exists() const {
  return exists_;
}

bool RulesFileEditor::canUndo() const {
  return !undo_.empty();
}

bool RulesFileEditor::unchangedOnDisk(Result& result) const {
  std::string disk;
  std::string reason;
  const Disk state = readFile(path_, disk, reason);
  if (state == Disk::failed) {
    result = {Outcome::failed, cannot("read", path_, reason)};
    return false;
  }
  if ((state == Disk::read) != exists_ || disk != (exists_ ? text_ : std::string())) {
    result = {Outcome::changedOnDisk,
              {0, 0, path_.string() + " changed on disk since it was read: reload it first"}};
    return false;
  }
  return true;
}

RulesFileEditor::Result RulesFileEditor::write(EditResult edit) {
  if (!readError_.message.empty()) return {Outcome::failed, readError_};
  if (!edit.text) return {Outcome::refused, edit.error};
  if (*edit.text == text_) return {Outcome::unchanged, {}};
  Result result;
  if (!unchangedOnDisk(result)) return result;
  if (!writeAtomically(resolved(path_), *edit.text, result.error)) {
    result.outcome = Outcome::failed;
    return result;
  }
  undo_.push_back({std::move(text_), exists_});
  text_ = std::move(*edit.text);
  exists_ = true;
  return {Outcome::written, {}};
}

RulesFileEditor::Result RulesFileEditor::undo() {
  if (undo_.empty()) return {Outcome::unchanged, {}};
  Result result;
  if (!unchangedOnDisk(result)) return result;
  const std::filesystem::path target = resolved(path_);
  const Before& before = undo_.back();
  if (!before.existed) {
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) {
      return {Outcome::failed, cannot("remove", target, std::strerror(errno))};
    }
  } else if (!writeAtomically(target, before.text, result.error)) {
    result.outcome = Outcome::failed;
    return result;
  }
  text_ = before.text;
  exists_ = before.existed;
  undo_.pop_back();
  return {Outcome::written, {}};
}

}  // namespace corvane::edit
