// Special folders and macro expansion with the values of the running system.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "env/folders.h"
#include "env/macros.h"
#include "util/sysinfo.h"
#include "util/text.h"

namespace {

bool DirExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Env(const char* name) {
  char buf[1024] = {};
  const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

constexpr SpecialFolder kAll[] = {
    SpecialFolder::DocumentsAndSettings, SpecialFolder::User,          SpecialFolder::AllUsers,
    SpecialFolder::UserLocalAppData,     SpecialFolder::UserAppData,   SpecialFolder::AllUsersAppData,
    SpecialFolder::MyDocuments,          SpecialFolder::AllUsersDocuments, SpecialFolder::UserStartMenu,
    SpecialFolder::AllUsersStartMenu,    SpecialFolder::UserPrograms,  SpecialFolder::AllUsersPrograms,
    SpecialFolder::UserDesktop,          SpecialFolder::AllUsersDesktop,
};

TEST(SpecialFoldersWin, EveryFolderExistsAndFollowsTheBackslashRule) {
  for (SpecialFolder which : kAll) {
    const std::string without = GetSpecialFolder(which, false);
    const std::string with = GetSpecialFolder(which, true);
    ASSERT_FALSE(without.empty()) << SpecialFolderPlaceholder(which);
    EXPECT_TRUE(DirExists(with)) << SpecialFolderPlaceholder(which) << " " << with;
    EXPECT_NE(without.back(), '\\') << without;
    EXPECT_EQ(with, without + "\\");
  }
}

TEST(SpecialFoldersWin, FoldersRelateAsTheShellNamesThem) {
  const std::string docs = GetSpecialFolder(SpecialFolder::MyDocuments, false);
  const std::string user = GetSpecialFolder(SpecialFolder::User, false);
  EXPECT_TRUE(SameText(docs.substr(0, user.size() + 1), user + "\\")) << docs << " / " << user;
  EXPECT_TRUE(SameText(GetSpecialFolder(SpecialFolder::DocumentsAndSettings, true) + BaseName(user, false), user));
  // All users: the parent of common application data.
  const std::string common = GetSpecialFolder(SpecialFolder::AllUsersAppData, false);
  const std::string all = GetSpecialFolder(SpecialFolder::AllUsers, true);
  EXPECT_TRUE(SameText(common.substr(0, all.size()), all)) << common << " / " << all;
  EXPECT_EQ(common.find('\\', all.size()), std::string::npos);
  // The user's menu and desktop are below the user's profile in a current prefix.
  for (SpecialFolder f : {SpecialFolder::UserStartMenu, SpecialFolder::UserPrograms, SpecialFolder::UserDesktop,
                          SpecialFolder::UserAppData, SpecialFolder::UserLocalAppData}) {
    EXPECT_TRUE(SameText(GetSpecialFolder(f, false).substr(0, user.size()), user)) << GetSpecialFolder(f, false);
  }
}

class MacrosWin : public ::testing::Test {
 protected:
  void TearDown() override { SetInstallFolders("", "", ""); }
  static std::string Full(const std::string& text) { return ExpandMacros(text, "\\", true, true); }
};

TEST_F(MacrosWin, FoldersOfTheRunningSystem) {
  EXPECT_EQ(Full("<TempDir>stub.txt"), GetTempDir(true) + "stub.txt");
  EXPECT_EQ(Full("<SrcDir>"), GetExeDir(false));
  EXPECT_EQ(Full("<ServiceDir>x"), GetExeDir(true) + "x");
  EXPECT_EQ(Full("<WinDir>\\notepad.exe"), GetWindowsDir(true) + "notepad.exe");
  EXPECT_TRUE(FileExists(Full("<WinSysDir>kernel32.dll")));
  EXPECT_EQ(Full("<WinSys32Dir>"), GetSystemDir(false));
  EXPECT_EQ(Full("<WinDrive>"), GetWindowsDir(true).substr(0, 3));
  EXPECT_EQ(Full("<WinDisk>"), GetWindowsDir(true).substr(0, 2));
  EXPECT_EQ(Full("<UserDesktopDir>a.lnk"), GetSpecialFolder(SpecialFolder::UserDesktop, true) + "a.lnk");
  for (const char* folder : {"<WinSys16Dir>", "<System16 Directory>", "<ProgramFilesDir>", "<CommonFilesDir>",
                             "<FontDir>", "<StartMenuDir>", "<AllUsersDesktopDir>"}) {
    const std::string path = Full(folder);
    EXPECT_TRUE(DirExists(path)) << folder << " " << path;
    EXPECT_EQ(path.find('<'), std::string::npos);
  }
}

TEST_F(MacrosWin, TheProgramFilesFolderOfThisProcessView) {
  // A 32-bit process reads the registry in its own view: on 64-bit Windows
  // that names the folder for 32-bit programs.
  const std::string pf = Full("<ProgramFilesDir>");
  EXPECT_EQ(Is64BitWindows(), pf.find("(x86)") != std::string::npos) << pf;
}

TEST_F(MacrosWin, InstallFoldersAndOrigin) {
  SetInstallFolders("C:\\Prog\\App\\", "C:\\Prog\\Common", "");
  EXPECT_EQ(Full("<InstallDir>\\bin\\app.exe"), "C:\\Prog\\App\\bin\\app.exe");
  EXPECT_EQ(Full("<Common Folder>x.dll <InstallDir>"), "C:\\Prog\\Common\\x.dll ");
  EXPECT_EQ(Full("<InstallDrive>Data"), "C:\\Data");
  EXPECT_EQ(ExpandMacros("<InstallDir>\\app.exe", "\\", true, false), "<InstallDir>\\app.exe");
  // No /OriginExe switch in this test run: the running executable is the origin.
  EXPECT_EQ(OriginExe(), GetExePath(false));
  EXPECT_EQ(OriginFolder(), GetExeDir(false));
  EXPECT_EQ(Full("<OriginDir>"), GetExeDir(false));
}

TEST_F(MacrosWin, NamesAndDate) {
  EXPECT_TRUE(SameText(Full("<ComputerName>"), Env("COMPUTERNAME")));
  EXPECT_TRUE(SameText(Full("<LoggedUserName>"), Env("USERNAME")));
  EXPECT_EQ(Full("<UserName>|<CompanyName>"), GetRegisteredOwner() + "|" + GetRegisteredOrganization());
  EXPECT_FALSE(Full("<CurrentDomainName>").empty());
  // Today's date; read the clock on both sides in case midnight passes.
  auto today = [] {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return Format("%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
  };
  const std::string before = today();
  const std::string date = Full("log <Date=6>.txt");
  const std::string after = today();
  EXPECT_TRUE(date == "log " + before + ".txt" || date == "log " + after + ".txt") << date;
  char month[80] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1 + std::stoi(before.substr(5, 2)) - 1, month, sizeof month);
  EXPECT_NE(Full("<Date=#>").find(month), std::string::npos) << Full("<Date=#>");
}

TEST_F(MacrosWin, DotsResolveAgainstTheFileSystem) {
  const std::string exeDir = GetExeDir(false);
  const std::string parent = ParentFolder(exeDir);
  EXPECT_EQ(Full("<SrcDir>\\..\\x.exe"), FolderWithBackslash(parent, true) + "x.exe");
  // In a field list only the field with dots is resolved.
  EXPECT_EQ(Full("|<TempDir>|<SrcDir>\\..\\a|"), "|" + GetTempDir(false) + "|" + FolderWithBackslash(parent, true) + "a|");
  EXPECT_EQ(ExpandMacros("<SrcDir>\\..\\x.exe", "\\", false, true), exeDir + "\\..\\x.exe");
}

}  // namespace
