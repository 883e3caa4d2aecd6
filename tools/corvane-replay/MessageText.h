// What a message quotes from the input is cut to a readable length, and never carries a
// library's own error codes: a 10 MB string in a trace gives a one-line message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::replay {

// Bytes of a quoted text that a message shows; the rest is counted, not shown.
inline constexpr size_t kShownBytes = 40;
// The longest message the reader hands on; a longer one is cut (a last resort).
inline constexpr size_t kLongestMessage = 400;

// The text as a JSON string: `"pause"`. A longer text shows its first kShownBytes bytes (cut at a
// character boundary) and its length: `"aaaa..."... (10485760 bytes)`.
std::string quotedForMessage(std::string_view text);

// A text shown as written (a number literal): cut like a quoted one, without quotes.
std::string cutForMessage(std::string_view text);

// The JSON parser's message without its "[json.exception.<kind>.<id>]" code and its "parse error
// at line 1, column N: " preamble, with the input's token it quotes ('...') in double quotes as
// a JSON string, a byte outside UTF-8 as \xNN, cut to a readable length.
std::string parserMessage(std::string_view what);

// A name from the command line (a file, a --press argument) as a message shows it: as it is
// when it is plain text, else in double quotes with a byte outside UTF-8 as \xNN and a control
// character escaped (\n, \t, \u001b), as trace values are: nothing reaches the terminal raw.
std::string shownName(std::string_view text);

// A message of at most kLongestMessage bytes, cut at a character boundary.
std::string capMessage(std::string message);

}  // namespace corvane::replay
