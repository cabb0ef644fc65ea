// The debug channel's text device: a 128-byte buffer that is flushed as one
// piece when it is full and at every line end. The flush hands the piece to
// DebugSend (per platform). Nothing here throws or reports a failure.
#include "util/debug.h"

#include "util/cformat.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

// Plain data, so it is ready before any constructor runs: a static object's
// constructor elsewhere may already write to the channel.
struct DeviceBuffer {
  char bytes[kDebugBufferSize];
  size_t used;
};
DeviceBuffer g_buffer = {{}, 0};

// Takes the buffered bytes out and sends them as one piece. The buffer is
// emptied before the send: a window procedure that runs while the send waits
// for the viewer may write to the channel again, and must find an empty
// buffer rather than the piece that is on its way.
void FlushLocked() {
  if (g_buffer.used == 0) return;
  std::string piece;
  try {
    piece.assign(g_buffer.bytes, g_buffer.used);
  } catch (...) {
    // Out of memory while copying: the piece is dropped, the device goes on.
    g_buffer.used = 0;
    return;
  }
  g_buffer.used = 0;
  try {
    DebugSend(piece);
  } catch (...) {
    // The trace must never stop the program.
  }
}

class LockGuard {
 public:
  LockGuard() { DebugLockEnter(); }
  ~LockGuard() { DebugLockLeave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;
};

}  // namespace

void DebugWrite(const char* data, size_t n) {
  if (data == nullptr || n == 0) return;
  // The lock covers the buffer as well as the flush: two threads appending
  // at once would otherwise corrupt the position.
  LockGuard lock;
  for (size_t i = 0; i < n; ++i) {
    const char c = data[i];
    g_buffer.bytes[g_buffer.used++] = c;
    if (g_buffer.used == kDebugBufferSize || c == '\n') FlushLocked();
  }
}

void DebugLine(const std::string& text) {
  LockGuard lock;  // keeps the text and its line end together
  DebugWrite(text.data(), text.size());
  DebugWrite("\r\n", 2);
}

void DebugPidLine(const std::string& text) {
  try {
    DebugLine(ProcessIdText() + text);
  } catch (...) {
  }
}

void DebugPidPrintf(const char* fmt, ...) {
  if (fmt == nullptr) return;
  try {
    va_list args;
    va_start(args, fmt);
    // vsnprintf either returns the length it needed (C99) or, in older C
    // libraries, -1 when the text did not fit: grow on either answer.
    std::string text(512, '\0');
    bool done = false;
    while (!done && text.size() <= (size_t{1} << 20)) {
      va_list attempt;
      va_copy(attempt, args);
      const int len = std::vsnprintf(&text[0], text.size(), fmt, attempt);
      va_end(attempt);
      if (len >= 0 && static_cast<size_t>(len) < text.size()) {
        text.resize(static_cast<size_t>(len));
        done = true;
      } else {
        text.resize(len >= 0 ? static_cast<size_t>(len) + 1 : text.size() * 2);
      }
    }
    va_end(args);
    if (done) DebugPidLine(text);
  } catch (...) {
  }
}

std::string DebugFileText(const std::string& piece, bool* pendingCR) {
  std::string out;
  out.reserve(piece.size() + piece.size() / 8 + 2);
  size_t i = 0;
  // A CR at the end of the previous piece already became CR LF; the LF that
  // completes that pair must not make a second line break.
  if (pendingCR != nullptr && *pendingCR && !piece.empty() && piece[0] == '\n') i = 1;
  for (; i < piece.size(); ++i) {
    const char c = piece[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < piece.size() && piece[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  if (pendingCR != nullptr && !piece.empty()) *pendingCR = piece.back() == '\r';
  return out;
}
