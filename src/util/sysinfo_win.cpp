#include "util/sysinfo.h"

#include <windows.h>

#include <vector>

#include "util/trace.h"
#include "util/version.h"

namespace {

// SetDefaultDllDirectories exists from Windows 8 (and on 7 with KB2533623).
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);
using GetFileVersionInfoSizeAFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using GetFileVersionInfoAFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using VerQueryValueAFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

std::string WithSlash(std::string p, bool trailing) {
  // One trailing backslash is dropped from paths longer than "C:\".
  if (p.size() > 2 && p.back() == '\\' && !IsDBCSLeadByte(BYTE(p[p.size() - 2]))) p.pop_back();
  if (trailing && (p.empty() || p.back() != '\\')) p.push_back('\\');
  return p;
}

}  // namespace

void RestrictDllSearchPath() {
  HMODULE k32 = GetModuleHandleA("kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(k32, "SetDefaultDllDirectories")));
  if (setDefault && setDefault(kSearchSystem32)) return;
  // Older systems: at least take the current folder out of the search.
  auto setDir = reinterpret_cast<SetDllDirectoryAFn>(reinterpret_cast<void*>(GetProcAddress(k32, "SetDllDirectoryA")));
  if (setDir) setDir("");
}

std::string GetSystemDir(bool trailingBackslash) {
  char buf[MAX_PATH + 1] = {};
  UINT n = GetSystemDirectoryA(buf, sizeof buf);
  return WithSlash(n > 0 && n < sizeof buf ? std::string(buf, n) : std::string(), trailingBackslash);
}

void* LoadSystemLibrary(const char* name) {
  std::string path = GetSystemDir(true) + name;
  return reinterpret_cast<void*>(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

void* LoadProc(const char* library, const char* function) {
  HMODULE m = GetModuleHandleA(library);
  if (!m) m = static_cast<HMODULE>(LoadSystemLibrary(library));
  if (!m) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(m, function));
}

std::string GetExePath(bool stripExtension) {
  std::vector<char> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buf.data(), DWORD(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) {
      std::string path(buf.data(), n);
      if (!stripExtension) return path;
      std::string name = path.substr(path.find_last_of("\\/:") + 1);
      size_t dot = name.rfind('.');
      return dot == std::string::npos ? name : name.substr(0, dot);
    }
    buf.resize(buf.size() * 2);
  }
}

std::string GetExeDir(bool trailingBackslash) {
  std::string path = GetExePath(false);
  size_t at = path.find_last_of('\\');
  return WithSlash(at == std::string::npos ? std::string() : path.substr(0, at + 1), trailingBackslash);
}

std::string GetExeVersion(const std::string& file, int width, int parts) {
  std::string path = file.empty() ? GetExePath(false) : file;
  auto sizeFn = reinterpret_cast<GetFileVersionInfoSizeAFn>(LoadProc("version.dll", "GetFileVersionInfoSizeA"));
  auto infoFn = reinterpret_cast<GetFileVersionInfoAFn>(LoadProc("version.dll", "GetFileVersionInfoA"));
  auto queryFn = reinterpret_cast<VerQueryValueAFn>(LoadProc("version.dll", "VerQueryValueA"));
  const char* failure = nullptr;
  std::string result;
  if (!sizeFn || !infoFn || !queryFn) {
    failure = "version.dll not available";
  } else {
    DWORD handle = 0;
    DWORD size = sizeFn(path.c_str(), &handle);
    std::vector<char> data(size > 16384 ? size : 16384);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (size == 0 || !infoFn(path.c_str(), 0, DWORD(data.size()), data.data())) {
      failure = "no version information";
    } else if (!queryFn(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len) || !fixed ||
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
