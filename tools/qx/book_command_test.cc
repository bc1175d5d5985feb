// The qx book command line: what it says as it runs.
#include "qx/book_command.h"

#include <sstream>

#include <gtest/gtest.h>

#include "testing/engine_process.h"

namespace parley {
namespace {

// qx book says when it creates a file, since the engine reads the book in its own working
// directory and a new file elsewhere is a likely mistake; an existing file is used silently.
TEST(BookCommandTest, SaysWhenItCreatesANewFile) {
  testing::TempDir dir;
  const std::string path = (dir.path() / "QXBOOK.mdb").string();
  for (const char* group : {"고객", "친구"}) {
    BookOptions options;
    options.action = "add-group";
    options.file = path;
    options.group = group;
    std::ostringstream out;
    std::ostringstream captured;
    EXPECT_EQ(RunBookCommand(options, out, captured), 0) << captured.str();
    const bool first = std::string(group) == "고객";
    EXPECT_EQ(captured.str().find("created a new address book") != std::string::npos, first)
        << captured.str();
  }
}

}  // namespace
}  // namespace parley
