// The special-folder rules over played systems: a current one, one whose
// shell cannot answer, and answers that point nowhere.
#include "env/folders.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

constexpr SpecialFolder kAll[] = {
    SpecialFolder::DocumentsAndSettings, SpecialFolder::User,          SpecialFolder::AllUsers,
    SpecialFolder::UserLocalAppData,     SpecialFolder::UserAppData,   SpecialFolder::AllUsersAppData,
    SpecialFolder::MyDocuments,          SpecialFolder::AllUsersDocuments, SpecialFolder::UserStartMenu,
    SpecialFolder::AllUsersStartMenu,    SpecialFolder::UserPrograms,  SpecialFolder::AllUsersPrograms,
    SpecialFolder::UserDesktop,          SpecialFolder::AllUsersDesktop,
};

class FakeFacts : public FolderFacts {
 public:
  std::map<int, std::string> a, b;
  std::set<std::string> dirs;
  std::string windows = "C:\\Windows";
  std::string owner = "Jo";

  std::string ShellQueryA(int csidl) override { return Answer(a, csidl); }
  std::string ShellQueryB(int csidl) override { return Answer(b, csidl); }
  bool DirectoryExists(const std::string& path) override {
    std::string p = path;
    if (p.size() > 3 && p.back() == '\\') p.pop_back();  // the file system ignores a trailing "\"
    return dirs.count(p) != 0;
  }
  std::string WindowsDir() override { return windows; }
  std::string RegisteredOwner() override { return owner; }

 private:
  static std::string Answer(const std::map<int, std::string>& m, int csidl) {
    auto it = m.find(csidl);
    return it == m.end() ? std::string() : it->second;
  }
};

// A current Windows: the shell answers everything, the folders exist.
FakeFacts CurrentSystem() {
  FakeFacts f;
  f.b = {{kCsidlPersonalCreate, "C:\\Users\\jo\\Documents"},
         {kCsidlCommonAppDataCreate, "C:\\ProgramData"},
         {kCsidlLocalAppDataCreate, "C:\\Users\\jo\\AppData\\Local"},
         {kCsidlAppDataCreate, "C:\\Users\\jo\\AppData\\Roaming"},
         {kCsidlCommonDocumentsCreate, "C:\\Users\\Public\\Documents"}};
  const std::string menu = "C:\\Users\\jo\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  const std::string commonMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  f.a = {{kCsidlStartMenu, menu},
         {kCsidlCommonStartMenu, commonMenu},
         {kCsidlPrograms, menu + "\\Programs"},
         {kCsidlCommonPrograms, commonMenu + "\\Programs"},
         {kCsidlDesktopDirectory, "C:\\Users\\jo\\Desktop"},
         {kCsidlCommonDesktopDirectory, "C:\\Users\\Public\\Desktop"}};
  for (const auto& kv : f.a) f.dirs.insert(kv.second);
  for (const auto& kv : f.b) f.dirs.insert(kv.second);
  f.dirs.insert({"C:\\", "C:\\Users", "C:\\Users\\jo", "C:\\Windows"});
  return f;
}

// An old system without SHFolder.dll and without shell answers; the
// registered owner has a profile folder with a start menu.
FakeFacts OldSystem() {
  FakeFacts f;
  f.dirs = {"C:\\", "C:\\Windows", "C:\\Windows\\Profiles\\Jo", "C:\\Windows\\Profiles\\Jo\\Start Menu"};
  return f;
}

TEST(SpecialFolders, CurrentSystem) {
  FakeFacts f = CurrentSystem();
  struct Case {
    SpecialFolder which;
    const char* path;
  };
  const Case cases[] = {
      {SpecialFolder::DocumentsAndSettings, "C:\\Users"},
      {SpecialFolder::User, "C:\\Users\\jo"},
      {SpecialFolder::AllUsers, "C:"},  // parent of C:\ProgramData is the drive root
      {SpecialFolder::UserLocalAppData, "C:\\Users\\jo\\AppData\\Local"},
      {SpecialFolder::UserAppData, "C:\\Users\\jo\\AppData\\Roaming"},
      {SpecialFolder::AllUsersAppData, "C:\\ProgramData"},
      {SpecialFolder::MyDocuments, "C:\\Users\\jo\\Documents"},
      {SpecialFolder::AllUsersDocuments, "C:\\Users\\Public\\Documents"},
      {SpecialFolder::UserStartMenu, "C:\\Users\\jo\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
      {SpecialFolder::AllUsersPrograms, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
      {SpecialFolder::UserDesktop, "C:\\Users\\jo\\Desktop"},
      {SpecialFolder::AllUsersDesktop, "C:\\Users\\Public\\Desktop"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveSpecialFolder(c.which, false, f), c.path) << c.path;
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::AllUsers, true, f), "C:\\");
}

TEST(SpecialFolders, OldSystemFallsBackToTheWindowsFolder) {
  FakeFacts f = OldSystem();
  struct Case {
    SpecialFolder which;
    const char* path;
  };
  const Case cases[] = {
      {SpecialFolder::DocumentsAndSettings, "C:\\Windows\\Profiles\\Jo"},
      {SpecialFolder::User, "C:\\Windows\\Profiles\\Jo"},
      {SpecialFolder::AllUsers, "C:\\Windows"},
      {SpecialFolder::UserLocalAppData, "C:\\Windows\\Profiles\\Jo\\Application Data"},
      {SpecialFolder::UserAppData, "C:\\Windows\\Profiles\\Jo\\Application Data"},
      {SpecialFolder::AllUsersAppData, "C:\\Windows\\Application Data"},
      {SpecialFolder::MyDocuments, "C:\\Windows\\Profiles\\Jo\\My Documents"},
      {SpecialFolder::AllUsersDocuments, "C:\\Windows\\Documents"},
      // Exists below the user folder.
      {SpecialFolder::UserStartMenu, "C:\\Windows\\Profiles\\Jo\\Start Menu"},
      // Does not exist below the user folder: taken below all users, untested.
      {SpecialFolder::UserPrograms, "C:\\Windows\\Start Menu\\Programs"},
      {SpecialFolder::UserDesktop, "C:\\Windows\\Desktop"},
      {SpecialFolder::AllUsersStartMenu, "C:\\Windows\\Start Menu"},
      {SpecialFolder::AllUsersPrograms, "C:\\Windows\\Start Menu\\Programs"},
      {SpecialFolder::AllUsersDesktop, "C:\\Windows\\Desktop"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveSpecialFolder(c.which, false, f), c.path) << c.path;

  // Without the owner's profile folder the Windows folder stands in for it.
  f.dirs.erase("C:\\Windows\\Profiles\\Jo");
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::UserAppData, false, f), "C:\\Windows\\Application Data");
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::User, false, f), "C:\\Windows");
}

TEST(SpecialFolders, AnswersThatDoNotExistAreReplaced) {
  FakeFacts f = CurrentSystem();
  // The shell names folders that are gone (a removed profile, a dead drive).
  f.a[kCsidlDesktopDirectory] = "X:\\gone\\Desktop";
  f.b[kCsidlAppDataCreate] = "X:\\gone\\Roaming";
  f.b[kCsidlCommonAppDataCreate] = "";
  f.dirs.insert("C:\\Users\\jo\\Desktop");
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::UserDesktop, false, f), "C:\\Users\\jo\\Desktop");
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::UserAppData, false, f), "C:\\Windows\\Application Data");
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::AllUsers, false, f), "C:\\Windows");
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::AllUsersStartMenu, false, f),
            "C:\\ProgramData\\Microsoft\\Windows\\Start Menu");  // its own answer still exists
}

TEST(SpecialFolders, ShellAnswerWithATrailingBackslash) {
  FakeFacts f = CurrentSystem();
  f.b[kCsidlPersonalCreate] = "C:\\Users\\jo\\Documents\\";
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::User, false, f), "C:\\Users\\jo");
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::DocumentsAndSettings, false, f), "C:\\Users");
  EXPECT_EQ(ResolveSpecialFolder(SpecialFolder::MyDocuments, false, f), "C:\\Users\\jo\\Documents");
}

TEST(SpecialFolders, TrailingFlagGivesExactlyOneBackslash) {
  for (FakeFacts f : {CurrentSystem(), OldSystem()}) {
    for (SpecialFolder which : kAll) {
      const std::string without = ResolveSpecialFolder(which, false, f);
      const std::string with = ResolveSpecialFolder(which, true, f);
      ASSERT_FALSE(without.empty()) << SpecialFolderPlaceholder(which);
      EXPECT_NE(without.back(), '\\') << without;
      EXPECT_EQ(with, without + "\\") << SpecialFolderPlaceholder(which);
    }
  }
}

}  // namespace
