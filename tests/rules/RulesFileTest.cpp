// Reading rules.json: good files and what they hold, bad files and the message a user sees.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "rules/ApplicationNames.h"
#include "rules/JsonReader.h"
#include "rules/KeyNames.h"
#include "rules/RulesFile.h"
#include "rules/Text.h"

namespace corvane {
namespace {

struct BadFile {
  const char* name;
  std::string text;
  const char* message;      // as RulesError::describe() gives it
  bool schemaSees = false;  // docs/rules.schema.json refuses it too (tests/rules/check-schema.py)
};

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
  std::ofstream(std::filesystem::path(folder) /
                    (std::string(bad.name) + (bad.schemaSees ? ".sees.json" : ".blind.json")),
                std::ios::binary)
      << bad.text;
}

std::string shortcut(const char* body) {
  return std::string("{\"shortcuts\": [\n  ") + body + "\n]}";
}

INSTANTIATE_TEST_SUITE_P(
    Messages, BadRulesFile,
    ::testing::Values(
        BadFile{"Empty", "", "line 1, column 1: the file is empty: it should hold one JSON object"},
        BadFile{"OnlyComments", "// nothing\n/* at all */\n",
                "line 3, column 1: the file is empty: it should hold one JSON object"},
        BadFile{"NotAnObject", "[1]",
                "line 1, column 1: the file must hold one JSON object ({ ... }), not a list", true},
        BadFile{"UnknownMember", "{\n  \"shortcut\": []\n}",
                "line 2, column 3: unknown member \"shortcut\"; did you mean \"shortcuts\"? (the "
                "members are $schema, groups, exclude, settings, disable, shortcuts)",
                true},
        BadFile{"DuplicateMember", "{\"exclude\": [],\n \"exclude\": []}",
                "line 2, column 2: member \"exclude\" appears twice (line 1)"},
        BadFile{"TwoCommas", "{\"exclude\": [\"a.b\",,]}",
                "line 1, column 20: expected a value (a text in double quotes, a number, true, "
                "false, null, [ or {)"},
        BadFile{"CommaOnly", "{,}", "line 1, column 2: expected a member name in double quotes"},
        BadFile{"UnclosedComment", "{} /* never",
                "line 1, column 4: a /* comment is never closed with */"},
        BadFile{"UnclosedObject", "{\"exclude\": []",
                "line 1, column 1: a { is never closed with }"},
        BadFile{"SingleQuotes", "{'exclude': []}",
                "line 1, column 2: expected a member name in double quotes"},
        BadFile{"NotUtf8", "{\"exclude\": [\"caf\xE9\"]}",
                "line 1, column 18: the file is not valid UTF-8 text"},
        BadFile{"MissingComma", "{\"exclude\": [\"a.b\"]\n \"disable\": []}",
                "line 1, column 20: a , is missing after this member"},
        BadFile{"MissingCommaInAList", "{\"exclude\": [\"a.b\"\n  \"c.d\"]}",
                "line 1, column 19: a , is missing after this list item"},
        BadFile{"Utf16", std::string("\xFF\xFE{\0}\0", 6),
                "line 1, column 1: the file is UTF-16 text: save it as UTF-8"},
        BadFile{"Utf16WithoutMark", std::string("\0{\0}", 4),
                "line 1, column 1: the file is UTF-16 text: save it as UTF-8"},
        BadFile{"TextAfterTheObject", "{}\n{}",
                "line 2, column 1: unexpected text after the end of the object"},
        BadFile{"Misspelt", "{\"shortcuts\": [\n  {\"press\": \"Ctlr+O\", \"send\": \"Cmd+O\"}\n]}",
                "line 2, column 14: unknown key name \"Ctlr\"; did you mean \"Ctrl\"?", true},
        BadFile{"UnknownKey", shortcut(R"({"press": "Ctrl+Xyzzy", "send": "Cmd+O"})"),
                "line 2, column 19: unknown key name \"Xyzzy\"", true},
        BadFile{"MacNameInPress", shortcut(R"({"press": "Cmd+O", "send": "Cmd+O"})"),
                "line 2, column 14: \"Cmd\" is a Mac key; \"press\" names the Windows keys Ctrl, "
                "Win, Alt and Shift",
                true},
        BadFile{"WindowsNameInSend", shortcut(R"({"press": "Ctrl+O", "send": "Ctrl+O"})"),
                "line 2, column 32: \"Ctrl\" is a Windows key; \"send\" names Mac keys: write "
                "\"Control\"",
                true},
        BadFile{"AltInSend", shortcut(R"({"press": "Ctrl+O", "send": "alt+O"})"),
                "line 2, column 32: \"Alt\" is a Windows key; \"send\" names Mac keys: write "
                "\"Option\"",
                true},
        BadFile{"ModifierTwice", shortcut(R"({"press": "Ctrl+ctrl+O", "send": "Cmd+O"})"),
                "line 2, column 19: \"Ctrl\" is named twice"},
        BadFile{"NoKey", shortcut(R"({"press": "Ctrl+Shift", "send": "Cmd+O"})"),
                "line 2, column 19: \"press\" needs a key after its modifiers (such as Ctrl+O)",
                true},
        BadFile{
            "KeyBeforeModifier", shortcut(R"({"press": "O+Ctrl", "send": "Cmd+O"})"),
            "line 2, column 14: only the last key of \"press\" may be a key; \"O\" is not one of "
            "Ctrl, Win, Alt, Shift",
            true},
        BadFile{"EmptyPart", shortcut(R"({"press": "Ctrl++O", "send": "Cmd+O"})"),
                "line 2, column 19: a key name is missing between two +", true},
        BadFile{"NoPress", shortcut(R"({"send": "Cmd+O"})"),
                "line 2, column 3: a shortcut needs \"press\": the Windows keys to press", true},
        BadFile{"NoAction", shortcut(R"({"press": "Ctrl+O"})"),
                "line 2, column 3: a shortcut needs \"send\" (a Mac keystroke), \"open\" (an "
                "application) or \"dock\" (a Dock position)",
                true},
        BadFile{"SendAndOpen",
                shortcut(R"({"press": "Ctrl+O", "send": "Cmd+O", "open": "/A.app"})"),
                "line 2, column 40: a shortcut has one of \"send\" (a keystroke), \"open\" (an "
                "application) or \"dock\" (a Dock position), not two",
                true},
        BadFile{"DockAndOpen", shortcut(R"({"press": "Win+1", "dock": 1, "open": "/A.app"})"),
                "line 2, column 33: a shortcut has one of \"send\" (a keystroke), \"open\" (an "
                "application) or \"dock\" (a Dock position), not two",
                true},
        BadFile{"DockZero", shortcut(R"({"press": "Win+0", "dock": 0})"),
                "line 2, column 30: \"dock\" must be a position in the Dock from 1 (Finder) to 99, "
                "not 0",
                true},
        BadFile{"DockPastNinetyNine", shortcut(R"({"press": "Win+0", "dock": 100})"),
                "line 2, column 30: \"dock\" must be a position in the Dock from 1 (Finder) to 99, "
                "not 100",
                true},
        BadFile{"DockFraction", shortcut(R"({"press": "Win+0", "dock": 1.5})"),
                "line 2, column 30: \"dock\" must be a position in the Dock from 1 (Finder) to 99, "
                "not 1.5",
                true},
        BadFile{"RelativeOpen", shortcut(R"({"press": "Win+T", "open": "Terminal.app"})"),
                "line 2, column 30: \"open\" must be an absolute path (starting with /), such as "
                "\"/System/Applications/Utilities/Terminal.app\"",
                true},
        BadFile{"OpenNotAnApp", shortcut(R"({"press": "Win+T", "open": "/bin/sh"})"),
                "line 2, column 30: \"open\" must be the path of an application, ending in .app",
                true},
        BadFile{"EmptyApps", shortcut(R"({"press": "F5", "send": "Cmd+R", "apps": []})"),
                "line 2, column 44: \"apps\" must name at least one application (leave it out to "
                "apply everywhere)",
                true},
        BadFile{"UnknownShortcutMember",
                shortcut(R"({"press": "F5", "send": "Cmd+R", "app": ["x"]})"),
                "line 2, column 36: unknown member \"app\" in a shortcut; did you mean \"apps\"? "
                "(the members are press, send, open, dock, apps, except, withShift, title)",
                true},
        BadFile{"Duplicate",
                "{\"shortcuts\": [\n  {\"press\": \"Ctrl+O\", \"send\": \"Cmd+O\"},\n"
                "  {\"press\": \"ctrl + o\", \"send\": \"Cmd+P\", \"except\": [\"x.y\"]}\n]}",
                "line 3, column 13: \"Ctrl+O\" is already a shortcut (line 2) in the same "
                "applications: give one of them \"apps\" or \"except\" so that no application "
                "has both"},
        BadFile{"DuplicateThroughBrowsers",
                "{\"shortcuts\": [\n  {\"press\": \"F5\", \"send\": \"Cmd+R\", \"apps\": "
                "[\"browsers\"]},\n  {\"press\": \"F5\", \"send\": \"Cmd+R\", \"apps\": "
                "[\"com.apple.Safari\"]}\n]}",
                "line 3, column 13: \"F5\" is already a shortcut (line 2) in the same "
                "applications: give one of them \"apps\" or \"except\" so that no application "
                "has both"},
        BadFile{"UnknownBuiltin", "{\"disable\": [\"Ctrl+Q\"]}",
                "line 1, column 14: unknown built-in shortcut \"Ctrl+Q\" "
                "(the built-in ones are Win+E, Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+Z, Ctrl+Y, Ctrl+A, "
                "Ctrl+F, Ctrl+S, Ctrl+P, Ctrl+N, Ctrl+T, Ctrl+W, Ctrl+Backspace, Ctrl+Delete, "
                "Ctrl+L, Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+Shift+Esc, Shift+Tab, Alt+Enter, Alt+Tab, "
                "Alt+F4, Win+L, F2)"},
        BadFile{"UnknownGroup", "{\"exclude\": [\"Browsers\"]}",
                "line 1, column 14: unknown application group \"Browsers\"; did you mean "
                "\"browsers\"? (a bundle identifier has dots, such as \"com.apple.Terminal\"; the "
                "groups are browsers, terminals, remote)"},
        BadFile{
            "UnknownGroupAmongTheFilesOwn",
            "{\"groups\": {\"editors\": [\"com.microsoft.VSCode\"]},\n"
            " \"shortcuts\": [{\"press\": \"F5\", \"send\": \"Cmd+R\", \"apps\": [\"editor\"]}]}",
            "line 2, column 58: unknown application group \"editor\"; did you mean "
            "\"editors\"? (a bundle identifier has dots, such as \"com.apple.Terminal\"; the "
            "groups are browsers, terminals, remote, editors)"},
        BadFile{"GroupCycle", "{\"groups\": {\"a\": [\"b\"],\n  \"b\": [\"c.d\", \"a\"]}}",
                "line 2, column 16: group \"a\" names itself (a -> b -> a)"},
        BadFile{"GroupNameWithADot", "{\"groups\": {\"my.apps\": [\"c.d\"]}}",
                "line 1, column 13: a group's name has no dot or *, such as \"editors\" (it "
                "stands where bundle identifiers would)",
                true},
        BadFile{"BuiltInGroupRedefined", "{\"groups\": {\"terminals\": [\"c.d\"]}}",
                "line 1, column 13: \"terminals\" is a built-in group; give yours another name",
                true},
        BadFile{"EmptyGroup", "{\"groups\": {\"none\": []}}",
                "line 1, column 21: a group must name at least one application", true},
        BadFile{"NotAPattern", "{\"exclude\": [\"com.*.x\"]}",
                "line 1, column 14: \"com.*.x\" is not a pattern: a pattern is an identifier's "
                "beginning and \".*\", such as \"com.jetbrains.*\"",
                true},
        BadFile{"ExcludeEntryWithoutApps", "{\"exclude\": [{\"keep\": [\"Alt+Tab\"]}]}",
                "line 1, column 14: an \"exclude\" entry needs \"apps\": the applications to "
                "leave alone",
                true},
        BadFile{"ExcludeEntryMisspelt", "{\"exclude\": [{\"apps\": [\"remote\"], \"kept\": []}]}",
                "line 1, column 35: unknown member \"kept\" in an \"exclude\" entry (the members "
                "are apps, keep)",
                true},
        BadFile{
            "KeepUnknown", "{\"exclude\": [{\"apps\": [\"remote\"], \"keep\": [\"Alt+Q\"]}]}",
            "line 1, column 44: unknown built-in shortcut \"Alt+Q\" (the built-in ones are "
            "Win+E, Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+Z, Ctrl+Y, Ctrl+A, Ctrl+F, Ctrl+S, Ctrl+P, "
            "Ctrl+N, Ctrl+T, Ctrl+W, Ctrl+Backspace, Ctrl+Delete, Ctrl+L, Ctrl+Tab, "
            "Ctrl+Shift+Tab, Ctrl+Shift+Esc, Shift+Tab, Alt+Enter, Alt+Tab, Alt+F4, Win+L, F2)"},
        BadFile{"DisableEntryWithoutIn", "{\"disable\": [{\"name\": \"Ctrl+C\"}]}",
                "line 1, column 14: a \"disable\" entry needs \"in\": the applications it is off "
                "in (or write its name alone to switch it off everywhere)",
                true},
        BadFile{
            "DisabledTwiceUnderTwoSpellings",
            "{\"disable\": [\"Ctrl+Del\", {\"name\": \"ctrl + delete\", \"in\": [\"terminals\"]}]}",
            "line 1, column 35: \"ctrl + delete\" is listed twice"},
        BadFile{"DisableNotAText", "{\"disable\": [3]}",
                "line 1, column 14: each item of \"disable\" must be a text or an object, not a "
                "number",
                true},
        BadFile{
            "WithShiftOnShift",
            shortcut(R"({"press": "Ctrl+Shift+Left", "send": "Option+Left", "withShift": true})"),
            "line 2, column 55: \"withShift\" is for a \"press\" that names no Shift"},
        BadFile{"WithShiftClash",
                shortcut(R"({"press": "Ctrl+Left", "send": "Option+Left", "withShift": true},
  {"press": "Ctrl+Shift+Left", "send": "Option+Shift+Left"})"),
                "line 3, column 13: \"Ctrl+Shift+Left\" is already a shortcut (line 2) in the same "
                "applications: give one of them \"apps\" or \"except\" so that no application "
                "has both"},
        BadFile{"SequenceTooLong",
                shortcut(R"({"press": "F6", "send": ["A", "B", "C", "D", "E"]})"),
                "line 2, column 27: \"send\" is one keystroke or a list of one to 4, not 5", true},
        BadFile{"SequenceEmpty", shortcut(R"({"press": "F6", "send": []})"),
                "line 2, column 27: \"send\" is one keystroke or a list of one to 4, not 0", true},
        BadFile{"SequenceItemWrong", shortcut(R"({"press": "F6", "send": ["Cmd+A", "Ctrl+B"]})"),
                "line 2, column 38: \"Ctrl\" is a Windows key; \"send\" names Mac keys: write "
                "\"Control\"",
                true},
        BadFile{"ShiftTappedAlone", shortcut(R"({"press": "Shift", "send": "Cmd+Space"})"),
                "line 2, column 13: Shift tapped alone is no shortcut; \"press\" may be Ctrl, Win "
                "or Alt alone",
                true},
        BadFile{"TwoModifiersAlone", shortcut(R"({"press": "Ctrl+Win", "send": "Cmd+Space"})"),
                "line 2, column 19: \"press\" needs a key after its modifiers (such as Ctrl+O)",
                true},
        BadFile{"TappedTwice", shortcut(R"({"press": "Win", "send": "Cmd+Space"},
  {"press": "win", "send": "Cmd+Option+Space"})"),
                "line 3, column 13: \"Win\" is already a shortcut (line 2) in the same "
                "applications: give one of them \"apps\" or \"except\" so that no application "
                "has both"},
        BadFile{"ClashInAGroup",
                shortcut(R"({"press": "F6", "send": "Cmd+1", "apps": ["com.jetbrains.*"]},
  {"press": "F6", "send": "Cmd+2", "apps": ["com.jetbrains.pycharm"]})"),
                "line 3, column 13: \"F6\" is already a shortcut (line 2) in the same "
                "applications: give one of them \"apps\" or \"except\" so that no application "
                "has both"},
        BadFile{"SchemaNotAText", "{\"$schema\": 1}",
                "line 1, column 13: \"$schema\" must be a text, not a number", true},
        BadFile{"SettingNotBoolean", "{\"settings\": {\"swapFnAndControl\": \"no\"}}",
                "line 1, column 35: \"swapFnAndControl\" must be true or false, not a text", true},
        BadFile{"UnknownSetting", "{\"settings\": {\"swapFn\": false}}",
                "line 1, column 15: unknown member \"swapFn\" in \"settings\" (the members are "
                "swapFnAndControl, swapOptionAndCommand)",
                true},
        BadFile{"LongValueIsCut", "{\"disable\": [\"" + std::string(5000, 'x') + "\"]}",
                "line 1, column 14: unknown built-in shortcut "
                "\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\" (the built-in ones are Win+E, "
                "Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+Z, Ctrl+Y, Ctrl+A, Ctrl+F, Ctrl+S, Ctrl+P, Ctrl+N, "
                "Ctrl+T, Ctrl+W, Ctrl+Backspace, Ctrl+Delete, Ctrl+L, Ctrl+Tab, Ctrl+Shift+Tab, "
                "Ctrl+Shift+Esc, Shift+Tab, Alt+Enter, Alt+Tab, Alt+F4, Win+L, F2)",
                true},
        BadFile{"DeepNesting", std::string(100, '[') + std::string(100, ']'),
                "line 1, column 33: the file nests too deep", true},
        BadFile{"TooLarge", "{}" + std::string(kMaxRulesFileSize, ' '),
                "the file is larger than 256 KiB"},
        BadFile{"TooManyPatternsAtThe257th",
                [] {
                  std::string text = R"({"exclude": [)";
                  for (int i = 0; i < 300; ++i) {
                    text += (i == 0 ? "\n\"a.p" : ",\n\"a.p") + std::to_string(i) + ".*\"";
                  }
                  return text + "]}";
                }(),
                "line 258, column 1: the file uses more than 256 patterns (identifiers ending in "
                ".*)"}),
    [](const auto& info) { return std::string(info.param.name); });

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
