// The trace log and the fixed-form debug-channel lines. The platform files
// supply the clock, the thread id, the executable's path and the append.
#include "util/trace.h"

#include <cstdio>
#include <string>

#include "util/debug.h"
#include "util/text.h"

namespace {

bool g_traceEnabled = false;

std::string& TracePrefix() {
  static std::string prefix = "   ";
  return prefix;
}

std::string& TestPath() {
  static std::string path;
  return path;
}

// Computed at the first use and kept for the run. Empty when the running
// executable's path cannot be read: nothing is written then, rather than a
// file in whatever the current folder happens to be.
const std::string& LogPath() {
  if (!TestPath().empty()) return TestPath();
  static const std::string path = [] {
    const std::string exe = TraceExePath();
    return exe.empty() ? std::string() : TraceLogPathFor(exe);
  }();
  return path;
}

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string TwoDigits(int v) { return ZeroPadInt(v, 2); }

}  // namespace

void SetTraceEnabled(bool on) { g_traceEnabled = on; }
bool TraceEnabled() { return g_traceEnabled; }
void SetTracePrefix(const std::string& prefix3) { TracePrefix() = prefix3; }
void SetTraceLogPathForTests(const std::string& path) { TestPath() = path; }

void TraceLog(const std::string& message) {
  if (!g_traceEnabled) return;
  try {
    const std::string& path = LogPath();
    if (path.empty()) return;
    TraceAppendToFile(path, FormatTraceLine(TraceStampNow(), TraceThreadId(), TracePrefix(), message));
  } catch (...) {
    // A trace that cannot be written is dropped; the caller is never told.
  }
}

void TraceFields(const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
  try {
    DebugLine("[" + a + "]  [" + b + "]  [" + c + "]  [" + d + "]");
  } catch (...) {
  }
}

void TraceException(const std::string& message, const std::string& tag, const std::string& detail) {
  try {
    DebugLine(" --- " + tag + " (" + detail + ") --- " + message);
  } catch (...) {
  }
}

std::string TraceLogPathFor(const std::string& exeFullPath) {
  size_t nameStart = exeFullPath.size();
  while (nameStart > 0 && !IsPathSeparator(exeFullPath[nameStart - 1])) --nameStart;
  const std::string folder = exeFullPath.substr(0, nameStart);
  std::string name = exeFullPath.substr(nameStart);
  // The extension is what follows the name's last dot; a dot in the folder
  // does not count.
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  if (name.compare(0, 2, "X_") != 0) name = "X_" + name;
  return folder + name + ".log";
}

std::string FormatTraceLine(const std::string& stamp, uint32_t threadId, const std::string& prefix,
                            const std::string& message) {
  std::string id = std::to_string(threadId);
  if (id.size() < 5) id.insert(0, 5 - id.size(), ' ');
  return stamp + " " + id + prefix + message + "\r\n";
}

std::string FormatTraceStamp(int year, int month, int day, int hour, int minute, int second,
                             const std::string& dateSep, const std::string& timeSep) {
  int yy = year % 100;
  if (yy < 0) yy += 100;
  return TwoDigits(day) + dateSep + TwoDigits(month) + dateSep + TwoDigits(yy) + " " + TwoDigits(hour) +
         timeSep + TwoDigits(minute) + timeSep + TwoDigits(second);
}
