/* A stand-in for a DLL that someone places beside a downloaded program
 * under the name of a system DLL the program loads (MSLS31.dll, which the
 * rich-text control asks for by bare name). It does no harm: when its entry
 * point runs, it writes the marker file MSLS31.loaded beside itself, so a
 * test can tell whether the loader picked it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  char path[MAX_PATH + 16];
  DWORD n;
  DWORD i;
  DWORD folderEnd = 0;
  HANDLE marker;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  n = GetModuleFileNameA(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  for (i = 0; i < n; ++i) {
    if (path[i] == '\\' || path[i] == '/') folderEnd = i + 1;
  }
  lstrcpyA(path + folderEnd, "MSLS31.loaded");
  marker = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (marker != INVALID_HANDLE_VALUE) {
    DWORD written;
    WriteFile(marker, "loaded\r\n", 8, &written, NULL);
    CloseHandle(marker);
  }
  return TRUE;
}
