// Portable pieces of the file and disk utilities: the piece plan of large
// writes, the free-space query paths and the self-delete script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/files.h"

namespace {

// The pieces a write of `length` bytes goes out in.
std::vector<size_t> Pieces(size_t length) {
  const size_t piece = SavePieceSize(length);
  if (piece == 0) return {length};
  std::vector<size_t> pieces;
  for (size_t left = length; left > 0; left -= pieces.back()) pieces.push_back(left < piece ? left : piece);
  return pieces;
}

TEST(SavePieces, UpToOneMebibyteGoesInOneCall) {
  for (size_t length : {size_t(0), size_t(1), size_t(1024), size_t(1048575), size_t(1048576)})
    EXPECT_EQ(SavePieceSize(length), 0u) << length;
}

TEST(SavePieces, AboveOneMebibyteTenthsCappedAtOneMebibyte) {
  // One byte more than 1 MiB: ten pieces of a tenth and the 7 bytes left.
  std::vector<size_t> expected(10, 104857);
  expected.push_back(7);
  EXPECT_EQ(Pieces(1048577), expected);

  // 5 MiB + 3: a tenth each, the rest in an eleventh piece.
  const std::vector<size_t> five = Pieces(5 * 1048576 + 3);
  ASSERT_EQ(five.size(), 11u);
  EXPECT_EQ(five[0], 524288u);
  EXPECT_EQ(five.back(), 3u);

  // From 10 MiB on the cap holds: 1 MiB pieces.
  EXPECT_EQ(SavePieceSize(10 * 1048576), 1048576u);
  const std::vector<size_t> big = Pieces(25 * 1048576 + 10);
  ASSERT_EQ(big.size(), 26u);
  EXPECT_EQ(big[0], 1048576u);
  EXPECT_EQ(big.back(), 10u);
}

TEST(FreeSpacePaths, QueryPathKeepsDriveFolderOrShareRootWithItsBackslash) {
  struct Case {
    const char* path;
    const char* query;
    const char* root;
  };
  const Case cases[] = {
      {"C:\\Temp\\SETUP_1", "C:\\Temp\\SETUP_1", "C:\\"},
      {"c:\\a\\b\\c\\d\\e", "c:\\a\\b\\c\\", "C:\\"},
      {"d:/data/x/y/z", "d:\\data\\x\\y\\", "D:\\"},
      {"E:", "E:", "E:\\"},
      // A share path keeps \\server\share\ (the system wants the backslash).
      {"\\\\srv\\share\\dir\\sub", "\\\\srv\\share\\", "\\\\srv\\share\\"},
      {"\\\\srv\\share", "\\\\srv\\share\\", "\\\\srv\\share\\"},
      {"//srv/share/dir", "\\\\srv\\share\\", "\\\\srv\\share\\"},
      // A relative path has no drive letter: the current drive is asked.
      {"data\\sub", "data\\sub", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FreeSpaceQueryPath(c.path), c.query) << c.path;
    EXPECT_EQ(FreeSpaceRoot(c.path), c.root) << c.path;
  }
}

// ------------------------------------------------------------ self-delete

std::vector<std::string> ScriptLines(const std::string& script) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < script.size()) {
    const size_t end = script.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    lines.push_back(script.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

const char kExe[] = "C:\\Users\\Ann\\AppData\\Local\\Temp\\SETUP_1\\Y_setup.exe";
const char kDir[] = "C:\\Users\\Ann\\AppData\\Local\\Temp\\SETUP_1";
const char kBat[] = "C:\\Users\\Ann\\AppData\\Local\\Temp\\_DEL_ME_4242.BAT";
const char kPing[] = "C:\\Windows\\system32\\PING.EXE";

TEST(SelfDeleteScript, NameCarriesTheProcessId) {
  EXPECT_EQ(SelfDeleteScriptName(4242), "_DEL_ME_4242.BAT");
  EXPECT_NE(SelfDeleteScriptName(1), SelfDeleteScriptName(2));
}

TEST(SelfDeleteScript, RetriesABoundedNumberOfTimesThenRemovesFolderAndItself) {
  const std::vector<std::string> lines = ScriptLines(SelfDeleteScript(kExe, kDir, kBat, kPing, true, 60, 1));
  const std::vector<std::string> expected = {
      "@ECHO OFF",
      "SET /A DEL_ME_TRY=0",
      ":START",
      "DEL /F /Q \"C:\\Users\\Ann\\AppData\\Local\\Temp\\SETUP_1\\Y_setup.exe\"",
      "IF NOT EXIST \"C:\\Users\\Ann\\AppData\\Local\\Temp\\SETUP_1\\Y_setup.exe\" GOTO DONE",
      "SET /A DEL_ME_TRY+=1",
      "IF %DEL_ME_TRY% GEQ 60 GOTO DONE",
      "\"C:\\Windows\\system32\\PING.EXE\" -n 2 127.0.0.1 >NUL",
      "GOTO START",
      ":DONE",
      "RD \"C:\\Users\\Ann\\AppData\\Local\\Temp\\SETUP_1\"",
      "DEL \"C:\\Users\\Ann\\AppData\\Local\\Temp\\_DEL_ME_4242.BAT\"",
  };
  EXPECT_EQ(lines, expected);
}

TEST(SelfDeleteScript, FolderLineOnlyWithTheFlagAndScriptDeletionAlwaysLast) {
  for (bool removeFolder : {false, true}) {
    const std::vector<std::string> lines =
        ScriptLines(SelfDeleteScript(kExe, kDir, kBat, kPing, removeFolder, 5, 3));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), std::string("DEL \"") + kBat + "\"");
    bool hasRd = false;
    for (const std::string& l : lines) hasRd = hasRd || l.rfind("RD ", 0) == 0;
    EXPECT_EQ(hasRd, removeFolder);
    // The limits the caller chose.
    bool limit = false, wait = false;
    for (const std::string& l : lines) {
      limit = limit || l == "IF %DEL_ME_TRY% GEQ 5 GOTO DONE";
      wait = wait || l == std::string("\"") + kPing + "\" -n 4 127.0.0.1 >NUL";
    }
    EXPECT_TRUE(limit);
    EXPECT_TRUE(wait);
  }
}

TEST(SelfDeleteScript, PercentInAPathIsDoubledSoCmdDoesNotExpandIt) {
  const std::string script = SelfDeleteScript("C:\\100%sure\\%TEMP%\\a.exe", "C:\\100%sure\\%TEMP%",
                                              "C:\\T\\_DEL_ME_1.BAT", kPing, true, 1, 1);
  EXPECT_NE(script.find("DEL /F /Q \"C:\\100%%sure\\%%TEMP%%\\a.exe\""), std::string::npos) << script;
  EXPECT_NE(script.find("RD \"C:\\100%%sure\\%%TEMP%%\""), std::string::npos) << script;
}

TEST(SelfDeleteScript, TriesAndWaitBelowOneCountAsOne) {
  const std::string script = SelfDeleteScript(kExe, kDir, kBat, kPing, false, 0, -5);
  EXPECT_NE(script.find("GEQ 1 GOTO DONE"), std::string::npos);
  EXPECT_NE(script.find("-n 2 127.0.0.1"), std::string::npos);
}

}  // namespace
