// objectWillChange: a will-change signal without a value, sent synchronously on the assigning
// thread before a published value is stored. Subscribers read the property again afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace corvane {

class ChangeNotifier {
 public:
  using Token = uint64_t;

  // The handler runs on whichever thread assigns; it may subscribe or unsubscribe.
  Token subscribe(std::function<void()> handler);
  void unsubscribe(Token token);
  void send() const;

 private:
  using List = std::vector<std::pair<Token, std::function<void()>>>;
  mutable std::mutex mutex_;
  std::shared_ptr<const List> subscribers_ = std::make_shared<const List>();
  Token nextToken_ = 1;
};

}  // namespace corvane
