// debugview: receives the debug channel of every program in this session
// that writes one, and appends the text to a file (or to standard output).
//
//   debugview.exe [OUTFILE] [/append] [/pieces=FILE] [/timeout=SECONDS]
//                 [/hang=SECONDS]
//
// The programs find the viewer as the top-level window of class ".ODebug."
// and send it the registered message ".O_DebugMsg." with wParam 1 and a
// global atom in lParam that holds one piece of text (at most 128 bytes; a
// line longer than that arrives as several pieces, only the last ending in
// CR LF). Every piece is appended byte for byte, as soon as it arrives.
//
// OUTFILE is created empty unless /append is given. Without OUTFILE the text
// goes to standard output. /pieces=FILE also writes the length of every
// piece received, one decimal number a line. /hang=SECONDS makes the viewer
// stop answering for that long when the first piece arrives (to see that a
// writer is not held by a hung viewer).
//
// Start-up and end, for scripts: the window is created before anything else;
// then OUTFILE.ready appears (holding "pid=<process id>"). The viewer ends on
// WM_CLOSE, when a file OUTFILE.stop appears (checked every 100 ms), or after
// /timeout=SECONDS. At the end it deletes OUTFILE.ready and OUTFILE.stop.
//
// Exit codes: 0 normal end, 2 bad command line, 3 another viewer is running
// or the window could not be made, 4 OUTFILE could not be opened.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "util/handle_win.h"

namespace {

const char kClassName[] = ".ODebug.";
const UINT_PTR kStopTimer = 1;
const UINT kStopCheckMs = 100;

struct Options {
  std::string outFile;
  std::string piecesFile;
  bool append = false;
  DWORD timeoutMs = 0;  // 0: none
  DWORD hangMs = 0;
};

struct Viewer {
  UINT message = 0;
  HANDLE out = nullptr;     // not owned: the file below or standard output
  UniqueHandle outFile;
  UniqueHandle piecesFile;
  std::string stopPath;
  DWORD startTick = 0;
  DWORD timeoutMs = 0;
  DWORD hangMs = 0;
};
Viewer g_viewer;

bool StartsWithCI(const char* text, const char* prefix) {
  return _strnicmp(text, prefix, std::strlen(prefix)) == 0;
}

bool ParseSeconds(const char* text, DWORD* ms) {
  char* end = nullptr;
  const unsigned long v = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || v > 86400UL * 7) return false;
  *ms = static_cast<DWORD>(v * 1000);
  return true;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (_stricmp(a, "/append") == 0) {
      o->append = true;
    } else if (StartsWithCI(a, "/pieces=")) {
      o->piecesFile = a + 8;
    } else if (StartsWithCI(a, "/timeout=")) {
      if (!ParseSeconds(a + 9, &o->timeoutMs)) return false;
    } else if (StartsWithCI(a, "/hang=")) {
      if (!ParseSeconds(a + 6, &o->hangMs)) return false;
    } else if (a[0] == '/' || !o->outFile.empty()) {
      return false;
    } else {
      o->outFile = a;
    }
  }
  return true;
}

void WriteAll(HANDLE h, const char* data, DWORD n) {
  while (n > 0) {
    DWORD written = 0;
    if (!WriteFile(h, data, n, &written, nullptr) || written == 0) return;
    data += written;
    n -= written;
  }
}

void ReceivePiece(ATOM atom) {
  // An atom name holds at most 255 characters.
  char text[256];
  const UINT n = GlobalGetAtomNameA(atom, text, sizeof text);
  if (n == 0) return;
  // WriteFile keeps no buffer of its own: the bytes are in the file, for
  // anyone reading it, when it returns.
  WriteAll(g_viewer.out, text, n);
  if (g_viewer.piecesFile) {
    char line[16];
    const int len = wsprintfA(line, "%u\r\n", n);
    WriteAll(g_viewer.piecesFile.get(), line, static_cast<DWORD>(len));
  }
}

LRESULT CALLBACK ViewerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == g_viewer.message && g_viewer.message != 0) {
    if (g_viewer.hangMs != 0) {
      const DWORD hang = g_viewer.hangMs;
      g_viewer.hangMs = 0;
      Sleep(hang);
    }
    if (wParam == 1) ReceivePiece(static_cast<ATOM>(lParam));
    return 1;
  }
  switch (msg) {
    case WM_TIMER:
      if (wParam == kStopTimer) {
        const bool stopAsked = !g_viewer.stopPath.empty() &&
                               GetFileAttributesA(g_viewer.stopPath.c_str()) != INVALID_FILE_ATTRIBUTES;
        const bool timedOut = g_viewer.timeoutMs != 0 && GetTickCount() - g_viewer.startTick >= g_viewer.timeoutMs;
        if (stopAsked || timedOut) DestroyWindow(hwnd);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

HANDLE OpenForWriting(const std::string& path, bool append) {
  // Readers may open the file while the viewer writes it.
  HANDLE h = NullIfInvalid(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h != nullptr && append) SetFilePointer(h, 0, nullptr, FILE_END);
  return h;
}

void Complain(const char* text) {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) WriteAll(err, text, static_cast<DWORD>(std::strlen(text)));
}

}  // namespace

int main(int argc, char** argv) {
  // The window comes first: a program that starts writing the moment this
  // viewer runs must already find it.
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  if (FindWindowA(kClassName, nullptr) != nullptr) {
    Complain("debugview: another debug viewer is already running\r\n");
    return 3;
  }
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  if (RegisterClassA(&wc) == 0) {
    Complain("debugview: cannot register the window class\r\n");
    return 3;
  }
  // A top-level window (not a message-only one): writers look it up with
  // FindWindow, which sees top-level windows only. It stays hidden.
  UniqueWindow window(CreateWindowExA(0, kClassName, "Debug viewer", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                      400, 300, nullptr, nullptr, instance, nullptr));
  if (!window) {
    Complain("debugview: cannot create the viewer window\r\n");
    return 3;
  }
  g_viewer.message = RegisterWindowMessageA(".O_DebugMsg.");

  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    Complain("usage: debugview.exe [OUTFILE] [/append] [/pieces=FILE] [/timeout=SECONDS] [/hang=SECONDS]\r\n");
    return 2;
  }
  std::string readyPath;
  if (!options.outFile.empty()) {
    readyPath = options.outFile + ".ready";
    g_viewer.stopPath = options.outFile + ".stop";
    // Left over from an earlier run, they would end this one at once or
    // announce it before it is ready.
    DeleteFileA(readyPath.c_str());
    DeleteFileA(g_viewer.stopPath.c_str());
    g_viewer.outFile.reset(OpenForWriting(options.outFile, options.append));
    if (!g_viewer.outFile) {
      Complain("debugview: cannot open the output file\r\n");
      return 4;
    }
    g_viewer.out = g_viewer.outFile.get();
  } else {
    g_viewer.out = GetStdHandle(STD_OUTPUT_HANDLE);
  }
  if (!options.piecesFile.empty()) {
    g_viewer.piecesFile.reset(OpenForWriting(options.piecesFile, options.append));
    if (!g_viewer.piecesFile) {
      Complain("debugview: cannot open the pieces file\r\n");
      return 4;
    }
  }
  g_viewer.timeoutMs = options.timeoutMs;
  g_viewer.hangMs = options.hangMs;
  g_viewer.startTick = GetTickCount();
  SetTimer(window.get(), kStopTimer, kStopCheckMs, nullptr);

  if (!readyPath.empty()) {
    UniqueHandle ready(NullIfInvalid(CreateFileA(readyPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                 nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (ready) {
      char text[32];
      const int len = wsprintfA(text, "pid=%lu\r\n", static_cast<unsigned long>(GetCurrentProcessId()));
      WriteAll(ready.get(), text, static_cast<DWORD>(len));
    }
  }

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // WM_DESTROY has run: the window is gone, its owner must not destroy it again.
  window.release();
  g_viewer.outFile.reset();
  g_viewer.piecesFile.reset();
  if (!readyPath.empty()) DeleteFileA(readyPath.c_str());
  if (!g_viewer.stopPath.empty()) DeleteFileA(g_viewer.stopPath.c_str());
  return 0;
}
