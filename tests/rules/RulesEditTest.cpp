// Edits written into rules files full of comments and odd spacing: the exact new text (the rest
// byte for byte as it was) and what the reader reads in it; the file written beside itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "rules/RulesEdit.h"

namespace corvane::edit {
namespace {

namespace fs = std::filesystem;
using B = BuiltinCombination;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void put(const fs::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A sample of tests/rules/edits, or the text itself when it names none.
std::string sample(const std::string& name) {
  if (!name.ends_with("json") && !name.ends_with("jsonc")) return name;
  return slurp(fs::path(CORVANE_SOURCE_DIR "/tests/rules/edits") / name);
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ",") + name;
  return out;
}

std::string said(const UserShortcut& s) {
  std::string out = s.press + "=" +
                    (s.dock    ? "dock " + std::to_string(s.dock)
                     : s.opens ? s.open
                               : s.send);
  if (!s.apps.empty()) out += "@" + joined(s.apps);
  if (!s.except.empty()) out += "!" + joined(s.except.written);
  if (s.withShift) out += "+shift";
  return s.title.empty() ? out : out + "'" + s.title + "'";
}

// What the reader read, in short: "off: F2 Ctrl+C@terminals|exclude: remote+Alt+Tab|shortcuts:
// F5=Cmd+R@browsers'Reload'|".
std::string summary(const RulesFile& rules) {
  std::string out = "off:";
  for (const std::string& name : rules.disable) out += " " + name;
  for (const ScopedDisable& d : rules.disabledIn) {
    out += " " + std::string(kBuiltinCombinationNames[static_cast<size_t>(d.combination)]) + "@" +
           joined(d.in.written);
  }
  out += "|exclude:";
  for (const Exclusion& e : rules.exclusions) {
    out += " " + joined(e.apps.written) + (e.kept.empty() ? "" : "+" + joined(e.kept));
  }
  out += "|shortcuts:";
  for (const UserShortcut& s : rules.shortcuts) out += " " + said(s);
  return out + "|";
}

std::string crlf(std::string text) {
  for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
    text.insert(at, "\r");
  return text;
}

struct Row {
  std::string file;  // a sample, or the file's text
  std::function<EditResult(std::string_view)> edit;
  std::string from, to;  // the first from in the file becomes to (both empty: nothing changes)
  std::string reads;     // part of summary() of the new text, or of the reader's refusal
};

using D = ShortcutDraft;
using V = std::vector<std::string>;

const std::vector<Row> kRows = [] {
  const D open{.press = "Ctrl+O", .send = {"Cmd+O"}, .title = "Open \"file\""};
  const D reload{.press = "F5", .send = {"Cmd+Shift+R"}, .apps = {"browsers"}, .title = "Reload"};
  const D calculator{.press = "Home", .open = "/Applications/Calculator.app", .withShift = true};
  const D shot{.press = "PrintScreen", .send = {"Cmd+Shift+4", "Space"}, .except = {"terminals"}};
  // An edit with its arguments after the text.
  const auto edit = [](auto f, auto... a) {
    return [=](std::string_view t) { return f(t, a...); };
  };
  const std::string lists = "lists.jsonc";
  const std::string wholeExclude =
      R"(["terminals", { "apps": ["remote"], "keep": ["Alt+Tab"] }, "com.example.vm"])";
  return std::vector<Row>{
      {lists, edit(setBuiltinOff, B::ctrlX, true), R"("F2",)", "\"F2\",\n    \"Ctrl+X\",",
       "off: Ctrl+Delete F2 Ctrl+X Ctrl+C@terminals|"},
      {lists, edit(setBuiltinOff, B::ctrlDelete, false),
       "    \"ctrl + del\", // word deletion the Mac way\n", "", "off: F2 Ctrl+C@terminals|"},
      {lists, edit(setBuiltinOff, B::ctrlDelete, true), "", "",
       "off: Ctrl+Delete F2 Ctrl+C@terminals|"},
      {lists, edit(setBuiltinOff, B::ctrlC, true), R"({ "name": "Ctrl+C", "in": ["terminals"] })",
       R"("Ctrl+C")", "off: Ctrl+Delete Ctrl+C F2|"},
      {lists, edit(setBuiltinOff, B::ctrlC, false),
       R"( { "name": "Ctrl+C", "in": ["terminals"] },)", "", "off: Ctrl+Delete F2|"},
      {lists, edit(setBuiltinOffIn, B::ctrlC, V{"terminals", "remote"}), R"(["terminals"] })",
       R"(["terminals", "remote"] })", " Ctrl+C@terminals,remote|"},
      {lists, edit(setBuiltinOffIn, B::f2, V{"browsers"}), R"("F2",)",
       R"({ "name": "F2", "in": ["browsers"] },)",
       "off: Ctrl+Delete Ctrl+C@terminals F2@browsers|"},
      {lists, edit(addExclusion, "com.apple.Terminal"), R"("com.example.vm"])",
       R"("com.example.vm", "com.apple.Terminal"])",
       "exclude: terminals,com.example.vm,com.apple.Terminal remote+Alt+Tab|"},
      {lists, edit(addExclusion, "terminals"), "", "",
       "exclude: terminals,com.example.vm remote+Alt+Tab|"},
      {lists, edit(removeExclusion, size_t{0}), wholeExclude,
       R"([{ "apps": ["remote"], "keep": ["Alt+Tab"] }])", "exclude: remote+Alt+Tab|"},
      {lists, [](auto t) { return removeExcludedApplication(t, "terminals"); }, R"("terminals", )",
       "", "exclude: com.example.vm remote+Alt+Tab|"},
      {lists, edit(removeExclusion, size_t{1}), R"({ "apps": ["remote"], "keep": ["Alt+Tab"] }, )",
       "", "exclude: terminals,com.example.vm|"},
      {lists, edit(setKept, size_t{1}, V{"Alt+Tab", "Win+E"}), R"(["Alt+Tab"])",
       R"(["Alt+Tab", "Win+E"])", " remote+Alt+Tab,Win+E|"},
      {lists, edit(setKept, size_t{1}, V{}), R"(, "keep": ["Alt+Tab"])", "",
       "exclude: terminals,com.example.vm remote|"},
      {lists, edit(setKept, size_t{0}, V{"Win+L"}), wholeExclude,
       R"([{ "apps": ["terminals", "com.example.vm"], "keep": ["Win+L"] }, { "apps": ["remote"], "keep": ["Alt+Tab"] }])",
       "exclude: terminals,com.example.vm+Win+L remote+Alt+Tab|"},
      {lists, [](auto t) { return setKeptFor(t, "terminals", V{"Win+L"}); }, wholeExclude,
       R"([{ "apps": ["remote"], "keep": ["Alt+Tab"] }, "com.example.vm", { "apps": ["terminals"], "keep": ["Win+L"] }])",
       "exclude: com.example.vm remote+Alt+Tab terminals+Win+L|"},
      {lists, edit(addShortcut, open), "    },\n    // {",
       "    },\n    { \"press\": \"Ctrl+O\", \"send\": \"Cmd+O\", \"title\": \"Open \\\"file\\\"\" "
       "},\n    // {",
       " Ctrl+O=Cmd+O'Open \"file\"'|"},
      {lists, edit(replaceShortcut, size_t{1}, reload),
       "\"Cmd+R\", // reload\n      \"apps\": [\"browsers\"]\n",
       "\"Cmd+Shift+R\", // reload\n      \"apps\": [\"browsers\"],\n      \"title\": \"Reload\"\n",
       " F5=Cmd+Shift+R@browsers'Reload'|"},
      {lists, edit(replaceShortcut, size_t{0}, calculator), R"("send": "Cmd+Left" })",
       R"("open": "/Applications/Calculator.app", "withShift": true })",
       "shortcuts: Home=/Applications/Calculator.app+shift F5"},
      {lists, edit(removeShortcut, size_t{0}),
       "    { \"press\": \"Home\", \"send\": \"Cmd+Left\" },  // start of line\n", "",
       "shortcuts: F5=Cmd+R@browsers|"},
      {lists, edit(removeShortcut, size_t{1}),
       "    {\n      \"press\": \"f5\",\n      \"send\": \"Cmd+R\", // reload\n      \"apps\": "
       "[\"browsers\"]\n    },\n",
       "", "shortcuts: Home=Cmd+Left|"},
      {lists, edit(addShortcut, D{.press = "home", .send = {"Cmd+Up"}}), "", "",
       "line 17, column 16: \"Home\" is already a shortcut (line 11)"},
      {"oneline.json", edit(setBuiltinOff, B::ctrlY, true), "false }}",
       R"(false }, "disable": ["Ctrl+Y"]})", "off: Ctrl+Y|"},
      {"oneline.json", edit(setBuiltinOffIn, B::altF4, V{"remote"}), "false }}",
       R"(false }, "disable": [{ "name": "Alt+F4", "in": ["remote"] }]})", "off: Alt+F4@remote|"},
      {"oneline.json", edit(addExclusion, "com.apple.Terminal"), R"(["terminals"])",
       R"(["terminals", "com.apple.Terminal"])", "exclude: terminals,com.apple.Terminal|"},
      {"oneline.json", edit(removeExclusion, size_t{0}), R"(["terminals"])", "[]", "exclude:|"},
      {"oneline.json", edit(addExclusion, "nogroup"), "", "", "\"nogroup\""},
      {"starter.jsonc", edit(setBuiltinOff, B::f2, true), "\"./rules.schema.json\",",
       "\"./rules.schema.json\",\n  \"disable\": [\"F2\"],", "off: F2|"},
      {"starter.jsonc", edit(addShortcut, D{.press = "Win+2", .dock = 2}),
       "\"./rules.schema.json\",",
       "\"./rules.schema.json\",\n  \"shortcuts\": [\n    { \"press\": \"Win+2\", \"dock\": 2 }\n  "
       "],",
       "shortcuts: Win+2=dock 2|"},
      {"{}", edit(addShortcut, shot), "{}",
       R"({ "shortcuts": [{ "press": "PrintScreen", "send": ["Cmd+Shift+4", "Space"], "except": ["terminals"] }] })",
       "shortcuts: PrintScreen=Cmd+Shift+4, Space!terminals|"},
      {"{ \"exclude\": [\n    // none yet\n  ]\n}", edit(addExclusion, "terminals"), "[",
       "[\n    \"terminals\"", "exclude: terminals|"},
      {"{ \"disable\": [\n  \"F2\" // rename\n] }", edit(setBuiltinOff, B::ctrlX, true),
       "\"F2\" // rename", "\"F2\", // rename\n  \"Ctrl+X\"", "off: F2 Ctrl+X|"},
      {"{ \"disable\": [ }", edit(setBuiltinOff, B::f2, true), "", "",
       "line 1, column 16: expected a value"},
      {"  // nothing\n", edit(setBuiltinOff, B::f2, true), "", "", "the file is empty"},
  };
}();

TEST(RulesEdit, ChangesOnlyWhatItTouchesAndTheReaderReadsIt) {
  for (const Row& row : kRows) {
    for (const bool crlfLines : {false, true}) {
      SCOPED_TRACE(row.file + " " + row.from + (crlfLines ? " (CRLF)" : ""));
      const auto lines = [&](const std::string& t) { return crlfLines ? crlf(t) : t; };
      const std::string before = lines(sample(row.file));
      const EditResult result = row.edit(before);
      if (!result.text) {
        EXPECT_PRED2(contains, result.error.describe(), row.reads);
        EXPECT_TRUE(row.from.empty()) << result.error.describe();
        continue;
      }
      std::string expected = before;
      const size_t at = expected.find(lines(row.from));
      ASSERT_NE(at, std::string::npos);
      expected.replace(at, lines(row.from).size(), lines(row.to));
      EXPECT_EQ(*result.text, expected);
      EXPECT_PRED2(contains, summary(*result.rules), row.reads);
    }
  }
}

TEST(RulesEdit, ADraftOfAShortcutWritesItAgain) {
  const RulesFile rules = *parseRules(R"({ "shortcuts": [
      { "press": "ctrl+left", "send": ["option+left", "Space"], "except": ["terminals"],
        "withShift": true, "title": "Word" },
      { "press": "Win+2", "dock": 2, "apps": ["browsers"] },
      { "press": "alt", "open": "/Applications/Calculator.app/" } ] })")
                               .rules;
  for (const UserShortcut& shortcut : rules.shortcuts) {
    const EditResult again = addShortcut("{}", draftOf(shortcut));
    EXPECT_EQ(said(again.rules->shortcuts.at(0)), said(shortcut));
  }
}

TEST(RulesFileEditor, WritesAtomicallyOnlyOverWhatItRead) {
  using O = RulesFileEditor::Outcome;
  const fs::path dir = fs::path(::testing::TempDir()) / ("edits-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  const std::string starter = sample("starter.jsonc");
  const auto offF2 = [](std::string_view t) { return setBuiltinOff(t, B::f2, true); };
  const auto exclude = [](std::string app) { return [=](auto t) { return addExclusion(t, app); }; };

  // No file, no folder: the starter with the edit in it; undo takes the file away again.
  RulesFileEditor fresh(dir / "new" / "rules.json", starter);
  EXPECT_FALSE(fresh.exists());
  EXPECT_EQ(fresh.apply(offF2).outcome, O::written);
  EXPECT_EQ(slurp(dir / "new" / "rules.json"), *setBuiltinOff(starter, B::f2, true).text);
  EXPECT_EQ(fresh.undo().outcome, O::written);
  EXPECT_FALSE(fs::exists(dir / "new" / "rules.json"));
  EXPECT_EQ(fresh.text(), starter);

  // Through a symbolic link to its target, keeping its permissions, past a crash's leftover.
  const fs::path real = dir / "real" / "rules.json";
  fs::create_directories(dir / "real");
  fs::create_directories(dir / "config");
  put(real, "{ }");
  ::chmod(real.c_str(), 0600);
  put(dir / "real" / (".rules.json." + std::to_string(::getpid()) + ".new"), "{ \"half");
  fs::create_symlink("../real/rules.json", dir / "config" / "rules.json");
  RulesFileEditor linked(dir / "config" / "rules.json", starter);
  EXPECT_EQ(linked.apply(exclude("terminals")).outcome, O::written);
  EXPECT_TRUE(fs::is_symlink(dir / "config" / "rules.json"));
  EXPECT_EQ(slurp(real), R"({ "exclude": ["terminals"] })");
  EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), {}), 1);
  EXPECT_EQ(linked.apply(exclude("terminals")).outcome, O::unchanged);

  // A refused edit, or a file changed since it was read: nothing written.
  const RulesFileEditor::Result refused = linked.apply(exclude("nogroup"));
  EXPECT_EQ(refused.outcome, O::refused);
  EXPECT_PRED2(contains, refused.error.message, "nogroup");
  put(real, "{}");
  EXPECT_EQ(linked.apply(offF2).outcome, O::changedOnDisk);
  EXPECT_EQ(linked.undo().outcome, O::changedOnDisk);
  EXPECT_EQ(slurp(real), "{}");
  linked.reload();
  EXPECT_FALSE(linked.canUndo());
  EXPECT_EQ(linked.apply(offF2).outcome, O::written);
  EXPECT_EQ(linked.undo().outcome, O::written);
  EXPECT_EQ(slurp(real), "{}");
  // What cannot be read is not written either, and says why.
  const RulesFileEditor::Result blocked = RulesFileEditor(real / "x", "{}").apply(offF2);
  EXPECT_EQ(blocked.error.message, "cannot read " + (real / "x").string() + ": Not a directory");
  fs::remove(real);
  EXPECT_EQ(linked.apply(offF2).outcome, O::changedOnDisk);
  EXPECT_FALSE(fs::exists(real));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace corvane::edit
