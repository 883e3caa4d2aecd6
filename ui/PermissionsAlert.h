// The permissions alert: why the Accessibility permission is needed, and a way to its settings.
#pragma once

#include <QMessageBox>

#include "ui/Binding.h"
#include "ui/WindowServices.h"

namespace corvane::ui {

inline constexpr std::string_view kAccessibilitySettingsUrl =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

inline constexpr const char* kPermissionsAlertTitle = "Accessibility Permissions Required";
inline constexpr const char* kPermissionsAlertMessage =
    "This app needs Accessibility permissions to intercept keyboard shortcuts. Please grant "
    "access in System Preferences > Security & Privacy > Privacy > Accessibility.";

// Asks the workspace to open the Accessibility page of the privacy settings. What the workspace
// answers is not looked at: if it cannot open the link, nothing is reported.
void openAccessibilitySettings(UrlOpener& opener);

// A window-modal alert shown while its binding is true. Either button closes it and writes
// false through the binding; "Open System Preferences" first runs its action.
class PermissionsAlert : public QMessageBox {
 public:
  PermissionsAlert(Binding isPresented, std::function<void()> openSettings, QWidget* parent);
  QAbstractButton* openSettingsButton() const { return openSettingsButton_; }
  QAbstractButton* cancelButton() const { return cancelButton_; }

  // Shows or hides the alert to match the binding.
  void sync();

 private:
  Binding isPresented_;
  QAbstractButton* openSettingsButton_;
  QAbstractButton* cancelButton_;
};

}  // namespace corvane::ui
