#include "ui/TrustWatch.h"

#include "engine/KeyboardShortcutManager.h"

namespace corvane::ui {

TrustWatch::TrustWatch(KeyboardShortcutManager& manager, std::shared_ptr<AccessibilityTrust> trust,
                       std::function<void()> changed, QObject* parent)
    : QObject(parent), manager_(manager), trust_(std::move(trust)), changed_(std::move(changed)) {
  timer_.setInterval(kIntervalMilliseconds);
  connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
}

void TrustWatch::startRequested() {
  wanted_ = true;
  // A grant seen before the start failed is not news: only one that comes after it starts.
  trustedAtLastCheck_ = false;
}

void TrustWatch::stopRequested() {
  wanted_ = false;
}

bool TrustWatch::waitingForPermission() const {
  // Once a check finds the process trusted, a start that still fails is not for the permission.
  // After the system kept switching the tap off, only the user's Start starts it again.
  return wanted_ && !manager_.isEnabled && trust_ != nullptr && !trustedAtLastCheck_ &&
         !manager_.stoppedForTapTimeouts;
}

bool TrustWatch::permissionTakenAway() const {
  return !manager_.isEnabled && manager_.stoppedForLostTrust;
}

bool TrustWatch::tapKeptSwitchedOff() const {
  return !manager_.isEnabled && manager_.stoppedForTapTimeouts;
}

void TrustWatch::follow() {
  if (!manager_.isEnabled) setSecureInput(false);
  const bool watch = trust_ != nullptr && (manager_.isEnabled || waitingForPermission());
  if (watch && !timer_.isActive()) timer_.start();
  if (!watch && timer_.isActive()) timer_.stop();
}

void TrustWatch::poll() {
  // Nothing to watch (stopped by the user): the system is not asked.
  if (trust_ == nullptr || !(manager_.isEnabled || waitingForPermission())) return follow();
  // Asked of the system now: AXIsProcessTrusted may still give the answer of the launch. The
  // probe never prompts while the program has an entry in the Accessibility list (the launch's
  // check made one); only after the user removed it with − may macOS ask once more.
  const bool trusted = manager_.probeTrust();
  if (manager_.isEnabled) {
    if (!trusted) {
      // Taken away while the tap had nothing to tell (no key since): stop as Stop does.
      setSecureInput(false);
      manager_.stopForLostTrust();
    } else {
      setSecureInput(trust_->isSecureEventInputEnabled());
    }
  } else if (waitingForPermission() && trusted && !trustedAtLastCheck_) {
    manager_.start();  // granted after a failed start: never after the user's Stop
  }
  trustedAtLastCheck_ = trusted;
  follow();
}

void TrustWatch::setSecureInput(bool on) {
  if (secureInput_ == on) return;
  secureInput_ = on;
  if (changed_) changed_();
}

}  // namespace corvane::ui
