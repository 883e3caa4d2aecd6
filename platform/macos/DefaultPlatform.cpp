// On the Mac the program's one manager taps the session's real keyboard.
#include "platform/macos/MacPlatform.h"

namespace corvane {

std::shared_ptr<Platform> makeDefaultPlatform() {
  return std::make_shared<mac::MacPlatform>();
}

}  // namespace corvane
