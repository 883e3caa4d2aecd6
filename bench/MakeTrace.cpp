// Writes a corvane-replay trace of N records (default 1,000,000) to standard output: a user
// typing, with a shortcut now and then (Fn+C, Fn+V, Fn+Z, Alt+Tab), a Shift+Tab in a browser
// (the reopen-tab sequence on the main thread) and a setting change or two. Deterministic.
//
// Usage: bench_make_trace [RECORDS] > trace.jsonl
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const uint64_t records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  std::string out;
  out.reserve(1 << 20);
  uint64_t written = 0;
  uint64_t at = 0;  // milliseconds
  uint32_t random = 12345;
  auto next = [&random] {
    random = random * 1103515245u + 12345u;
    return (random >> 16) & 0x7FFF;
  };
  auto record = [&](const std::string& body) {
    if (written >= records) return;
    out += "{\"at\":" + std::to_string(at) + "," + body + "}\n";
    ++written;
    if (out.size() > (1 << 20) - 256) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  };
  auto key = [&](const char* kind, int code, uint32_t flags) {
    record(std::string("\"key\":\"") + kind + "\",\"code\":" + std::to_string(code) +
           ",\"flags\":" + std::to_string(flags));
  };
  // A modifier goes down, a key is pressed with it, the modifier comes up.
  auto chord = [&](int modifierCode, uint32_t flags, int code) {
    key("flags", modifierCode, flags);
    at += 50;
    key("down", code, flags);
    at += 60;
    key("up", code, flags);
    at += 40;
    key("flags", modifierCode, 0);
  };
  record("\"frontmost\":\"com.apple.TextEdit\"");
  const int letters[] = {0, 1, 2, 3, 4, 5, 11, 15, 16, 17, 31, 32, 34, 38, 40, 45, 46, 49};
  while (written < records) {
    const uint32_t roll = next() % 1000;
    at += 40 + next() % 80;
    if (roll < 900) {  // a letter
      const int code = letters[next() % (sizeof letters / sizeof letters[0])];
      key("down", code, 0);
      at += 30 + next() % 40;
      key("up", code, 0);
    } else if (roll < 980) {  // Fn + C, V or Z
      const int codes[] = {8, 9, 6};
      const int code = codes[next() % 3];
      chord(63, 0x800000, code);
    } else if (roll < 990) {  // Alt+Tab (Command plays Alt)
      chord(55, 0x100000, 48);
    } else if (roll < 998) {  // Shift+Tab in a browser: the reopen sequence, 58 ms of it
      record("\"frontmost\":\"com.apple.Safari\"");
      chord(56, 0x20000, 48);
      at += 200;
      record("\"frontmost\":\"com.apple.TextEdit\"");
    } else {
      record(std::string("\"set\":\"swapFnAndControl\",\"value\":") +
             ((next() & 1) ? "true" : "false"));
      at += 10;
      record("\"set\":\"swapFnAndControl\",\"value\":true");
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
