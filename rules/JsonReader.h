// A small JSON reader for hand-written files: // and /* */ comments, a UTF-8 check, and the line
// and column of every value and member name, so that a mistake can be shown where it is, and
// their byte ranges, so that an edit can change one member and leave the rest of the text as is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/RulesFile.h"

namespace corvane::json {

struct Position {
  int line = 1;
  int column = 1;  // in characters, from 1
};

struct Value {
  enum class Type : uint8_t { null, boolean, number, string, array, object };
  Type type = Type::null;
  Position at;       // the value's first character
  size_t begin = 0;  // the value's bytes in the text: its first and one past its last
  size_t end = 0;
  bool boolean = false;  // boolean
  std::string text;      // string: its contents; number: as written
  // string: whether the text maps character for character onto the file (no escapes), so that
  // a character inside it can be pointed at.
  bool verbatim = true;
  std::vector<Value> items;  // array

  struct Member;
  std::vector<Member> members;  // object, in file order; names are unique

  // Where the n-th character (code point) of a verbatim string is; the string's start otherwise.
  Position charAt(size_t index) const;
};

struct Value::Member {
  std::string name;
  Position at;  // the name's opening quote
  // The member's bytes: from the name's opening quote to one past its value's last.
  size_t begin = 0;
  size_t end = 0;
  Value value;
};

// Parses text holding exactly one JSON value. On failure returns false and fills error.
bool parse(std::string_view text, Value& out, RulesError& error);

// "an object", "a string", ... for messages.
std::string_view describeType(Value::Type type);

}  // namespace corvane::json
