#include "engine/KeyboardShortcutManager.h"

namespace corvane {

KeyboardShortcutManager& KeyboardShortcutManager::shared() {
  // Built once, also when two threads ask first at the same time, and never destroyed: the
  // tap thread may still be deciding events while the process exits.
  static const auto* const instance = new std::shared_ptr<KeyboardShortcutManager>(
      std::make_shared<KeyboardShortcutManager>(makeDefaultPlatform()));
  return **instance;
}

}  // namespace corvane
