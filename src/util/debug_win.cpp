// The Windows side of the debug channel: the lock, the process id and
// DebugSend, which hands a piece to the viewer window (class ".ODebug.",
// registered message ".O_DebugMsg.", wParam 1, lParam a global atom holding
// the text) and, by the build-time mode, appends it to the debug file.
#include <windows.h>

#include <string>

#include "util/debug.h"
#include "util/handle_win.h"

namespace {

// Never destroyed: lines may still be written while the process exits.
CRITICAL_SECTION* DebugLock() {
  static CRITICAL_SECTION cs;
  static const bool ready = (InitializeCriticalSection(&cs), true);
  (void)ready;
  return &cs;
}

UINT DebugMessage() {
  static const UINT msg = RegisterWindowMessageA(".O_DebugMsg.");
  return msg;
}

// A CR that ended the last piece written to the debug file (see
// DebugFileText); only touched under the device lock.
bool g_fileLineOpen = false;

void AppendToDebugFile(const std::string& piece) {
  const std::string text = DebugFileText(piece, &g_fileLineOpen);
  if (text.empty()) return;
  // FILE_APPEND_DATA: every write lands at the current end, even when
  // several processes append to the file at once.
  UniqueHandle file(NullIfInvalid(CreateFileA(kDebugFilePath, FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void SendToViewer(const std::string& piece) {
  const HWND viewer = FindWindowA(".ODebug.", nullptr);
  if (viewer == nullptr) return;
  const UINT msg = DebugMessage();
  if (msg == 0) return;
  // A global atom holds at most 255 characters and stops at a NUL byte. The
  // device's pieces are 128 bytes; a longer text given straight to DebugSend
  // goes out in pieces of that size rather than being refused whole.
  for (size_t pos = 0; pos < piece.size(); pos += kDebugBufferSize) {
    const std::string part = piece.substr(pos, kDebugBufferSize);
    UniqueGlobalAtom atom(GlobalAddAtomA(part.c_str()));
    if (!atom) continue;
    // Synchronous, so the atom lives until the viewer has read it; bounded,
    // so a viewer that stopped answering cannot hold this process.
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(viewer, msg, 1, static_cast<LPARAM>(atom.get()),
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, kDebugSendTimeoutMs, &result) == 0 &&
        !IsWindow(viewer)) {
      return;  // the viewer went away: the rest has nowhere to go
    }
  }
}

}  // namespace

void DebugLockEnter() { EnterCriticalSection(DebugLock()); }
void DebugLockLeave() { LeaveCriticalSection(DebugLock()); }

std::string ProcessIdText() {
  char text[16];
  wsprintfA(text, "%lu", static_cast<unsigned long>(GetCurrentProcessId()));
  return text;
}

void DebugSend(const std::string& piece) {
  try {
    if (kDebugChannelMode == 1 || kDebugChannelMode == 2) AppendToDebugFile(piece);
    if (kDebugChannelMode == 0 || kDebugChannelMode == 2) SendToViewer(piece);
  } catch (...) {
    // Nothing on the channel may fail outward.
  }
}
