// How the rules file's readers give up: the first mistake, where it is, thrown to parseRules.
#pragma once

#include <string>
#include <string_view>

#include "rules/JsonReader.h"
#include "rules/RulesFile.h"

namespace corvane::reading {

struct Failure {
  RulesError error;
};

[[noreturn]] inline void fail(json::Position at, std::string message) {
  throw Failure{RulesError{at.line, at.column, std::move(message)}};
}

inline void expectType(const json::Value& value, json::Value::Type type, std::string_view what) {
  if (value.type != type) {
    fail(value.at, std::string(what) + " must be " + std::string(json::describeType(type)) +
                       ", not " + std::string(json::describeType(value.type)));
  }
}

}  // namespace corvane::reading
