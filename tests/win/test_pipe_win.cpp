// Piped execution of a real console program: chatty.exe, built beside the
// tests, prints a known text in the OEM code page.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "env/files.h"
#include "util/pipe.h"
#include "util/sysinfo.h"

namespace {

std::string Chatty() { return GetExeDir(true) + "chatty.exe"; }

// The text chatty prints (see prog_chatty_win.cpp) as it must arrive: in the
// ANSI code page.
std::string Expected(size_t n, bool error) {
  std::string text;
  char line[64];
  for (int i = 0; text.size() < n; ++i) {
    if (error)
      std::snprintf(line, sizeof line, "E%06d\r\n", i);
    else
      std::snprintf(line, sizeof line, "%06d Gr\x81\xE1\x65 aus K\x94ln\r\n", i);
    text += line;
  }
  text.resize(n);
  const UINT oem = GetOEMCP();
  if (GetACP() == 1252 && (oem == 437 || oem == 850)) {
    // The letters of "Grüße aus Köln" in Windows-1252.
    for (char& c : text) {
      if (c == '\x81') c = '\xFC';
      else if (c == '\xE1') c = '\xDF';
      else if (c == '\x94') c = '\xF6';
    }
  } else if (!text.empty()) {
    OemToCharBuffA(&text[0], &text[0], DWORD(text.size()));
  }
  return text;
}

struct Collected {
  std::vector<std::string> pieces;
  bool abortAtFirst = false;
};

void Collect(void* user, const std::string& piece, bool& abort) {
  auto* c = static_cast<Collected*>(user);
  c->pieces.push_back(piece);
  if (c->abortAtFirst) abort = true;
}

TEST(RunPiped, OutputAndErrorArriveWholeAndInTheAnsiCodePage) {
  ASSERT_NE(GetFileAttributesA(Chatty().c_str()), INVALID_FILE_ATTRIBUTES) << "build chatty.exe beside the tests";
  PipedResult r;
  // Far more than one read of 30,000 bytes, written in one call.
  EXPECT_TRUE(RunPiped(Chatty(), "/out=100000 /err=5000", SW_HIDE, r));
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output.size(), 100000u);
  EXPECT_TRUE(r.output == Expected(100000, false)) << r.output.substr(0, 80);
  EXPECT_TRUE(r.error == Expected(5000, true)) << r.error.substr(0, 80);
}

TEST(RunPiped, TheCallbackGetsEveryPieceInReadsOfAtMost30000Bytes) {
  PipedResult r;
  Collected c;
  EXPECT_TRUE(RunPiped(Chatty(), "/out=70000 /err=100", SW_HIDE, r, Collect, &c, 20));
  std::string all;
  for (const std::string& p : c.pieces) {
    EXPECT_LE(p.size(), 30000u);
    all += p;
  }
  EXPECT_GE(c.pieces.size(), 3u);
  EXPECT_EQ(all.size(), 70100u);
  EXPECT_TRUE(r.output == Expected(70000, false));
  EXPECT_EQ(r.error, Expected(100, true));
}

TEST(RunPiped, TheCallbackCanAbortAProgramThatNeverEnds) {
  PipedResult r;
  Collected c;
  c.abortAtFirst = true;
  EXPECT_FALSE(RunPiped(Chatty(), "/out=10 /forever", SW_HIDE, r, Collect, &c));
  EXPECT_EQ(r.exitCode, 255u);
  ASSERT_FALSE(c.pieces.empty());
}

TEST(RunPiped, TheExitCodeIsReportedAndOnlyZeroIsSuccess) {
  const struct {
    const char* params;
    uint32_t code;
  } cases[] = {{"/out=50 /exit=3", 3}, {"/out=50 /exit=259", 259}, {"/out=50 /exit=0", 0}};
  for (const auto& c : cases) {
    PipedResult r;
    // Exit code 259 is also the value of STILL_ACTIVE: the run must end.
    EXPECT_EQ(RunPiped(Chatty(), c.params, SW_HIDE, r), c.code == 0) << c.params;
    EXPECT_EQ(r.exitCode, c.code) << c.params;
    EXPECT_EQ(r.output, Expected(50, false)) << c.params;
  }
}

TEST(RunPiped, AProgramThatCannotStartGivesCode21AndTheReason) {
  const std::string missing = GetTempDir(true) + "no such program.exe";
  struct Case {
    std::string params;
    std::string errorStart;
  };
  const Case cases[] = {
      {"/x", "\"" + missing + "\" /x --- "},
      {std::string(33000, 'a'), "Command line is too long"},
  };
  for (const Case& c : cases) {
    PipedResult r;
    Collected seen;
    EXPECT_FALSE(RunPiped(missing, c.params, SW_HIDE, r, Collect, &seen));
    EXPECT_EQ(r.exitCode, kPipedStartFailed);
    EXPECT_EQ(r.error.compare(0, c.errorStart.size(), c.errorStart), 0) << r.error;
    EXPECT_EQ(r.output, "");
    ASSERT_EQ(seen.pieces.size(), 1u);
    EXPECT_EQ(seen.pieces[0], r.error + "\r\n");
  }
  PipedResult r;
  RunPiped(missing, "/x", SW_HIDE, r);
  EXPECT_GT(r.error.size(), ("\"" + missing + "\" /x --- ").size()) << "the system's reason follows";
}

TEST(RunPiped, AProgramPathWithASpaceRunsThatProgramAndNoOther) {
  // "<dir>\my prog\chatty.exe" unquoted would start "<dir>\my.exe" first.
  const std::string dir = GetTempDir(true) + "stub_pipe_" + std::to_string(GetCurrentProcessId());
  const std::string folder = dir + "\\my prog";
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string real = folder + "\\chatty.exe", decoy = dir + "\\my.exe";
  ASSERT_TRUE(CopyFileA(Chatty().c_str(), real.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(Chatty().c_str(), decoy.c_str(), FALSE));
  for (const std::string& program : {real, "\"" + real + "\""}) {
    PipedResult r;
    EXPECT_TRUE(RunPiped(program, "/whoami", SW_HIDE, r)) << program << ": " << r.error;
    EXPECT_EQ(r.output, real) << program;
  }
  DeleteFolderTree(dir, true);
}

}  // namespace
