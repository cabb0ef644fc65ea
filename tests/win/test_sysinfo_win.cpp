// System information under a real Windows API (Wine in tests).
#include <gtest/gtest.h>

#include <windows.h>

#include "util/sysinfo.h"

namespace {

TEST(SysInfo, ExePathAndFolderAgree) {
  std::string path = GetExePath(false);
  std::string dir = GetExeDir(true);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.compare(0, dir.size(), dir), 0) << path << " vs " << dir;
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_NE(GetExeDir(false).back(), '\\');
  EXPECT_EQ(GetExePath(true), "win_unit_tests");
}

TEST(SysInfo, SystemLibrariesComeFromTheSystemFolder) {
  void* f = LoadProc("version.dll", "GetFileVersionInfoSizeA");
  ASSERT_NE(f, nullptr);
  HMODULE m = GetModuleHandleA("version.dll");
  char where[MAX_PATH] = {};
  GetModuleFileNameA(m, where, MAX_PATH);
  std::string sys = GetSystemDir(true);
  EXPECT_EQ(_strnicmp(where, sys.c_str(), sys.size()), 0) << where;
  EXPECT_EQ(LoadProc("no-such-library.dll", "Anything"), nullptr);
  EXPECT_EQ(LoadProc("kernel32.dll", "NoSuchFunction"), nullptr);
}

TEST(SysInfo, ExeVersionOfASystemFileAndOfAFileWithoutOne) {
  std::string v = GetExeVersion(GetSystemDir(true) + "kernel32.dll");
  int dots = 0;
  for (char c : v) dots += c == '.';
  EXPECT_EQ(dots, 3) << v;
  EXPECT_EQ(GetExeVersion(GetSystemDir(true) + "no-such-file.dll"), "");
}

}  // namespace
