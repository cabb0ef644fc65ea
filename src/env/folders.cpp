// The rules of the special folders over injected system facts.
#include "env/folders.h"

namespace {

class Resolver {
 public:
  explicit Resolver(FolderFacts& facts) : facts_(facts), lead_(facts.LeadBytes()) {}

  // The folder without a trailing "\".
  std::string Folder(SpecialFolder which) { return FolderWithBackslash(Raw(which), false, lead_); }

 private:
  bool Exists(const std::string& path) { return !path.empty() && facts_.DirectoryExists(path); }
  std::string Parent(const std::string& path) { return ParentFolder(path, lead_); }
  std::string Windows() { return FolderWithBackslash(facts_.WindowsDir(), false, lead_); }

  // Windows folder\Profiles\<owner>, or the Windows folder itself when that
  // folder does not exist.
  std::string Profile() {
    const std::string windows = Windows();
    const std::string profile = windows + "\\Profiles\\" + facts_.RegisteredOwner();
    return Exists(profile) ? profile : windows;
  }

  // A shell answer, or the fall-back when the answer does not exist. The
  // fall-back is taken as it is.
  std::string Or(const std::string& answer, const std::string& fallback) {
    return Exists(answer) ? answer : fallback;
  }
  // A shell answer, else below the user folder when that exists, else the
  // same below the all-users folder (taken as it is).
  std::string OrUserThenAllUsers(const std::string& answer, const std::string& tail) {
    if (Exists(answer)) return answer;
    const std::string user = Folder(SpecialFolder::User) + tail;
    return Exists(user) ? user : Folder(SpecialFolder::AllUsers) + tail;
  }

  std::string Raw(SpecialFolder which) {
    switch (which) {
      case SpecialFolder::DocumentsAndSettings: {
        std::string p = facts_.ShellQueryB(kCsidlPersonalCreate);
        if (Exists(p)) {
          p = Parent(p);
          if (Exists(p)) p = Parent(p);
        }
        return Or(p, Profile());
      }
      case SpecialFolder::User: {
        std::string p = facts_.ShellQueryB(kCsidlPersonalCreate);
        if (Exists(p)) p = Parent(p);
        return Or(p, Profile());
      }
      case SpecialFolder::AllUsers: {
        std::string p = facts_.ShellQueryB(kCsidlCommonAppDataCreate);
        if (Exists(p)) p = Parent(p);
        return Or(p, Windows());
      }
      case SpecialFolder::UserLocalAppData:
        return Or(facts_.ShellQueryB(kCsidlLocalAppDataCreate), Profile() + "\\Application Data");
      case SpecialFolder::UserAppData:
        return Or(facts_.ShellQueryB(kCsidlAppDataCreate), Profile() + "\\Application Data");
      case SpecialFolder::AllUsersAppData:
        return Or(facts_.ShellQueryB(kCsidlCommonAppDataCreate), Windows() + "\\Application Data");
      case SpecialFolder::MyDocuments:
        return Or(facts_.ShellQueryB(kCsidlPersonalCreate), Profile() + "\\My Documents");
      case SpecialFolder::AllUsersDocuments:
        return Or(facts_.ShellQueryB(kCsidlCommonDocumentsCreate), Windows() + "\\Documents");
      case SpecialFolder::UserStartMenu:
        return OrUserThenAllUsers(facts_.ShellQueryA(kCsidlStartMenu), "\\Start Menu");
      case SpecialFolder::AllUsersStartMenu:
        return Or(facts_.ShellQueryA(kCsidlCommonStartMenu), Folder(SpecialFolder::AllUsers) + "\\Start Menu");
      case SpecialFolder::UserPrograms:
        return OrUserThenAllUsers(facts_.ShellQueryA(kCsidlPrograms), "\\Start Menu\\Programs");
      case SpecialFolder::AllUsersPrograms:
        return Or(facts_.ShellQueryA(kCsidlCommonPrograms), Folder(SpecialFolder::AllUsers) + "\\Start Menu\\Programs");
      case SpecialFolder::UserDesktop:
        return OrUserThenAllUsers(facts_.ShellQueryA(kCsidlDesktopDirectory), "\\Desktop");
      case SpecialFolder::AllUsersDesktop:
        return Or(facts_.ShellQueryA(kCsidlCommonDesktopDirectory), Folder(SpecialFolder::AllUsers) + "\\Desktop");
    }
    return std::string();
  }

  FolderFacts& facts_;
  LeadByteTest lead_;
};

}  // namespace

std::string ResolveSpecialFolder(SpecialFolder which, bool trailingBackslash, FolderFacts& facts) {
  Resolver r(facts);
  return FolderWithBackslash(r.Folder(which), trailingBackslash, facts.LeadBytes());
}

const char* SpecialFolderPlaceholder(SpecialFolder which) {
  switch (which) {
    case SpecialFolder::DocumentsAndSettings: return "<DocumentsAndSettingsDir>";
    case SpecialFolder::User: return "<UserDir>";
    case SpecialFolder::AllUsers: return "<AllUsersDir>";
    case SpecialFolder::UserLocalAppData: return "<UserLocalAppDataDir>";
    case SpecialFolder::UserAppData: return "<UserAppDataDir>";
    case SpecialFolder::AllUsersAppData: return "<AllUsersAppDataDir>";
    case SpecialFolder::MyDocuments: return "<MyDocumentsDir>";
    case SpecialFolder::AllUsersDocuments: return "<AllUsersDocumentsDir>";
    case SpecialFolder::UserStartMenu: return "<UserStartMenuDir>";
    case SpecialFolder::AllUsersStartMenu: return "<AllUsersStartMenuDir>";
    case SpecialFolder::UserPrograms: return "<UserStartProgramMenuDir>";
    case SpecialFolder::AllUsersPrograms: return "<AllUsersStartProgramMenuDir>";
    case SpecialFolder::UserDesktop: return "<UserDesktopDir>";
    case SpecialFolder::AllUsersDesktop: return "<AllUsersDesktopDir>";
  }
  return "";
}
