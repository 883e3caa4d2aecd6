// On the Mac the shell asks the system itself.
#include "platform/macos/MacShellServices.h"

namespace corvane {

ShellServices makeDefaultShellServices() {
  return ShellServices{
      .trust = std::make_shared<mac::MacAccessibilityTrust>(),
      .activation = std::make_shared<mac::MacApplicationActivation>(),
      .loginItem = std::make_shared<mac::MacLoginItemService>(),
      .urlOpener = std::make_shared<mac::MacUrlOpener>(),
      .applications = std::make_shared<mac::MacApplicationCatalog>(),
  };
}

WindowServices makeDefaultWindowServices() {
  return makeDefaultShellServices().windowServices();
}

}  // namespace corvane
