// The running system's values behind the path macros.
#include "env/macros.h"

#include <windows.h>

#include <vector>

#include "env/folders.h"
#include "util/registry.h"
#include "util/switches.h"
#include "util/text.h"

namespace {

const char kShellFolders[] = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kCurrentVersion[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const kEnglishMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string LocaleText(LCTYPE what, const char* fallback) {
  char text[128] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, what, text, sizeof text) <= 1) return fallback;
  return text;
}

std::string Special(SpecialFolder f) { return GetSpecialFolder(f, false); }

class SystemMacroSource : public MacroSource {
 public:
  std::string Value(MacroValue which) override {
    switch (which) {
      case MacroValue::LoggedUserName: return GetUserNameText();
      case MacroValue::UserName: return GetRegisteredOwner();
      case MacroValue::CompanyName: return GetRegisteredOrganization();
      case MacroValue::ComputerName: return GetComputerNameText();
      case MacroValue::DomainName: return GetUserDomain(GetUserNameText());
      case MacroValue::InstallDir: return GetInstallFolders().install;
      case MacroValue::CommonDir: return GetInstallFolders().common;
      case MacroValue::AuxDir: return GetInstallFolders().auxiliary;
      case MacroValue::WindowsDir: return GetWindowsDir(false);
      case MacroValue::SystemDir: return GetSystemDir(false);
      case MacroValue::System16Dir: {
        const std::string system = GetSystemDir(false);
        const std::string candidate = System16Candidate(system);
        if (DirectoryExists(candidate)) return candidate;
        const std::string windowsSystem = GetWindowsDir(false) + "\\System";
        return DirectoryExists(windowsSystem) ? windowsSystem : system;
      }
      // Read in the process's own (32-bit) view, as a 32-bit program sees them.
      case MacroValue::StartMenuDir: return ReadRegString(kShellFolders, "Start Menu", "");
      case MacroValue::ProgramFilesDir: return ReadRegString(kCurrentVersion, "ProgramFilesDir", "");
      case MacroValue::CommonFilesDir: return ReadRegString(kCurrentVersion, "CommonFilesDir", "");
      case MacroValue::FontDir: {
        const std::string fonts = ReadRegString(kShellFolders, "Fonts", "");
        return DirectoryExists(fonts) ? fonts : GetWindowsDir(false) + "\\Fonts";
      }
      case MacroValue::SrcDir: return GetExeDir(false);
      case MacroValue::OriginDir: return OriginFolder();
      case MacroValue::TempDir: return GetTempDir(false);
      case MacroValue::ServiceDir: return GetExeDir(false);
      case MacroValue::DocumentsAndSettingsDir: return Special(SpecialFolder::DocumentsAndSettings);
      case MacroValue::UserDir: return Special(SpecialFolder::User);
      case MacroValue::AllUsersDir: return Special(SpecialFolder::AllUsers);
      case MacroValue::UserLocalAppDataDir: return Special(SpecialFolder::UserLocalAppData);
      case MacroValue::UserAppDataDir: return Special(SpecialFolder::UserAppData);
      case MacroValue::AllUsersAppDataDir: return Special(SpecialFolder::AllUsersAppData);
      case MacroValue::MyDocumentsDir: return Special(SpecialFolder::MyDocuments);
      case MacroValue::AllUsersDocumentsDir: return Special(SpecialFolder::AllUsersDocuments);
      case MacroValue::UserStartMenuDir: return Special(SpecialFolder::UserStartMenu);
      case MacroValue::AllUsersStartMenuDir: return Special(SpecialFolder::AllUsersStartMenu);
      case MacroValue::UserStartProgramMenuDir: return Special(SpecialFolder::UserPrograms);
      case MacroValue::AllUsersStartProgramMenuDir: return Special(SpecialFolder::AllUsersPrograms);
      case MacroValue::UserDesktopDir: return Special(SpecialFolder::UserDesktop);
      case MacroValue::AllUsersDesktopDir: return Special(SpecialFolder::AllUsersDesktop);
    }
    return std::string();
  }

  MacroClock Clock() override {
    SYSTEMTIME t;
    GetLocalTime(&t);
    MacroClock k;
    k.year = t.wYear;
    k.month = t.wMonth;
    k.day = t.wDay;
    k.hour = t.wHour;
    k.minute = t.wMinute;
    k.second = t.wSecond;
    k.dateSeparator = LocaleText(LOCALE_SDATE, "/");
    for (int i = 0; i < 12; ++i) k.monthNames[i] = LocaleText(LOCALE_SMONTHNAME1 + i, kEnglishMonths[i]);
    return k;
  }

  std::string FullPath(const std::string& path) override {
    std::vector<char> buf(MAX_PATH + 1);
    for (int round = 0; round < 2; ++round) {
      char* name = nullptr;
      const DWORD n = GetFullPathNameA(path.c_str(), DWORD(buf.size()), buf.data(), &name);
      if (n == 0) return std::string();
      if (n < buf.size()) return std::string(buf.data(), n);
      buf.resize(n + 1);  // n is the size needed, with its NUL
    }
    return std::string();
  }
};

}  // namespace

std::string ExpandMacros(const std::string& text, const std::string& separator, bool resolveDots, bool full) {
  SystemMacroSource source;
  return ExpandMacrosFrom(text, separator, resolveDots, full, source);
}

const std::string& OriginExe() {
  static const std::string exe = [] {
    const std::string fromSwitch = GetParamStr("/OriginExe", "");
    return fromSwitch.empty() ? GetExePath(false) : fromSwitch;
  }();
  return exe;
}

const std::string& OriginFolder() {
  static const std::string folder = OriginFolderFor(OriginExe(), GetExeDir(false));
  return folder;
}
