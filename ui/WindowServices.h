// What the window asks of the system beyond Qt, behind small interfaces: the Accessibility trust
// check, opening a URL, and an application's name. macOS implements them with ApplicationServices
// and AppKit (platform/macos); elsewhere the simulated session and the desktop answer them. The
// shell hands the window its services, and uses the trust check itself at launch.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// AXIsProcessTrustedWithOptions with the single option kAXTrustedCheckOptionPrompt = true:
// whether the process may observe and alter other applications' key events. When it may not,
// the system shows its own prompt; the answer does not wait for the user.
class AccessibilityTrust {
 public:
  virtual ~AccessibilityTrust() = default;
  // On macOS 13 and later the answer may be the one the process got first: the window reads the
  // permission live with KeyboardShortcutManager::probeTrust.
  virtual bool checkAccessibilityTrust() = 0;
  // IsSecureEventInputEnabled: a password field (or Terminal's Secure Keyboard Entry) holds
  // secure input, so no key-down or key-up reaches an event tap. Polled with the trust.
  virtual bool isSecureEventInputEnabled() = 0;
};

// The workspace's openURL: for the settings deep link and the rules file.
class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  virtual bool openURL(std::string_view url) = 0;
};

// An application the window can offer in its pickers.
struct ApplicationEntry {
  std::string bundleIdentifier;  // "com.apple.Terminal"
  std::string name;              // "Terminal"
  std::string path;              // "/System/Applications/Utilities/Terminal.app"
};

// The applications the window offers: installed ones (for "open"), running ones (for where a
// shortcut applies), and the one that was in front before Corvane's window. On a Mac the
// workspace answers; off the Mac, the simulated session's applications.
class ApplicationCatalog {
 public:
  virtual ~ApplicationCatalog() = default;
  // Applications in /Applications, /Applications/Utilities, /System/Applications and its
  // Utilities, by name.
  virtual std::vector<ApplicationEntry> installedApplications() = 0;
  // Running applications with a bundle identifier and a user interface, Corvane left out.
  virtual std::vector<ApplicationEntry> runningApplications() = 0;
  // The application that was frontmost before Corvane's window came to the front; none when
  // there was none (or only Corvane).
  virtual std::optional<ApplicationEntry> frontmostBeforeWindow() = 0;
};

// The services a window is built with; any may be null (the control then does nothing).
struct WindowServices {
  std::shared_ptr<AccessibilityTrust> trust;
  std::shared_ptr<UrlOpener> urlOpener;
  std::shared_ptr<ApplicationCatalog> applications = nullptr;  // none: the pickers are empty
};

// The build's default services (the ones the shell uses too).
WindowServices makeDefaultWindowServices();

// The name the workspace gives the installed application with this bundle identifier
// ("Terminal" for com.apple.Terminal); the identifier itself where the workspace cannot tell
// (no such application installed, or off the Mac).
std::string applicationName(std::string_view bundleIdentifier);

}  // namespace corvane
