// The host side of the debug channel: there is no viewer window on the host,
// so DebugSend hands each piece to the function a test installed (or drops
// it). The lock and the process id are the host's own.
#include <unistd.h>

#include <mutex>
#include <string>

#include "util/debug.h"

namespace {

std::recursive_mutex& DebugMutex() {
  // Never destroyed: lines may still be written while the process exits.
  static std::recursive_mutex* m = new std::recursive_mutex;
  return *m;
}

void (*g_sink)(const std::string&) = nullptr;

}  // namespace

void DebugLockEnter() { DebugMutex().lock(); }
void DebugLockLeave() { DebugMutex().unlock(); }

std::string ProcessIdText() { return std::to_string(static_cast<long>(getpid())); }

void SetDebugSinkForTests(void (*sink)(const std::string& piece)) {
  DebugLockEnter();
  g_sink = sink;
  DebugLockLeave();
}

void DebugSend(const std::string& piece) {
  try {
    if (g_sink != nullptr) g_sink(piece);
  } catch (...) {
    // Nothing on the channel may fail outward.
  }
}
