#include "qx/command_suggestion.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(NearestCommandTest, TyposAndOtherWords) {
  const std::vector<std::string> names = {"raw",  "login",   "logout", "check",    "send", "excel",
                                          "book", "results", "stats",  "messages", "quit"};
  const struct {
    const char* word;
    const char* meant;
  } cases[] = {
      {"sned", "send"},    {"snd", "send"},        {"sendd", "send"},   {"lgoin", "login"},
      {"logot", "logout"}, {"resluts", "results"}, {"stat", "stats"},   {"exel", "excel"},
      {"send", ""},        {"transfer", ""},       {"01012345678", ""}, {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NearestCommand(names, c.word), c.meant) << c.word;
  }
}

}  // namespace
}  // namespace parley
