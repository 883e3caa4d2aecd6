// The window with a rules file: the fifth section, built-in rows switched off, the exclusion and
// error lines, and "Edit…". The rules are put in the manager as the program's loader does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DataRows.h"
#include "QtTestMain.h"
#include "WindowHarness.h"
#include "platform/simulated/SimulatedSession.h"
#include "rules/RuleCompiler.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/ContentView.h"
#include "ui/RulesNotes.h"
#include "ui/RulesRows.h"
#include "ui/RulesStatus.h"
#include "ui/ShortcutItem.h"
#include "ui/StarterRulesFile.h"
#include "ui/StyledText.h"

namespace corvane::ui {
namespace {

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

RulesFile parsed(std::string_view text) {
  RulesParse parse = parseRules(text);
  EXPECT_TRUE(parse.rules.has_value()) << parse.error.describe();
  return parse.rules.value_or(RulesFile{});
}

class RulesViewTest : public WindowHarness {
 protected:
  void SetUp() override {
    build(WindowServices{nullptr, opener});
    view->setRulesStatus(status);
    show();
  }
  // The texts of a row: keys, arrow, description, then any captions.
  static QStringList rowTexts(QWidget* row) {
    QStringList texts;
    for (QLabel* label : row->findChildren<QLabel*>()) texts << label->text();
    return texts;
  }
  static bool dimmed(QWidget* row) {
    auto* badge = row->findChildren<QLabel*>().first();
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(badge->graphicsEffect());
    return fade != nullptr && fade->opacity() < 1.0;
  }
  QWidget* rowOf(CollapsibleShortcutSection* section, const QString& description) {
    if (!section->isExpanded()) click(section->header());
    for (QWidget* row : section->rows()) {
      if (row->objectName() == description) return row;
    }
    ADD_FAILURE() << "no row " << description.toStdString();
    return nullptr;
  }

  QTemporaryDir folder;
  std::filesystem::path path = folder.filePath(QStringLiteral("corvane/rules.json")).toStdString();
  std::shared_ptr<RulesStatus> status = std::make_shared<RulesStatus>(path);
  std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
};

TEST_F(RulesViewTest, FifthSectionListsTheUserShortcutsRelabelledWithWhereTheyApply) {
  setRules(*manager, parsed(R"({"shortcuts": [
      {"press": "Ctrl+Shift+Home", "send": "Cmd+Shift+Up"},
      {"press": "F5", "send": "Cmd+R", "apps": ["browsers"], "title": "Reload"},
      {"press": "Alt+O", "send": "Cmd+O", "apps": ["com.apple.Safari", "org.mozilla.firefox"]},
      {"press": "Win+T", "open": "/System/Applications/Utilities/Terminal.app"},
      {"press": "Ctrl+O", "send": "Control+O", "except": ["terminals"], "withShift": true},
      {"press": "F6", "send": ["Cmd+L", "Cmd+C"], "apps": ["browsers", "com.jetbrains.*"],
       "except": ["com.apple.Safari"]},
      {"press": "Win", "send": "Cmd+Space"}]})"));
  settle();
  CollapsibleShortcutSection* section = view->userSection();
  ASSERT_TRUE(section->isVisible());
  EXPECT_EQ(section->title(), "Your Shortcuts");
  EXPECT_TRUE(section->rows().isEmpty()) << "collapsed at first";
  EXPECT_FALSE(view->showUserShortcuts());
  click(section->header());
  EXPECT_TRUE(view->showUserShortcuts());
  QStringList shown;
  for (QWidget* row : section->rows()) shown << rowTexts(row).join(QStringLiteral(" | "));
  // Both swaps on: Fn plays Ctrl, Option plays Win, Command plays Alt. Off the Mac the workspace
  // knows no names: the identifiers are shown. Scopes as the file writes them.
  EXPECT_EQ(shown.join(u'\n').toStdString(),
            "Fn + Shift + Home | → | ⌘ + ⇧ + Up\n"
            "F5 | → | Reload | in browsers\n"
            "⌘ + O | → | ⌘ + O | in com.apple.Safari, org.mozilla.firefox\n"
            "⌥ + T | → | Terminal\n"
            "Fn + O (Shift too) | → | ⌃ + O | not in terminals\n"
            "F6 | → | ⌘ + L, ⌘ + C | in browsers, com.jetbrains.*, not in com.apple.Safari\n"
            "⌥ (tapped alone) | → | ⌘ + Space");

  manager->swapFnAndControl = false;
  manager->swapOptionAndCommand = false;
  settle();
  EXPECT_EQ(rowTexts(section->rows()[0]).first(), "Ctrl + Shift + Home");
  EXPECT_EQ(rowTexts(section->rows()[2]).first(), "⌥ + O");
  EXPECT_TRUE(view->showUserShortcuts()) << "expansion survives recomposition";

  // Back to the built-in rules alone: the section goes, its expansion is kept for next time.
  manager->clearRules();
  settle();
  EXPECT_FALSE(section->isVisibleTo(&window));
  setRules(*manager, parsed(R"({"shortcuts": [{"press": "Ctrl+O", "send": "Cmd+O"}]})"));
  settle();
  ASSERT_TRUE(section->isVisible());
  ASSERT_EQ(section->rows().size(), 1);
  EXPECT_EQ(rowTexts(section->rows()[0]), (QStringList{"Ctrl + O", "→", "⌘ + O"}));

  // Thousands: only the rows in view, and near it, are made; more as they scroll into view.
  std::string many = R"({"shortcuts": [)";
  for (int i = 0; i < 3000; ++i) {
    many += (i == 0 ? "" : ",") +
            std::string(R"({"press": "Ctrl+O", "send": "Cmd+O", "apps": ["a.)") +
            std::to_string(i) + "\"]}";
  }
  setRules(*manager, parsed(many + "]}"));
  settle();
  for (const int row : {0, 2999}) {
    view->scrollArea()->ensureVisible(0,
                                      section->mapTo(view->scrollArea()->widget(), QPoint()).y() +
                                          section->height() * row / 3000);
    QTest::qWait(50);
    const QList<QWidget*> made = section->rows();
    ASSERT_FALSE(made.isEmpty());
    EXPECT_LT(made.size(), 100);
    EXPECT_EQ(rowTexts(row == 0 ? made.first() : made.last()).last(),
              "in a." + QString::number(row));
  }
}

TEST_F(RulesViewTest, ALongListOfApplicationsEndsInAnEllipsisAndTheTooltipHoldsItAll) {
  setRules(*manager, parsed(R"({"shortcuts": [
      {"press": "F5", "send": "Cmd+R", "apps": ["com.google.Chrome", "com.apple.Safari",
                                                 "org.mozilla.firefox", "com.microsoft.edgemac"]},
      {"press": "F6", "send": "Cmd+L", "apps": ["com.apple.Safari"]}]})"));
  settle();
  click(view->userSection()->header());
  settle();
  const QList<QWidget*> rows = view->userSection()->rows();
  ASSERT_EQ(rows.size(), 2);
  const QString all = QStringLiteral(
      "in com.google.Chrome, com.apple.Safari, org.mozilla.firefox, com.microsoft.edgemac");
  auto* longList = rows[0]->findChild<ElidedText*>(QStringLiteral("where"));
  ASSERT_NE(longList, nullptr);
  EXPECT_EQ(longList->text(), all);
  EXPECT_EQ(longList->toolTip(), all);
  EXPECT_TRUE(longList->shownText().endsWith(QStringLiteral("…")))
      << longList->shownText().toStdString();
  EXPECT_TRUE(all.startsWith(longList->shownText().chopped(1)));
  EXPECT_LE(longList->geometry().right(), rows[0]->width()) << "drawn inside its row";
  // A short one is shown whole.
  auto* shortList = rows[1]->findChild<ElidedText*>(QStringLiteral("where"));
  ASSERT_NE(shortList, nullptr);
  EXPECT_EQ(shortList->shownText(), QStringLiteral("in com.apple.Safari"));
}

class DisabledRows : public RulesViewTest, public ::testing::WithParamInterface<QJsonObject> {};

TEST_P(DisabledRows, AreDimmedAndMarked) {
  const QJsonObject& c = GetParam();
  const QJsonObject file{{u"disable"_s, c[u"disable"]}};
  setRules(*manager, parsed(QJsonDocument(file).toJson().toStdString()));
  settle();
  QWidget* found = nullptr;
  for (auto* section : {view->systemSection(), view->browserSection(), view->editingSection(),
                        view->filesSection()}) {
    click(section->header());
    for (QWidget* row : section->rows()) {
      const bool target = row->objectName() == c[u"description"].toString();
      if (target) found = row;
      const QStringList texts = rowTexts(row);
      if (!target) {
        EXPECT_EQ(texts.size(), 3) << row->objectName().toStdString() << " is marked";
        EXPECT_FALSE(dimmed(row)) << row->objectName().toStdString();
      }
    }
  }
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(dimmed(found), c[u"dimmed"].toBool());
  const QStringList texts = rowTexts(found);
  if (c[u"mark"].toString().isEmpty()) {
    EXPECT_EQ(texts.size(), 3);
  } else {
    EXPECT_EQ(texts.last(), c[u"mark"].toString());
    // The mark itself is never faded.
    EXPECT_EQ(found->findChild<QLabel*>(QStringLiteral("mark"))->graphicsEffect(), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(RulesView, DisabledRows,
                         ::testing::ValuesIn(corvane::testing::dataRows("ui/disabled-rows.jsonl")),
                         [](const auto& info) {
                           return info.param[u"name"].toString().toStdString();
                         });

TEST(RulesRows, EveryRowStandsForTheBuiltInsItShows) {
  std::set<BuiltinCombination> covered;
  for (std::span<const ShortcutItem> table : {std::span<const ShortcutItem>(systemShortcuts),
                                              std::span<const ShortcutItem>(browserShortcuts),
                                              std::span<const ShortcutItem>(editingShortcuts),
                                              std::span<const ShortcutItem>(fileShortcuts)}) {
    for (const ShortcutItem& item : table) {
      const auto combinations = combinationsOfRow(item);
      EXPECT_FALSE(combinations.empty()) << item.windowsKeys;
      covered.insert(combinations.begin(), combinations.end());
    }
  }
  // Every combination has a row but the two that reopen a tab.
  EXPECT_EQ(covered.size(), kBuiltinCombinationCount - 2);
  EXPECT_EQ(covered.count(BuiltinCombination::ctrlShiftTab), 0u);
  EXPECT_EQ(covered.count(BuiltinCombination::shiftTab), 0u);
}

TEST_F(RulesViewTest, ExclusionLineNamesTheApplicationsAndWhatAnEntryKeeps) {
  // Without rules: "Edit…", and neither the fifth section nor the notes.
  EXPECT_TRUE(view->editRulesButton()->isVisible());
  EXPECT_EQ(view->editRulesButton()->text(), "Edit…");
  EXPECT_FALSE(view->userSection()->isVisibleTo(&window));
  EXPECT_FALSE(view->rulesNotes()->isVisibleTo(&window));
  setRules(*manager, parsed(R"({"exclude": ["com.apple.Terminal", "com.googlecode.iterm2"]})"));
  settle();
  EXPECT_FALSE(view->userSection()->isVisibleTo(&window)) << "rules without shortcuts";
  ASSERT_TRUE(view->rulesNotes()->isVisible());
  EXPECT_TRUE(view->rulesNotes()->exclusionText()->isVisible());
  EXPECT_EQ(view->rulesNotes()->exclusionText()->text(),
            "Not translated in com.apple.Terminal, com.googlecode.iterm2");
  EXPECT_EQ(view->rulesNotes()->exclusionText()->color(), SystemColor::Secondary);
  EXPECT_FALSE(view->rulesNotes()->errorText()->isVisible());
  setRules(
      *manager,
      parsed(R"({"exclude": ["terminals", {"apps": ["remote"], "keep": ["Alt+Tab", "win+e"]}]})"));
  settle();
  EXPECT_EQ(view->rulesNotes()->exclusionText()->text(),
            "Not translated in terminals, remote; Alt+Tab, Win+E still in remote");
  manager->clearRules();
  settle();
  EXPECT_FALSE(view->rulesNotes()->isVisible());
}

TEST_F(RulesViewTest, ErrorLineInRedWithAnEditLinkUntilTheFileIsFixed) {
  ASSERT_EQ(writeStarterRulesFile(path), StarterWrite::written);
  status->setError(RulesError{3, 17, "unknown key name \"Ctlr\"; did you mean \"Ctrl\"?"});
  settle();
  RulesNotes* notes = view->rulesNotes();
  ASSERT_TRUE(notes->errorText()->isVisible());
  EXPECT_EQ(notes->errorMessage(),
            "rules.json, line 3, column 17: unknown key name \"Ctlr\"; did you mean \"Ctrl\"?");
  EXPECT_TRUE(notes->errorText()->text().startsWith(
      "rules.json, line 3, column 17: unknown key name &quot;Ctlr&quot;"));
  EXPECT_TRUE(notes->errorText()->text().contains(">Edit…</a>"));
  EXPECT_EQ(notes->errorText()->color(), SystemColor::Red);
  EXPECT_FALSE(notes->exclusionText()->isVisible());
  emit notes->errorText()->linkActivated(QStringLiteral("edit"));
  EXPECT_EQ(
      opener->opened,
      std::vector<std::string>{
          QUrl::fromLocalFile(QString::fromStdString(path.string())).toEncoded().toStdString()});
  // An error of the whole file has no position.
  status->setError(RulesError{0, 0, "the file is larger than 256 KiB"});
  settle();
  EXPECT_EQ(notes->errorMessage(), "rules.json: the file is larger than 256 KiB");
  status->setError(std::nullopt);
  settle();
  EXPECT_FALSE(notes->isVisible());
}

TEST_F(RulesViewTest, EditWritesTheStarterFileOnceAndNeverOverwrites) {
  const QString file = QString::fromStdString(path.string());
  ASSERT_FALSE(QFile::exists(file));
  click(view->editRulesButton());
  ASSERT_TRUE(QFile::exists(file)) << "written, folder and all";
  QFile starter(file);
  ASSERT_TRUE(starter.open(QIODevice::ReadOnly));
  EXPECT_EQ(starter.readAll().toStdString(), starterRulesFile());
  starter.close();
  // The schema its "$schema" names is beside it.
  QFile schema(QFileInfo(file).dir().filePath(QStringLiteral("rules.schema.json")));
  ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
  EXPECT_EQ(schema.readAll().toStdString(), kRulesSchema);
  EXPECT_TRUE(
      kRulesSchema.starts_with("{\n  \"$schema\": \"https://json-schema.org/draft/2020-12/"));
  ASSERT_EQ(opener->opened.size(), 1u);
  EXPECT_EQ(opener->opened[0], QUrl::fromLocalFile(file).toEncoded().toStdString());

  // The user's file is opened as it is.
  ASSERT_TRUE(starter.open(QIODevice::WriteOnly | QIODevice::Truncate));
  starter.write(R"({"disable": ["F2"]})");
  starter.close();
  click(view->editRulesButton());
  ASSERT_TRUE(starter.open(QIODevice::ReadOnly));
  EXPECT_EQ(starter.readAll(), R"({"disable": ["F2"]})");
  EXPECT_EQ(opener->opened.size(), 2u);
  EXPECT_EQ(writeStarterRulesFile(path), StarterWrite::existed);
}

TEST_F(RulesViewTest, EditThatOpensNothingSaysSoWithTheFilesPathToCopy) {
  const QString file = QString::fromStdString(path.string());
  StyledText* line = view->rulesNotes()->editFailureText();
  // Nothing to open the file with: the starter file is written all the same, and a line says
  // where it is, as text that can be selected.
  opener->answer = false;
  click(view->editRulesButton());
  settle();
  ASSERT_TRUE(QFile::exists(file));
  ASSERT_TRUE(line->isVisible());
  EXPECT_EQ(line->text(), QStringLiteral("No editor could be opened for the rules file: ") + file);
  EXPECT_TRUE(QFileInfo(file).isAbsolute());
  EXPECT_TRUE(line->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
  EXPECT_TRUE(line->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
  line->setSelection(0, static_cast<int>(line->text().size()));
  EXPECT_TRUE(line->selectedText().endsWith(file));
  EXPECT_EQ(line->color(), SystemColor::Red);

  // An Edit… that opens the file takes the line away.
  opener->answer = true;
  click(view->editRulesButton());
  settle();
  EXPECT_FALSE(line->isVisible());
  EXPECT_FALSE(view->rulesNotes()->isVisible());

  // A folder that cannot be made: nothing was written, and the line says that instead.
  ASSERT_TRUE(QFile::remove(file));
  ASSERT_TRUE(QDir(folder.filePath(QStringLiteral("corvane"))).removeRecursively());
  QFile blocker(folder.filePath(QStringLiteral("corvane")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  click(view->editRulesButton());
  settle();
  ASSERT_TRUE(line->isVisible());
  EXPECT_EQ(line->text(), QStringLiteral("The rules file could not be written: ") + file);
  EXPECT_EQ(opener->opened.size(), 2u) << "a file that is not there is not opened";
}

TEST(StarterRulesFile, IsAValidFileThatChangesNothingAndItsExamplesAreValidOnceUncommented) {
  RulesParse starter = parseRules(starterRulesFile());
  ASSERT_TRUE(starter.rules.has_value()) << starter.error.describe();
  EXPECT_TRUE(starter.rules->empty());

  // Taking away every "// " that starts an example line (a line whose text after it is JSON)
  // gives a file that loads with each example in use.
  QString text = QString::fromUtf8(starterRulesFile().data(),
                                   static_cast<qsizetype>(starterRulesFile().size()));
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QStringLiteral("// \"")) ||
        trimmed.startsWith(QStringLiteral("//   {")) ||
        trimmed.startsWith(QStringLiteral("// ]"))) {
      line.replace(line.indexOf(QStringLiteral("//")), 3, QString());
    }
  }
  const QByteArray uncommented = lines.join(QLatin1Char('\n')).toUtf8();
  RulesParse parse = parseRules(std::string_view(uncommented.constData(), uncommented.size()));
  ASSERT_TRUE(parse.rules.has_value()) << parse.error.describe() << "\n"
                                       << uncommented.toStdString();
  EXPECT_EQ(parse.rules->exclude.size(), 2u);
  EXPECT_EQ(parse.rules->disable.size(), 2u);
  EXPECT_EQ(parse.rules->disabledIn.size(), 1u);
  EXPECT_EQ(parse.rules->groups.size(), 1u);
  EXPECT_EQ(parse.rules->shortcuts.size(), 8u);
  EXPECT_EQ(parse.rules->swapFnAndControl, false);
}

}  // namespace
}  // namespace corvane::ui
