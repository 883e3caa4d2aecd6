// "Test Keys": a small window that shows each key-down Corvane decides while it is open: the
// keys as pressed, how Corvane reads them as Windows keys, the application in front, and what
// the decision came to. Nothing is kept: the lines live in this window only and go when it
// closes, and no key is recorded while it is closed.
//
// Off the Mac no system keyboard is tapped: the keys typed into this window while it has the
// keyboard focus go to the simulated session instead, as a PC keyboard on a Mac sends them
// (ui/PcKeyboard.h). There they are read and decided, never acted on in the window: Tab, Ctrl+Q
// and the like do nothing here but make their line.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "engine/KeyboardShortcutManager.h"

class QPushButton;
class QTreeWidget;

namespace corvane::sim {
class SimulatedSession;
}

namespace corvane::ui {

class StyledText;

class KeyViewer : public QWidget {
  Q_OBJECT

 public:
  // The most lines shown; older ones give way.
  static constexpr int kMaxLines = 50;
  // How often the lines are brought up to date while the window is open.
  static constexpr int kDrainIntervalMs = 50;
  static constexpr const char* kKeysLost = "(some keys were not shown)";
  static constexpr const char* kSmallPrint =
      "Nothing is kept: these lines live in this window only, are cleared when it closes, and "
      "are never written to a log, a file or standard error. No key is recorded while this "
      "window is closed.";
  static constexpr const char* kTapStopped =
      "passed: the tap is stopped. Start Shortcuts to see keys here.";
  // The line at the top on the Mac, and off it.
  static constexpr const char* kTypeAnywhere =
      "Type in any application: each key Corvane sees comes at the top, with how it reads the "
      "keys and what it does with them.";
  static constexpr const char* kTypeHere =
      "Off the Mac, type here: each key is read as a PC keyboard on a Mac sends it (Ctrl as "
      "Control, the Windows key as Command, Alt as Option) and decided, never acted on. Keys the "
      "desktop takes first (Alt+Tab, often the Windows key) cannot be shown.";

  // A window of its own, kept above the others; parent: the main window's view, whose style and
  // palette (dark mode) it follows.
  KeyViewer(std::shared_ptr<KeyboardShortcutManager> manager, QWidget* parent);
  ~KeyViewer() override;

  // Brings the lines up to date with the key-downs decided since the last time (main thread;
  // the timer calls it while the window is open).
  void drain();
  // Puts the selected line's bundle identifier on the clipboard ("Copy", ⌘C / Ctrl+C).
  void copySelectedBundleIdentifier();

  QTreeWidget* lines() const { return lines_; }
  QPushButton* copyButton() const { return copyButton_; }
  StyledText* smallPrint() const { return smallPrint_; }
  StyledText* tapNote() const { return tapNote_; }
  StyledText* hint() const { return hint_; }
  // Whether typed keys go to a simulated session (off the Mac).
  bool readsTypedKeys() const { return session_ != nullptr; }

  // The columns of a line.
  enum Column { keysColumn, readsColumn, applicationColumn, outcomeColumn };

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void addLine(const KeyRecord& record);
  void addLostLine();
  void trimLines();
  void refreshCopyButton();
  void refreshTapNote();

  std::shared_ptr<KeyboardShortcutManager> manager_;
  sim::SimulatedSession* session_ = nullptr;  // the manager's platform off the Mac
  QTimer drainTimer_;
  QTreeWidget* lines_ = nullptr;
  QPushButton* copyButton_ = nullptr;
  StyledText* tapNote_ = nullptr;
  StyledText* smallPrint_ = nullptr;
  StyledText* hint_ = nullptr;
};

}  // namespace corvane::ui
