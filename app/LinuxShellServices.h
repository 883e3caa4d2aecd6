// The shell services off the Mac: the simulated session's trust, Qt's activation, an XDG
// autostart entry as the login item, and the desktop's URL handler.
#pragma once

#include <QString>

#include "app/ShellServices.h"

namespace corvane::sim {
class SimulatedSession;
}

namespace corvane {

// The simulated session the shared manager runs on, or nullptr when it runs on another platform.
sim::SimulatedSession* sharedSimulatedSession();

// Whether the shared manager's session lets the process tap its keyboard. There is no system
// prompt to show off the Mac.
class SimulatedAccessibilityTrust final : public AccessibilityTrust {
 public:
  bool checkAccessibilityTrust() override;
  bool isSecureEventInputEnabled() override;
};

// Qt raises and activates the window itself; there is no activation policy to set here.
class QtApplicationActivation final : public ApplicationActivation {
 public:
  void setAccessoryActivationPolicy() override {}
  void activateIgnoringOtherApps() override {}
};

// The program as a login item of the desktop: $XDG_CONFIG_HOME/autostart/corvane.desktop
// ($XDG_CONFIG_HOME defaults to ~/.config). Registering writes the entry, unregistering removes
// it; an entry that is already absent is not an error.
class XdgAutostartLoginItem final : public LoginItemService {
 public:
  // Empty arguments: the environment's config folder and this process's executable.
  explicit XdgAutostartLoginItem(QString configHome = {}, QString executable = {});
  bool isAvailable() override { return true; }
  // Enabled while the entry exists; nothing here waits for an approval.
  Status status() override;
  Result registerMainApp() override;
  Result unregisterMainApp() override;
  QString entryPath() const;

 private:
  QString configHome_;
  QString executable_;
};

// The desktop entry's Exec value for a program path: quoted, with the characters the desktop
// entry format reserves escaped.
QString desktopEntryExec(const QString& executable);

// The simulated session's applications (SimulatedSession::applications): the installed ones
// are those in the four application folders, the running ones those that run; the one in front
// before the window is the session's frontmost application (none while there is none).
class SimulatedApplicationCatalog final : public ApplicationCatalog {
 public:
  // session: nullptr for the shared manager's session (none: no applications).
  explicit SimulatedApplicationCatalog(sim::SimulatedSession* session = nullptr)
      : session_(session) {}
  std::vector<ApplicationEntry> installedApplications() override;
  std::vector<ApplicationEntry> runningApplications() override;
  std::optional<ApplicationEntry> frontmostBeforeWindow() override;

 private:
  sim::SimulatedSession* session() const;
  sim::SimulatedSession* session_;
};

class DesktopUrlOpener final : public UrlOpener {
 public:
  bool openURL(std::string_view url) override;
};

}  // namespace corvane
