// Off the Mac there is no workspace that knows bundle identifiers: the window shows them as
// written.
#include "ui/WindowServices.h"

namespace corvane {

std::string applicationName(std::string_view bundleIdentifier) {
  return std::string(bundleIdentifier);
}

}  // namespace corvane
