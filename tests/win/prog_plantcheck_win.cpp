// plantcheck [/unsafe | /preload-only]: shows whether a DLL planted beside
// this program is loaded into it.
//
// Default: the DLL protection of stub.exe's start-up (RestrictDllSearchPath,
// then PreloadStartupLibraries), followed by the bare-name load of
// MSLS31.dll that the rich-text control makes later. /preload-only: the
// preload alone, which is all the protection a system without
// SetDefaultDllDirectories has. /unsafe: the bare-name load without any
// protection, as any program does by default; a planted MSLS31.dll is
// picked from this program's folder then, which shows that the check
// itself can see a planted DLL.
//
// Prints where MSLS31.dll was loaded from (or that it was not) and exits
// with 2 when the copy in use lies in this program's folder, else 0. A
// planted DLL reports itself with a marker file (see planted_msls31.c).
#include <windows.h>

#include <cstdio>
#include <string>

#include "util/sysinfo.h"
#include "util/text.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool unsafe = SameText(mode, "/unsafe");
  const bool preloadOnly = SameText(mode, "/preload-only");
  if (!unsafe && !preloadOnly) RestrictDllSearchPath();
  if (!unsafe) PreloadStartupLibraries();
  HMODULE m = LoadLibraryA("MSLS31.dll");
  std::string where = "(not loaded)";
  if (m) {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(m, path, MAX_PATH);
    where.assign(path, n);
  }
  std::printf("%s MSLS31.dll: %s\n", unsafe ? "unsafe" : preloadOnly ? "preload-only" : "protected", where.c_str());
  const std::string ownFolder = GetExeDir(true);
  const bool besideMe = m && where.size() > ownFolder.size() && SameText(where.substr(0, ownFolder.size()), ownFolder) &&
                        where.find('\\', ownFolder.size()) == std::string::npos;
  return besideMe ? 2 : 0;
}
