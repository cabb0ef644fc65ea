// System information from the Windows API. Optional functions are bound by
// name from system-folder libraries (LoadProc) so that a missing one makes
// only the dependent query fail.
#include "util/sysinfo.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "util/registry.h"
#include "util/text.h"
#include "util/trace.h"
#include "util/version.h"

namespace {

// SetDefaultDllDirectories exists from Windows 8 (and on 7 with KB2533623);
// the same update brings the LOAD_LIBRARY_SEARCH_* flags of LoadLibraryEx.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);
using GetFileVersionInfoSizeAFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using GetFileVersionInfoAFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using VerQueryValueAFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using GetDeviceCapsFn = int(WINAPI*)(HDC, int);

constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kFolderBuffer = 261;           // system folders are read into 261 characters

template <typename F>
F Proc(const char* library, const char* function) {
  return reinterpret_cast<F>(LoadProc(library, function));
}

bool SearchFlagsSupported() {
  static const bool supported =
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
  return supported;
}

// A folder from one of the GetXxxDirectory calls; empty when it fails or
// does not fit.
std::string FolderFrom(UINT n, const char* buf, bool trailing) {
  return FolderWithBackslash(n > 0 && n < kFolderBuffer ? std::string(buf, n) : std::string(), trailing);
}

// The version resource of a file. On failure the reason is set and the
// data is left empty.
struct VersionData {
  std::vector<char> data;
  VerQueryValueAFn query = nullptr;
  const char* failure = nullptr;
};

VersionData ReadVersionData(const std::string& path) {
  VersionData v;
  auto sizeFn = Proc<GetFileVersionInfoSizeAFn>("version.dll", "GetFileVersionInfoSizeA");
  auto infoFn = Proc<GetFileVersionInfoAFn>("version.dll", "GetFileVersionInfoA");
  v.query = Proc<VerQueryValueAFn>("version.dll", "VerQueryValueA");
  if (!sizeFn || !infoFn || !v.query) {
    v.failure = "version.dll not available";
    return v;
  }
  DWORD handle = 0;
  const DWORD size = sizeFn(path.c_str(), &handle);
  if (size == 0) {
    v.failure = "no version information";
    return v;
  }
  v.data.assign(size > 16384 ? size : 16384, '\0');
  if (!infoFn(path.c_str(), 0, DWORD(v.data.size()), v.data.data())) {
    v.data.clear();
    v.failure = "no version information";
  }
  return v;
}

// The screen's device context for one query.
class ScreenDC {
 public:
  ScreenDC() : dc_(GetDC(nullptr)) {}
  ~ScreenDC() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

UINT g_autoPlayMessage = 0;

}  // namespace

bool IsAnsiLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// ---- DLL safety ----------------------------------------------------------

void RestrictDllSearchPath() {
  HMODULE k32 = GetModuleHandleA("kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(k32, "SetDefaultDllDirectories")));
  if (setDefault && setDefault(kSearchSystem32)) return;
  // Older systems: at least take the current folder out of the search.
  auto setDir = reinterpret_cast<SetDllDirectoryAFn>(reinterpret_cast<void*>(GetProcAddress(k32, "SetDllDirectoryA")));
  if (setDir) setDir("");
}

void PreloadStartupLibraries() {
  // No "cannot find the file" box for a library this system lacks: the
  // stub runs on without it and the dependent feature fails softly.
  const UINT quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  const UINT previous = SetErrorMode(quiet);
  SetErrorMode(previous | quiet);
  for (const char* name : {"shell32.dll", "USP10.dll", "MSLS31.dll", "RICHED32.DLL"}) {
    // Kept loaded for the whole run on purpose: a later load by bare name
    // (the rich-text control loads USP10 and MSLS31 so) must find the
    // system copy already in memory.
    LoadSystemLibrary(name);
  }
  SetErrorMode(previous);
}

void* LoadSystemLibrary(const char* name) {
  const std::string folder = GetSystemDir(true);
  if (folder.empty() || !name || !*name) return nullptr;
  const std::string path = folder + name;
  // The library itself comes from its full path; where the search flags
  // exist its dependencies come from the system folder only, otherwise the
  // altered search order starts at the library's own (system) folder.
  const DWORD flags = SearchFlagsSupported() ? kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  return reinterpret_cast<void*>(LoadLibraryExA(path.c_str(), nullptr, flags));
}

void* LoadProc(const char* library, const char* function) {
  HMODULE m = GetModuleHandleA(library);
  if (!m) m = static_cast<HMODULE>(LoadSystemLibrary(library));
  if (!m) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(m, function));
}

// ---- Version -------------------------------------------------------------

// GetVersionExA is deprecated because a program gets the version its
// manifest declares; that capped version is exactly what the record starts
// from (see AdjustOsVersion).
namespace {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
bool ReportedVersion(OSVERSIONINFOA* info) { return GetVersionExA(info) != FALSE; }
#pragma GCC diagnostic pop
}  // namespace

const OsVersion& GetOsVersion() {
  static const OsVersion version = [] {
    OsVersion v;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (ReportedVersion(&info)) {
      v.platformId = info.dwPlatformId;
      v.major = info.dwMajorVersion;
      v.minor = info.dwMinorVersion;
      v.build = info.dwBuildNumber;
      v.servicePack = info.szCSDVersion;
    }
    // Only a version that may be capped by the manifest costs the read of
    // kernel32.dll's version resource.
    if (v.major > 5 && v.minor > 2) v = AdjustOsVersion(v, GetProductVersion(GetSystemDir(true) + "kernel32.dll"));
    return v;
  }();
  return version;
}

bool IsNT() { return OsIsNT(GetOsVersion()); }
bool IsXP() { return OsIsXP(GetOsVersion()); }
bool IsWin8OrLater() { return OsIsWin8OrLater(GetOsVersion()); }

bool Is64BitWindows() {
  static const bool is64 = [] {
    auto native = Proc<GetNativeSystemInfoFn>("kernel32.dll", "GetNativeSystemInfo");
    auto isWow64 = Proc<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
    if (!native || !isWow64) return false;
    SYSTEM_INFO info = {};
    native(&info);
    BOOL wow64 = FALSE;
    if (!isWow64(GetCurrentProcess(), &wow64) || !wow64) return false;
    return LoadProc("kernel32.dll", "Wow64DisableWow64FsRedirection") != nullptr &&
           LoadProc("kernel32.dll", "Wow64RevertWow64FsRedirection") != nullptr &&
           LoadProc("kernel32.dll", "GetSystemWow64DirectoryA") != nullptr &&
           LoadProc("advapi32.dll", "RegDeleteKeyExA") != nullptr;
  }();
  return is64;
}

std::string GetExeVersion(const std::string& file, int width, int parts) {
  const std::string path = file.empty() ? GetExePath(false) : file;
  VersionData v = ReadVersionData(path);
  std::string result;
  const char* failure = v.failure;
  if (!failure) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!v.query(v.data.data(), "\\", reinterpret_cast<void**>(&fixed), &len) || !fixed ||
        len < sizeof(VS_FIXEDFILEINFO)) {
      failure = "no fixed file information";
    } else {
      char text[64];
      wsprintfA(text, "%d.%d.%d.%d", int(HIWORD(fixed->dwFileVersionMS)), int(LOWORD(fixed->dwFileVersionMS)),
                int(HIWORD(fixed->dwFileVersionLS)), int(LOWORD(fixed->dwFileVersionLS)));
      result = text;
      if (width > 1 || parts < 4) result = FormatVersion(result, width, parts);
    }
  }
  if (failure) TraceException(std::string(failure) + ": " + path, "Utils.GetExeVersion()", "");
  return result;
}

std::string GetProductVersion(const std::string& file, int width, int parts) {
  const std::string path = file.empty() ? GetExePath(false) : file;
  VersionData v = ReadVersionData(path);
  std::string result;
  const char* failure = v.failure;
  if (!failure) {
    const WORD* translation = nullptr;
    UINT len = 0;
    if (!v.query(v.data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(const_cast<WORD**>(&translation)),
                 &len) ||
        !translation || len < 2 * sizeof(WORD)) {
      failure = "no translation";
    } else {
      char block[80];
      wsprintfA(block, "\\StringFileInfo\\%04x%04x\\%s", unsigned(translation[0]), unsigned(translation[1]),
                "ProductVersion");
      const char* value = nullptr;
      UINT chars = 0;
      if (!v.query(v.data.data(), block, reinterpret_cast<void**>(const_cast<char**>(&value)), &chars) || !value) {
        failure = "no ProductVersion";
      } else {
        result = ReplaceChar(std::string(value, strnlen(value, chars)), ',', '.');
        if (width > 1 || parts < 4) result = FormatVersion(result, width, parts);
      }
    }
  }
  TraceFields("QueryValue", path, "ProductVersion", result);
  if (failure) TraceException(std::string(failure) + ": " + path, "Utils.GetProductVersion()", "");
  return result;
}

// ---- Names ---------------------------------------------------------------

std::string GetUserNameText() {
  char buf[257] = {};  // UNLEN + 1
  DWORD size = sizeof buf;
  if (!GetUserNameA(buf, &size)) return std::string();
  return Trim(buf);
}

std::string GetComputerNameText() {
  char buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof buf;
  if (!GetComputerNameA(buf, &size)) return std::string();
  return Trim(buf);
}

std::string GetUserDomain(const std::string& account) {
  if (account.empty()) return std::string();
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use;
  // The first call only learns the two sizes.
  LookupAccountNameA(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
  if (sidSize == 0 || domainSize == 0) return std::string();
  std::vector<BYTE> sid(sidSize);
  std::vector<char> domain(domainSize + 1, '\0');
  if (!LookupAccountNameA(nullptr, account.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use))
    return std::string();
  return std::string(domain.data());
}

std::string GetRegisteredOwner() {
  const std::string owner = Trim(ReadRegString(RegisteredInfoKey(IsNT()), "RegisteredOwner", "", Is64BitWindows()));
  // A blank value names nobody, like a missing one.
  return owner.empty() ? GetUserNameText() : owner;
}

std::string GetRegisteredOrganization() {
  return Trim(ReadRegString(RegisteredInfoKey(IsNT()), "RegisteredOrganization", "", Is64BitWindows()));
}

// ---- Folders -------------------------------------------------------------

std::string GetSystemDir(bool trailingBackslash) {
  char buf[kFolderBuffer] = {};
  return FolderFrom(GetSystemDirectoryA(buf, kFolderBuffer), buf, trailingBackslash);
}

std::string GetWindowsDir(bool trailingBackslash) {
  char buf[kFolderBuffer] = {};
  return FolderFrom(GetWindowsDirectoryA(buf, kFolderBuffer), buf, trailingBackslash);
}

std::string GetTempDir(bool trailingBackslash) {
  char buf[kFolderBuffer] = {};
  return FolderFrom(GetTempPathA(kFolderBuffer, buf), buf, trailingBackslash);
}

std::string GetExePath(bool stripExtension) {
  std::vector<char> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buf.data(), DWORD(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) {
      std::string path(buf.data(), n);
      return stripExtension ? BaseName(path, false) : path;
    }
    if (buf.size() >= 32768) return std::string();
    buf.resize(buf.size() * 2);
  }
}

std::string GetExeDir(bool trailingBackslash) {
  const std::string path = GetExePath(false);
  std::string folder = ParentFolder(path);
  return FolderWithBackslash(folder, trailingBackslash);
}

// ---- Screen and windows --------------------------------------------------

bool IsDeveloperMode() {
  static const bool on = [] {
    char buf[64] = {};
    const DWORD n = GetEnvironmentVariableA("DVX", buf, sizeof buf);
    return n > 0 && n < sizeof buf && IsDeveloperCode(std::string(buf, n));
  }();
  return on;
}

int PointsToPixels(int points) {
  static const int pixelsPerInch = [] {
    // gdi32 is bound by name: console programs of this tree do not link it.
    auto caps = Proc<GetDeviceCapsFn>("gdi32.dll", "GetDeviceCaps");
    ScreenDC dc;
    const int v = caps && dc.get() ? caps(dc.get(), LOGPIXELSY) : 0;
    return v > 0 ? v : 96;
  }();
  return MulDiv(points, pixelsPerInch, 72);
}

WindowOrigin CenterInWorkArea(int width, int height) {
  RECT area = {};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    area.left = area.top = 0;
    area.right = GetSystemMetrics(SM_CXSCREEN);
    area.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  return CenterInArea(area.left, area.top, area.right, area.bottom, width, height);
}

HWND TopOwner(HWND window) {
  if (!window) return nullptr;
  // Owner chains are short; the bound only guards against a chain that
  // changes while it is walked.
  for (int i = 0; i < 4096; ++i) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner) break;
    window = owner;
  }
  return window;
}

std::string GetWindowClassText(HWND window) {
  if (!window) return std::string();
  std::vector<char> buf(16384 + 1, '\0');
  const int n = GetClassNameA(window, buf.data(), int(buf.size()));
  return n > 0 ? std::string(buf.data(), size_t(n)) : std::string();
}

std::string GetWindowTitleText(HWND window) {
  if (!window) return std::string();
  std::vector<char> buf(102400 + 1, '\0');
  const int n = GetWindowTextA(window, buf.data(), int(buf.size()));
  return n > 0 ? std::string(buf.data(), size_t(n)) : std::string();
}

// ---- Errors, time, shell -------------------------------------------------

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char buf[2048] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                                 sizeof buf, nullptr);
  std::string text = n > 0 && n < sizeof buf ? TrimRight(std::string(buf, n)) : std::string();
  // The caller may still want the code itself.
  SetLastError(code);
  return text.empty() ? "Error Reading \"SysUtils.SysErrorMessage(GetLastError)\"" : text;
}

int64_t TickMs() {
  static const double msPerCount = [] {
    LARGE_INTEGER f;
    return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? 1000.0 / double(f.QuadPart) : 0.0;
  }();
  LARGE_INTEGER c;
  if (msPerCount == 0.0 || !QueryPerformanceCounter(&c)) return int64_t(GetTickCount());
  return int64_t(double(c.QuadPart) * msPerCount);
}

bool ShellOpen(const std::string& file, const std::string& parameters, int showCommand) {
  if (file.empty()) return false;
  HINSTANCE r = ShellExecuteA(GetDesktopWindow(), "open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                              nullptr, showCommand);
  return reinterpret_cast<INT_PTR>(r) > 32;
}

void SetAutoPlayCancel(bool on) { g_autoPlayMessage = on ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0; }
unsigned GetAutoPlayCancelMessage() { return g_autoPlayMessage; }
