// The main window's content: the name and status badge, the controls (start/stop, permission
// request, the two swap settings) beside the key-mapping explanation, and the shortcut
// reference. It reads the manager's three published values at every composition, writes the two
// swap settings straight back, and recomposes after each change the manager announces.
#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <memory>
#include <optional>

#include "engine/ChangeNotifier.h"
#include "engine/KeyboardShortcutManager.h"
#include "rules/RulesEdit.h"
#include "ui/RulesEditing.h"
#include "ui/RulesStatus.h"
#include "ui/WindowServices.h"

class QAbstractButton;
class QCheckBox;
class QPushButton;
class QScrollArea;

namespace corvane::ui {

// Under the status, off the Mac: the status says whether translation runs, but no key typed on
// this computer reaches the simulated session it runs on.
inline constexpr const char* kPermissionTakenAwayLine =
    "The Accessibility permission was taken away: shortcuts stopped.";
inline constexpr const char* kWaitingForPermissionLine =
    "Waiting for the Accessibility permission: shortcuts start once it is granted. Listed and "
    "on, but nothing happens? A rebuilt or updated Corvane needs a new grant: remove Corvane from "
    "the list with − and add it again.";
inline constexpr const char* kTapKeptSwitchedOffLine =
    "macOS kept switching the keyboard tap off, so shortcuts stopped. Check that Corvane is listed "
    "and on under Accessibility (remove it with − and add it again after an update), then press "
    "Start Shortcuts.";
inline constexpr const char* kSecureInputLine = "Paused: a password field has the keyboard";
inline constexpr const char* kLoginItemApprovalLine =
    "Corvane waits for your approval to start at login, under Login Items.";
inline constexpr const char* kMoveToApplicationsLine =
    "To start Corvane at login, move it to Applications first (it runs from a disk image or a "
    "temporary copy).";
inline constexpr std::string_view kLoginItemsSettingsUrl =
    "x-apple.systempreferences:com.apple.LoginItems-Settings.extension";

// What the window says about the login item, when anything.
enum class LoginItemNote { none, requiresApproval, moveToApplications };

inline constexpr const char* kSimulatedKeyboardLine =
    "Simulated keyboard: keys typed on this computer are not translated";
// Under "Request Permissions" once pressed off the Mac.
inline constexpr const char* kNoPermissionToAskLine =
    "No permission to ask for: off the Mac, Corvane runs on a simulated keyboard, which needs "
    "none.";

// The Mac keys the "Key Mappings:" panel names for the Windows key, the Alt key and the Control
// key under the swap settings: the keys that play them, as the list relabels its rows.
std::array<const char*, 3> macKeysOfMappings(bool swapOptionAndCommand, bool swapFnAndControl);

class CollapsibleShortcutSection;
class ExclusionList;
class KeyBadge;
class KeyViewer;
class LinkButton;
class PermissionsAlert;
class RulesNotes;
class StatusTag;
class StyledText;
class TrustWatch;

class ContentView : public QWidget {
  Q_OBJECT

 public:
  // The program's view: the shared manager and the build's default services.
  explicit ContentView(QWidget* parent = nullptr);
  // A view on a given manager and services (the trust check and the URL opener are used).
  ContentView(std::shared_ptr<KeyboardShortcutManager> manager, WindowServices services,
              QWidget* parent = nullptr);
  ~ContentView() override;

  KeyboardShortcutManager& shortcutManager() const { return *shortcutManager_; }

  // View state: lives as long as the view.
  bool showingPermissionsAlert() const { return showingPermissionsAlert_; }
  bool showSystem() const { return showSystem_; }
  bool showEditing() const { return showEditing_; }
  bool showBrowser() const { return showBrowser_; }
  bool showFiles() const { return showFiles_; }
  bool showUserShortcuts() const { return showUserShortcuts_; }

  // The start/stop button: stop when enabled, else start; exactly one per press.
  void toggleShortcuts();
  // The "Request Permissions" button: on an untrusted answer, shows the permissions alert. On a
  // simulated keyboard there is nothing to ask for: a line under the button says so.
  void requestPermissions();
  // "Open System Preferences" in the permissions alert.
  void openAccessibilitySettings();

  // The rules file the view shows and edits (by default the one in the configuration folder,
  // with no error); its changes recompose the view.
  void setRulesStatus(std::shared_ptr<RulesStatus> status);
  RulesStatus& rulesStatus() const { return *rulesStatus_; }
  // "Edit…": opens the rules file, writing the starter file first when there is none; when
  // nothing could open it, a line under the list says so with the file's path.
  void editRules();

  // The rules file as the window edits it (the switches, the exclusions, the shortcut editor):
  // reread when the loader sees someone else's change, its undo kept until the window is hidden.
  edit::RulesFileEditor& rulesFileEditor() const { return *rulesFileEditor_; }
  // Writes an edit into the file; one that wrote nothing says why under the list. True when the
  // file now holds it.
  bool applyEdit(const RulesEdit& edit);
  // "Undo" (and Command/Ctrl+Z): writes back the text before the last edit.
  void undoEdit();
  // The edit line's "Reload": reads the file again after it changed on disk.
  void reloadRulesFile();

  // Whether the engine runs on a simulated keyboard session (the program off the Mac): a quiet
  // line under the status says that keys typed here are not translated. Off by default, as on
  // a Mac.
  void setSimulatedKeyboard(bool simulated);
  // The login item's state, as the shell found it at launch.
  void setLoginItemNote(LoginItemNote note);
  // The Accessibility permission and secure input, watched while translating.
  TrustWatch* trustWatch() const { return trustWatch_; }
  bool simulatedKeyboard() const { return simulatedKeyboard_; }

  // "Test Keys…": opens the key viewer (made at the first time), or brings it to the front.
  void showKeyViewer();
  KeyViewer* keyViewer() const { return keyViewer_; }

  // Composes the content again from the view state and the manager's current values.
  void recompose();

 public slots:
  // "Add shortcut…" (no index) and a double click on a row of "Your Shortcuts" (its index in the
  // file): the shortcut editor, whose accepted draft is written like any other edit.
  void openShortcutEditor(std::optional<size_t> index);

 public:
  StatusTag* statusTag() const { return statusTag_; }
  // The lines under the status (shown while one of them applies), and the simulated keyboard's.
  QWidget* statusNotes() const { return statusNotes_; }
  StyledText* simulatedKeyboardNote() const { return simulatedKeyboardNote_; }
  StyledText* permissionNote() const { return permissionNote_; }
  LinkButton* permissionSettingsLink() const { return permissionSettingsLink_; }
  StyledText* secureInputNote() const { return secureInputNote_; }
  StyledText* loginItemNote() const { return loginItemNote_; }
  LinkButton* loginItemsLink() const { return loginItemsLink_; }
  QPushButton* startStopButton() const { return startStopButton_; }
  QPushButton* requestPermissionsButton() const { return requestPermissionsButton_; }
  StyledText* noPermissionNote() const { return noPermissionNote_; }
  // The "Key Mappings:" panel's Mac keys: for the Windows key, the Alt key, the Control key.
  KeyBadge* macKeyBadge(size_t row) const { return macKeyBadges_.at(row); }
  QCheckBox* swapFnAndControlBox() const { return swapFnAndControlBox_; }
  QCheckBox* swapOptionAndCommandBox() const { return swapOptionAndCommandBox_; }
  QScrollArea* scrollArea() const { return scrollArea_; }
  PermissionsAlert* permissionsAlert() const { return permissionsAlert_; }
  // The four sections: system, browser (left column), editing, files (right column).
  CollapsibleShortcutSection* systemSection() const { return systemSection_; }
  CollapsibleShortcutSection* browserSection() const { return browserSection_; }
  CollapsibleShortcutSection* editingSection() const { return editingSection_; }
  CollapsibleShortcutSection* filesSection() const { return filesSection_; }
  // The fifth section, "Your Shortcuts": shown while the rules file has shortcuts.
  CollapsibleShortcutSection* userSection() const { return userSection_; }
  // "Edit…" at the end of the list's title row, and the exclusion and error lines under it.
  LinkButton* editRulesButton() const { return editRulesButton_; }
  LinkButton* testKeysButton() const { return testKeysButton_; }
  LinkButton* addShortcutButton() const { return addShortcutButton_; }
  // Shown while there is an edit to undo.
  LinkButton* undoButton() const { return undoButton_; }
  RulesNotes* rulesNotes() const { return rulesNotes_; }
  ExclusionList* exclusionList() const { return exclusionList_; }

 protected:
  // Hidden (the window closed): the edits can no longer be undone.
  void hideEvent(QHideEvent* event) override;

 private:
  void build();
  QWidget* makeHeaderRow();
  QWidget* makeControlsRow();
  QWidget* makeSeparator();
  QWidget* makeListTitleRow();
  QWidget* makeSectionArea();
  void setViewState(bool& field, bool value);
  void scheduleRecompose();
  void followRulesFile();
  void showEditOutcome(const edit::RulesFileEditor::Result& result);
  // The editor's text changed (an edit, an undo, a reload): read again for the switches and the
  // exclusions, which show the file as the window last wrote or read it.
  void rulesFileChanged();
  // Those rules; the rules in use while the file has a mistake.
  const RulesFile* editedRules() const;

  std::shared_ptr<KeyboardShortcutManager> shortcutManager_;
  WindowServices services_;

  bool showingPermissionsAlert_ = false;
  bool showSystem_ = false;
  bool showEditing_ = false;
  bool showBrowser_ = false;
  bool showFiles_ = false;
  bool showUserShortcuts_ = false;
  bool simulatedKeyboard_ = false;
  std::shared_ptr<RulesStatus> rulesStatus_;
  QString editFailure_;  // what the last Edit… could not do; empty after one that opened the file
  QString editProblem_;  // why the window's last edit wrote nothing; empty after one that wrote
  bool offerReload_ = false;
  std::unique_ptr<edit::RulesFileEditor> rulesFileEditor_;
  std::optional<RulesFile> fileRules_;
  QMetaObject::Connection rulesStatusConnection_;
  QMetaObject::Connection rulesRereadConnection_;

  ChangeNotifier::Token subscription_ = 0;
  std::atomic<bool> recomposeQueued_{false};

  QScrollArea* scrollArea_ = nullptr;
  StatusTag* statusTag_ = nullptr;
  QWidget* statusNotes_ = nullptr;
  StyledText* simulatedKeyboardNote_ = nullptr;
  QWidget* permissionRow_ = nullptr;
  StyledText* permissionNote_ = nullptr;
  LinkButton* permissionSettingsLink_ = nullptr;
  StyledText* secureInputNote_ = nullptr;
  QWidget* loginItemRow_ = nullptr;
  StyledText* loginItemNote_ = nullptr;
  LinkButton* loginItemsLink_ = nullptr;
  LoginItemNote loginItem_ = LoginItemNote::none;
  TrustWatch* trustWatch_ = nullptr;
  QPushButton* startStopButton_ = nullptr;
  QPushButton* requestPermissionsButton_ = nullptr;
  StyledText* noPermissionNote_ = nullptr;
  std::array<KeyBadge*, 3> macKeyBadges_{};
  QCheckBox* swapFnAndControlBox_ = nullptr;
  QCheckBox* swapOptionAndCommandBox_ = nullptr;
  CollapsibleShortcutSection* systemSection_ = nullptr;
  CollapsibleShortcutSection* browserSection_ = nullptr;
  CollapsibleShortcutSection* editingSection_ = nullptr;
  CollapsibleShortcutSection* filesSection_ = nullptr;
  CollapsibleShortcutSection* userSection_ = nullptr;
  LinkButton* editRulesButton_ = nullptr;
  LinkButton* testKeysButton_ = nullptr;
  LinkButton* addShortcutButton_ = nullptr;
  LinkButton* undoButton_ = nullptr;
  KeyViewer* keyViewer_ = nullptr;
  RulesNotes* rulesNotes_ = nullptr;
  ExclusionList* exclusionList_ = nullptr;
  PermissionsAlert* permissionsAlert_ = nullptr;
};

}  // namespace corvane::ui
