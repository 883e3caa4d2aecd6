// The world the program runs in: whether it is trusted, the frontmost application, and the
// applications it asks the workspace to open, and the Dock they may be opened from.
#include "platform/simulated/SessionObjects.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane::sim {

using detail::as;
using detail::graphMutex;
using detail::Object;
using detail::refOf;
using detail::releaseLocked;
using detail::retainObject;

void SimulatedSession::setTrusted(bool trusted) {
  trusted_.store(trusted);
  if (trusted) accessibilityRecord_.store(true);
}

void SimulatedSession::removeFromAccessibilityList() {
  trusted_.store(false);
  accessibilityRecord_.store(false);
}

bool SimulatedSession::axIsProcessTrusted(bool prompt) {
  const bool live = trusted_.load();
  if (prompt && !live && !accessibilityRecord_.exchange(true)) ++accessibilityPrompts_;
  // (12): the first answer stays.
  int expected = -1;
  axAnswer_.compare_exchange_strong(expected, live ? 1 : 0);
  return axAnswer_.load() == 1;
}

uint64_t SimulatedSession::accessibilityPrompts() const {
  return accessibilityPrompts_.load();
}

bool SimulatedSession::trusted() const {
  return trusted_.load();
}

void SimulatedSession::setSecureInput(bool on) {
  secureInput_.store(on);
}
bool SimulatedSession::secureInput() const {
  return secureInput_.load();
}

const std::string* SimulatedSession::internLocked(std::string_view text) {
  for (const auto& known : interned_) {
    if (*known == text) return known.get();
  }
  interned_.push_back(std::make_unique<const std::string>(text));
  return interned_.back().get();
}

void SimulatedSession::setFrontmostApplication(std::optional<std::string_view> bundleIdentifier) {
  std::lock_guard lock(graphMutex());
  frontmost_.store(bundleIdentifier ? internLocked(*bundleIdentifier) : nullptr,
                   std::memory_order_release);
  frontmostChanged();
}

std::string_view SimulatedSession::frontmostBundleIdentifier() {
  frontmostQueries_.fetch_add(1, std::memory_order_relaxed);
  const std::string* identifier = frontmost_.load(std::memory_order_acquire);
  return identifier != nullptr ? std::string_view(*identifier) : std::string_view();
}

uint64_t SimulatedSession::frontmostQueries() const {
  return frontmostQueries_.load();
}

bool SimulatedSession::openApplication(std::string_view absolutePath) {
  std::lock_guard lock(graphMutex());
  opens_.push_back({internLocked(absolutePath), {now(), std::this_thread::get_id()}});
  return true;
}

void SimulatedSession::setDockItems(std::vector<std::optional<std::string>> items) {
  std::lock_guard lock(graphMutex());
  dockItems_ = std::move(items);
}

std::vector<std::string> SimulatedSession::dockApplications() {
  std::lock_guard lock(graphMutex());
  std::vector<std::string> applications{std::string(kFinder)};
  for (const auto& item : dockItems_) {
    if (item && !item->empty()) applications.push_back(*item);
  }
  return applications;
}

void SimulatedSession::setApplications(std::vector<SessionApplication> applications) {
  std::lock_guard lock(graphMutex());
  applications_ = std::move(applications);
}

std::vector<SessionApplication> SimulatedSession::applications() const {
  std::lock_guard lock(graphMutex());
  return applications_;
}

bool SimulatedSession::openApplicationWithBundleIdentifier(std::string_view bundleIdentifier) {
  return openApplication(bundleIdentifier);
}

std::vector<OpenRequest> SimulatedSession::openRequests() const {
  std::lock_guard lock(graphMutex());
  std::vector<OpenRequest> requests;
  for (const auto& [path, when] : opens_) requests.push_back({*path, when.first, when.second});
  return requests;
}

}  // namespace corvane::sim
