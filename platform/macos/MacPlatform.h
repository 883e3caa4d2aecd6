// Everything the engine runs on, on macOS.
#pragma once

#include "engine/Platform.h"
#include "platform/macos/MacKeyboardEventServices.h"
#include "platform/macos/MacMainQueue.h"
#include "platform/macos/MacWorkspace.h"

namespace corvane::mac {

class MacPlatform final : public Platform {
 public:
  KeyboardEventServices& events() override { return events_; }
  Workspace& workspace() override { return workspace_; }
  MainQueue& mainQueue() override { return mainQueue_; }
  Pauser& pauser() override { return pauser_; }

 private:
  MacKeyboardEventServices events_;
  MacWorkspace workspace_;
  MacMainQueue mainQueue_;
  MacPauser pauser_;
};

}  // namespace corvane::mac
