// The debug channel: every line the program writes here goes to an outside
// debug viewer window (class ".ODebug.", registered message ".O_DebugMsg.",
// wParam 1, lParam a global atom holding the text). The device buffers 128
// bytes and flushes when full and at every line end; each flush is one
// message. With no viewer the text is dropped. Nothing here ever fails.
#pragma once

#include <cstddef>
#include <string>

// Appends raw text to the device (flushing as described above).
void DebugWrite(const char* data, size_t n);
// Writes text and a line end ("\r\n").
void DebugLine(const std::string& text);
// A line that starts with the process id, by convention: "<pid><text>".
void DebugPidLine(const std::string& text);
// printf-style form of DebugPidLine.
void DebugPidPrintf(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// The device's flush step: sends one piece to the viewer (and, by the
// build-time channel mode, to the debug file). Exposed for tests.
void DebugSend(const std::string& piece);
// The current process id in decimal.
std::string ProcessIdText();

// Build-time channel mode: 0 viewer only, 1 debug file only, 2 both, other
// values neither. This build sends to the viewer only.
constexpr int kDebugChannelMode = 0;
constexpr const char* kDebugFilePath = "C:\\ProgramData\\_odebug.txt";
constexpr size_t kDebugBufferSize = 128;
// How long DebugSend waits for the viewer to take one piece, in ms. Sending
// stays synchronous, but a hung viewer must not hold an installer forever.
constexpr unsigned kDebugSendTimeoutMs = 3000;

// --- portable pieces, tested on the host
// The debug-file form of a piece: every line break (CR LF, lone CR, lone LF)
// becomes CR LF. *pendingCR carries a CR that ended the previous piece, so a
// CR LF pair split across two pieces still gives one line break; pass the
// same flag for every piece of one stream (nullptr: no carry).
std::string DebugFileText(const std::string& piece, bool* pendingCR);

// --- per-platform pieces (debug_win.cpp, debug_host.cpp)
// The lock that keeps one piece from mixing with another thread's text.
// Recursive: a window procedure that runs while a send waits may write too.
void DebugLockEnter();
void DebugLockLeave();

// Host builds only: DebugSend hands every piece to this function (nullptr:
// pieces are dropped). Lets tests see the pieces the device flushes.
void SetDebugSinkForTests(void (*sink)(const std::string& piece));
