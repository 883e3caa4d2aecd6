// The shortcut editor on a manager whose tap runs on a simulated session: presses recorded
// through the tap as the engine reads them (and typed into the recorder as the key viewer's keys
// are), each kind of action and place read back by the reader, a draft the reader refuses never
// saved, the recorder stopped however the dialog goes; and the simulated application catalog.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <functional>

#include "WindowHarness.h"
#include "app/LinuxShellServices.h"
#include "ui/ShortcutEditor.h"
#include "ui/StyledText.h"

namespace corvane::ui {
namespace {

const char* const kFile = R"({
  // mine
  "shortcuts": [ { "press": "Home", "send": "Cmd+Left", "title": "Start of line" } ],
})";

class ShortcutEditorTest : public WindowHarness {
 protected:
  void SetUp() override {
    manager->start();
    ASSERT_TRUE(session->waitForTapSetups(1, std::chrono::milliseconds(10'000)));
  }
  void open(std::optional<size_t> index = std::nullopt, bool swaps = false) {
    manager->swapFnAndControl = swaps;
    manager->swapOptionAndCommand = swaps;
    editor = std::make_unique<ShortcutEditor>(manager, WindowServices{nullptr, nullptr, catalog},
                                              kFile, index, nullptr);
    editor->show();
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
  }
  // Events of the keyboard, then the editor's drain as its timer would.
  using Event = std::tuple<EventType, int64_t, EventFlags>;
  void keys(const std::vector<Event>& events) {
    for (const auto& [type, code, flags] : events) session->keyboardEvent(type, code, flags);
    session->settle();
    editor->drain();
  }
  void record(const std::string& press) {
    editor->pressRecorder()->setFocus();
    const auto held = static_cast<EventFlags>(press.starts_with("Ctrl+") ? kFlagControl : 0);
    keys({{kEventKeyDown, press.ends_with("O") ? 31 : 8, held},
          {kEventKeyUp, press.ends_with("O") ? 31 : 8, held}});
    ASSERT_EQ(editor->draft().press, press);
  }
  // The draft saved, read back from the file it is written into.
  UserShortcut saved() {
    editor->waitForCheck();
    EXPECT_TRUE(editor->saveButton()->isEnabled()) << editor->verdict()->text().toStdString();
    click(editor->saveButton());
    EXPECT_EQ(editor->result(), QDialog::Accepted);
    const edit::EditResult result = edit::addShortcut(kFile, editor->draft());
    if (!result.rules) ADD_FAILURE() << result.error.message;
    return result.rules ? result.rules->shortcuts.back() : UserShortcut{};
  }

  std::shared_ptr<SimulatedApplicationCatalog> catalog =
      std::make_shared<SimulatedApplicationCatalog>(session.get());
  std::unique_ptr<ShortcutEditor> editor;
};

TEST_F(ShortcutEditorTest, RecordsOnePressAsTheEngineReadsItAndTakesItFromEveryone) {
  struct Row {
    bool swaps;
    std::vector<Event> events;
    const char* press;
    const char* shown;
  };
  const Row rows[] = {
      {false,
       {{kEventKeyDown, 115, kFlagControl | kFlagShift | kFlagFn}},
       "Ctrl+Shift+Home",
       "Ctrl + Shift + Home"},
      // Fn held plays Ctrl (both swaps on); the function key's own Fn flag alone does not.
      {true,
       {{kEventFlagsChanged, 63, kFlagFn},
        {kEventKeyDown, 123, kFlagFn},
        {kEventFlagsChanged, 63, 0}},
       "Ctrl+Left",
       "Ctrl + Left"},
      {true, {{kEventKeyDown, 105, kFlagFn}}, "PrintScreen", "PrintScreen"},
      {true, {{kEventKeyDown, 48, kFlagCommand}}, "Alt+Tab", "Alt + Tab"},
      {false,
       {{kEventFlagsChanged, 55, kFlagCommand}, {kEventFlagsChanged, 55, 0}},
       "Win",
       "Win (tapped alone)"},
  };
  for (const Row& row : rows) {
    open(std::nullopt, row.swaps);
    ASSERT_TRUE(manager->isRecording()) << "a new shortcut starts in its recorder";
    session->clearRecords();
    keys(row.events);
    EXPECT_EQ(editor->draft().press, row.press);
    EXPECT_EQ(editor->pressRecorder()->text(), QString::fromUtf8(row.shown)) << row.press;
    EXPECT_FALSE(manager->isRecording()) << row.press;
    // Each key-down keeps its key-up; after the press the recorder has let go.
    for (const auto& [type, code, flags] : row.events) {
      if (type == kEventKeyDown) session->keyboardEvent(kEventKeyUp, code, flags);
    }
    keys({{kEventKeyDown, 4, 0}});
    // The press reached no application (nor anything it would translate to); H after it did.
    const std::vector<sim::ReceivedEvent> received = session->received();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().keyCode, 4);
    for (const sim::ReceivedEvent& event : received) {
      EXPECT_TRUE(event.type == kEventFlagsChanged || event.keyCode == 4) << row.press;
    }
    EXPECT_TRUE(session->posted().empty() && session->openRequests().empty()) << row.press;
    session->keyboardEvent(kEventKeyUp, 4, 0);
  }
}

TEST_F(ShortcutEditorTest, EachActionAndPlaceReadsBackThroughTheReader) {
  struct Row {
    const char* press;
    std::function<void(ShortcutEditor&)> pick;
    std::function<void(const UserShortcut&)> expect;
  };
  const auto tick = [](ShortcutEditor& e, const char* id) {
    for (int i = 0; i < e.applicationList()->count(); ++i) {
      if (e.applicationList()->item(i)->data(Qt::UserRole) == id) {
        e.applicationList()->item(i)->setCheckState(Qt::Checked);
      }
    }
  };
  const Row rows[] = {
      {"Ctrl+O", [](ShortcutEditor& e) { e.sendKeys()->setText("Cmd+Shift+4 ,Space"); },
       [](const UserShortcut& s) {
         EXPECT_EQ(s.send, "Cmd+Shift+4, Space");
         EXPECT_TRUE(s.apps.empty() && s.except.empty());
       }},
      {"Ctrl+O",
       [](ShortcutEditor& e) {
         e.actionPicker()->setCurrentIndex(ShortcutEditor::openApplication);
         e.applicationPicker()->setCurrentText("Terminal");
         e.wherePicker()->setCurrentIndex(ShortcutEditor::inGroup);
         e.groupPicker()->setCurrentText("browsers");
       },
       [](const UserShortcut& s) {
         EXPECT_EQ(s.open, "/System/Applications/Utilities/Terminal.app");
         EXPECT_EQ(s.apps, std::vector<std::string>{"browsers"});
       }},
      {"C",
       [&](ShortcutEditor& e) {
         e.actionPicker()->setCurrentIndex(ShortcutEditor::openDockPosition);
         e.dockPosition()->setValue(3);
         e.wherePicker()->setCurrentIndex(ShortcutEditor::inApplications);
         tick(e, "com.apple.Safari");
         tick(e, "com.apple.finder");
       },
       [](const UserShortcut& s) {
         EXPECT_EQ(s.dock, 3);
         EXPECT_EQ(s.apps, (std::vector<std::string>{"com.apple.finder", "com.apple.Safari"}));
       }},
      // Keys to send recorded by the second recorder; a title; Shift too.
      {"Ctrl+O",
       [&](ShortcutEditor& e) {
         e.sendRecorder()->setFocus();
         session->keyboardEvent(kEventKeyDown, 15, kFlagCommand | kFlagOption);
         session->settle();
         e.drain();
         e.wherePicker()->setCurrentIndex(ShortcutEditor::exceptApplications);
         tick(e, "com.apple.Terminal");
         e.title()->setText("  Reload  ");
         e.withShift()->setChecked(true);
       },
       [](const UserShortcut& s) {
         EXPECT_EQ(s.send, "Cmd+Option+R");
         EXPECT_EQ(s.except.written, std::vector<std::string>{"com.apple.Terminal"});
         EXPECT_EQ(s.title, "Reload");
         EXPECT_TRUE(s.withShift);
       }},
  };
  for (const Row& row : rows) {
    open();
    record(row.press);
    row.pick(*editor);
    const UserShortcut shortcut = saved();
    EXPECT_EQ(shortcut.press, row.press);
    row.expect(shortcut);
  }
  // A change starts from the entry it changes, and keeps what it does not touch.
  open(0);
  EXPECT_EQ(editor->windowTitle(), "Change Shortcut");
  EXPECT_FALSE(manager->isRecording()) << "a change starts from what happens";
  EXPECT_EQ(editor->pressRecorder()->text(), "Home");
  EXPECT_EQ(editor->sendKeys()->text(), "Cmd+Left");
  editor->title()->setText("Line start");
  editor->waitForCheck();
  const edit::EditResult changed = edit::replaceShortcut(kFile, 0, editor->draft());
  ASSERT_TRUE(changed.text) << changed.error.message;
  EXPECT_NE(changed.text->find("// mine"), std::string::npos);
  EXPECT_EQ(changed.rules->shortcuts.at(0).title, "Line start");
}

TEST_F(ShortcutEditorTest, SaysWhatTheReaderWouldSayAndSavesNothingItRefuses) {
  struct Row {
    const char* press;
    const char* send;
    bool acceptable;
    const char* says;
  };
  const Row rows[] = {
      {"Ctrl+C", "Control+C", true, "Replaces the built-in Ctrl+C (Copy) everywhere."},
      {"Ctrl+O", "Ctrl+O", false, "\"Ctrl\" is a Windows key"},
      {"Ctrl+O", "A, B, C, D, E", false, "The rules file would refuse this"},
      {"Ctrl+O", "", false, "The rules file would refuse this"},
  };
  for (const Row& row : rows) {
    open();
    record(row.press);
    editor->sendKeys()->setText(row.send);
    editor->waitForCheck();
    EXPECT_EQ(editor->saveButton()->isEnabled(), row.acceptable) << row.send;
    EXPECT_TRUE(editor->verdict()->text().contains(row.says))
        << editor->verdict()->text().toStdString();
    editor->accept();
    EXPECT_EQ(editor->isVisible(), !row.acceptable) << row.send;
  }
}

TEST_F(ShortcutEditorTest, TheRecorderStopsWhateverHappensToTheDialog) {
  const std::function<void(ShortcutEditor&)> ends[] = {
      [](ShortcutEditor& e) { e.reject(); },
      [](ShortcutEditor& e) { e.title()->setFocus(); },
      [](ShortcutEditor& e) { e.hide(); },
      [this](ShortcutEditor&) { editor.reset(); },
  };
  for (const auto& end : ends) {
    open();
    ASSERT_TRUE(manager->isRecording());
    end(*editor);
    EXPECT_FALSE(manager->isRecording());
  }
}

// Off the Mac, keys typed into the recorder go to the session as a PC keyboard on a Mac sends
// them; Esc and Tab are recorded like any key, and after the press Tab moves on.
TEST_F(ShortcutEditorTest, KeysTypedIntoTheRecorderAreReadAsThePcKeyboardSendsThem) {
  open();
  QTest::keyClick(editor->pressRecorder(), Qt::Key_Escape, Qt::ControlModifier);
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->draft().press, "Ctrl+Escape");
  QTest::keyClick(editor->pressRecorder(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), editor->withShift());
  EXPECT_EQ(editor->draft().press, "Ctrl+Escape");

  if (QGuiApplication::platformName() != QStringLiteral("xcb") ||
      QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
    GTEST_SKIP() << "real key presses need an X server and xdotool";
  }
  const std::pair<const char*, const char*> typed[] = {
      {"ctrl+shift+Home", "Ctrl+Shift+Home"}, {"super+e", "Win+E"}, {"alt+F4", "Alt+F4"}};
  for (const auto& [keys, press] : typed) {
    editor->pressRecorder()->setFocus();
    ASSERT_TRUE(manager->isRecording());
    ASSERT_EQ(QProcess::execute("xdotool", {"key", keys}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor->draft().press == press; }, 5000)) << keys;
    editor->title()->setFocus();
  }
}

TEST(SimulatedApplicationCatalogTest, OffersTheSessionsApplications) {
  auto session = std::make_shared<sim::SimulatedSession>();
  session->setApplications(
      {{"com.apple.finder", "Finder", "/System/Library/CoreServices/Finder.app", true},
       {"org.x.Zed", "Zed", "/Applications/Zed.app", true},
       {"org.x.Ace", "Ace", "/Applications/Utilities/Ace.app", false},
       {"org.x.Tool", "Tool", "/opt/Tool.app", false}});
  SimulatedApplicationCatalog catalog(session.get());
  std::vector<std::string> installed, running;
  for (const ApplicationEntry& app : catalog.installedApplications()) installed.push_back(app.name);
  for (const ApplicationEntry& app : catalog.runningApplications()) running.push_back(app.name);
  EXPECT_EQ(installed, (std::vector<std::string>{"Ace", "Zed"}));
  EXPECT_EQ(running, (std::vector<std::string>{"Finder", "Zed"}));
  EXPECT_FALSE(catalog.frontmostBeforeWindow());
  session->setFrontmostApplication("org.x.Zed");
  EXPECT_EQ(catalog.frontmostBeforeWindow()->path, "/Applications/Zed.app");
  session->setFrontmostApplication("org.x.Gone");
  EXPECT_EQ(catalog.frontmostBeforeWindow()->name, "org.x.Gone");
}

}  // namespace
}  // namespace corvane::ui
