// Facts about the running program and the system it runs on.
//
// The first group is portable (sysinfo.cpp) and tested on the host: path
// text rules, the version record's rules and small arithmetic. The second
// group asks Windows (sysinfo_win.cpp). Every query returns an empty text,
// 0 or false on failure; only the version queries write a failure line.
// The version record, the 64-bit test, the pixels per inch and the
// developer-mode test are computed once and kept for the run.
#pragma once

#include <cstdint>
#include <string>

// ===================================================================
// Portable part
// ===================================================================

// Whether a byte is the first byte of a double-byte character in the ANSI
// code page. Windows asks the system; the host build has a single-byte code
// page (no lead bytes). Path functions take the test as a parameter so that
// tests can use a double-byte code page's rule on any build.
using LeadByteTest = bool (*)(unsigned char);
bool IsAnsiLeadByte(unsigned char c);

// The file name of path (after the last "\", "/" or ":") without its last
// extension; with all set, without every extension ("a.tar.gz" gives "a").
std::string BaseName(const std::string& path, bool all);

// A lone "\" becomes empty; otherwise one trailing "\" is removed when the
// path is longer than 1 and that "\" is not the second byte of a double-byte
// character.
std::string RemoveTrailingBackslash(const std::string& path, LeadByteTest isLead = IsAnsiLeadByte);

// Texts of 3 characters or more: runs of backslashes shrink to one, working
// from the end towards the start, except a pair that begins at the first
// character (a network path), one that ends at the last character, one whose
// first "\" is the second byte of a double-byte character and, in a text that
// begins and ends with the same character (a field list), one that follows
// that character. With stripTrailing, RemoveTrailingBackslash afterwards.
std::string CollapseBackslashes(const std::string& path, bool stripTrailing,
                                LeadByteTest isLead = IsAnsiLeadByte);

// The folder rule of every folder query: one trailing "\" is removed when
// the path is longer than 2 characters (so "C:\" becomes "C:") and it is not
// the second byte of a double-byte character; then, when asked, exactly one
// "\" is added. An empty folder stays empty: a bare "\" would name the root
// of the current drive.
std::string FolderWithBackslash(const std::string& folder, bool trailing,
                                LeadByteTest isLead = IsAnsiLeadByte);

// The folder part of a path: the text before its last "\" (a trailing "\"
// of the path itself is ignored first), with a drive root kept as "X:\" so
// that it still names the root. Empty when the path holds no "\".
std::string ParentFolder(const std::string& path, LeadByteTest isLead = IsAnsiLeadByte);

// The system's version record.
struct OsVersion {
  uint32_t platformId = 0;  // 2: NT family
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  std::string servicePack;
};
constexpr uint32_t kPlatformNT = 2;

// Windows 8.1 and later report 6.3 to a program that declares 8.1 as its
// newest system; the real major, minor and build then come from fields 0, 1
// and 2 of kernel32.dll's product version. Applies when the reported major
// is above 5 and the minor above 2, and only when that product version has a
// major part; otherwise the reported record is kept.
OsVersion AdjustOsVersion(const OsVersion& reported, const std::string& kernelProductVersion);
bool OsIsNT(const OsVersion& v);
// NT and major.minor exactly 5.1.
bool OsIsXP(const OsVersion& v);
// NT and major.minor at least 6.2 (compared as a pair of numbers).
bool OsIsWin8OrLater(const OsVersion& v);

// The key that holds RegisteredOwner and RegisteredOrganization: on NT every
// "Windows" of the 9x path becomes "Windows NT".
std::string RegisteredInfoKey(bool nt);

// The developer mode is on when the environment variable DVX holds exactly
// this code. It only adds diagnostics (a message box position, reason
// numbers in one message); it changes no decision.
constexpr const char kDeveloperModeCode[] = "417";
bool IsDeveloperCode(const std::string& dvxValue);

struct WindowOrigin {
  int left = 0;
  int top = 0;
};
// The left and top that center a width x height rectangle in the area. A
// rectangle larger than the area starts at the area's left or top edge, so
// that its title bar stays on the screen.
WindowOrigin CenterInArea(int areaLeft, int areaTop, int areaRight, int areaBottom, int width,
                          int height);

// ===================================================================
// Windows part
// ===================================================================

// Limits where the system looks for DLLs to the system folder. Called first
// thing at start-up, so that a DLL planted beside a downloaded setup.exe is
// never loaded into this (elevated) process.
void RestrictDllSearchPath();
// Loads shell32.dll, USP10.dll, MSLS31.dll and RICHED32.DLL from the system
// folder by full path, with the missing-file error box suppressed. Called at
// start-up right after RestrictDllSearchPath, before any window exists: the
// rich-text control loads USP10 and MSLS31 by bare name, and once they are
// loaded from the system folder those loads find them in memory. Missing
// libraries are skipped; the libraries stay loaded for the whole run.
void PreloadStartupLibraries();
// Loads a system DLL by its full path in the system folder; null on failure.
void* LoadSystemLibrary(const char* name);
// The address of a function of a system DLL, loading it from the system
// folder; null when either is missing. The library stays loaded.
void* LoadProc(const char* library, const char* function);

// The version record (read once; see AdjustOsVersion) and its tests.
const OsVersion& GetOsVersion();
bool IsNT();
bool IsXP();
bool IsWin8OrLater();
// The process runs under WOW64 on 64-bit Windows: GetNativeSystemInfo,
// IsWow64Process (reporting TRUE), Wow64DisableWow64FsRedirection,
// Wow64RevertWow64FsRedirection, GetSystemWow64DirectoryA and
// RegDeleteKeyExA all exist, bound by name. Computed once.
bool Is64BitWindows();

// The running executable's full path (with the strip flag: its file name
// without the last extension) and its folder.
std::string GetExePath(bool stripExtension = false);
std::string GetExeDir(bool trailingBackslash);
// The Windows, system and temporary folders (FolderWithBackslash rule).
std::string GetWindowsDir(bool trailingBackslash);
std::string GetSystemDir(bool trailingBackslash);
std::string GetTempDir(bool trailingBackslash);

// The file version "a.b.c.d" of a file (empty: the running executable);
// formatted by FormatVersion when width > 1 or parts < 4. Empty on failure,
// which writes one " --- Utils.GetExeVersion() () --- ..." line.
std::string GetExeVersion(const std::string& file, int width = 1, int parts = 4);
// The ProductVersion string of a file's version resource (first
// translation), "," replaced by "."; formatted like GetExeVersion. Always
// writes "[QueryValue]  [file]  [ProductVersion]  [result]"; a failure also
// writes " --- Utils.GetProductVersion() () --- ...". Empty on failure.
std::string GetProductVersion(const std::string& file, int width = 1, int parts = 4);

// The logged-on user's and the computer's names, trimmed; empty on failure.
std::string GetUserNameText();
std::string GetComputerNameText();
// The domain of an account (LookupAccountName); empty on failure.
std::string GetUserDomain(const std::string& account);
// RegisteredOwner (the user name when missing or blank) and
// RegisteredOrganization (empty when missing), trimmed; read in the 64-bit
// registry view when Is64BitWindows.
std::string GetRegisteredOwner();
std::string GetRegisteredOrganization();

// DVX equals kDeveloperModeCode. Read once.
bool IsDeveloperMode();
// MulDiv(points, vertical pixels per inch of the screen, 72); the pixels
// per inch are read once.
int PointsToPixels(int points);
// CenterInArea over the desktop work area.
WindowOrigin CenterInWorkArea(int width, int height);

// Window queries take the system's window handle type (HWND).
struct HWND__;
// The last window of the owner chain (the window itself without an owner).
HWND__* TopOwner(HWND__* window);
// Class name (up to 16,384 characters) and title (up to 102,400); empty for
// no window.
std::string GetWindowClassText(HWND__* window);
std::string GetWindowTitleText(HWND__* window);

// The system's message for the last error code, without its line end; when
// there is none, the fixed text
// Error Reading "SysUtils.SysErrorMessage(GetLastError)".
std::string LastErrorText();
// Milliseconds from the high-resolution performance counter.
int64_t TickMs();
// Opens a file through the shell (owner: the desktop window); true when the
// shell reports success (a result above 32).
bool ShellOpen(const std::string& file, const std::string& parameters, int showCommand);
// Registers (true) or forgets (false) the "QueryCancelAutoPlay" message;
// GetAutoPlayCancelMessage is its number, 0 while not registered.
void SetAutoPlayCancel(bool on);
unsigned GetAutoPlayCancelMessage();
