// The Windows side of the trace log: local time with the user's date and
// time separators, the thread id, the running executable's path and the
// open-append-close write.
#include <windows.h>

#include <string>

#include "util/handle_win.h"
#include "util/trace.h"

namespace {

// One locale separator; the given default when the setting cannot be read
// or is empty.
std::string LocaleSeparator(LCTYPE what, const char* fallback) {
  char text[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, what, text, sizeof text) <= 1) return fallback;
  return text;
}

}  // namespace

std::string TraceExePath() {
  // Long paths need a larger buffer than MAX_PATH; the size is doubled until
  // the name fits (GetModuleFileNameA truncates and returns the buffer size).
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return std::string();
    path.resize(path.size() * 2);
  }
}

std::string TraceStampNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return FormatTraceStamp(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                          LocaleSeparator(LOCALE_SDATE, "/"), LocaleSeparator(LOCALE_STIME, ":"));
}

uint32_t TraceThreadId() { return GetCurrentThreadId(); }

void TraceAppendToFile(const std::string& path, const std::string& bytes) {
  // FILE_APPEND_DATA: the plain agent and its X_ copy share one log, and
  // each line must land at the end whoever wrote last.
  UniqueHandle file(NullIfInvalid(CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
