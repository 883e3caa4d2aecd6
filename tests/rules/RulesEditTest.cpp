// Edits written into rules files full of comments and odd spacing: the exact new text (the rest
// byte for byte as it was) and what the reader reads in it; the file written beside itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "RulesSummary.h"
#include "rules/RulesEdit.h"

namespace corvane::edit {
namespace {

using testing::said;
using testing::summary;

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

std::string crlf(std::string text) {
  for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
    text.insert(at, "\r");
  return text;
}

using V = std::vector<std::string>;

ShortcutDraft draft(const nlohmann::json& j) {
  return {.press = j["press"],
          .send = j.value("send", V{}),
          .open = j.value("open", ""),
          .dock = j.value("dock", 0),
          .apps = j.value("apps", V{}),
          .except = j.value("except", V{}),
          .withShift = j.value("withShift", false),
          .title = j.value("title", "")};
}

// An "edit" of edits.jsonl: the function's name, then its arguments after the text.
EditResult edited(std::string_view text, const nlohmann::json& e) {
  const std::string f = e[0];
  size_t b = 0;
  while (f.starts_with("setBuiltin") && kBuiltinCombinationNames.at(b) != e[1]) ++b;
  const auto builtin = static_cast<B>(b);
  if (f == "setBuiltinOff") return setBuiltinOff(text, builtin, e[2].get<bool>());
  if (f == "setBuiltinOffIn") return setBuiltinOffIn(text, builtin, e[2].get<V>());
  if (f == "addExclusion") return addExclusion(text, e[1].get<std::string>());
  if (f == "removeExcludedApplication")
    return removeExcludedApplication(text, e[1].get<std::string>());
  if (f == "removeExclusion") return removeExclusion(text, e[1].get<size_t>());
  if (f == "setKept") return setKept(text, e[1].get<size_t>(), e[2].get<V>());
  if (f == "setKeptFor") return setKeptFor(text, e[1].get<std::string>(), e[2].get<V>());
  if (f == "addShortcut") return addShortcut(text, draft(e[1]));
  if (f == "replaceShortcut") return replaceShortcut(text, e[1].get<size_t>(), draft(e[2]));
  if (f == "removeShortcut") return removeShortcut(text, e[1].get<size_t>());
  ADD_FAILURE() << "no edit " << f;
  return {};
}

TEST(RulesEdit, ChangesOnlyWhatItTouchesAndTheReaderReadsIt) {
  std::ifstream rows(CORVANE_SOURCE_DIR "/tests/rules/edits/edits.jsonl");
  int count = 0;
  for (std::string line; std::getline(rows, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto row = nlohmann::json::parse(line);
    const std::string from = row["from"], to = row["to"], reads = row["reads"];
    ++count;
    for (const bool crlfLines : {false, true}) {
      SCOPED_TRACE(line + (crlfLines ? " (CRLF)" : ""));
      const auto lines = [&](const std::string& t) { return crlfLines ? crlf(t) : t; };
      const std::string before = lines(sample(row["file"]));
      const EditResult result = edited(before, row["edit"]);
      if (!result.text) {
        EXPECT_PRED2(contains, result.error.describe(), reads);
        EXPECT_TRUE(from.empty()) << result.error.describe();
        continue;
      }
      std::string expected = before;
      const size_t at = expected.find(lines(from));
      ASSERT_NE(at, std::string::npos);
      expected.replace(at, lines(from).size(), lines(to));
      EXPECT_EQ(*result.text, expected);
      EXPECT_PRED2(contains, summary(*result.rules), reads);
    }
  }
  EXPECT_EQ(count, 34);
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
