// Special folders of the user and of all users: documents, application
// data, start menu, desktop. Each is asked from the shell, with fall-backs
// built from the Windows folder for systems whose shell cannot answer. A
// result is a folder path (possibly of a folder that does not exist), never
// an error.
//
// The rules are portable (folders.cpp) and run over the facts a
// FolderFacts gives, so that tests can play any system; folders_win.cpp
// supplies the real facts.
#pragma once

#include <string>

#include "util/sysinfo.h"

enum class SpecialFolder {
  DocumentsAndSettings,  // <DocumentsAndSettingsDir>: parent of the user folder
  User,                  // <UserDir>: parent of the documents folder
  AllUsers,              // <AllUsersDir>: parent of common application data
  UserLocalAppData,      // <UserLocalAppDataDir>
  UserAppData,           // <UserAppDataDir>
  AllUsersAppData,       // <AllUsersAppDataDir>
  MyDocuments,           // <MyDocumentsDir>
  AllUsersDocuments,     // <AllUsersDocumentsDir>
  UserStartMenu,         // <UserStartMenuDir>
  AllUsersStartMenu,     // <AllUsersStartMenuDir>
  UserPrograms,          // <UserStartProgramMenuDir>
  AllUsersPrograms,      // <AllUsersStartProgramMenuDir>
  UserDesktop,           // <UserDesktopDir>
  AllUsersDesktop,       // <AllUsersDesktopDir>
};

// CSIDL numbers the rules ask for (0x8000: create the folder if needed).
constexpr int kCsidlPersonalCreate = 0x8005;
constexpr int kCsidlCommonAppDataCreate = 0x8023;
constexpr int kCsidlLocalAppDataCreate = 0x801C;
constexpr int kCsidlAppDataCreate = 0x801A;
constexpr int kCsidlCommonDocumentsCreate = 0x802E;
constexpr int kCsidlStartMenu = 11;
constexpr int kCsidlCommonStartMenu = 22;
constexpr int kCsidlPrograms = 2;
constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlCommonDesktopDirectory = 25;

// What the rules need to know about the system.
class FolderFacts {
 public:
  virtual ~FolderFacts() = default;
  // SHGetSpecialFolderPathA of shell32.dll (no owner, no create); empty
  // when the library, the function or the query fails.
  virtual std::string ShellQueryA(int csidl) = 0;
  // SHGetFolderPathA of SHFolder.dll (no owner, no token, current path);
  // empty when the library, the function or the query fails.
  virtual std::string ShellQueryB(int csidl) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // The Windows folder without a trailing "\".
  virtual std::string WindowsDir() = 0;
  // The registered owner's name (GetRegisteredOwner).
  virtual std::string RegisteredOwner() = 0;
  virtual LeadByteTest LeadBytes() { return IsAnsiLeadByte; }
};

// The folder under the rules of its kind, normalised: a final "\" removed
// (FolderWithBackslash), then one added when trailingBackslash is set.
std::string ResolveSpecialFolder(SpecialFolder which, bool trailingBackslash, FolderFacts& facts);

// The path-macro placeholder that names the folder, e.g.
// "<UserDir>".
const char* SpecialFolderPlaceholder(SpecialFolder which);

// Windows: ResolveSpecialFolder over the running system.
std::string GetSpecialFolder(SpecialFolder which, bool trailingBackslash);
