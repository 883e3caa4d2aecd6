// Reading rules.json: good files and what they hold, bad files and the message a user sees.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
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

TEST(RulesFile, AGoodFileHoldsWhatItSays) {
  const RulesParse parse = parseRules(R"(
    // Applications where nothing is translated.
    {
      "exclude": ["com.apple.Terminal", "com.googlecode.iterm2"],
      "settings": { "swapFnAndControl": false },  /* PC keyboard */
      "disable": ["Shift+Tab", "f2", "ALT + F4"],
      "shortcuts": [
        { "press": "ctrl+o", "send": "Command+O" },
        { "press": "Shift+Home", "send": "Cmd+Shift+Left" },
        { "press": "F5", "send": "Cmd+R", "apps": ["browsers"], "title": "Reload" },
        { "press": "Win+T", "open": "/System/Applications/Utilities/Terminal.app" },
        { "press": "Alt+Shift+Del", "send": "Fn+Control+Esc" }
      ]
    })");
  ASSERT_TRUE(parse.rules) << parse.error.describe();
  const RulesFile& rules = *parse.rules;
  EXPECT_EQ(rules.exclude,
            (std::vector<std::string>{"com.apple.Terminal", "com.googlecode.iterm2"}));
  EXPECT_EQ(rules.swapFnAndControl, false);
  EXPECT_FALSE(rules.swapOptionAndCommand.has_value());
  EXPECT_EQ(rules.disable, (std::vector<std::string>{"Shift+Tab", "F2", "Alt+F4"}));
  EXPECT_TRUE(rules.disables(BuiltinCombination::altF4));
  EXPECT_FALSE(rules.disables(BuiltinCombination::ctrlC));
  ASSERT_EQ(rules.shortcuts.size(), 5u);

  const UserShortcut& open = rules.shortcuts[0];
  EXPECT_EQ(open.press, "Ctrl+O");
  EXPECT_EQ(open.modifiers, kModCtrl);
  EXPECT_EQ(open.keyCode, 31);
  EXPECT_EQ(open.send, "Cmd+O");
  EXPECT_EQ(open.keystrokes.at(0).postedFlags(), kFlagCommand);
  EXPECT_EQ(open.displayTitle(), "Cmd+O");
  EXPECT_EQ(open.line, 8);

  const UserShortcut& select = rules.shortcuts[1];
  EXPECT_EQ(select.modifiers, kModShift);
  EXPECT_EQ(select.keyCode, 115);
  EXPECT_EQ(select.keystrokes.at(0).keyCode, 123);
  // Arrows are posted as the keyboard sends them: with Fn and the numeric-pad flag.
  EXPECT_EQ(select.keystrokes.at(0).postedFlags(),
            kFlagCommand | kFlagShift | kFlagFn | kFlagNumericPad);

  EXPECT_EQ(rules.shortcuts[2].apps, std::vector<std::string>{"browsers"});
  EXPECT_EQ(rules.shortcuts[2].displayTitle(), "Reload");
  EXPECT_EQ(rules.shortcuts[2].keystrokes.at(0).postedFlags(), kFlagCommand);

  const UserShortcut& terminal = rules.shortcuts[3];
  EXPECT_TRUE(terminal.opens);
  EXPECT_EQ(terminal.open, "/System/Applications/Utilities/Terminal.app");
  EXPECT_EQ(terminal.displayTitle(), "Terminal");

  // Keys as the file spells them (Del, Esc), modifiers in their own order.
  EXPECT_EQ(rules.shortcuts[4].press, "Alt+Shift+Del");
  EXPECT_EQ(rules.shortcuts[4].send, "Control+Fn+Esc");
}

TEST(RulesFile, GroupsPatternsAndScopesAreResolvedWhenRead) {
  const RulesParse parse = parseRules(R"({
    "$schema": "./rules.schema.json",
    "groups": { "ides": ["jetbrains", "com.microsoft.VSCode"], "jetbrains": ["com.jetbrains.*"] },
    "exclude": ["terminals", { "apps": ["remote"], "keep": ["Alt+Tab", "win + e"] }],
    "disable": ["Ctrl+Del", "Shift+Ctrl+Tab", "alt+return", { "name": "Ctrl+C", "in": ["ides"] }],
    "shortcuts": [
      { "press": "Ctrl+Plus", "send": ["Cmd+Shift+4", "Space"], "except": ["ides"] },
      { "press": "Ctrl+Left", "send": "Option+Left", "withShift": true },
      { "press": "Win", "send": "Cmd+Space", "apps": ["browsers"] },
      { "press": "PrintScreen", "send": "Cmd+Shift+3" },
      { "press": "Keypad5", "send": "KeypadEnter" }
    ]
  })");
  ASSERT_TRUE(parse.rules) << parse.error.describe();
  const RulesFile& rules = *parse.rules;
  ASSERT_EQ(rules.groups.size(), 2u);
  EXPECT_EQ(rules.groups[0].members,
            (std::vector<std::string>{"jetbrains", "com.microsoft.VSCode"}));

  ASSERT_EQ(rules.exclusions.size(), 2u);
  EXPECT_EQ(rules.exclude, (std::vector<std::string>{"terminals", "remote"}));
  EXPECT_TRUE(rules.exclusions[0].apps.contains("net.kovidgoyal.kitty"));
  EXPECT_EQ(rules.exclusions[0].keep, 0u);
  EXPECT_TRUE(rules.exclusions[1].apps.contains("com.parallels.winapp.notepad"));
  EXPECT_FALSE(rules.exclusions[1].apps.contains("com.parallels.winapp"));
  EXPECT_EQ(rules.exclusions[1].kept, (std::vector<std::string>{"Alt+Tab", "Win+E"}));

  EXPECT_EQ(rules.disable,
            (std::vector<std::string>{"Ctrl+Delete", "Ctrl+Shift+Tab", "Alt+Enter"}));
  ASSERT_EQ(rules.disabledIn.size(), 1u);
  EXPECT_FALSE(rules.disables(BuiltinCombination::ctrlC));
  const ScopedDisable* copy = rules.disabledOnlyIn(BuiltinCombination::ctrlC);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->in.written, std::vector<std::string>{"ides"});
  EXPECT_TRUE(copy->in.contains("com.jetbrains.goland"));
  EXPECT_TRUE(copy->in.contains("com.microsoft.VSCode"));
  EXPECT_FALSE(copy->in.contains("com.microsoft.VSCodeInsiders"));

  const UserShortcut& zoom = rules.shortcuts[0];
  EXPECT_EQ(zoom.press, "Ctrl+Plus") << "the key as the file spells it";
  EXPECT_EQ(zoom.send, "Cmd+Shift+4, Space");
  ASSERT_EQ(zoom.keystrokes.size(), 2u);
  EXPECT_EQ(zoom.keystrokes[1].keyCode, 49);
  EXPECT_TRUE(zoom.apps.empty());
  EXPECT_EQ(zoom.except.written, std::vector<std::string>{"ides"});
  EXPECT_TRUE(rules.shortcuts[1].withShift);
  EXPECT_TRUE(rules.shortcuts[2].tapped);
  EXPECT_EQ(rules.shortcuts[2].modifiers, kModWin);
  EXPECT_EQ(rules.shortcuts[2].press, "Win");
  EXPECT_TRUE(rules.shortcuts[2].inApps.contains("com.apple.Safari"));
  EXPECT_EQ(rules.shortcuts[3].press, "PrintScreen");
  EXPECT_EQ(rules.shortcuts[3].keyCode, 105);
  EXPECT_EQ(rules.shortcuts[4].keystrokes[0].postedFlags(), kFlagNumericPad)
      << "the keypad is posted as the keyboard sends it";
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

TEST(RulesFile, OneShortcutPerPressInDisjointApplications) {
  const RulesParse parse = parseRules(R"({"shortcuts": [
      {"press": "F5", "send": "Cmd+R", "apps": ["com.apple.Safari"]},
      {"press": "F5", "send": "Cmd+Shift+R", "apps": ["com.google.Chrome"]},
      {"press": "Shift+F5", "send": "Cmd+R"}]})");
  EXPECT_TRUE(parse.rules) << parse.error.describe();
}

// A comma after the last member or item is allowed, also with a comment after it: uncommenting
// one line of a list never breaks the file.
TEST(RulesFile, TrailingCommasAreAllowed) {
  const RulesParse parse = parseRules(R"({
    "disable": ["F2", "Ctrl+L",],
    "shortcuts": [
      { "press": "Ctrl+O", "send": "Cmd+O", },
      // { "press": "Ctrl+H", "send": "Cmd+Option+F" },
    ],
  })");
  ASSERT_TRUE(parse.rules) << parse.error.describe();
  EXPECT_EQ(parse.rules->disable, (std::vector<std::string>{"F2", "Ctrl+L"}));
  EXPECT_EQ(parse.rules->shortcuts.size(), 1u);
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
