#include "tools/corvane-replay/MessageText.h"

#include <nlohmann/json.hpp>

namespace corvane::replay {
namespace {

// The longest prefix of at most `limit` bytes that does not split a UTF-8 character.
std::string_view headOf(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string lengthNote(size_t bytes) {
  return "... (" + std::to_string(bytes) + " bytes)";
}

std::string jsonString(std::string_view text) {
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string quotedForMessage(std::string_view text) {
  if (text.size() <= kShownBytes) return jsonString(text);
  return jsonString(headOf(text, kShownBytes)) + lengthNote(text.size());
}

std::string cutForMessage(std::string_view text) {
  if (text.size() <= kShownBytes) return std::string(text);
  return std::string(headOf(text, kShownBytes)) + lengthNote(text.size());
}

std::string parserMessage(std::string_view what) {
  // "[json.exception.parse_error.101] parse error at line 1, column 7: syntax error ..."
  if (what.starts_with("[json.exception.")) {
    const size_t end = what.find("] ");
    what.remove_prefix(end == std::string_view::npos ? what.size() : end + 2);
  }
  if (what.starts_with("parse error")) {
    const size_t colon = what.find(": ");
    if (colon != std::string_view::npos) what.remove_prefix(colon + 2);
  }
  // The token it quotes after "last read: '" or "parsing '" is the input's own: cut it. It
  // ends at "'; expected " when that follows, else at the last quote.
  std::string message(what);
  for (std::string_view marker :
       {std::string_view("last read: '"), std::string_view("parsing '")}) {
    const size_t start = message.find(marker);
    if (start == std::string::npos) continue;
    const size_t begin = start + marker.size();
    size_t end = message.rfind("'; expected ");
    if (end == std::string::npos || end < begin) end = message.rfind('\'');
    if (end == std::string::npos || end < begin) continue;
    const std::string_view token = std::string_view(message).substr(begin, end - begin);
    if (token.size() <= kShownBytes) continue;
    const std::string cut =
        std::string(headOf(token, kShownBytes)) + "'" + lengthNote(token.size());
    message.replace(begin, end - begin + 1, cut);
  }
  return capMessage(std::move(message));
}

std::string capMessage(std::string message) {
  if (message.size() <= kLongestMessage) return message;
  const size_t kept = headOf(message, kLongestMessage).size();
  message.resize(kept);
  return message + "...";
}

}  // namespace corvane::replay
