// "Test Keys": a small window that shows each key-down Corvane decides while it is open: the
// keys as pressed, how Corvane reads them as Windows keys, the application in front, and what
// the decision came to. Nothing is kept: the lines live in this window only and go when it
// closes, and no key is recorded while it is closed.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "engine/KeyboardShortcutManager.h"

class QPushButton;
class QTreeWidget;

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

  // The columns of a line.
  enum Column { keysColumn, readsColumn, applicationColumn, outcomeColumn };

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void addLine(const KeyRecord& record);
  void addLostLine();
  void trimLines();
  void refreshCopyButton();
  void refreshTapNote();

  std::shared_ptr<KeyboardShortcutManager> manager_;
  QTimer drainTimer_;
  QTreeWidget* lines_ = nullptr;
  QPushButton* copyButton_ = nullptr;
  StyledText* tapNote_ = nullptr;
  StyledText* smallPrint_ = nullptr;
};

}  // namespace corvane::ui
