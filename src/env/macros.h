// Path and user macros: placeholders in angle brackets such as <InstallDir>
// or <Date=6> in paths and texts of the update description files, replaced
// by values of the computer, the user and the installed product. The agent
// expands the path of the program it shuts down before an update.
//
// The expansion rules are portable (macros.cpp) and take their values from
// a MacroSource, asked only for the placeholders a text holds;
// macros_win.cpp gathers the real values. docs/macros.md lists every
// placeholder for publishers.
#pragma once

#include <string>

#include "util/sysinfo.h"

// Values a source supplies. Folders may come with or without a trailing
// "\"; the expansion removes it.
enum class MacroValue {
  LoggedUserName,   // the logged-on user's name
  UserName,         // the registered owner
  CompanyName,      // the registered organisation
  ComputerName,
  DomainName,       // the logged-on user's domain
  InstallDir,       // the folders given to SetInstallFolders
  CommonDir,
  AuxDir,
  WindowsDir,
  SystemDir,
  System16Dir,      // the 16-bit system folder
  StartMenuDir,     // from the registry (Explorer's Shell Folders)
  ProgramFilesDir,  // from the registry, the process's own view
  CommonFilesDir,
  FontDir,
  SrcDir,           // the running executable's folder
  OriginDir,        // the folder of the origin executable
  TempDir,
  ServiceDir,       // the running executable's folder
  // The special folders, in the order of SpecialFolder.
  DocumentsAndSettingsDir,
  UserDir,
  AllUsersDir,
  UserLocalAppDataDir,
  UserAppDataDir,
  AllUsersAppDataDir,
  MyDocumentsDir,
  AllUsersDocumentsDir,
  UserStartMenuDir,
  AllUsersStartMenuDir,
  UserStartProgramMenuDir,
  AllUsersStartProgramMenuDir,
  UserDesktopDir,
  AllUsersDesktopDir,
};

// The local date and time of an expansion and the user's date settings.
struct MacroClock {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  std::string dateSeparator = "/";
  std::string monthNames[12];  // full names, January first
};

class MacroSource {
 public:
  virtual ~MacroSource() = default;
  virtual std::string Value(MacroValue which) = 0;
  virtual MacroClock Clock() = 0;
  // The system's full-path form of a path ("." and ".." resolved against
  // the current folder); empty when it cannot be formed.
  virtual std::string FullPath(const std::string& path) = 0;
  virtual LeadByteTest LeadBytes() { return IsAnsiLeadByte; }
};

// The text of <Date=c> for c in "#01234567"; empty for any other c.
//   #  dd/mmmm/yyyy (the user's date separator, the full month name)
//   0  whole days since 1 January 2000 00:00
//   1  dd-mm-yy   2  mm-dd-yy   3  yy-mm-dd   4  dd-mm-yyyy
//   5  mm-dd-yyyy 6  yyyy-mm-dd 7  yyyy-mm-dd hh:nn:ss
std::string DateMacroText(char c, const MacroClock& clock);

// Expands the placeholders of text. The first <Date=c> and the user and
// machine names are always replaced; with full also the folders. A folder
// value followed by more text gets separator appended (not before a space,
// at the end of the text, or before the list separator of a field list;
// never after an empty value). When full replaced anything, doubled
// backslashes are collapsed (a leading pair stays). With resolveDots a
// result holding "\.." or "..\" is turned into its full path (each such
// field of a field list that starts with "," or "|"). Unknown placeholders
// and unbalanced brackets stay as they are; a value is never expanded
// again, so the result is bounded by the text times the longest value.
std::string ExpandMacrosFrom(const std::string& text, const std::string& separator, bool resolveDots, bool full,
                             MacroSource& source);

// The product's folders for later expansions (<InstallDir>,
// <Application Folder> and their siblings); empty until set.
void SetInstallFolders(const std::string& installFolder, const std::string& commonFolder,
                       const std::string& auxiliaryFolder);
struct InstallFolders {
  std::string install, common, auxiliary;
};
const InstallFolders& GetInstallFolders();

// The origin folder: the folder of the origin executable without a trailing
// "\", or exeDir when that is empty.
std::string OriginFolderFor(const std::string& originExe, const std::string& exeDir,
                            LeadByteTest isLead = IsAnsiLeadByte);
// The 16-bit system folder's first candidate: the system folder with its
// last "32" removed (the folder itself when it holds none).
std::string System16Candidate(const std::string& systemDir);

// Windows: ExpandMacrosFrom over the running system's values.
std::string ExpandMacros(const std::string& text, const std::string& separator, bool resolveDots, bool full);
// The origin executable: the /OriginExe switch, or the running executable
// when it is absent or empty; read at the first use and kept.
const std::string& OriginExe();
// OriginFolderFor of OriginExe and the running executable's folder; kept.
const std::string& OriginFolder();
