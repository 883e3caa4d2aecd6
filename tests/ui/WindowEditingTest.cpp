// The window's edits of the rules file with real clicks and keys (ctest runs these under Xvfb
// too): each control writes what it says into a file full of comments, the reader reads the
// intended rules back, every comment stays, Undo brings the text back byte for byte, and a file
// changed on disk is never written over.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "RulesSummary.h"
#include "WindowHarness.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/ExclusionList.h"
#include "ui/RulesEditing.h"
#include "ui/RulesNotes.h"
#include "ui/ShortcutEditor.h"
#include "ui/StyledText.h"

namespace corvane::ui {
namespace {

constexpr const char* kComments[] = {"// My rules, by hand.", "/* leave these alone */",
                                     "// a terminal", "// the Mac's own", "// the end"};
constexpr const char* kFile = R"(// My rules, by hand.
{
  /* leave these alone */ "exclude": [ "com.apple.Terminal" , // a terminal
      { "apps": ["remote"], "keep": ["Alt+Tab"] } ],
  "disable": [  // the Mac's own
    "Ctrl+Backspace",
    { "name": "Ctrl+C", "in": ["terminals"] },
  ],
  // the end
}
)";

class FrontmostSafari final : public ApplicationCatalog {
 public:
  std::vector<ApplicationEntry> installedApplications() override { return {}; }
  std::vector<ApplicationEntry> runningApplications() override { return {}; }
  std::optional<ApplicationEntry> frontmostBeforeWindow() override {
    return ApplicationEntry{"com.apple.Safari", "Safari", "/Applications/Safari.app"};
  }
};

class WindowEditingTest : public WindowHarness {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << kFile;
    build(WindowServices{nullptr, nullptr, std::make_shared<FrontmostSafari>()});
    view->setRulesStatus(status);
    show(/*active=*/true);
    settle();
  }
  std::string onDisk() const {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }
  BuiltinSwitch* switchOf(CollapsibleShortcutSection* section, const char* description) {
    if (!section->isExpanded()) click(section->header());
    settle();
    for (QWidget* row : section->rows()) {
      if (row->objectName() == QString::fromUtf8(description)) {
        return row->findChild<BuiltinSwitch*>();
      }
    }
    return nullptr;
  }
  void clickSwitch(CollapsibleShortcutSection* section, const char* description) {
    BuiltinSwitch* toggle = switchOf(section, description);
    ASSERT_NE(toggle, nullptr) << description;
    click(toggle);
    settle();
  }
  void clickEntry(int entry, const char* link) {
    QWidget* row = view->exclusionList()->entries().value(entry);
    ASSERT_NE(row, nullptr);
    click(row->findChild<QWidget*>(QString::fromLatin1(link)));
    settle();
  }

  QTemporaryDir folder;
  std::filesystem::path path = folder.filePath(QStringLiteral("corvane/rules.json")).toStdString();
  std::shared_ptr<RulesStatus> status = std::make_shared<RulesStatus>(path);
};

TEST_F(WindowEditingTest, EachControlWritesItsEditAndLeavesTheRestOfTheText) {
  struct Case {
    const char* what;
    std::function<void()> act;
    const char* reads;  // the file's summary() after it
  };
  const Case cases[] = {
      {"a switch off", [this] { clickSwitch(view->filesSection(), "Save"); },
       "off: Ctrl+Backspace Ctrl+S Ctrl+C@terminals|exclude: com.apple.Terminal "
       "remote+Alt+Tab|shortcuts:|"},
      {"Tab from the header to the fourth switch, Space",
       [this] {
         BuiltinSwitch* toggle = switchOf(view->filesSection(), "Rename File");
         view->filesSection()->header()->setFocus(Qt::TabFocusReason);
         for (int i = 0; i < 4; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
         ASSERT_EQ(QApplication::focusWidget(), toggle);
         EXPECT_EQ(toggle->accessibleName(), "Rename File (F2)");
         QTest::keyClick(toggle, Qt::Key_Space);
       },
       "off: Ctrl+Backspace F2 Ctrl+C@terminals|exclude: com.apple.Terminal "
       "remote+Alt+Tab|shortcuts:|"},
      {"a row of two, one off: both on",
       [this] { clickSwitch(view->editingSection(), "Delete Word: Previous (⌫), Next (Del)"); },
       "off: Ctrl+C@terminals|exclude: com.apple.Terminal remote+Alt+Tab|shortcuts:|"},
      {"a switch off in terminals: on", [this] { clickSwitch(view->editingSection(), "Copy"); },
       "off: Ctrl+Backspace|exclude: com.apple.Terminal remote+Alt+Tab|shortcuts:|"},
      {"remove an exclusion", [this] { clickEntry(0, "remove"); },
       "off: Ctrl+Backspace Ctrl+C@terminals|exclude: remote+Alt+Tab|shortcuts:|"},
      {"leave Safari alone", [this] { click(view->exclusionList()->leaveAloneButton()); },
       "off: Ctrl+Backspace Ctrl+C@terminals|exclude: com.apple.Terminal,com.apple.Safari "
       "remote+Alt+Tab|shortcuts:|"},
      {"keep Win+E in Terminal, a plain name: an entry of its own",
       [this] {
         clickEntry(0, "keep");
         QMenu* menu = view->exclusionList()->keepMenu();
         ASSERT_NE(menu, nullptr);
         ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
         QAction* winE = menu->actions().value(0);
         QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(winE).center());
         settle();
       },
       "off: Ctrl+Backspace Ctrl+C@terminals|exclude: remote+Alt+Tab "
       "com.apple.Terminal+Win+E|shortcuts:|"},
      {"keep Win+E in remote",
       [this] {
         clickEntry(1, "keep");
         QMenu* menu = view->exclusionList()->keepMenu();
         ASSERT_NE(menu, nullptr);
         ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
         QAction* winE = menu->actions().value(0);
         ASSERT_EQ(winE->text(), "Win+E");
         QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(winE).center());
         settle();
       },
       "off: Ctrl+Backspace Ctrl+C@terminals|exclude: com.apple.Terminal "
       "remote+Alt+Tab,Win+E|shortcuts:|"},
      {"Add shortcut…: Ctrl+O recorded (Fn plays Ctrl), Cmd+O typed, Save",
       [this] {
         manager->start();  // the tap set up before the keys come, however busy the machine
         ASSERT_TRUE(session->waitForTapSetups(1, std::chrono::milliseconds(10'000)));
         click(view->addShortcutButton());
         auto* editor = view->findChild<ShortcutEditor*>();
         ASSERT_NE(editor, nullptr);
         editor->activateWindow();
         editor->pressRecorder()->setFocus(Qt::TabFocusReason);
         for (const auto& [type, flags] : {std::pair{kEventKeyDown, kFlagFn}, {kEventKeyUp, 0}})
           session->keyboardEvent(type, 31, flags);
         session->settle();
         editor->drain();
         editor->sendKeys()->setText(QStringLiteral("Cmd+O"));
         editor->waitForCheck();
         click(editor->saveButton());
         settle();
         manager->stop();
       },
       "off: Ctrl+Backspace Ctrl+C@terminals|exclude: com.apple.Terminal remote+Alt+Tab|shortcuts: "
       "Ctrl+O=Cmd+O|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << kFile;
    view->reloadRulesFile();
    settle();
    c.act();
    const std::string text = onDisk();
    ASSERT_NE(text, kFile) << "nothing written";
    const RulesParse parse = parseRules(text);
    ASSERT_TRUE(parse.rules) << parse.error.describe();
    EXPECT_EQ(testing::summary(*parse.rules), c.reads);
    for (const char* comment : kComments)
      EXPECT_NE(text.find(comment), std::string::npos) << comment;
    EXPECT_FALSE(view->rulesNotes()->editProblemText()->isVisible());
  }
}

TEST_F(WindowEditingTest, UndoWritesTheTextBackAndAFileChangedOnDiskIsNeverWrittenOver) {
  EXPECT_FALSE(view->undoButton()->isVisible());
  clickSwitch(view->filesSection(), "Save");
  status->noteFileReread();  // the loader read the window's own write: undo stays
  clickSwitch(view->filesSection(), "Print");
  ASSERT_TRUE(view->undoButton()->isVisible());
  click(view->undoButton());
  settle();
  EXPECT_EQ(parseRules(onDisk()).rules->disable,
            (std::vector<std::string>{"Ctrl+Backspace", "Ctrl+S"}));
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
  settle();
  EXPECT_EQ(onDisk(), kFile);
  EXPECT_FALSE(view->undoButton()->isVisible());

  // Someone else's save, not yet read: nothing is written, the switch stays, Reload reads it.
  const std::string theirs = std::string(kFile) + "// theirs\n";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << theirs;
  clickSwitch(view->filesSection(), "Save");
  EXPECT_EQ(onDisk(), theirs);
  EXPECT_EQ(switchOf(view->filesSection(), "Save")->checkState(), Qt::Checked);
  StyledText* line = view->rulesNotes()->editProblemText();
  ASSERT_TRUE(line->isVisible());
  EXPECT_TRUE(line->text().startsWith(QString::fromUtf8(kChangedOnDiskLine)));
  EXPECT_TRUE(line->text().contains(">Reload</a>"));
  emit line->linkActivated(QStringLiteral("reload"));
  settle();
  EXPECT_FALSE(line->isVisible());
  clickSwitch(view->filesSection(), "Save");
  EXPECT_TRUE(parseRules(onDisk()).rules->disables(BuiltinCombination::ctrlS));
  EXPECT_NE(onDisk().find("// theirs"), std::string::npos);

  // A save the loader reports is read at once; closing the window ends undo.
  std::ofstream(path, std::ios::binary | std::ios::app) << "// more\n";
  status->noteFileReread();
  clickSwitch(view->filesSection(), "Print");
  EXPECT_TRUE(parseRules(onDisk()).rules->disables(BuiltinCombination::ctrlP));
  window.hide();
  EXPECT_FALSE(view->rulesFileEditor().canUndo());
}

}  // namespace
}  // namespace corvane::ui
