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
#include <string>

#include "DataRows.h"
#include "RulesSummary.h"
#include "WindowHarness.h"
#include "app/LinuxShellServices.h"
#include "rules/KeyNames.h"
#include "ui/ShortcutEditor.h"
#include "ui/StyledText.h"

namespace corvane::ui {
namespace {

using namespace Qt::StringLiterals;
using corvane::testing::said;

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
    const int64_t code = *keyCodeNamed(press.substr(press.rfind('+') + 1));
    keys({{kEventKeyDown, code, held}, {kEventKeyUp, code, held}});
    ASSERT_EQ(editor->draft().press, press);
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
    const char* reading;  // as the key viewer reads it
  };
  // clang-format off
  const Row rows[] = {
      {false, {{kEventKeyDown, 115, kFlagControl | kFlagShift | kFlagFn}}, "Ctrl+Shift+Home", "Ctrl + Shift + Home", "⌃⇧Home"},
      // Fn held plays Ctrl (both swaps on); a function key's own Fn flag alone does not.
      {true, {{kEventFlagsChanged, 63, kFlagFn}, {kEventKeyDown, 123, kFlagFn}, {kEventFlagsChanged, 63, 0}}, "Ctrl+Left", "Ctrl + Left", "fn Left"},
      {true, {{kEventKeyDown, 105, kFlagFn}}, "PrintScreen", "PrintScreen", "PrintScreen"},
      {true, {{kEventKeyDown, 48, kFlagCommand}}, "Alt+Tab", "Alt + Tab", "⌘Tab"},
      {false, {{kEventFlagsChanged, 55, kFlagCommand}, {kEventFlagsChanged, 55, 0}}, "Win", "Win (tapped alone)", "Cmd alone"},
  };
  // clang-format on
  for (const Row& row : rows) {
    open(std::nullopt, row.swaps);
    ASSERT_TRUE(manager->isRecording()) << "a new shortcut starts in its recorder";
    session->clearRecords();
    keys(row.events);
    EXPECT_EQ(editor->draft().press, row.press);
    EXPECT_EQ(editor->pressRecorder()->text(), QString::fromUtf8(row.shown)) << row.press;
    EXPECT_EQ(editor->reading()->text().toStdString(),
              std::string("Pressed: ") + row.reading + ", read as " + row.press);
    EXPECT_FALSE(manager->isRecording()) << row.press;
    // Each key-down keeps its key-up; after the press the recorder has let go.
    for (const auto& [type, code, flags] : row.events) {
      if (type == kEventKeyDown) session->keyboardEvent(kEventKeyUp, code, flags);
    }
    keys({{kEventKeyDown, 4, 0}});
    // No key of the press reached the application (H after it did), nothing was posted or opened.
    std::vector<int64_t> reached;
    for (const sim::ReceivedEvent& event : session->received()) {
      if (event.type != kEventFlagsChanged) reached.push_back(event.keyCode);
    }
    EXPECT_EQ(reached, std::vector<int64_t>{4}) << row.press;
    EXPECT_TRUE(session->posted().empty() && session->openRequests().empty()) << row.press;
    session->keyboardEvent(kEventKeyUp, 4, 0);
  }
}

// Each row is picked in the dialog; the saved draft is read back as the reader reads the file it
// is written into and compared with the entry expected, or it is refused and cannot be saved.
TEST_F(ShortcutEditorTest, EachActionAndPlaceReadsBackThroughTheReaderAndRefusalsAreNotSaved) {
  using E = ShortcutEditor;
  for (const QJsonObject& row : corvane::testing::dataRows("ui/shortcut-drafts.jsonl")) {
    const QString what = row[u"what"].toString(), places = row[u"places"].toString();
    const QString says = row[u"says"].toString().replace(u"{ready}"_s, E::kReady);
    const bool saved = row[u"expected"].isObject();
    open();
    record(row[u"press"].toString().toStdString());
    editor->actionPicker()->setCurrentIndex(
        QStringList{"sendKeystrokes", "openApplication", "openDockPosition"}.indexOf(
            row[u"action"]));
    editor->applicationPicker()->setCurrentText(what);
    editor->dockPosition()->setValue(what.toInt());
    if (row[u"action"].toString() == u"sendKeystrokes"_s && row[u"what"].isString()) {
      editor->sendKeys()->setText(what);
    } else if (row[u"action"].toString() == u"sendKeystrokes"_s) {
      editor->sendRecorder()->setFocus();
      keys({{kEventKeyDown, 15, kFlagCommand | kFlagOption}});
    }
    editor->wherePicker()->setCurrentIndex(
        QStringList{"everywhere", "inGroup", "inApplications", "exceptApplications"}.indexOf(
            row[u"where"].toString()));
    editor->groupPicker()->setCurrentText(places);
    for (int i = 0; i < editor->applicationList()->count(); ++i) {
      QListWidgetItem* item = editor->applicationList()->item(i);
      if (places.split(' ').contains(item->data(Qt::UserRole).toString())) {
        item->setCheckState(Qt::Checked);
      }
    }
    editor->title()->setText(row[u"title"].toString());
    editor->withShift()->setChecked(row[u"withShift"].toBool());
    editor->waitForCheck();
    EXPECT_TRUE(editor->verdict()->text().contains(says))
        << says.toStdString() << ": " << editor->verdict()->text().toStdString();
    EXPECT_EQ(editor->saveButton()->isEnabled(), saved) << says.toStdString();
    editor->accept();
    EXPECT_EQ(editor->isVisible(), !saved) << says.toStdString();
    if (!saved) continue;
    const edit::EditResult written = edit::addShortcut(kFile, editor->draft());
    const QJsonObject file{{u"shortcuts"_s, QJsonArray{row[u"expected"]}}};
    const RulesParse expected = parseRules(QJsonDocument(file).toJson().toStdString());
    ASSERT_TRUE(written.rules && expected.rules) << written.error.message << expected.error.message;
    EXPECT_EQ(said(written.rules->shortcuts.back()), said(expected.rules->shortcuts.at(0)));
  }
  // A change starts from the entry it changes, and keeps what it does not touch.
  open(0);
  EXPECT_EQ(editor->windowTitle(), "Change Shortcut");
  EXPECT_FALSE(manager->isRecording()) << "a change starts from what happens";
  EXPECT_EQ(editor->pressRecorder()->text(), "Home");
  editor->title()->setText("Line start");
  const edit::EditResult changed = edit::replaceShortcut(kFile, 0, editor->draft());
  ASSERT_TRUE(changed.text) << changed.error.message;
  EXPECT_NE(changed.text->find("// mine"), std::string::npos);
  EXPECT_EQ(said(changed.rules->shortcuts.at(0)), "Home=Cmd+Left'Line start'");
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
  // Tab reaches every control (a recorder records the first Tab), each named for a screen reader.
  std::vector<QWidget*> reached;
  for (QWidget* w = QApplication::focusWidget(); std::ranges::find(reached, w) == reached.end();
       w = QApplication::focusWidget()) {
    reached.push_back(w);
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
    if (qobject_cast<KeyRecorder*>(w) != nullptr) QTest::keyClick(w, Qt::Key_Tab);
    QTest::keyClick(w, Qt::Key_Tab);
  }
  for (QWidget* control : std::initializer_list<QWidget*>{
           editor->pressRecorder(), editor->actionPicker(), editor->sendRecorder(),
           editor->sendKeys(), editor->wherePicker(), editor->title()}) {
    EXPECT_NE(std::ranges::find(reached, control), reached.end())
        << control->accessibleName().toStdString();
  }
  EXPECT_EQ(editor->sendKeys()->text(), "Tab");

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
       {"x.Zed", "Zed", "/Applications/Zed.app", true},
       {"x.Ace", "Ace", "/Applications/Utilities/Ace.app", false},
       {"x.Tool", "Tool", "/opt/Tool.app", false}});
  SimulatedApplicationCatalog catalog(session.get());
  const auto names = [](const std::vector<ApplicationEntry>& apps) {
    std::string out;
    for (const ApplicationEntry& app : apps) out += app.name + " ";
    return out;
  };
  EXPECT_EQ(names(catalog.installedApplications()), "Ace Zed ");
  EXPECT_EQ(names(catalog.runningApplications()), "Finder Zed ");
  EXPECT_FALSE(catalog.frontmostBeforeWindow());
  session->setFrontmostApplication("x.Zed");
  EXPECT_EQ(catalog.frontmostBeforeWindow()->path, "/Applications/Zed.app");
  session->setFrontmostApplication("x.Gone");
  EXPECT_EQ(catalog.frontmostBeforeWindow()->name, "x.Gone");
}

}  // namespace
}  // namespace corvane::ui
