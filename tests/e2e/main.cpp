// corvane-e2e [--table FILE] [--check-trust]: runs the scenario table through Corvane's engine
// on this system's session (the real one on a Mac, the simulated one elsewhere) and exits 1 on
// any mismatch. Only events this process injects and Corvane posts for them are recorded.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "tests/e2e/EndToEnd.h"

namespace {

constexpr const char* kUsage =
    "Usage: corvane-e2e [--table FILE] [--check-trust]\n"
    "  --table FILE   also write the results and the measurements (Markdown) to FILE\n"
    "  --check-trust  only check that this process may tap the session (exit 0), else exit 3\n";

int usage(const char* problem) {
  std::fprintf(stderr, "corvane-e2e: %s\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane::e2e;
  const char* tablePath = nullptr;
  bool checkTrustOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--table" && i + 1 < argc) {
      tablePath = argv[++i];
    } else if (arg == "--check-trust") {
      checkTrustOnly = true;
    } else if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      return usage(("unknown argument " + std::string(arg)).c_str());
    }
  }

  auto session = makeTestSession();
  if (!session->trusted()) {
    std::fprintf(stderr,
                 "corvane-e2e: not trusted for Accessibility (AXIsProcessTrusted() is false): "
                 "the grant for %s did not take, so no session tap can be made\n",
                 argv[0]);
    return 3;
  }
  if (checkTrustOnly) {
    std::printf("corvane-e2e: trusted for Accessibility on %s\n", session->description().c_str());
    return 0;
  }
  if (std::string error = session->startObserver(); !error.empty()) {
    std::fprintf(stderr, "corvane-e2e: the observer tap: %s\n", error.c_str());
    return 1;
  }

  Measurements measurements;
  Runner runner(*session);
  runner.measureInjectedFlags(measurements);
  std::string results = "### Scenarios (" + session->description() + ")\n\n";
  results += "| scenario | result |\n|---|---|\n";
  int failed = 0;
  for (const Scenario& scenario : scenarios()) {
    const ScenarioResult result = runner.run(scenario, measurements);
    std::printf("%s %s\n", result.passed ? "ok    " : "FAILED", result.name.c_str());
    for (const std::string& problem : result.problems)
      std::printf("         %s\n", problem.c_str());
    std::string cell = result.passed ? "passed" : "**FAILED**";
    for (const std::string& problem : result.problems) cell += "<br>" + problem;
    results += "| " + result.name + " | " + cell + " |\n";
    failed += result.passed ? 0 : 1;
  }
  session->stopObserver();

  const std::string table = results + "\n" + measurementTable(*session, measurements);
  std::printf("\n%s", table.c_str());
  if (tablePath != nullptr) {
    std::ofstream out(tablePath);
    out << table;
    if (!out) {
      std::fprintf(stderr, "corvane-e2e: cannot write %s: %s\n", tablePath, std::strerror(errno));
      return 1;
    }
  }
  std::printf("\ncorvane-e2e: %d of %zu scenarios failed\n", failed, scenarios().size());
  return failed == 0 ? 0 : 1;
}
