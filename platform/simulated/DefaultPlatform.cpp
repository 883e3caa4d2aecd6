// Off the Mac the program runs on the simulated session with a real clock: no system keyboard
// is tapped.
#include "platform/simulated/SimulatedSession.h"

namespace corvane {

std::shared_ptr<Platform> makeDefaultPlatform() {
  return std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real);
}

}  // namespace corvane
