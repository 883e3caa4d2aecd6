// The rules file in the shell: read at launch before the engine starts, watched, reloaded. Real
// files in a temporary configuration folder, the real delegate and window, and key presses
// through the simulated session to see which rules are in use.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "DelegateHarness.h"
#include "QtTestMain.h"
#include "app/RulesLoader.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/RulesNotes.h"
#include "ui/StyledText.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr EventFlags kFn = 0x800000;

// Ctrl+O sends Cmd+O; Ctrl+B sends Cmd+B (a second version of the file).
constexpr const char* kOpen = R"({"shortcuts": [{"press": "Ctrl+O", "send": "Cmd+O"}]})";
constexpr const char* kBold = R"({"shortcuts": [{"press": "Ctrl+B", "send": "Cmd+B"}]})";
constexpr const char* kBroken = "{\n  \"shortcuts\": [\n    { \"press\": \"Ctlr+O\" }\n  ]\n}\n";
constexpr const char* kBrokenError =
    "rules.json, line 3, column 17: unknown key name \"Ctlr\"; did you mean \"Ctrl\"?\n";

class RulesLoaderTest : public DelegateTest {
 protected:
  void launchWithRules() {
    ++launches;
    AppEnvironment env = environment();
    env.rulesFile = path.toStdString();
    env.err = &err;
    delegate = std::make_unique<AppDelegate>(env);
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(session->waitForTapSetups(1, 5s));
    QApplication::processEvents();
  }

  // Writes the file in place, as most editors save.
  void write(const char* text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
  }
  // Writes a new file beside it and renames it over the old one, as some editors save.
  void replace(const char* text) {
    QSaveFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    ASSERT_TRUE(file.commit());
  }

  // What the frontmost application receives for a key-down and key-up with Fn (Ctrl).
  std::string press(int64_t keyCode) {
    session->clearRecords();
    session->keyboardEvent(kEventKeyDown, keyCode, kFn);
    session->keyboardEvent(kEventKeyUp, keyCode, kFn);
    session->settle();
    std::string text;
    for (const sim::ReceivedEvent& event : session->received()) {
      text += (event.type == kEventKeyDown ? "down " : "up ") + std::to_string(event.keyCode) +
              (event.userData == 1 ? " translated " : " ") + std::to_string(event.flags) + ";";
    }
    return text;
  }
  static std::string translated(int64_t keyCode) {
    return "down " + std::to_string(keyCode) + " translated 1048576;up " + std::to_string(keyCode) +
           " translated 1048576;";
  }
  static std::string passed(int64_t keyCode) {
    return "down " + std::to_string(keyCode) + " 8388608;up " + std::to_string(keyCode) +
           " 8388608;";
  }

  // Waits, with the event loop running, for the reload a change makes (within a second).
  bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 1000); }
  QString errorLine() const {
    ui::RulesNotes* notes = view->rulesNotes();
    return notes->errorText()->isVisibleTo(view) ? notes->errorMessage() : QString();
  }

  QTemporaryDir home;
  QString path = home.filePath(QStringLiteral("corvane/rules.json"));
  std::ostringstream err;
};

TEST_F(RulesLoaderTest, AGoodFileIsInUseFromTheFirstKeyDown) {
  write(R"({"shortcuts": [{"press": "Ctrl+O", "send": "Cmd+O"}],
            "settings": {"swapOptionAndCommand": false}})");
  launchWithRules();
  EXPECT_EQ(press(31), translated(31));
  EXPECT_EQ(press(8), translated(8)) << "the built-ins stay";
  EXPECT_FALSE(manager->swapOptionAndCommand) << "the file's setting";
  EXPECT_TRUE(manager->swapFnAndControl) << "not named: as specified";
  // The rules and settings were in place before the window's first composition.
  EXPECT_FALSE(view->swapOptionAndCommandBox()->isChecked());
  EXPECT_TRUE(view->userSection()->isVisible());
  EXPECT_TRUE(err.str().empty());
}

TEST_F(RulesLoaderTest, NoFileMeansTheBuiltInsAloneAndNothingIsWritten) {
  launchWithRules();
  EXPECT_EQ(manager->rules(), nullptr);
  EXPECT_EQ(press(31), passed(31));
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_TRUE(err.str().empty());
  EXPECT_FALSE(view->rulesNotes()->isVisibleTo(view));
}

TEST_F(RulesLoaderTest, ABadFileAtLaunchLeavesTheBuiltInsAloneAndIsPrintedOnce) {
  write(kBroken);
  launchWithRules();
  EXPECT_EQ(manager->rules(), nullptr);
  EXPECT_EQ(press(8), translated(8));
  EXPECT_EQ(err.str(), kBrokenError);
  EXPECT_EQ(errorLine().toStdString() + "\n", kBrokenError);

  // Saving it again with the same mistake prints nothing more.
  write(kBroken);
  QTest::qWait(RulesLoader::kSettleMs + 300);
  EXPECT_EQ(err.str(), kBrokenError);

  // Fixing it clears the error and puts the rules in use.
  write(kOpen);
  ASSERT_TRUE(waitFor([&] { return manager->rules() != nullptr; }));
  EXPECT_EQ(press(31), translated(31));
  QApplication::processEvents();
  EXPECT_TRUE(errorLine().isEmpty());
  EXPECT_EQ(err.str(), kBrokenError);
}

TEST_F(RulesLoaderTest, AReloadThatBreaksTheFileKeepsTheRulesInUse) {
  write(kOpen);
  launchWithRules();
  ASSERT_EQ(press(31), translated(31));

  write(kBroken);
  ASSERT_TRUE(waitFor([&] { return !err.str().empty(); }));
  EXPECT_EQ(err.str(), kBrokenError);
  QApplication::processEvents();
  EXPECT_EQ(errorLine().toStdString() + "\n", kBrokenError);
  EXPECT_EQ(press(31), translated(31)) << "the rules that were running stay";
  EXPECT_TRUE(view->userSection()->isVisible());

  // A different mistake is printed too.
  write("{ \"exclude\": [\"a.b\"],, }");
  ASSERT_TRUE(waitFor([&] { return err.str() != kBrokenError; }));
  EXPECT_EQ(err.str(), std::string(kBrokenError) +
                           "rules.json, line 1, column 22: expected a member name in double "
                           "quotes\n");
  EXPECT_EQ(press(31), translated(31));
  // The first mistake again, with no fix in between: already said.
  const std::string both = err.str();
  write(kBroken);
  ASSERT_TRUE(waitFor([&] { return errorLine().toStdString() + "\n" == kBrokenError; }));
  QTest::qWait(100);
  EXPECT_EQ(err.str(), both);
}

TEST_F(RulesLoaderTest, AFileReplacedAsAnEditorDoesIsReloadedWithinASecond) {
  write(kOpen);
  launchWithRules();
  ASSERT_EQ(press(11), passed(11));
  for (const char* text : {kBold, kOpen, kBold}) {
    replace(text);
    const int64_t expected = text == kBold ? 11 : 31;
    ASSERT_TRUE(waitFor([&] { return press(expected) == translated(expected); }))
        << "not reloaded after replacing with " << text;
    EXPECT_EQ(press(expected == 11 ? 31 : 11), passed(expected == 11 ? 31 : 11));
  }
  // Deleting it goes back to the built-in rules alone.
  ASSERT_TRUE(QFile::remove(path));
  ASSERT_TRUE(waitFor([&] { return manager->rules() == nullptr; }));
  EXPECT_EQ(press(11), passed(11));
  EXPECT_TRUE(err.str().empty());
}

TEST_F(RulesLoaderTest, AFileInAFolderThatDidNotExistIsPickedUp) {
  launchWithRules();
  write(kOpen);  // creates corvane/ and the file
  ASSERT_TRUE(waitFor([&] { return manager->rules() != nullptr; }));
  EXPECT_EQ(press(31), translated(31));
  write(kBold);  // now watched in its folder
  ASSERT_TRUE(waitFor([&] { return press(11) == translated(11); }));
}

TEST_F(RulesLoaderTest, SettingsAreSetOnlyWhenTheFileChangesThem) {
  write(R"({"settings": {"swapFnAndControl": false}})");
  launchWithRules();
  EXPECT_FALSE(manager->swapFnAndControl);
  // The user ticks the box; an unrelated edit does not undo it.
  manager->swapFnAndControl = true;
  write(R"({"settings": {"swapFnAndControl": false}, "disable": ["F2"]})");
  ASSERT_TRUE(waitFor([&] { return manager->rules() && manager->rules()->disabled != 0; }));
  EXPECT_TRUE(manager->swapFnAndControl);
  // A new value in the file is set.
  write(R"({"settings": {"swapFnAndControl": true, "swapOptionAndCommand": false}})");
  ASSERT_TRUE(waitFor([&] { return !manager->swapOptionAndCommand; }));
  EXPECT_TRUE(manager->swapFnAndControl);
  manager->swapFnAndControl = false;
  write(R"({"settings": {"swapFnAndControl": true}})");
  QTest::qWait(RulesLoader::kSettleMs + 300);
  EXPECT_FALSE(manager->swapFnAndControl) << "true before and after: the box stays as ticked";
  EXPECT_FALSE(manager->swapOptionAndCommand) << "no longer named: left as it is";
  // A broken file in between changes nothing: fixed as it was, the box stays as ticked; fixed
  // with a new value, the value is set.
  write(kBroken);
  ASSERT_TRUE(waitFor([&] { return !err.str().empty(); }));
  write(R"({"settings": {"swapFnAndControl": true}, "disable": ["F2"]})");
  ASSERT_TRUE(waitFor([&] { return manager->rules() && manager->rules()->disabled != 0; }));
  EXPECT_FALSE(manager->swapFnAndControl);
  write(R"({"settings": {"swapFnAndControl": true, "swapOptionAndCommand": true}})");
  ASSERT_TRUE(waitFor([&] { return manager->swapOptionAndCommand.get(); }));
  EXPECT_FALSE(manager->swapFnAndControl);
}

}  // namespace
}  // namespace corvane::testing
