// Reading lines: a line of any length is cut and refused while the reader holds at most about
// 1 MiB of input; a NUL byte is refused; messages quote the input in part and show no library
// codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tools/corvane-replay/MessageText.h"
#include "tools/corvane-replay/TraceReader.h"

namespace corvane::replay {
namespace {

constexpr size_t kBlock = 1 << 16;  // what the file source reads at a time

std::vector<size_t> lineLengths(LineSource& lines) {
  std::vector<size_t> lengths;
  std::string_view line;
  while (lines.nextLine(line)) lengths.push_back(line.size());
  return lengths;
}

TEST(LineSources, CutALongLineSkipItsRestAndHoldAtMostOneMiB) {
  const std::string record = R"({"at":1,"do":"start"})";
  const std::string text = std::string(3 << 20, 'a') + "\n" + record + "\n" +
                           std::string(kMaxLineBytes, 'b') + "\n" + std::string(3 << 20, 'c');
  const std::vector<size_t> expected = {kMaxLineBytes + 1, record.size(), kMaxLineBytes,
                                        kMaxLineBytes + 1};

  StringLineSource memory(text);
  EXPECT_EQ(lineLengths(memory), expected);

  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
  std::rewind(file);
  FileLineSource stream(file);
  EXPECT_EQ(lineLengths(stream), expected);
  EXPECT_LE(stream.bufferCapacity(), kMaxLineBytes + kBlock + 64) << "the reader held more";
  std::fclose(file);
}

struct BadLine {
  const char* name;
  std::string text;
  std::string message;
};

class BadLineTest : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadLineTest, IsRefusedWithAShortMessage) {
  StringLineSource lines(GetParam().text);
  TraceReader reader(lines);
  TraceRecord record;
  ASSERT_EQ(reader.next(record), TraceReader::Status::badLine);
  EXPECT_EQ(reader.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadLineTest,
    ::testing::Values(
        BadLine{"nulAfterARecord", std::string("{\"at\":5,\"do\":\"start\"}\0{\"at\":1}", 30),
                "a NUL byte at column 22 (a trace is text)"},
        BadLine{"nulInAComment", std::string("# \0", 3),
                "a NUL byte at column 3 (a trace is text)"},
        BadLine{"tooLong", "#" + std::string(kMaxLineBytes, ' '),
                "longer than 1 MiB (the most a line may hold is 1048576 bytes)"},
        BadLine{"longKey", "{\"" + std::string(5000, 'k') + "\":1}",
                "unknown key \"kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk\"... (5000 bytes)"},
        BadLine{"longNumber", "{\"at\":0." + std::string(5000, '1') + ",\"at\":1}",
                "duplicate key \"at\""},
        BadLine{"longNumberValue", "{\"at\":\"x\",\"key\":0." + std::string(100, '5') + "}",
                "\"at\" must be a number, not \"x\""},
        BadLine{"numberOverflow", "{\"at\":1e999}", "number out of range at column 11: 1e999"},
        BadLine{"multiByteCut",
                "{\"at\":0,\"do\":\"" + std::string(39, 'x') + "\xC3\xA9" + "tail\"}",
                "\"do\" must be \"start\", \"stop\", \"record\" or \"stopRecording\", not \"" +
                    std::string(39, 'x') + "\"... (45 bytes)"},
        // The parser's own words, the input's bytes quoted in plain text.
        BadLine{"notUtf8", "{\"at\":10,\"key\":\"down\xa6\"}",
                "not valid JSON at column 21: syntax error while parsing value - invalid string: "
                "ill-formed UTF-8 byte; last read: \"\\\"down\\xa6\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParserMessage, DropsTheLibrarysCodeAndPreambleAndCutsTheToken) {
  EXPECT_EQ(parserMessage("[json.exception.parse_error.101] parse error at line 1, column 7: "
                          "syntax error while parsing object - unexpected end of input; "
                          "expected '}'"),
            "syntax error while parsing object - unexpected end of input; expected '}'");
  EXPECT_EQ(parserMessage("[json.exception.out_of_range.406] number overflow parsing '1e999'"),
            "number overflow parsing \"1e999\"");
  EXPECT_EQ(parserMessage("[json.exception.parse_error.101] parse error at line 1, column 60: "
                          "syntax error while parsing value - invalid literal; last read: '" +
                          std::string(50, 'z') + "'; expected '}'"),
            "syntax error while parsing value - invalid literal; last read: \"" +
                std::string(40, 'z') + "\"... (50 bytes); expected '}'");
}

// The token is the input's: whatever bytes it holds, the message is plain text in which each
// is told apart, and characters of UTF-8 stay as they are.
TEST(ParserMessage, QuotesTheInputsBytesInPlainText) {
  const auto lastRead = [](const std::string& token) {
    return parserMessage(
        "[json.exception.parse_error.101] parse error at line 1, column 9: "
        "syntax error while parsing value - invalid string: x; last read: '" +
        token + "'");
  };
  const std::string prefix = "syntax error while parsing value - invalid string: x; last read: ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\"down\xa6", R"("\"down\xa6")"},
      {"\"\xff\xfe\x80", R"("\"\xff\xfe\x80")"},
      {"\"caf\xc3\xa9", "\"\\\"caf\xc3\xa9\""},                           // é stays
      {"\"\xc3", R"("\"\xc3")"},                                          // a character cut short
      {"\"\xe0\x80\x80\xed\xa0\x80", R"("\"\xe0\x80\x80\xed\xa0\x80")"},  // overlong, surrogate
      {"\"\xf4\x90\x80\x80", R"("\"\xf4\x90\x80\x80")"},                  // beyond U+10FFFF
      {"\"a\\b\tc\x01\x7f", R"("\"a\\b\tc\u0001\u007f")"},
  };
  for (const auto& [token, shown] : cases) {
    EXPECT_EQ(lastRead(token), prefix + shown) << shown;
  }
}

}  // namespace
}  // namespace corvane::replay
