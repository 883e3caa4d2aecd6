// Reading rules.json: good files and what they hold, bad files and the message a user sees.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "rules/ApplicationNames.h"
#include "rules/JsonReader.h"
#include "rules/KeyNames.h"
#include "rules/RulesFile.h"
#include "rules/Text.h"

namespace corvane {
namespace {

struct BadFile {
  std::string name, text, message;  // message: as RulesError::describe() gives it
  bool schemaSees = false;  // docs/rules.schema.json refuses it too (tests/rules/check-schema.py)
};
void PrintTo(const BadFile& bad, std::ostream* out) {
  *out << bad.name;
}

// The rows of bad-files.jsonl (its first line says what a row holds).
std::vector<BadFile> badFiles() {
  std::vector<BadFile> rows;
  std::ifstream in(CORVANE_SOURCE_DIR "/tests/rules/bad-files.jsonl");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto row = nlohmann::json::parse(line);
    BadFile bad{row["name"], row.value("file", ""), row["message"], row.value("schemaSees", false)};
    const std::string hex = row.value("hex", "");
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
      bad.text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    for (int i = 0; i < row.value("times", 0); ++i) bad.text += row["repeat"].get<std::string>();
    bad.text += row.value("then", "");
    rows.push_back(std::move(bad));
  }
  return rows;
}

class BadRulesFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadRulesFile, IsRefusedWithWhereAndWhat) {
  const RulesParse parse = parseRules(GetParam().text);
  ASSERT_FALSE(parse.rules.has_value());
  EXPECT_EQ(parse.error.describe(), GetParam().message);
}

// For tests/rules/check-schema.py: with CORVANE_BAD_RULES_DIR set, each bad file is written
// there (NAME.sees.json when the schema must refuse it too, NAME.blind.json otherwise).
TEST_P(BadRulesFile, WritesItsBadFilesForTheSchemaCheck) {
  const char* folder = std::getenv("CORVANE_BAD_RULES_DIR");
  if (folder == nullptr) GTEST_SKIP() << "CORVANE_BAD_RULES_DIR is not set";
  const BadFile& bad = GetParam();
  std::ofstream(
      std::filesystem::path(folder) / (bad.name + (bad.schemaSees ? ".sees.json" : ".blind.json")),
      std::ios::binary)
      << bad.text;
}

INSTANTIATE_TEST_SUITE_P(Messages, BadRulesFile, ::testing::ValuesIn(badFiles()),
                         [](const auto& info) { return info.param.name; });

// What the reader read, one line a part; applications as written, then those of the probes held.
std::string summary(const RulesFile& rules) {
  const std::string probes =
      "com.apple.Safari net.kovidgoyal.kitty com.jetbrains.goland com.microsoft.VSCode "
      "com.microsoft.VSCodeInsiders com.parallels.winapp com.parallels.winapp.notepad";
  const auto list = [](const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += " " + name;
    return out;
  };
  const auto apps = [&](const Applications& a) {
    std::string out = list(a.written) + " |";
    std::istringstream in(probes);
    for (std::string probe; in >> probe;) out += a.contains(probe) ? " " + probe : "";
    return out;
  };
  const auto flag = [](const std::optional<bool>& b) { return b ? (*b ? "on" : "off") : "-"; };
  std::ostringstream out;
  out << "swapFnAndControl " << flag(rules.swapFnAndControl) << ", swapOptionAndCommand "
      << flag(rules.swapOptionAndCommand) << "\nexclude" << list(rules.exclude) << "\ndisable"
      << list(rules.disable) << " | disables";
  for (size_t c = 0; c < kBuiltinCombinationNames.size(); ++c) {
    if (rules.disables(static_cast<BuiltinCombination>(c)))
      out << " " << kBuiltinCombinationNames[c];
  }
  for (const ScopedDisable& d : rules.disabledIn) {
    const ScopedDisable* only = rules.disabledOnlyIn(d.combination);
    out << "\ndisable " << kBuiltinCombinationNames[static_cast<size_t>(d.combination)]
        << (only == &d ? " only in" : " in?") << apps(d.in);
  }
  for (const ApplicationGroup& g : rules.groups)
    out << "\ngroup " << g.name << ":" << list(g.members);
  for (const Exclusion& e : rules.exclusions) {
    out << "\nexclusion" << apps(e.apps) << " | keep " << e.keep << list(e.kept);
  }
  for (const UserShortcut& s : rules.shortcuts) {
    out << "\nline " << s.line << ": " << s.press << " mods " << int(s.modifiers) << " key "
        << int(s.keyCode) << (s.tapped ? " tapped" : "") << (s.withShift ? " withShift" : "")
        << " -> " << (s.opens ? "open " + s.open : s.send) << " [";
    for (const Keystroke& k : s.keystrokes)
      out << " " << int(k.keyCode) << "/0x" << std::hex << k.postedFlags() << std::dec;
    out << " ] '" << s.displayTitle() << "' apps" << list(s.apps) << " in" << apps(s.inApps)
        << " except" << apps(s.except);
  }
  return out.str() + "\n";
}

// good-files.txt: "=== name", a rules file, "---", what summary() gives for it.
TEST(RulesFile, GoodFilesHoldWhatTheySay) {
  std::ifstream in(CORVANE_SOURCE_DIR "/tests/rules/good-files.txt");
  std::string name, file, reads, line;
  std::string* into = nullptr;
  int checked = 0;
  const auto check = [&] {
    if (name.empty()) return;
    SCOPED_TRACE(name);
    const RulesParse parse = parseRules(file);
    ASSERT_TRUE(parse.rules) << parse.error.describe();
    EXPECT_EQ(summary(*parse.rules), reads);
    ++checked;
  };
  while (std::getline(in, line)) {
    if (line.starts_with("=== ")) {
      check();
      name = line.substr(4), file.clear(), reads.clear(), into = &file;
    } else if (line == "---") {
      into = &reads;
    } else if (into != nullptr) {
      *into += line + "\n";
    }
  }
  check();
  EXPECT_EQ(checked, 4);
}

// docs/rules.schema.json lists the names the reader knows, no more and no fewer.
TEST(RulesFile, TheSchemaNamesWhatTheReaderKnows) {
  std::ifstream in(std::string(CORVANE_SOURCE_DIR) + "/docs/rules.schema.json");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  json::Value schema;
  RulesError error;
  ASSERT_TRUE(json::parse(text, schema, error)) << error.describe();
  const auto listed = [&](std::string_view definition) {
    std::vector<std::string> names;
    for (const auto& member : schema.members) {
      if (member.name != "$defs") continue;
      for (const auto& def : member.value.members) {
        if (def.name != definition) continue;
        for (const auto& item : def.value.members.at(0).value.items) names.push_back(item.text);
      }
    }
    return names;
  };
  std::vector<std::string> keys, windows, mac, builtins, groups;
  for (const KeyName& key : keyNames()) keys.emplace_back(key.name);
  for (const ModifierName& m : windowsModifierNames()) windows.emplace_back(m.name);
  for (const ModifierName& m : macModifierNames()) mac.emplace_back(m.name);
  for (std::string_view name : kBuiltinCombinationNames) builtins.emplace_back(name);
  for (const BuiltinGroup& group : builtinGroups()) groups.emplace_back(group.name);
  EXPECT_EQ(listed("keyName"), keys);
  EXPECT_EQ(listed("windowsModifier"), windows);
  EXPECT_EQ(listed("macModifier"), mac);
  EXPECT_EQ(listed("builtinName"), builtins);
  EXPECT_EQ(listed("group"), groups);
}

TEST(RulesFile, EveryKeyNameHasADistinctCodeFromTheKeyboardsRange) {
  std::map<uint8_t, std::string_view> first;
  for (const KeyName& key : keyNames()) {
    EXPECT_LT(key.code, 127) << key.name;
    EXPECT_EQ(keyCodeNamed(key.name), key.code) << key.name;
    first.try_emplace(key.code, key.name);
  }
  // Aliases share their key: 77 + 31 names, 7 of them aliases (Enter, Esc, Del, Plus,
  // PrintScreen, ScrollLock, Pause).
  EXPECT_EQ(keyNames().size(), 108u);
  EXPECT_EQ(first.size(), 101u);
  EXPECT_EQ(keyCodeNamed("printscreen"), 105);
  EXPECT_EQ(keyCodeNamed("ContextMenu"), 110);
  EXPECT_EQ(keyCodeNamed("Keypad8"), 91);
  EXPECT_EQ(keyCodeNamed("KeypadEnter"), 76);
  EXPECT_EQ(keyNameOf(36), "Return");
  EXPECT_EQ(keyCodeNamed("esc"), 53);
  EXPECT_EQ(keyCodeNamed("PLUS"), 24);
}

// "Did you mean" only names a candidate near for the length of what was written.
TEST(RulesFile, SuggestionsAreNearForTheirLength) {
  const std::vector<std::string_view> names = {"Ctrl+L", "Ctrl+C", "Ctrl+Delete", "shortcuts",
                                               "Ctrl",   "Home",   "Escape"};
  const std::map<std::string_view, std::string_view> cases = {
      {"Ctlr", "Ctrl"},     {"shortcut", "shortcuts"},
      {"Hme", "Home"},      {"Ctrl+Deleet", "Ctrl+Delete"},
      {"Escpae", "Escape"}, {"Ctrl+Del", ""},
      {"Ctrl+Q", ""},       {"Ctrl+L+Q", ""},
      {"Hm", ""},           {"sc", ""},
      {"Ctrl+D", ""},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(closestName(text, names), expected) << text;
  }
}

TEST(RulesFile, LoadsFromTheConfigurationFolder) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("corvane-rules-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "corvane");
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  const std::filesystem::path path = rulesFilePath();
  EXPECT_EQ(path, folder / "corvane" / "rules.json");

  EXPECT_EQ(loadRulesFile(path).status, RulesLoad::Status::missing);
  std::ofstream(path) << "{\"disable\": [\"F2\"]}";
  RulesLoad load = loadRulesFile(path);
  ASSERT_EQ(load.status, RulesLoad::Status::loaded);
  EXPECT_TRUE(load.rules->disables(BuiltinCombination::f2));
  std::ofstream(path) << "{\"disable\": [\"F3\"]}";
  load = loadRulesFile(path);
  ASSERT_EQ(load.status, RulesLoad::Status::failed);
  EXPECT_EQ(load.error.line, 1);
  load = loadRulesFile(folder);
  EXPECT_EQ(load.status, RulesLoad::Status::failed);
  EXPECT_EQ(load.error.describe(), "cannot read the file: it is a folder");
  // A FIFO in the file's place with nobody writing: refused at once, never waited on.
  const std::filesystem::path fifo = folder / "fifo.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  load = loadRulesFile(fifo);
  EXPECT_EQ(load.status, RulesLoad::Status::failed);
  EXPECT_EQ(load.error.describe(), "cannot read the file: it is not a regular file");

  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);  // not absolute: ignored, as XDG says
  EXPECT_EQ(rulesFilePath(),
            std::filesystem::path(std::getenv("HOME")) / ".config/corvane/rules.json");
  ::unsetenv("XDG_CONFIG_HOME");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace corvane
