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

// Bytes of the UTF-8 character that starts at text[i], or 0 when none does (a stray or
// ill-formed byte, an overlong form, a surrogate, beyond U+10FFFF).
size_t utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// A text from the input in double quotes as a JSON string shows it, except that a byte that is
// not part of a UTF-8 character is written \xNN: the message stays plain text whatever the input.
std::string quotedBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = utf8Length(text, i);
    if (length == 0) {
      quoted += "\\x";
      quoted += kHex[c >> 4];
      quoted += kHex[c & 0xF];
      ++i;
      continue;
    }
    if (length > 1) {
      quoted.append(text.substr(i, length));
    } else if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      quoted += "\\u00";
      quoted += kHex[c >> 4];
      quoted += kHex[c & 0xF];
    } else {
      quoted += static_cast<char>(c);
    }
    i += length;
  }
  return quoted + '"';
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
  // The token it quotes after "last read: '" or "parsing '" is the input's own: quoted as the
  // other messages quote values, in plain text (an ill-formed byte as \xNN), and cut. It ends
  // at "'; expected " when that follows, else at the last quote.
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
    std::string shown = quotedBytes(headOf(token, kShownBytes));
    if (token.size() > kShownBytes) shown += lengthNote(token.size());
    message.replace(begin - 1, end - begin + 2, shown);
  }
  return capMessage(std::move(message));
}

std::string shownName(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = utf8Length(text, i);
    if (length == 0 || (length == 1 && (c < 0x20 || c == 0x7F))) return quotedBytes(text);
    i += length;
  }
  return std::string(text);
}

std::string capMessage(std::string message) {
  if (message.size() <= kLongestMessage) return message;
  const size_t kept = headOf(message, kLongestMessage).size();
  message.resize(kept);
  return message + "...";
}

}  // namespace corvane::replay
