// Reading lines: a line of any length is cut while the reader holds at most about 1 MiB of
// input; messages quote the input in part and show no library codes. The lines refused, and
// their messages, are the golden traces golden/error-*.jsonl.
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
