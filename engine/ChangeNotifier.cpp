#include "engine/ChangeNotifier.h"

#include <algorithm>

namespace corvane {

ChangeNotifier::Token ChangeNotifier::subscribe(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  auto list = std::make_shared<List>(*subscribers_);
  const Token token = nextToken_++;
  list->emplace_back(token, std::move(handler));
  subscribers_ = std::move(list);
  return token;
}

void ChangeNotifier::unsubscribe(Token token) {
  std::lock_guard lock(mutex_);
  auto list = std::make_shared<List>(*subscribers_);
  std::erase_if(*list, [token](const auto& entry) { return entry.first == token; });
  subscribers_ = std::move(list);
}

void ChangeNotifier::send() const {
  std::shared_ptr<const List> snapshot;
  {
    std::lock_guard lock(mutex_);
    snapshot = subscribers_;
  }
  // Handlers run outside the lock, so one may unsubscribe itself (it still gets this signal).
  for (const auto& entry : *snapshot) entry.second();
}

}  // namespace corvane
