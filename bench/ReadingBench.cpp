// Reading and compiling rules files that grow: N shortcuts on one press (each in an application
// of its own, so none clash), a file of 5,000 filling the 256 KiB limit, and a file of 5,000
// patterns, which is refused at the 257th. Prints "name value" lines: the best of ROUNDS times, in
// ms.
//   bench_reading [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rules/RuleCompiler.h"
#include "rules/RulesFile.h"

namespace {

using namespace corvane;

// N shortcuts for Ctrl+O, each in one application, the identifiers padded to width characters.
std::string onePress(int n, size_t width) {
  std::string text = R"({"shortcuts":[)";
  for (int i = 0; i < n; ++i) {
    std::string app = "a." + std::to_string(i);
    if (app.size() < width) app.insert(2, width - app.size(), '0');
    if (i != 0) text += ',';
    text += R"({"press":"Ctrl+O","send":"Cmd+O","apps":[")" + app + R"("]})";
  }
  return text + "]}";
}

// The best of rounds runs of reading and compiling the text, in ms; whether it was read.
double bestMs(const std::string& text, int rounds, bool& read) {
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    RulesParse parse = parseRules(text);
    read = parse.rules.has_value();
    if (read) {
      const auto table = compileRules(std::move(*parse.rules));
      if (table == nullptr) std::abort();
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  bool read = false;
  const double t500 = bestMs(onePress(500, 0), rounds, read);
  if (!read) return 1;
  const double t4000 = bestMs(onePress(4000, 0), rounds, read);
  if (!read) return 1;
  std::printf("read_500_ms %.3f\nread_4000_ms %.3f\nratio_4000_500 %.2f\n", t500, t4000,
              t4000 / t500);
  // As long as the limit allows: 5,000 shortcuts of one width.
  size_t width = 0;
  while (onePress(5000, width + 1).size() <= kMaxRulesFileSize) ++width;
  const std::string full = onePress(5000, width);
  const double t5000 = bestMs(full, rounds, read);
  if (!read) return 1;
  std::printf("file_5000_bytes %zu\nread_5000_ms %.3f\n", full.size(), t5000);
  std::string patterns = R"({"exclude":[)";
  for (int i = 0; i < 5000; ++i)
    patterns += (i == 0 ? "\"a." : ",\"a.") + std::to_string(i) + ".*\"";
  const double refused = bestMs(patterns + "]}", rounds, read);
  if (read) return 1;
  std::printf("refuse_5000_patterns_ms %.3f\n", refused);
  return 0;
}
