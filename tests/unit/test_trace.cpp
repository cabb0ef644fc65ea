// The debug channel's device and the trace log's portable pieces.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "util/debug.h"
#include "util/trace.h"

namespace {

// ---------------------------------------------------------------- trace log

TEST(TraceLogPath, PutsXInFrontOfTheNameAndLogInPlaceOfTheExtension) {
  struct Case {
    const char* exe;
    const char* log;
  };
  const Case cases[] = {
      {"C:\\Dl\\setup.exe", "C:\\Dl\\X_setup.log"},
      // The X_ copy writes the same file as the plain agent.
      {"C:\\Dl\\X_setup.exe", "C:\\Dl\\X_setup.log"},
      // X_ is matched with case: x_ is part of the name.
      {"C:\\Dl\\x_setup.exe", "C:\\Dl\\X_x_setup.log"},
      // Only the last extension is replaced.
      {"C:\\Dl\\my.setup.exe", "C:\\Dl\\X_my.setup.log"},
      // A dot in a folder is not an extension.
      {"C:\\Program Files\\My.App\\agent", "C:\\Program Files\\My.App\\X_agent.log"},
      {"C:\\My.App\\agent.exe", "C:\\My.App\\X_agent.log"},
      {"agent.exe", "X_agent.log"},
      {"/opt/tool/run.bin", "/opt/tool/X_run.log"},
  };
  for (const Case& c : cases) EXPECT_EQ(TraceLogPathFor(c.exe), c.log) << c.exe;
}

TEST(TraceLogLine, PadsTheThreadIdToFiveAndEndsWithCrLf) {
  struct Case {
    uint32_t thread;
    const char* prefix;
    const char* message;
    const char* line;
  };
  const Case cases[] = {
      {123, "   ", "=== START === C:\\a.exe", "01/02/03 04:05:06   123   === START === C:\\a.exe\r\n"},
      {12345, " X ", "WinMain", "01/02/03 04:05:06 12345 X WinMain\r\n"},
      {1234567, "   ", "m", "01/02/03 04:05:06 1234567   m\r\n"},
      // A separator line: stamp, thread id and prefix only.
      {7, " X ", "", "01/02/03 04:05:06     7 X \r\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatTraceLine("01/02/03 04:05:06", c.thread, c.prefix, c.message), c.line) << c.thread;
}

TEST(TraceLogStamp, WritesTwoDigitFieldsWithTheLocaleSeparators) {
  EXPECT_EQ(FormatTraceStamp(2024, 3, 9, 7, 5, 1, "/", ":"), "09/03/24 07:05:01");
  EXPECT_EQ(FormatTraceStamp(2005, 12, 31, 23, 59, 59, ".", "."), "31.12.05 23.59.59");
  EXPECT_EQ(FormatTraceStamp(2100, 1, 1, 0, 0, 0, "-", ":"), "01-01-00 00:00:00");
}

class TraceLogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::TempDir() + "trace_test_XXXXXX";
    ASSERT_NE(mkdtemp(&name[0]), nullptr);
    dir_ = name;
    path_ = dir_ + "/X_agent.log";
    SetTraceLogPathForTests(path_);
  }
  void TearDown() override {
    SetTraceEnabled(false);
    SetTracePrefix("   ");
    SetTraceLogPathForTests("");
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }
  bool Exists() const { return access(path_.c_str(), F_OK) == 0; }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_;
  std::string path_;
};

TEST_F(TraceLogFile, WritesNothingWhileDisabled) {
  SetTraceEnabled(false);
  TraceLog("DoRunStubWin() --- Start");
  TraceLog("");
  EXPECT_FALSE(Exists());
}

TEST_F(TraceLogFile, AppendsOneLinePerCallAfterWhatIsThere) {
  {
    std::ofstream earlier(path_, std::ios::binary);
    earlier << "earlier run\r\n";
  }
  SetTraceEnabled(true);
  SetTracePrefix(" X ");
  TraceLog("");
  TraceLog("CommandLine=/TEST=1");
  const std::string text = Contents();
  ASSERT_EQ(text.compare(0, 13, "earlier run\r\n"), 0) << text;
  // Each line is rebuilt from its own stamp ("dd/mm/yy HH:NN:SS", 17
  // characters) and this thread's id.
  const std::string rest = text.substr(13);
  const size_t firstEnd = rest.find("\r\n");
  ASSERT_NE(firstEnd, std::string::npos) << rest;
  const std::string first = rest.substr(0, firstEnd + 2);
  const std::string second = rest.substr(firstEnd + 2);
  ASSERT_GE(second.size(), 17u);
  EXPECT_EQ(first, FormatTraceLine(first.substr(0, 17), TraceThreadId(), " X ", ""));
  EXPECT_EQ(second, FormatTraceLine(second.substr(0, 17), TraceThreadId(), " X ", "CommandLine=/TEST=1"));
  EXPECT_EQ(first.substr(2, 1) + first.substr(5, 1) + first.substr(11, 1) + first.substr(14, 1), "//::");
}

// ------------------------------------------------------------ debug channel

std::vector<std::string> g_pieces;
void CollectPiece(const std::string& piece) { g_pieces.push_back(piece); }

// A send that writes to the channel itself, as a window procedure may do
// while a send waits for the viewer.
bool g_inSink = false;
void ReenteringSink(const std::string& piece) {
  g_pieces.push_back(piece);
  if (g_inSink) return;
  g_inSink = true;
  DebugLine("inner");
  g_inSink = false;
}

class DebugDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pieces.clear();
    SetDebugSinkForTests(CollectPiece);
  }
  void TearDown() override { SetDebugSinkForTests(nullptr); }
  static std::vector<size_t> Sizes() {
    std::vector<size_t> sizes;
    for (const std::string& p : g_pieces) sizes.push_back(p.size());
    return sizes;
  }
  static std::string Joined() {
    std::string all;
    for (const std::string& p : g_pieces) all += p;
    return all;
  }
};

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}

TEST_F(DebugDevice, SendsALongLineIn128BytePiecesTheLastEndingTheLine) {
  const std::string line = Pattern(300);
  DebugLine(line);
  EXPECT_EQ(Sizes(), (std::vector<size_t>{128, 128, 46}));
  EXPECT_EQ(Joined(), line + "\r\n");
  ASSERT_EQ(g_pieces.size(), 3u);
  EXPECT_EQ(g_pieces[2].substr(44), "\r\n");
}

TEST_F(DebugDevice, FlushesAtEveryLineEndAndWhenFull) {
  struct Case {
    size_t textLength;
    std::vector<size_t> pieces;
  };
  const Case cases[] = {
      {0, {2}},
      {126, {128}},
      // The CR fills the buffer; the LF goes alone.
      {127, {128, 1}},
      {128, {128, 2}},
      {256, {128, 128, 2}},
  };
  for (const Case& c : cases) {
    g_pieces.clear();
    const std::string line = Pattern(c.textLength);
    DebugLine(line);
    EXPECT_EQ(Sizes(), c.pieces) << c.textLength;
    EXPECT_EQ(Joined(), line + "\r\n") << c.textLength;
  }
}

TEST_F(DebugDevice, HoldsTextUntilTheLineEnds) {
  DebugWrite("ab", 2);
  DebugWrite("c", 1);
  EXPECT_TRUE(g_pieces.empty());
  DebugWrite("d\nef\n", 5);
  EXPECT_EQ(g_pieces, (std::vector<std::string>{"abcd\n", "ef\n"}));
}

TEST_F(DebugDevice, PidLinesStartWithTheProcessIdInDecimal) {
  const std::string pid = std::to_string(getpid());
  EXPECT_EQ(ProcessIdText(), pid);
  DebugPidLine(" ==== STUB START ====> /S<");
  // Longer than the formatting buffer kept on the stack.
  const std::string big = Pattern(700);
  DebugPidPrintf(" size=%zu big=%lld %s|", static_cast<size_t>(5), -7LL, big.c_str());
  EXPECT_EQ(Joined(), pid + " ==== STUB START ====> /S<\r\n" + pid + " size=5 big=-7 " + big + "|\r\n");
}

TEST_F(DebugDevice, FixedFormLines) {
  TraceFields("QueryValue", "C:\\a.exe", "FileVersion", "1.2.3.4");
  TraceException("Access denied", "Utils.GetExeVersion()", "");
  TraceException("boom", "YieldX", "detail");
  EXPECT_EQ(Joined(),
            "[QueryValue]  [C:\\a.exe]  [FileVersion]  [1.2.3.4]\r\n"
            " --- Utils.GetExeVersion() () --- Access denied\r\n"
            " --- YieldX (detail) --- boom\r\n");
}

TEST_F(DebugDevice, TextWrittenWhileAPieceIsBeingSentIsNotSentTwice) {
  SetDebugSinkForTests(ReenteringSink);
  DebugLine("outer");
  EXPECT_EQ(g_pieces, (std::vector<std::string>{"outer\r\n", "inner\r\n"}));
}

// --------------------------------------------------------------- debug file

TEST(DebugFileText, EveryLineBreakBecomesCrLf) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"a\nb\n", "a\r\nb\r\n"},
      {"a\rb\r", "a\r\nb\r\n"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"\n\r\r\n\n", "\r\n\r\n\r\n\r\n"},
      {"no break", "no break"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DebugFileText(c.in, nullptr), c.out) << c.in;
}

TEST(DebugFileText, ACrLfSplitAcrossPiecesIsOneLineBreak) {
  bool pendingCR = false;
  std::string file;
  for (const char* piece : {"one\r", "\ntwo\r", "\r", "\nthree\n", "\nfour"}) file += DebugFileText(piece, &pendingCR);
  EXPECT_EQ(file, "one\r\ntwo\r\n\r\nthree\r\n\r\nfour");
}

}  // namespace
