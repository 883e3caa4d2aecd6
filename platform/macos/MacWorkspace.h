// The engine's workspace on NSWorkspace, and the Dock's list from its preferences.
#pragma once

#include "engine/Platform.h"

namespace corvane::mac {

class MacWorkspace final : public Workspace {
 public:
  // Moves the frontmost stamp on each NSWorkspaceDidActivateApplicationNotification, which
  // NSWorkspace posts on the main thread once frontmostApplication has changed.
  MacWorkspace();
  ~MacWorkspace() override;
  MacWorkspace(const MacWorkspace&) = delete;
  MacWorkspace& operator=(const MacWorkspace&) = delete;

  // NSWorkspace.sharedWorkspace.frontmostApplication.bundleIdentifier, copied as UTF-8 into a
  // buffer of the calling thread (the view lives until that thread's next call). Empty when
  // there is no frontmost application, it has no identifier, or the identifier is longer than
  // any real one (kMaxBundleIdentifierBytes), which no rule could match anyway.
  std::string_view frontmostBundleIdentifier() noexcept override;
  // fileURLWithPath: then openURL:. False for an empty path or one that is not UTF-8.
  bool openApplication(std::string_view absolutePath) override;
  // CFPreferencesAppSynchronize, then com.apple.dock's "persistent-apps" (MacDock.cpp).
  std::vector<std::string> dockApplications() override;
  // URLForApplicationWithBundleIdentifier: then openURL:. False when no application has it.
  bool openApplicationWithBundleIdentifier(std::string_view bundleIdentifier) override;

  static constexpr unsigned long kMaxBundleIdentifierBytes = 255;

 private:
  void* activationObserver_ = nullptr;  // the notification center's token, retained
};

}  // namespace corvane::mac
