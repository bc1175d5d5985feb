#include "link/message.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(MakeHeader, PadsTheLengthToTenCharacters) {
  struct Case {
    std::string_view code;
    size_t length;
    std::string expected;
  };
  const Case cases[] = {
      {"INIT", 0, "INITQX0.10         "},
      {"ENDQX", 4, "ENDQXQX0.14         "},
      {"LOGIN", 0, "LOGINQX0.10         "},
      {"SENDL", 12345, "SENDLQX0.112345     "},
      {"EXCEL", 1234567890, "EXCELQX0.11234567890"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MakeHeader(c.code, c.length), c.expected) << c.code << " " << c.length;
  }
  EXPECT_EQ(MakeHeader("INIT", 0).size(), kInitHeaderSize);
  EXPECT_EQ(MakeHeader("LOGIN", 0).size(), kHeaderSize);
}

TEST(ParseLengthField, AcceptsOnlyPaddedDecimalNumbers) {
  struct Case {
    std::string_view field;
    bool ok;
    size_t value;
  };
  const Case cases[] = {
      {"0         ", true, 0},
      {"12345     ", true, 12345},
      {"1234567890", false, 0},
      {"   42     ", true, 42},
      {"16777216  ", true, 16777216},
      {"16777217  ", false, 0},
      {"          ", false, 0},
      {"12a       ", false, 0},
      {"-1        ", false, 0},
      {"1 2       ", false, 0},
      {std::string_view("7\0        ", 10), false, 0},
  };
  for (const auto& c : cases) {
    size_t value = 99;
    EXPECT_EQ(ParseLengthField(c.field, kMaxBodySize, &value), c.ok) << c.field;
    EXPECT_EQ(value, c.ok ? c.value : 99u) << c.field;
  }
}

// Feeds `stream` to a parser in pieces of `piece` bytes and collects the messages.
std::vector<RawMessage> Parse(const std::string& stream, size_t piece, bool* error = nullptr) {
  FrameParser parser;
  std::vector<RawMessage> out;
  RawMessage m;
  std::string why;
  for (size_t at = 0; at < stream.size(); at += piece) {
    parser.Append(std::string_view(stream).substr(at, piece));
    for (;;) {
      auto status = parser.Next(&m, &why);
      if (status == FrameParser::Status::kMessage) {
        out.push_back(m);
        continue;
      }
      if (status == FrameParser::Status::kError && error) *error = true;
      if (status == FrameParser::Status::kError) return out;
      break;
    }
  }
  return out;
}

TEST(FrameParser, BodiesOfEveryLengthArriveWholeInAnyPieces) {
  for (size_t length : {0u, 1u, 999u, 1000u, 1001u, 12345u}) {
    std::string body(length, 'x');
    for (size_t i = 0; i < length; ++i) body[i] = static_cast<char>('a' + i % 26);
    std::string stream = MakeMessage("DSEND", body);
    for (size_t piece : {1u, 7u, 19u, 20u, 1000u, 100000u}) {
      auto messages = Parse(stream, piece);
      ASSERT_EQ(messages.size(), 1u) << length << "/" << piece;
      EXPECT_EQ(messages[0].header, MakeHeader("DSEND", length));
      EXPECT_EQ(messages[0].body, body);
    }
  }
}

TEST(FrameParser, PipelinedMessagesComeOutInOrder) {
  std::string stream = MakeMessage("LOGIN", "a<QX>b") + MakeMessage("INIT", "") +
                       MakeMessage("ENDQX", "0") + MakeMessage("MYMSG", "");
  for (size_t piece : {size_t{1}, size_t{3}, stream.size()}) {
    auto messages = Parse(stream, piece);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].body, "a<QX>b");
    EXPECT_EQ(messages[1].header, "INITQX0.10         ");
    EXPECT_EQ(messages[2].header.substr(0, 5), "ENDQX");
    EXPECT_EQ(messages[2].body, "0");
    EXPECT_EQ(messages[3].header.substr(0, 5), "MYMSG");
  }
}

TEST(FrameParser, HeaderSizeDependsOnInitAndTheVersionTag) {
  // "INIT" without the version tag right after it is a 20-byte header.
  auto messages = Parse("INIT QX0.13         abc", 5);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].header, "INIT QX0.13         ");
  EXPECT_EQ(messages[0].body, "abc");
  messages = Parse("INITQX0.13         abc", 5);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].body, "abc");
}

TEST(FrameParser, RefusesBadLengthFieldsWithoutBuffering) {
  for (std::string header : {"LOGINQX0.1abc       ", "LOGINQX0.1          ",
                             "LOGINQX0.199999999999", "LOGINQX0.116777217  "}) {
    bool error = false;
    auto messages = Parse(MakeMessage("INIT", "") + header.substr(0, 20) + "body", 4, &error);
    EXPECT_TRUE(error) << header;
    EXPECT_EQ(messages.size(), 1u) << "the message before the bad one still counts";
  }
}

}  // namespace
}  // namespace parley
