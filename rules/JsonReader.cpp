#include "rules/JsonReader.h"

#include <cstdint>

#include "rules/Text.h"

namespace corvane::json {
namespace {

constexpr int kMaxDepth = 32;  // a rules file nests three deep

// Length of the UTF-8 sequence at text[i], or 0 when it is not valid UTF-8.
size_t utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t b = byte(i);
  if (b < 0x80) return 1;
  size_t length = 0;
  uint32_t code = 0;
  if ((b & 0xE0) == 0xC0) {
    length = 2;
    code = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    length = 3;
    code = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    length = 4;
    code = b & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  // No overlong forms, no surrogates, nothing past U+10FFFF.
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

void appendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

class Reader {
 public:
  Reader(std::string_view text, RulesError& error) : text_(text), error_(error) {}

  bool document(Value& out) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // a byte-order mark, as some editors write
    // UTF-16, with its byte-order mark or without (every other byte of a JSON text is then 0).
    if (text_.starts_with("\xFF\xFE") || text_.starts_with("\xFE\xFF") ||
        (text_.size() >= 2 && (text_[0] == '\0' || text_[1] == '\0'))) {
      return fail(here(), "the file is UTF-16 text: save it as UTF-8");
    }
    if (!checkUtf8()) return false;
    if (!skipSpace()) return false;
    if (pos_ >= text_.size())
      return fail(here(), "the file is empty: it should hold one JSON object");
    if (!value(out, 0)) return false;
    if (!skipSpace()) return false;
    if (pos_ < text_.size()) return fail(here(), "unexpected text after the end of the object");
    return true;
  }

 private:
  bool fail(Position at, std::string message) {
    error_ = RulesError{at.line, at.column, std::move(message)};
    return false;
  }

  Position here() const { return position_; }

  // Moves past one character (a whole UTF-8 sequence), keeping the line and column.
  void advance() {
    const char c = text_[pos_];
    pos_ += utf8Length(text_, pos_);
    if (c == '\n') {
      ++position_.line;
      position_.column = 1;
    } else {
      ++position_.column;
    }
  }

  bool checkUtf8() {
    Position at;
    for (size_t i = pos_; i < text_.size();) {
      const size_t length = utf8Length(text_, i);
      if (length == 0) return fail(at, "the file is not valid UTF-8 text");
      if (text_[i] == '\n') {
        ++at.line;
        at.column = 1;
      } else {
        ++at.column;
      }
      i += length;
    }
    return true;
  }

  bool skipSpace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        advance();
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') advance();
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '*') {
        const Position start = here();
        advance();
        advance();
        while (pos_ + 1 < text_.size() && !(text_[pos_] == '*' && text_[pos_ + 1] == '/'))
          advance();
        if (pos_ + 1 >= text_.size()) return fail(start, "a /* comment is never closed with */");
        advance();
        advance();
      } else if (c == '/') {
        return fail(here(), "a comment starts with // or /*");
      } else {
        break;
      }
    }
    return true;
  }

  static bool startsValue(char c) {
    return c == '{' || c == '[' || c == '"' || c == 't' || c == 'f' || c == 'n' || c == '-' ||
           (c >= '0' && c <= '9');
  }

  bool value(Value& out, int depth) {
    out.at = here();
    out.begin = pos_;
    const bool read = valueAt(out, depth);
    out.end = pos_;
    return read;
  }

  bool valueAt(Value& out, int depth) {
    const char c = text_[pos_];
    switch (c) {
      case '{':
        return object(out, depth);
      case '[':
        return array(out, depth);
      case '"':
        out.type = Value::Type::string;
        return string(out.text, out.verbatim);
      case 't':
        return word("true", out, Value::Type::boolean, true);
      case 'f':
        return word("false", out, Value::Type::boolean, false);
      case 'n':
        return word("null", out, Value::Type::null, false);
      default:
        if (c == '-' || (c >= '0' && c <= '9')) return number(out);
        if (c == '\'') return fail(here(), "texts are written in double quotes (\"...\")");
        return fail(here(),
                    "expected a value (a text in double quotes, a number, true, false, "
                    "null, [ or {)");
    }
  }

  bool word(std::string_view expected, Value& out, Value::Type type, bool boolean) {
    size_t end = pos_;
    while (end < text_.size() && isWordChar(text_[end])) ++end;
    if (text_.substr(pos_, end - pos_) != expected) {
      return fail(here(), "unknown word " + inQuotes(text_.substr(pos_, end - pos_)) +
                              " (texts are written in double quotes)");
    }
    for (size_t i = 0; i < expected.size(); ++i) advance();
    out.type = type;
    out.boolean = boolean;
    return true;
  }

  static bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }

  bool number(Value& out) {
    const size_t start = pos_;
    const auto digits = [&] {
      size_t n = 0;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
        advance();
        ++n;
      }
      return n;
    };
    if (text_[pos_] == '-') advance();
    const size_t intStart = pos_;
    const size_t intDigits = digits();
    bool ok = intDigits > 0 && !(intDigits > 1 && text_[intStart] == '0');
    if (ok && pos_ < text_.size() && text_[pos_] == '.') {
      advance();
      ok = digits() > 0;
    }
    if (ok && pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      advance();
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) advance();
      ok = digits() > 0;
    }
    if (!ok) return fail(out.at, "not a valid number");
    out.type = Value::Type::number;
    out.text = std::string(text_.substr(start, pos_ - start));
    return true;
  }

  bool hex4(uint32_t& code) {
    code = 0;
    for (int i = 0; i < 4; ++i) {
      if (pos_ >= text_.size()) return false;
      const char c = text_[pos_];
      uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
      code = code * 16 + digit;
      advance();
    }
    return true;
  }

  bool string(std::string& out, bool& verbatim) {
    const Position start = here();
    advance();  // the opening quote
    out.clear();
    verbatim = true;
    while (true) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') {
        return fail(start, "a text is not closed with \" on the same line");
      }
      const char c = text_[pos_];
      if (c == '"') {
        advance();
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) {
        return fail(here(), "a text may not hold a control character (write \\t for a tab)");
      }
      if (c != '\\') {
        const size_t length = utf8Length(text_, pos_);
        out.append(text_.substr(pos_, length));
        advance();
        continue;
      }
      verbatim = false;
      const Position escape = here();
      advance();
      if (pos_ >= text_.size()) return fail(start, "a text is not closed with \"");
      const char e = text_[pos_];
      advance();
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t code = 0;
          if (!hex4(code)) return fail(escape, "\\u must be followed by four hexadecimal digits");
          if (code >= 0xD800 && code <= 0xDBFF) {
            uint32_t low = 0;
            if (pos_ + 1 >= text_.size() || text_[pos_] != '\\' || text_[pos_ + 1] != 'u') {
              return fail(escape, "a \\u escape of a lone surrogate is not a character");
            }
            advance();
            advance();
            if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) {
              return fail(escape, "a \\u escape of a lone surrogate is not a character");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return fail(escape, "a \\u escape of a lone surrogate is not a character");
          }
          if (code == 0) return fail(escape, "a text may not hold the character \\u0000");
          appendUtf8(out, code);
          break;
        }
        default:
          return fail(escape, "unknown escape \\" + std::string(1, e) + " in a text");
      }
    }
  }

  bool array(Value& out, int depth) {
    if (depth >= kMaxDepth) return fail(here(), "the file nests too deep");
    out.type = Value::Type::array;
    advance();
    if (!skipSpace()) return false;
    if (pos_ < text_.size() && text_[pos_] == ']') {
      advance();
      return true;
    }
    while (true) {
      if (pos_ >= text_.size()) return fail(out.at, "a [ is never closed with ]");
      out.items.emplace_back();
      if (!value(out.items.back(), depth + 1)) return false;
      const Position afterItem = here();
      if (!skipSpace()) return false;
      if (pos_ >= text_.size()) return fail(out.at, "a [ is never closed with ]");
      if (text_[pos_] == ']') {
        advance();
        return true;
      }
      if (startsValue(text_[pos_])) return fail(afterItem, "a , is missing after this list item");
      if (text_[pos_] != ',') return fail(here(), "expected , or ] after a list item");
      advance();
      if (!skipSpace()) return false;
      // A comma after the last item is allowed, as in editors' own settings files.
      if (pos_ < text_.size() && text_[pos_] == ']') {
        advance();
        return true;
      }
    }
  }

  bool object(Value& out, int depth) {
    if (depth >= kMaxDepth) return fail(here(), "the file nests too deep");
    out.type = Value::Type::object;
    advance();
    if (!skipSpace()) return false;
    if (pos_ < text_.size() && text_[pos_] == '}') {
      advance();
      return true;
    }
    while (true) {
      if (pos_ >= text_.size()) return fail(out.at, "a { is never closed with }");
      if (text_[pos_] != '"') {
        return fail(here(), "expected a member name in double quotes");
      }
      Value::Member member;
      member.at = here();
      member.begin = pos_;
      bool verbatim = true;
      if (!string(member.name, verbatim) || !skipSpace()) return false;
      for (const Value::Member& other : out.members) {
        if (other.name == member.name) {
          return fail(member.at, "member " + inQuotes(member.name) + " appears twice (line " +
                                     std::to_string(other.at.line) + ")");
        }
      }
      if (pos_ >= text_.size() || text_[pos_] != ':') {
        return fail(here(), "expected : after the member name " + inQuotes(member.name));
      }
      advance();
      if (!skipSpace()) return false;
      if (pos_ >= text_.size()) return fail(out.at, "a { is never closed with }");
      if (!value(member.value, depth + 1)) return false;
      member.end = pos_;
      const Position afterMember = here();
      if (!skipSpace()) return false;
      out.members.push_back(std::move(member));
      if (pos_ >= text_.size()) return fail(out.at, "a { is never closed with }");
      if (text_[pos_] == '}') {
        advance();
        return true;
      }
      // The next member begins where a comma should have come: the comma is missing at the end
      // of this one, which may be lines before.
      if (text_[pos_] == '"') return fail(afterMember, "a , is missing after this member");
      if (text_[pos_] != ',') return fail(here(), "expected , or } after a member");
      advance();
      if (!skipSpace()) return false;
      if (pos_ < text_.size() && text_[pos_] == '}') {
        advance();
        return true;
      }
    }
  }

  std::string_view text_;
  RulesError& error_;
  size_t pos_ = 0;
  Position position_;
};

}  // namespace

Position Value::charAt(size_t index) const {
  if (!verbatim) return at;
  return Position{at.line, at.column + 1 + static_cast<int>(index)};
}

bool parse(std::string_view text, Value& out, RulesError& error) {
  out = Value{};
  return Reader(text, error).document(out);
}

std::string_view describeType(Value::Type type) {
  switch (type) {
    case Value::Type::null:
      return "null";
    case Value::Type::boolean:
      return "true or false";
    case Value::Type::number:
      return "a number";
    case Value::Type::string:
      return "a text";
    case Value::Type::array:
      return "a list";
    case Value::Type::object:
      return "an object";
  }
  return "a value";
}

}  // namespace corvane::json
