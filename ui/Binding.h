// A two-way binding to a Boolean that someone else owns: reading gives its current value,
// writing stores through to the owner (which recomposes its content).
#pragma once

#include <functional>

namespace corvane::ui {

struct Binding {
  std::function<bool()> get;
  std::function<void(bool)> set;
};

}  // namespace corvane::ui
