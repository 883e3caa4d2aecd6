// The replay as a library: the same trace always gives the same output although the taps run on
// real threads, and a replay leaves nothing behind. That any input gives a record or a message
// is the replay fuzzer's check (fuzz/ReplayFuzzer.cpp).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/simulated/SimulatedSession.h"
#include "tools/corvane-replay/Replayer.h"

namespace corvane::replay {
namespace {

class StringSink final : public OutputSink {
 public:
  void write(std::string_view text) override { text_ += text; }
  std::string text_;
};

struct Result {
  std::string output;
  TraceReader::Status status;
  uint64_t records;
};

Result replay(const std::string& trace) {
  StringLineSource lines(trace);
  TraceReader reader(lines);
  StringSink sink;
  Replayer replayer(sink);
  const TraceReader::Status status = replayer.run(reader);
  return {sink.text_, status, replayer.counts().records};
}

// A trace that mixes every record kind at random, with many records at one instant, starts and
// stops while untrusted, and keys inside reopen sequences.
std::string randomTrace(uint32_t seed, int records) {
  std::mt19937 random(seed);
  const auto pick = [&random](int n) {
    return static_cast<int>(random() % static_cast<uint32_t>(n));
  };
  static const char* const kKeys[] = {
      R"("key":"down","code":8,"flags":"0x800000")",  // copy
      R"("key":"up","code":8)",
      R"("key":"down","code":48,"flags":131072)",  // Shift+Tab
      R"("key":"up","code":48)",
      R"("key":"down","code":120)",                   // F2
      R"("key":"down","code":14,"flags":"0x80000")",  // Win+E
      R"("key":"flags","code":63,"flags":8388608)",
      R"("key":"down","code":4)",
  };
  static const char* const kOthers[] = {
      R"("frontmost":"com.apple.Safari")",
      R"("frontmost":null)",
      R"("frontmost":"")",
      R"("set":"swapFnAndControl","value":false)",
      R"("set":"swapFnAndControl","value":true)",
      R"("set":"swapOptionAndCommand","value":false)",
      R"("do":"start")",
      R"("do":"stop")",
      R"("trusted":false)",
      R"("trusted":true)",
      R"("system":"disableTapByTimeout")",
      R"("system":"disableTapByUserInput")",
  };
  std::string trace;
  int at = 0;
  for (int i = 0; i < records; ++i) {
    at += pick(4) == 0 ? 0 : pick(15);
    trace += "{\"at\":" + std::to_string(at) + ",";
    trace += pick(3) == 0 ? kOthers[pick(std::size(kOthers))] : kKeys[pick(std::size(kKeys))];
    trace += "}\n";
  }
  return trace;
}

TEST(ReplayTest, SameTraceSameOutput) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    const std::string trace = randomTrace(seed, 400);
    const Result first = replay(trace);
    ASSERT_EQ(first.status, TraceReader::Status::end);
    EXPECT_EQ(first.records, 400u);
    for (int run = 0; run < 2; ++run) {
      EXPECT_EQ(replay(trace).output, first.output) << "seed " << seed << ", run " << run + 2;
    }
  }
}

TEST(ReplayTest, LeavesNothingBehind) {
  const uint64_t before = sim::SimulatedSession::liveObjects();
  // Ends at a bad line while a reopen sequence is under way and a Return of F2 is queued; the
  // queued work holds the manager until it has run.
  const Result result = replay(
      "{\"at\":0,\"frontmost\":\"com.apple.Safari\"}\n"
      "{\"at\":1,\"key\":\"down\",\"code\":120}\n"
      "{\"at\":2,\"key\":\"down\",\"code\":48,\"flags\":131072}\n"
      "{\"at\":25,\"key\":\"down\",\"code\":4}\n"
      "{\"at\":26,\"key\":\"down\"\n");
  EXPECT_EQ(result.status, TraceReader::Status::badLine);
  EXPECT_EQ(replay(randomTrace(4, 200)).status, TraceReader::Status::end);
  EXPECT_EQ(sim::SimulatedSession::liveObjects(), before);
}

TEST(TraceParserTest, BadLineKeepsThePreviousTime) {
  TraceParser parser;
  TraceRecord record;
  ASSERT_TRUE(parser.parse(R"({"at":10,"do":"stop"})", record));
  EXPECT_FALSE(parser.parse(R"({"at":20,"do":"halt"})", record));
  EXPECT_FALSE(parser.parse(R"({"at":5,"do":"stop"})", record));
  EXPECT_EQ(parser.error(), R"("at" goes back in time: 5 is before the previous record's 10)");
  ASSERT_TRUE(parser.parse(R"({"at":10,"do":"start"})", record));
  EXPECT_EQ(record.kind, RecordKind::start);
  EXPECT_EQ(record.at, std::chrono::milliseconds(10));
}

}  // namespace
}  // namespace corvane::replay
