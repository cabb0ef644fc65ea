// System information under a real Windows API (Wine in tests).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "util/handle_win.h"
#include "util/sysinfo.h"
#include "util/text.h"

namespace {

bool DirExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string Env(const char* name) {
  char buf[1024] = {};
  const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string ModulePath(HMODULE m) {
  char where[MAX_PATH] = {};
  GetModuleFileNameA(m, where, MAX_PATH);
  return where;
}

bool StartsWithCI(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && _strnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

TEST(SysInfo, ExePathAndFolderAgree) {
  std::string path = GetExePath(false);
  std::string dir = GetExeDir(true);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.compare(0, dir.size(), dir), 0) << path << " vs " << dir;
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_NE(dir[dir.size() - 2], '\\');
  EXPECT_NE(GetExeDir(false).back(), '\\');
  EXPECT_EQ(GetExePath(true), "win_unit_tests");
}

TEST(SysInfo, SystemFoldersExistAndFollowTheBackslashRule) {
  for (auto folder : {GetWindowsDir, GetSystemDir, GetTempDir}) {
    const std::string without = folder(false);
    const std::string with = folder(true);
    ASSERT_GT(without.size(), 2u);
    EXPECT_TRUE(DirExists(with)) << with;
    EXPECT_NE(without.back(), '\\') << without;
    EXPECT_EQ(with, without + "\\");
  }
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof temp, temp);
  EXPECT_EQ(GetTempDir(true), temp);
}

TEST(SysInfo, SystemLibrariesComeFromTheSystemFolder) {
  void* f = LoadProc("version.dll", "GetFileVersionInfoSizeA");
  ASSERT_NE(f, nullptr);
  const std::string sys = GetSystemDir(true);
  EXPECT_TRUE(StartsWithCI(ModulePath(GetModuleHandleA("version.dll")), sys));
  EXPECT_EQ(LoadProc("no-such-library.dll", "Anything"), nullptr);
  EXPECT_EQ(LoadProc("kernel32.dll", "NoSuchFunction"), nullptr);
  EXPECT_EQ(LoadSystemLibrary("no-such-library.dll"), nullptr);
  EXPECT_EQ(LoadSystemLibrary(""), nullptr);
}

UINT CurrentErrorMode() {
  const UINT mode = SetErrorMode(0);
  SetErrorMode(mode);
  return mode;
}

TEST(SysInfo, StartupLibrariesArePreloadedFromTheSystemFolder) {
  const UINT before = CurrentErrorMode();
  PreloadStartupLibraries();
  EXPECT_EQ(CurrentErrorMode(), before);  // the quiet mode is only for the loads
  const std::string sys = GetSystemDir(true);
  for (const char* name : {"shell32.dll", "USP10.dll", "MSLS31.dll", "RICHED32.DLL"}) {
    if (GetFileAttributesA((sys + name).c_str()) == INVALID_FILE_ATTRIBUTES) continue;  // not on this system
    HMODULE m = GetModuleHandleA(name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_TRUE(StartsWithCI(ModulePath(m), sys)) << ModulePath(m);
  }
}

TEST(SysInfo, VersionTestsAgreeWithTheKernelsOwnVersion) {
  // RtlGetVersion reports the real version, without the compatibility cap.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto rtl = reinterpret_cast<RtlGetVersionFn>(LoadProc("ntdll.dll", "RtlGetVersion"));
  ASSERT_NE(rtl, nullptr);
  OSVERSIONINFOW real = {};
  real.dwOSVersionInfoSize = sizeof real;
  ASSERT_EQ(rtl(&real), 0);
  EXPECT_TRUE(IsNT());
  EXPECT_EQ(IsXP(), real.dwMajorVersion == 5 && real.dwMinorVersion == 1);
  EXPECT_EQ(IsWin8OrLater(), real.dwMajorVersion > 6 || (real.dwMajorVersion == 6 && real.dwMinorVersion >= 2));
  EXPECT_GE(GetOsVersion().major, 5u);
}

TEST(SysInfo, Is64BitWindowsMatchesTheWow64Folder) {
  // Only 64-bit Windows has SysWOW64, and a 32-bit process sees it unredirected.
  EXPECT_EQ(Is64BitWindows(), DirExists(GetWindowsDir(true) + "SysWOW64"));
}

TEST(SysInfo, VersionsOfASystemFileAndOfAFileWithoutThem) {
  const std::string kernel = GetSystemDir(true) + "kernel32.dll";
  std::string v = GetExeVersion(kernel);
  int dots = 0;
  for (char c : v) dots += c == '.';
  EXPECT_EQ(dots, 3) << v;
  EXPECT_EQ(GetExeVersion(GetSystemDir(true) + "no-such-file.dll"), "");

  const std::string product = GetProductVersion(kernel);
  ASSERT_FALSE(product.empty());
  EXPECT_EQ(product.find(','), std::string::npos);
  const std::string two = GetProductVersion(kernel, 3, 2);
  ASSERT_EQ(two.size(), 7u) << two;  // "ddd.ddd"
  EXPECT_EQ(two[3], '.');
  EXPECT_EQ(GetProductVersion(GetSystemDir(true) + "no-such-file.dll"), "");
  // This test program carries no version resource.
  EXPECT_EQ(GetProductVersion(""), "");
}

TEST(SysInfo, UserComputerAndDomain) {
  const std::string user = GetUserNameText();
  ASSERT_FALSE(user.empty());
  EXPECT_TRUE(SameText(user, Env("USERNAME"))) << user;
  EXPECT_TRUE(SameText(GetComputerNameText(), Env("COMPUTERNAME"))) << GetComputerNameText();
  EXPECT_FALSE(GetUserDomain(user).empty());
  EXPECT_EQ(GetUserDomain("no-such-account-7f3a"), "");
  EXPECT_EQ(GetUserDomain(""), "");
}

// Sets (or, with nullptr, deletes) a value of the registered-information key
// and puts the old state back at the end of the test.
class RegisteredValue {
 public:
  explicit RegisteredValue(const char* name) : name_(name) {
    const REGSAM view = Is64BitWindows() ? KEY_WOW64_64KEY : 0;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, nullptr, 0,
                    KEY_READ | KEY_WRITE | view, nullptr, key_.put(), nullptr);
    char buf[1024] = {};
    DWORD size = sizeof buf;
    DWORD type = 0;
    had_ = key_ && RegQueryValueExA(key_.get(), name_, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS;
    if (had_) old_.assign(buf, size);
  }
  ~RegisteredValue() {
    if (!key_) return;
    if (had_) {
      RegSetValueExA(key_.get(), name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.data()), DWORD(old_.size()));
    } else {
      RegDeleteValueA(key_.get(), name_);
    }
  }
  bool ok() const { return key_.valid(); }
  void Set(const char* value) {
    if (value) {
      RegSetValueExA(key_.get(), name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(strlen(value) + 1));
    } else {
      RegDeleteValueA(key_.get(), name_);
    }
  }

 private:
  const char* name_;
  UniqueKey key_;
  bool had_ = false;
  std::string old_;
};

TEST(SysInfo, RegisteredOwnerAndOrganization) {
  RegisteredValue owner("RegisteredOwner");
  RegisteredValue org("RegisteredOrganization");
  ASSERT_TRUE(owner.ok() && org.ok());
  owner.Set("  Stub Test Owner  ");
  org.Set(" Stub Test Org ");
  EXPECT_EQ(GetRegisteredOwner(), "Stub Test Owner");
  EXPECT_EQ(GetRegisteredOrganization(), "Stub Test Org");
  owner.Set(nullptr);
  org.Set(nullptr);
  EXPECT_EQ(GetRegisteredOwner(), GetUserNameText());
  EXPECT_EQ(GetRegisteredOrganization(), "");
  owner.Set("   ");
  EXPECT_EQ(GetRegisteredOwner(), GetUserNameText());
}

TEST(SysInfo, LastErrorText) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  const std::string text = LastErrorText();
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));  // left for the caller
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  EXPECT_NE(text, LastErrorText() + "x");
  SetLastError(0x2000FFFF);  // a customer code without a system message
  EXPECT_EQ(LastErrorText(), "Error Reading \"SysUtils.SysErrorMessage(GetLastError)\"");
}

TEST(SysInfo, TickMsFollowsTheClock) {
  const int64_t a = TickMs();
  Sleep(60);
  const int64_t b = TickMs();
  EXPECT_GE(b - a, 50);
  EXPECT_LT(b - a, 2000);
}

TEST(SysInfo, ScreenQueries) {
  EXPECT_EQ(PointsToPixels(0), 0);
  const int px = PointsToPixels(72);  // one inch
  EXPECT_GE(px, 72);
  EXPECT_NEAR(PointsToPixels(36) * 2, px, 1);
  RECT area = {};
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
  const WindowOrigin o = CenterInWorkArea(100, 60);
  EXPECT_NEAR(o.left + 50, (area.left + area.right) / 2, 1);
  EXPECT_NEAR(o.top + 30, (area.top + area.bottom) / 2, 1);
}

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

TEST(SysInfo, WindowQueries) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "StubSysInfoTestWindow";
  RegisterClassA(&wc);
  const std::string longTitle(50000, 't');
  HWND a = CreateWindowExA(0, wc.lpszClassName, "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  // Wine creates top-level windows only with a display (Xvfb will do).
  if (!a) GTEST_SKIP() << "no display for top-level windows";
  HWND b = CreateWindowExA(0, wc.lpszClassName, "middle", WS_POPUP, 0, 0, 10, 10, a, nullptr, wc.hInstance, nullptr);
  HWND c = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, b, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(SetWindowTextA(c, longTitle.c_str()));
  EXPECT_EQ(TopOwner(c), a);
  EXPECT_EQ(TopOwner(b), a);
  EXPECT_EQ(TopOwner(a), a);
  EXPECT_EQ(TopOwner(nullptr), nullptr);
  EXPECT_EQ(GetWindowClassText(c), "StubSysInfoTestWindow");
  EXPECT_EQ(GetWindowTitleText(b), "middle");
  EXPECT_EQ(GetWindowTitleText(c), longTitle);
  EXPECT_EQ(GetWindowClassText(nullptr), "");
  EXPECT_EQ(GetWindowTitleText(nullptr), "");
  DestroyWindow(c);
  DestroyWindow(b);
  DestroyWindow(a);
  UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

TEST(SysInfo, AutoPlayCancelMessage) {
  SetAutoPlayCancel(true);
  EXPECT_EQ(GetAutoPlayCancelMessage(), RegisterWindowMessageA("QueryCancelAutoPlay"));
  EXPECT_NE(GetAutoPlayCancelMessage(), 0u);
  SetAutoPlayCancel(false);
  EXPECT_EQ(GetAutoPlayCancelMessage(), 0u);
}

TEST(SysInfo, ShellOpenStartsAProgramWithItsParameters) {
  const std::string marker = GetTempDir(true) + "stub_shellopen_" + IntToStr(GetCurrentProcessId()) + ".txt";
  DeleteFileA(marker.c_str());
  ASSERT_TRUE(ShellOpen(GetSystemDir(true) + "cmd.exe", "/c echo opened> \"" + marker + "\"", SW_HIDE));
  bool seen = false;
  for (int i = 0; i < 100 && !seen; ++i) {
    Sleep(50);
    seen = GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  EXPECT_TRUE(seen);
  Sleep(100);
  DeleteFileA(marker.c_str());
  EXPECT_FALSE(ShellOpen(GetTempDir(true) + "no-such-file-7f3a.exe", "", SW_HIDE));
  EXPECT_FALSE(ShellOpen("", "", SW_HIDE));
}

}  // namespace
