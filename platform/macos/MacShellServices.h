// The shell's system services on macOS: ApplicationServices, AppKit and ServiceManagement.
#pragma once

#include "app/ShellServices.h"

#ifdef __OBJC__
@class NSError;
#endif

namespace corvane::mac {

// AXIsProcessTrustedWithOptions with an options dictionary of exactly one entry,
// kAXTrustedCheckOptionPrompt = kCFBooleanTrue, built for each call and released after it.
class MacAccessibilityTrust final : public AccessibilityTrust {
 public:
  bool checkAccessibilityTrust() override;
  bool isSecureEventInputEnabled() override;  // IsSecureEventInputEnabled (Carbon)
};

// The shared NSApplication: accessory policy (no Dock icon) and activation.
class MacApplicationActivation final : public ApplicationActivation {
 public:
  void setAccessoryActivationPolicy() override;
  void activateIgnoringOtherApps() override;
};

// SMAppService.mainAppService, on macOS 13.0 and later.
class MacLoginItemService final : public LoginItemService {
 public:
  bool isAvailable() override;
  // SMAppService.mainAppService.status; below macOS 13.0, notFound.
  Status status() override;
  // Below macOS 13.0 the calls fail with kUnavailableDescription and touch nothing.
  Result registerMainApp() override;
  Result unregisterMainApp() override;

  static constexpr const char* kUnavailableDescription = "login items need macOS 13.0 or later";
};

#ifdef __OBJC__
// A failed login item call's result: the error's localized description, or, when that is empty,
// its domain and code ("<domain> error <code>"); nil gives an empty text.
LoginItemService::Result loginItemFailure(NSError* error);
#endif

// NSWorkspace openURL: with URLWithString:. False when the text is not a valid URL.
class MacUrlOpener final : public UrlOpener {
 public:
  bool openURL(std::string_view url) override;
};

// The applications the window's pickers offer (main thread only). Installed: the .app bundles
// of the four application folders with a bundle identifier, named as Finder names them. Running:
// NSWorkspace's runningApplications with a regular activation policy and a bundle identifier,
// Corvane left out. In front before the window: the last application activated that is not
// Corvane (NSWorkspaceDidActivateApplicationNotification, followed from construction on), while
// it still runs.
class MacApplicationCatalog final : public ApplicationCatalog {
 public:
  MacApplicationCatalog();
  ~MacApplicationCatalog() override;
  MacApplicationCatalog(const MacApplicationCatalog&) = delete;
  MacApplicationCatalog& operator=(const MacApplicationCatalog&) = delete;

  std::vector<ApplicationEntry> installedApplications() override;
  std::vector<ApplicationEntry> runningApplications() override;
  std::optional<ApplicationEntry> frontmostBeforeWindow() override;

 private:
  void* activationObserver_ = nullptr;  // the observer token, retained
  int lastFrontPid_ = 0;                // 0: none yet
};

}  // namespace corvane::mac
