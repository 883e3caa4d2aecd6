// The few system services the shell needs beyond Qt, behind small interfaces: macOS implements
// them with ApplicationServices, AppKit and ServiceManagement (platform/macos), elsewhere they
// are answered by the simulated session and the desktop. The trust check and the URL opener are
// the window's (ui/WindowServices.h); the shell hands them on to it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ui/WindowServices.h"

namespace corvane {

// The application object: no Dock icon, and coming to the front.
class ApplicationActivation {
 public:
  virtual ~ApplicationActivation() = default;
  virtual void setAccessoryActivationPolicy() = 0;  // setActivationPolicy: accessory (1)
  virtual void activateIgnoringOtherApps() = 0;
};

// The program itself as a login item (SMAppService.mainAppService).
class LoginItemService {
 public:
  struct Result {
    bool succeeded;
    std::string errorDescription;  // the error's localized description when it failed
  };
  virtual ~LoginItemService() = default;
  // SMAppService.status, as far as the program needs it.
  enum class Status { notRegistered, enabled, requiresApproval, notFound };
  virtual bool isAvailable() = 0;  // macOS 13.0 or later; elsewhere whatever stands in for it
  virtual Status status() = 0;
  virtual Result registerMainApp() = 0;
  virtual Result unregisterMainApp() = 0;
};

struct ShellServices {
  std::shared_ptr<AccessibilityTrust> trust;
  std::shared_ptr<ApplicationActivation> activation;
  std::shared_ptr<LoginItemService> loginItem;
  std::shared_ptr<UrlOpener> urlOpener;
  std::shared_ptr<ApplicationCatalog> applications = nullptr;  // none: the pickers are empty

  WindowServices windowServices() const { return {trust, urlOpener, applications}; }
};

// The build's default services: macOS on Apple, the simulated session and the desktop elsewhere.
ShellServices makeDefaultShellServices();

}  // namespace corvane
