// The host side of the trace log, so the portable trace code runs in unit
// tests: '/' and ':' as separators, the kernel's thread id, /proc for the
// executable's path and a plain append.
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "util/trace.h"

std::string TraceExePath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return std::string();
  return std::string(path, static_cast<size_t>(n));
}

std::string TraceStampNow() {
  const time_t now = time(nullptr);
  struct tm t {};
  localtime_r(&now, &t);
  return FormatTraceStamp(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, "/", ":");
}

uint32_t TraceThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

void TraceAppendToFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}
