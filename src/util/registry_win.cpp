// Registry reads through the Win32 registry API.
#include "util/registry.h"

#include <windows.h>

#include <vector>

#include "util/handle_win.h"

namespace {

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
    case RegRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
    case RegRoot::DynData: return HKEY_DYN_DATA;
  }
  return HKEY_CURRENT_USER;
}

}  // namespace

std::string ReadRegString(const std::string& path, const std::string& valueName, const std::string& def,
                          bool view64) {
  const RegPath p = SplitRegPath(path);
  // KEY_WOW64_64KEY is ignored by 32-bit Windows and names the native view
  // on 64-bit Windows, where a 32-bit process otherwise sees the
  // redirected Wow6432Node keys.
  const REGSAM access = KEY_READ | (view64 ? KEY_WOW64_64KEY : 0);
  UniqueKey key;
  if (RegOpenKeyExA(RootKey(p.root), p.subkey.c_str(), 0, access, key.put()) != ERROR_SUCCESS) return def;
  std::vector<char> data(kRegValueBufferSize, '\0');
  DWORD type = 0;
  DWORD size = DWORD(data.size());
  if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS)
    return def;
  if (size > data.size()) size = DWORD(data.size());
  return RegValueText(type, std::string(data.data(), size));
}
