// Watches, on the main thread, what the system can take away from a running Corvane: the
// Accessibility permission, and the keyboard itself while a password field holds secure input.
// It checks every 2 seconds while translation runs, and while it waits for the permission after a
// start that failed (or a stop because the permission was taken away). It reads the permission
// live (KeyboardShortcutManager::probeTrust), on the main thread.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "ui/WindowServices.h"

namespace corvane {
class KeyboardShortcutManager;
}

namespace corvane::ui {

class TrustWatch : public QObject {
 public:
  static constexpr int kIntervalMilliseconds = 2000;

  // changed: called when what the watch tells (waiting, paused) changes.
  TrustWatch(KeyboardShortcutManager& manager, std::shared_ptr<AccessibilityTrust> trust,
             std::function<void()> changed, QObject* parent = nullptr);

  // Translation was asked for (the launch, or the Start button) or stopped by the user (Stop):
  // only while it is asked for does the watch start it once the permission is granted.
  void startRequested();
  void stopRequested();
  // Follows the manager's state (called at each composition): polls while translating or
  // waiting, and not otherwise.
  void follow();
  // One check (the timer's).
  void poll();

  // Translation is off because the permission is missing; it starts once the permission is
  // granted.
  bool waitingForPermission() const;
  // The permission was taken away while translating.
  bool permissionTakenAway() const;
  // The system kept switching the tap off by timeout, so translation stopped; only Start starts
  // it again.
  bool tapKeptSwitchedOff() const;
  // Translating, but a password field holds secure input: no key reaches the tap.
  bool pausedBySecureInput() const { return secureInput_; }
  bool polling() const { return timer_.isActive(); }

 private:
  void setSecureInput(bool on);

  KeyboardShortcutManager& manager_;
  std::shared_ptr<AccessibilityTrust> trust_;
  std::function<void()> changed_;
  QTimer timer_;
  bool wanted_ = false;  // started, and not stopped by the user since
  bool trustedAtLastCheck_ = false;
  bool secureInput_ = false;
};

}  // namespace corvane::ui
