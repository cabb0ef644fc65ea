// The run-time's error throwers are replaced in the Windows build; library
// failures must still arrive as catchable std::exception with a message.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(Runtime, LibraryErrorsStayCatchableWithTheirMessage) {
  std::string s = "ab";
  try {
    (void)s.substr(5);
    FAIL() << "substr past the end did not throw";
  } catch (const std::exception& e) {
    // The run-time's own fixed text (its format, without the values).
    EXPECT_GT(std::string(e.what()).size(), 5u) << e.what();
  }
  try {
    s.reserve(s.max_size() + 1);
    FAIL() << "an impossible reserve did not throw";
  } catch (const std::exception& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
}

}  // namespace
