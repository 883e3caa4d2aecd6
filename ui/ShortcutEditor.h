// "Add Shortcut" / "Change Shortcut": one shortcut of the user's made without writing JSON. The
// keys to press are recorded through the tap (KeyboardShortcutManager::startRecording), so they
// are read exactly as the engine reads them; what happens (keys to send, an application to open,
// a Dock position) and where (everywhere, a group, chosen applications, everywhere but those) are
// picked. Before anything is saved the edit is made on a worker thread and read back as the
// reader reads it: the dialog says what the reader would say, and Save stays off while the file
// would be refused.
//
// A recorder takes one whole press each time it gets the focus (or is pressed again): while it
// records, every key goes to it alone, Tab and Esc included, so it lets go after that press and
// Tab moves on. Off the Mac, keys typed into a recording recorder go to the simulated session as
// the key viewer's do (ui/PcKeyboard.h).
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "engine/KeyboardShortcutManager.h"
#include "rules/RulesEdit.h"
#include "ui/WindowServices.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QStackedWidget;

namespace corvane::sim {
class SimulatedSession;
}

namespace corvane::ui {

class StyledText;

// A field that records one whole press while it has the focus: the keys as the engine read them
// go to `take`, which says whether the press is one the field wants (a modifier tapped alone is
// no keystroke to send). Pressing it (Space, a click) records again.
class KeyRecorder : public QPushButton {
  Q_OBJECT

 public:
  KeyRecorder(std::shared_ptr<KeyboardShortcutManager> manager, QString idleText, QWidget* parent);
  ~KeyRecorder() override;

  bool isRecording() const { return recording_; }
  void startRecording();
  void stopRecording();
  // A record drained while this recorder records; true when it ended the press.
  std::function<bool(const KeyRecord&)> take;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 signals:
  void recordingChanged(bool recording);

 private:
  std::shared_ptr<KeyboardShortcutManager> manager_;
  QString idleText_;
  bool recording_ = false;
};

class ShortcutEditor : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kRecorderHint =
      "While a key field has the focus it records one press, whatever the keys (Tab and Esc "
      "too): then Tab moves on, and Space records again.";
  static constexpr const char* kTapStopped = "The tap is stopped: start Shortcuts to record keys.";
  static constexpr const char* kNoPress = "Press the Windows keys to record them first.";
  static constexpr const char* kChecking = "Checking…";
  static constexpr const char* kReady = "The rules file reads it as intended.";
  // How often a recording field is brought up to date (as the key viewer's lines).
  static constexpr int kDrainIntervalMs = 50;

  // What happens, and where (the order of the two pickers).
  enum Action { sendKeystrokes, openApplication, openDockPosition };
  enum Where { everywhere, inGroup, inApplications, exceptApplications, asWritten };

  // index: the entry of "shortcuts" to change (its draft comes from the parsed rulesText); none:
  // a new shortcut. parent: the window, whose palette (dark mode) the dialog follows.
  ShortcutEditor(std::shared_ptr<KeyboardShortcutManager> manager, WindowServices services,
                 std::string rulesText, std::optional<size_t> index, QWidget* parent);
  ~ShortcutEditor() override;

  // The shortcut as the controls say now (the one to write once accepted).
  edit::ShortcutDraft draft() const;

  // Brings the recorders up to date with the keys recorded since the last time (the timer does
  // it while one records).
  void drain();
  // Waits until the check of the draft as it is now has come back (tests, screenshots).
  void waitForCheck();

  KeyRecorder* pressRecorder() const { return pressRecorder_; }
  KeyRecorder* sendRecorder() const { return sendRecorder_; }
  QLineEdit* sendKeys() const { return sendKeys_; }
  QComboBox* actionPicker() const { return actionPicker_; }
  QComboBox* applicationPicker() const { return applicationPicker_; }
  QSpinBox* dockPosition() const { return dockPosition_; }
  QComboBox* wherePicker() const { return wherePicker_; }
  QComboBox* groupPicker() const { return groupPicker_; }
  QListWidget* applicationList() const { return applicationList_; }
  QLineEdit* title() const { return title_; }
  QCheckBox* withShift() const { return withShift_; }
  QPushButton* saveButton() const;
  StyledText* verdict() const { return verdict_; }
  StyledText* reading() const { return reading_; }

  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void buildControls();
  void fill(const edit::ShortcutDraft& draft);
  void setPress(std::string press, const QString& pressed);
  void refreshControls();
  void check();
  void stopRecorders();

  std::shared_ptr<KeyboardShortcutManager> manager_;
  WindowServices services_;
  const std::string rulesText_;
  const std::optional<size_t> index_;
  std::optional<RulesFile> rules_;            // rulesText as read (none: the file has a mistake)
  sim::SimulatedSession* session_ = nullptr;  // the manager's platform off the Mac
  std::set<int64_t> forwardedDown_;           // keys whose release goes to the session too

  std::string press_;                       // as the file spells it
  std::vector<std::string> writtenApps_;    // a draft's places the pickers cannot show
  std::vector<std::string> writtenExcept_;  // (Where::asWritten)

  KeyRecorder* pressRecorder_ = nullptr;
  KeyRecorder* sendRecorder_ = nullptr;
  StyledText* reading_ = nullptr;
  StyledText* recorderNote_ = nullptr;
  QLineEdit* sendKeys_ = nullptr;
  QComboBox* actionPicker_ = nullptr;
  QStackedWidget* actionPages_ = nullptr;
  QComboBox* applicationPicker_ = nullptr;
  QSpinBox* dockPosition_ = nullptr;
  QComboBox* wherePicker_ = nullptr;
  QComboBox* groupPicker_ = nullptr;
  QListWidget* applicationList_ = nullptr;
  QLineEdit* title_ = nullptr;
  QCheckBox* withShift_ = nullptr;
  StyledText* verdict_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;

  QTimer drainTimer_;
  QThreadPool checker_;
  uint64_t checks_ = 0;  // the latest check asked for
  bool acceptable_ = false;
};

}  // namespace corvane::ui
