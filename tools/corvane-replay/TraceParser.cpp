// Reads one trace line with nlohmann-json's SAX interface: the line must be one flat JSON object
// whose keys are known, each at most once; then every value is checked for its type and range.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "tools/corvane-replay/MessageText.h"
#include "tools/corvane-replay/TraceRecord.h"

namespace corvane::replay {
namespace {

using Json = nlohmann::json;

enum Field : uint8_t {
  fAt,
  fKey,
  fCode,
  fFlags,
  fUserData,
  fFrontmost,
  fSet,
  fValue,
  fDo,
  fTrusted,
  fSystem,
  fRules,
  fSecureInput,
  fDock,
  kFieldCount
};

constexpr std::array<std::string_view, kFieldCount> kFieldNames = {
    "at",    "key", "code",    "flags",  "userData", "frontmost",   "set",
    "value", "do",  "trusted", "system", "rules",    "secureInput", "dock"};

// The keys that name a record, in the order the messages list them.
constexpr std::array<Field, 9> kRecordFields = {fKey,    fFrontmost, fSet,         fDo,  fTrusted,
                                                fSystem, fRules,     fSecureInput, fDock};

struct Value {
  enum class Type : uint8_t {
    absent,
    null,
    boolean,
    integer,
    unsignedInteger,
    floating,
    string,
    object,
    array
  };
  Type type = Type::absent;
  bool boolean = false;
  int64_t integer = 0;
  uint64_t unsignedInteger = 0;
  double floating = 0;
  std::string text;  // a string's value, or a floating-point number as written
};

std::string jsonQuoted(std::string_view text) {
  return quotedForMessage(text);
}

std::string quotedName(Field field) {
  return jsonQuoted(kFieldNames[field]);
}

// The value as the message shows it: `"pause"`, `5`, `true`, `null`, `an object`.
std::string describe(const Value& value) {
  switch (value.type) {
    case Value::Type::absent:
      return "missing";
    case Value::Type::null:
      return "null";
    case Value::Type::boolean:
      return value.boolean ? "true" : "false";
    case Value::Type::integer:
      return std::to_string(value.integer);
    case Value::Type::unsignedInteger:
      return std::to_string(value.unsignedInteger);
    case Value::Type::floating:
      return cutForMessage(value.text);
    case Value::Type::string:
      return jsonQuoted(value.text);
    case Value::Type::object:
      return "an object";
    case Value::Type::array:
      return "an array";
  }
  return "?";
}

bool isNumber(const Value& value) {
  return value.type == Value::Type::integer || value.type == Value::Type::unsignedInteger ||
         value.type == Value::Type::floating;
}

// An integer literal too large for 64 bits reaches us as a floating-point number: it is out of
// range rather than not an integer.
bool isOverflowedInteger(const Value& value) {
  return value.type == Value::Type::floating &&
         value.text.find_first_of(".eE") == std::string::npos;
}

// Collects the top-level keys and values of one line.
class LineHandler final : public nlohmann::json_sax<Json> {
 public:
  std::array<Value, kFieldCount> values;
  bool syntaxError = false;
  bool numberOutOfRange = false;
  std::size_t errorColumn = 0;
  std::string errorDetail;
  bool notAnObject = false;
  std::string keyProblem;  // the first unknown or repeated key
  // "dock": its strings (nullopt: null), and the first item that is neither
  std::vector<std::optional<std::string>> dockItems;
  std::string dockProblem;

  bool null() override {
    if (dockItem(Value::Type::null)) dockItems.emplace_back();
    return scalar(Value::Type::null);
  }
  bool boolean(bool v) override {
    if (Value* slot = scalarSlot(Value::Type::boolean)) slot->boolean = v;
    return true;
  }
  bool number_integer(number_integer_t v) override {
    if (Value* slot = scalarSlot(Value::Type::integer)) slot->integer = v;
    return true;
  }
  bool number_unsigned(number_unsigned_t v) override {
    if (Value* slot = scalarSlot(Value::Type::unsignedInteger)) slot->unsignedInteger = v;
    return true;
  }
  bool number_float(number_float_t v, const string_t& written) override {
    if (Value* slot = scalarSlot(Value::Type::floating)) {
      slot->floating = v;
      slot->text = written;
    }
    return true;
  }
  bool string(string_t& v) override {
    if (dockItem(Value::Type::string)) dockItems.emplace_back(v);
    if (Value* slot = scalarSlot(Value::Type::string)) slot->text = std::move(v);
    return true;
  }
  bool binary(binary_t& /*unused*/) override { return scalar(Value::Type::object); }
  bool start_object(std::size_t /*unused*/) override { return open(Value::Type::object); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t /*unused*/) override { return open(Value::Type::array); }
  bool end_array() override { return close(); }

  bool key(string_t& name) override {
    if (depth_ != 1) return true;
    current_ = kFieldCount;
    const auto* it = std::find(kFieldNames.begin(), kFieldNames.end(), name);
    if (it == kFieldNames.end()) {
      if (keyProblem.empty()) keyProblem = "unknown key " + jsonQuoted(name);
      return true;
    }
    const auto field = static_cast<Field>(it - kFieldNames.begin());
    if (seen_[field]) {
      if (keyProblem.empty()) keyProblem = "duplicate key " + jsonQuoted(name);
      return true;
    }
    seen_[field] = true;
    current_ = field;
    return true;
  }

  bool parse_error(std::size_t position, const std::string& lastToken,
                   const nlohmann::detail::exception& ex) override {
    syntaxError = true;
    errorColumn = position;
    // A number too large for a double (out_of_range 406) is valid JSON all the same.
    numberOutOfRange = ex.id == 406;
    errorDetail = numberOutOfRange ? cutForMessage(lastToken) : parserMessage(ex.what());
    return false;
  }

 private:
  // Whether the value is an item of the "dock" array that it keeps (a string or null).
  bool dockItem(Value::Type type) {
    if (depth_ != 2 || current_ != fDock || values[fDock].type != Value::Type::array) return false;
    if (type == Value::Type::string || type == Value::Type::null) return true;
    if (dockProblem.empty()) {
      dockProblem = type == Value::Type::object    ? "an object"
                    : type == Value::Type::array   ? "a list"
                    : type == Value::Type::boolean ? "true or false"
                                                   : "a number";
    }
    return false;
  }
  // The slot for a scalar value at the top of the line's object, if it is one we keep.
  Value* scalarSlot(Value::Type type) {
    dockItem(type);
    if (depth_ == 0) {
      notAnObject = true;
      return nullptr;
    }
    if (depth_ != 1 || current_ == kFieldCount) return nullptr;
    Value& slot = values[current_];
    slot.type = type;
    return &slot;
  }
  bool scalar(Value::Type type) {
    scalarSlot(type);
    return true;
  }
  bool open(Value::Type type) {
    dockItem(type);
    if (depth_ == 0 && type != Value::Type::object) notAnObject = true;
    if (depth_ == 1 && current_ != kFieldCount) values[current_].type = type;
    ++depth_;
    return true;
  }
  bool close() {
    --depth_;
    return true;
  }

  int depth_ = 0;
  Field current_ = kFieldCount;
  std::array<bool, kFieldCount> seen_{};
};

bool fail(std::string& error, std::string message) {
  error = std::move(message);
  return false;
}

// A signed 64-bit field: code and userData. Absent means 0.
bool readSigned(const LineHandler& h, Field field, int64_t& out, std::string& error) {
  const Value& v = h.values[field];
  switch (v.type) {
    case Value::Type::absent:
      out = 0;
      return true;
    case Value::Type::integer:
      out = v.integer;
      return true;
    case Value::Type::unsignedInteger:
      if (v.unsignedInteger > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) break;
      out = static_cast<int64_t>(v.unsignedInteger);
      return true;
    case Value::Type::floating:
      if (isOverflowedInteger(v)) break;
      [[fallthrough]];
    default:
      return fail(error, quotedName(field) + " must be an integer, not " + describe(v));
  }
  return fail(error,
              quotedName(field) + " is out of range for a signed 64-bit integer: " + describe(v));
}

bool parseHexFlags(const Value& v, EventFlags& out, std::string& error) {
  const std::string_view text = v.text;
  if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
    return fail(error, "\"flags\" must be a number or a \"0x...\" string, not " + describe(v));
  }
  const std::string_view digits = text.substr(2);
  const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isHex)) {
    return fail(error, "\"flags\" is not a hexadecimal number: " + describe(v));
  }
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out, 16);
  if (ec == std::errc::result_out_of_range) {
    return fail(error, "\"flags\" is out of range for an unsigned 64-bit integer: " + describe(v));
  }
  (void)end;
  return true;
}

// Flags: unsigned 64-bit, a number or a "0x..." string. Absent means 0.
bool readFlags(const LineHandler& h, EventFlags& out, std::string& error) {
  const Value& v = h.values[fFlags];
  switch (v.type) {
    case Value::Type::absent:
      out = 0;
      return true;
    case Value::Type::unsignedInteger:
      out = v.unsignedInteger;
      return true;
    case Value::Type::integer:
      if (v.integer < 0) break;
      out = static_cast<EventFlags>(v.integer);
      return true;
    case Value::Type::string:
      return parseHexFlags(v, out, error);
    case Value::Type::floating:
      if (isOverflowedInteger(v)) break;
      return fail(error, "\"flags\" must be an integer, not " + describe(v));
    default:
      return fail(error, "\"flags\" must be a number or a \"0x...\" string, not " + describe(v));
  }
  return fail(error, "\"flags\" is out of range for an unsigned 64-bit integer: " + describe(v));
}

bool readBoolean(const Value& v, Field field, bool& out, std::string& error) {
  if (v.type != Value::Type::boolean) {
    return fail(error, quotedName(field) + " must be true or false, not " + describe(v));
  }
  out = v.boolean;
  return true;
}

// A string that must be one of a few names; returns its index.
template <size_t N>
bool readChoice(const Value& v, Field field, const std::array<std::string_view, N>& names,
                size_t& out, std::string& error) {
  if (v.type == Value::Type::string) {
    const auto* it = std::find(names.begin(), names.end(), v.text);
    if (it != names.end()) {
      out = static_cast<size_t>(it - names.begin());
      return true;
    }
  }
  std::string choices;
  for (size_t i = 0; i < N; ++i) {
    if (i > 0) choices += i + 1 == N ? " or " : ", ";
    choices += jsonQuoted(names[i]);
  }
  return fail(error, quotedName(field) + " must be " + choices + ", not " + describe(v));
}

// Where the value of a top-level member starts and ends in a line known to be one valid JSON
// object whose keys are unique. Scans without recursion: a value may nest deeper than any stack.
std::optional<std::pair<size_t, size_t>> memberValue(std::string_view line, std::string_view name) {
  size_t i = 0;
  const auto skipSpace = [&] {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
  };
  const auto skipString = [&] {  // at the opening quote; ends after the closing one
    for (++i; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\') ++i;
    }
    ++i;
  };
  const auto skipValue = [&] {
    size_t depth = 0;
    while (i < line.size()) {
      const char c = line[i];
      if (c == '"') {
        skipString();
        if (depth == 0) return;
        continue;
      }
      if (c == '{' || c == '[') ++depth;
      if (c == '}' || c == ']') {
        if (depth == 0) return;  // the end of the line's object: a scalar ended before it
        if (--depth == 0) {
          ++i;
          return;
        }
      }
      if (c == ',' && depth == 0) return;
      ++i;
    }
  };
  skipSpace();
  ++i;  // {
  while (i < line.size()) {
    skipSpace();
    if (i >= line.size() || line[i] != '"') return std::nullopt;
    const size_t keyStart = i;
    skipString();
    const std::string_view rawKey = line.substr(keyStart, i - keyStart);
    std::string key(rawKey.substr(1, rawKey.size() - 2));
    if (key.find('\\') != std::string::npos) {
      key = Json::parse(rawKey.begin(), rawKey.end(), nullptr, false).get<std::string>();
    }
    skipSpace();
    ++i;  // :
    skipSpace();
    const size_t valueStart = i;
    skipValue();
    if (key == name) return std::pair(valueStart, i);
    skipSpace();
    if (i >= line.size() || line[i] != ',') return std::nullopt;
    ++i;
  }
  return std::nullopt;
}

// "rules": a rules file's object, read from the line's own text by the rules file's reader, or
// null for the built-ins alone. A mistake is shown at its column in the line.
bool readRules(std::string_view line, const Value& v, TraceRecord& r, std::string& error) {
  if (v.type == Value::Type::null) return true;
  if (v.type != Value::Type::object) {
    return fail(error, "\"rules\" must be an object or null, not " + describe(v));
  }
  const auto range = memberValue(line, "rules");
  if (!range) return fail(error, "\"rules\" is not where it should be");
  RulesParse parsed = parseRules(line.substr(range->first, range->second - range->first));
  if (!parsed.rules) {
    const RulesError& e = parsed.error;
    if (e.line != 1) return fail(error, "rules: " + e.message);
    size_t column = 0;  // characters before the object
    for (size_t k = 0; k < range->first; ++k) {
      if ((static_cast<unsigned char>(line[k]) & 0xC0) != 0x80) ++column;
    }
    return fail(error, "rules, column " + std::to_string(column + static_cast<size_t>(e.column)) +
                           ": " + e.message);
  }
  r.rules = std::make_shared<const RulesFile>(std::move(*parsed.rules));
  return true;
}

}  // namespace

bool isSkippedLine(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t\r\f\v");
  return first == std::string_view::npos || line[first] == '#';
}

namespace {

// A rules file may end a list or an object with a comma, and so may a "rules" record's object:
// the line's own JSON reading sees each such comma as a space (columns stay where they are).
// Elsewhere in the line a trailing comma is still a mistake.
std::string withRulesTrailingCommasBlanked(std::string_view line) {
  std::string out(line);
  int depth = 0;
  int rulesDepth = 0;  // the depth of the "rules" member's value; 0 outside it
  bool rulesNext = false;
  for (size_t i = 0; i < out.size(); ++i) {
    const char c = out[i];
    if (c == '"') {
      const size_t start = i;
      for (++i; i < out.size() && out[i] != '"'; ++i) {
        if (out[i] == '\\') ++i;
      }
      if (depth == 1 && rulesDepth == 0) {
        rulesNext = std::string_view(out).substr(start, i + 1 - start) == "\"rules\"";
      }
      continue;
    }
    if (c == '{' || c == '[') {
      ++depth;
      if (depth == 2 && rulesNext) rulesDepth = 2;
    } else if (c == '}' || c == ']') {
      if (depth == rulesDepth) {
        rulesDepth = 0;
        rulesNext = false;
      }
      --depth;
    } else if (c == ',' && rulesDepth != 0 && depth >= rulesDepth) {
      const size_t next = out.find_first_not_of(" \t\r", i + 1);
      if (next != std::string::npos && (out[next] == '}' || out[next] == ']')) out[i] = ' ';
    }
  }
  return out;
}

}  // namespace

bool TraceParser::parse(std::string_view originalLine, TraceRecord& record) {
  const std::string blanked = withRulesTrailingCommasBlanked(originalLine);
  const std::string_view line = blanked;
  LineHandler h;
  Json::sax_parse(line.begin(), line.end(), &h);
  std::string& error = error_;
  if (h.syntaxError) {
    return fail(error, (h.numberOutOfRange ? "number out of range at column "
                                           : "not valid JSON at column ") +
                           std::to_string(h.errorColumn) + ": " + h.errorDetail);
  }
  if (h.notAnObject) return fail(error, "not a JSON object");
  if (!h.keyProblem.empty()) return fail(error, h.keyProblem);

  // "at": milliseconds since the trace began, never smaller than the previous record's.
  const Value& at = h.values[fAt];
  if (at.type == Value::Type::absent) return fail(error, "missing \"at\"");
  if (!isNumber(at)) return fail(error, "\"at\" must be a number, not " + describe(at));
  double atMs = 0;
  int64_t atNs = 0;
  switch (at.type) {
    case Value::Type::integer:
      if (at.integer < 0) return fail(error, "\"at\" must be >= 0, not " + describe(at));
      atMs = static_cast<double>(at.integer);
      break;
    case Value::Type::unsignedInteger:
      atMs = at.unsignedInteger > uint64_t{kMaxTraceMilliseconds}
                 ? static_cast<double>(kMaxTraceMilliseconds) * 2
                 : static_cast<double>(at.unsignedInteger);
      break;
    default:
      if (at.floating < 0) return fail(error, "\"at\" must be >= 0, not " + describe(at));
      atMs = at.floating;
      break;
  }
  if (atMs > static_cast<double>(kMaxTraceMilliseconds)) {
    return fail(error, "\"at\" is too large: " + describe(at) + " (the largest is " +
                           std::to_string(kMaxTraceMilliseconds) + " ms)");
  }
  if (hasPrevious_ && atMs < previousAt_) {
    return fail(error, "\"at\" goes back in time: " + describe(at) +
                           " is before the previous record's " + previousAtText_);
  }
  if (at.type == Value::Type::floating) {
    atNs = std::llround(atMs * 1e6);
  } else {
    atNs = static_cast<int64_t>(atMs) * 1'000'000;
  }

  // Exactly one key that names the record.
  Field kind = kFieldCount;
  for (Field field : kRecordFields) {
    if (h.values[field].type == Value::Type::absent) continue;
    if (kind != kFieldCount) {
      return fail(error,
                  "more than one record key: " + quotedName(kind) + " and " + quotedName(field));
    }
    kind = field;
  }
  if (kind == kFieldCount) {
    return fail(error,
                "no record key: expected one of \"key\", \"frontmost\", \"set\", \"do\", "
                "\"trusted\", \"system\", \"rules\", \"secureInput\", \"dock\"");
  }
  for (Field field : {fCode, fFlags, fUserData}) {
    if (kind != fKey && h.values[field].type != Value::Type::absent) {
      return fail(error, quotedName(field) + " belongs to a \"key\" record, not a " +
                             quotedName(kind) + " record");
    }
  }
  if (kind != fSet && h.values[fValue].type != Value::Type::absent) {
    return fail(error,
                "\"value\" belongs to a \"set\" record, not a " + quotedName(kind) + " record");
  }

  TraceRecord r;
  r.at = std::chrono::nanoseconds(atNs);
  const Value& v = h.values[kind];
  size_t choice = 0;
  switch (kind) {
    case fKey: {
      static constexpr std::array<std::string_view, 3> kTypes = {"down", "up", "flags"};
      if (!readChoice(v, fKey, kTypes, choice, error)) return false;
      r.kind = RecordKind::key;
      r.type = static_cast<EventType>(kEventKeyDown + choice);
      if (!readSigned(h, fCode, r.code, error) || !readFlags(h, r.flags, error) ||
          !readSigned(h, fUserData, r.userData, error)) {
        return false;
      }
      break;
    }
    case fFrontmost:
      r.kind = RecordKind::frontmost;
      if (v.type == Value::Type::string) {
        r.frontmost = v.text;
      } else if (v.type != Value::Type::null) {
        return fail(error, "\"frontmost\" must be a string or null, not " + describe(v));
      }
      break;
    case fSet: {
      static constexpr std::array<std::string_view, 2> kSettings = {"swapFnAndControl",
                                                                    "swapOptionAndCommand"};
      if (!readChoice(v, fSet, kSettings, choice, error)) return false;
      r.kind = RecordKind::set;
      r.setting = static_cast<Setting>(choice);
      const Value& value = h.values[fValue];
      if (value.type == Value::Type::absent) {
        return fail(error, "a \"set\" record needs \"value\": true or false");
      }
      if (!readBoolean(value, fValue, r.value, error)) return false;
      break;
    }
    case fDo: {
      static constexpr std::array<std::string_view, 4> kOperations = {"start", "stop", "record",
                                                                      "stopRecording"};
      static constexpr std::array<RecordKind, 4> kKinds = {
          RecordKind::start, RecordKind::stop, RecordKind::record, RecordKind::stopRecording};
      if (!readChoice(v, fDo, kOperations, choice, error)) return false;
      r.kind = kKinds[choice];
      break;
    }
    case fTrusted:
      r.kind = RecordKind::trusted;
      if (!readBoolean(v, fTrusted, r.value, error)) return false;
      break;
    case fSecureInput:
      r.kind = RecordKind::secureInput;
      if (!readBoolean(v, fSecureInput, r.value, error)) return false;
      break;
    case fDock:
      r.kind = RecordKind::dock;
      if (v.type != Value::Type::array) {
        return fail(error, "\"dock\" must be a list of bundle identifiers, not " + describe(v));
      }
      if (!h.dockProblem.empty()) {
        return fail(error, "\"dock\" lists bundle identifiers (or null for a spacer), not " +
                               h.dockProblem);
      }
      r.dock = std::move(h.dockItems);
      break;
    case fRules:
      r.kind = RecordKind::rules;
      if (!readRules(line, v, r, error)) return false;
      break;
    default: {
      static constexpr std::array<std::string_view, 2> kReasons = {"disableTapByTimeout",
                                                                   "disableTapByUserInput"};
      if (!readChoice(v, fSystem, kReasons, choice, error)) return false;
      r.kind = RecordKind::system;
      r.reason = choice == 0 ? kEventTapDisabledByTimeout : kEventTapDisabledByUserInput;
      break;
    }
  }

  record = std::move(r);
  hasPrevious_ = true;
  previousAt_ = atMs;
  previousAtText_ = describe(at);
  error.clear();
  return true;
}

void appendMilliseconds(std::string& out, std::chrono::nanoseconds time) {
  const int64_t ns = std::max<int64_t>(0, time.count());
  const int64_t us = (ns + 500) / 1000;
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, us / 1000);
  out.append(buffer, end);
  int64_t fraction = us % 1000;
  if (fraction == 0) return;
  char digits[4] = {'.', static_cast<char>('0' + fraction / 100),
                    static_cast<char>('0' + fraction / 10 % 10),
                    static_cast<char>('0' + fraction % 10)};
  size_t length = 4;
  while (digits[length - 1] == '0') --length;
  out.append(digits, length);
  (void)ec;
}

std::string formatMilliseconds(std::chrono::nanoseconds time) {
  std::string out;
  appendMilliseconds(out, time);
  return out;
}

}  // namespace corvane::replay
