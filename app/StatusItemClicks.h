// Which reports of the status item are clicks. Qt reports a click as Trigger and a quick second
// click as DoubleClick, but where the DoubleClick comes differs by platform (Qt's sources):
// - macOS (qcocoasystemtrayicon.mm, statusItemClicked): a mouse-down whose clickCount is 2 is
//   reported as DoubleClick *instead of* Trigger; a third is Trigger again.
// - Windows (qwindowssystemtrayicon.cpp): WM_LBUTTONDBLCLK is DoubleClick, and the release that
//   follows it is ignored: again instead of the second click's Trigger.
// - X11 (qsystemtrayicon_x11.cpp): every press is Trigger, and the second press of a double click
//   is followed by DoubleClick as well.
// A double click is two clicks everywhere: a DoubleClick counts, unless the platform has already
// reported both of its clicks as Trigger (two Triggers within the double-click interval).
#pragma once

#include <QSystemTrayIcon>
#include <array>
#include <chrono>

namespace corvane {

class StatusItemClicks {
 public:
  using Clock = std::chrono::steady_clock;

  explicit StatusItemClicks(std::chrono::milliseconds doubleClickInterval)
      : interval_(doubleClickInterval) {}

  // Whether this report is a click of its own (and so toggles the window).
  bool isClick(QSystemTrayIcon::ActivationReason reason, Clock::time_point now) {
    switch (reason) {
      case QSystemTrayIcon::Trigger:
        triggers_ = {triggers_[1], now};
        seen_ = seen_ < 2 ? seen_ + 1 : 2;
        return true;
      case QSystemTrayIcon::DoubleClick:
        return !(seen_ == 2 && now - triggers_[0] <= interval_);
      default:
        return false;  // the context menu's or the middle button's: no menu, no action
    }
  }

 private:
  std::chrono::milliseconds interval_;
  std::array<Clock::time_point, 2> triggers_{};  // the last two Triggers, older first
  int seen_ = 0;                                 // Triggers seen, up to 2
};

}  // namespace corvane
