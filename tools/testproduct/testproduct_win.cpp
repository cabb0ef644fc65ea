// testproduct: a stand-in installed product for shut-down tests. It shows a
// top-level window, writes what happens to it into a log file, and obeys or
// ignores WM_CLOSE and WM_QUIT as told.
//
// Switches (names ignore case; a value may be in double quotes):
//
//   /log="path"     the log file; every line is appended at once (CR LF ended)
//   /title=TEXT     the main window's title (default "Test Product")
//   /class=NAME     the main window's class (default "OTestProduct")
//   /owned          also a smaller owned window, class NAME + "Owned",
//                   title TEXT + " - Options", so that main-window scoring
//                   has two windows to choose from
//   /hidden         the main window stays hidden and has no title
//   /nowindow       no window at all: the program only waits out its life time
//   /ignoreclose    WM_CLOSE is logged and otherwise ignored
//   /ignorequit     WM_QUIT is logged and otherwise ignored
//   /lifetime=MS    end by itself after MS milliseconds (default 120000), so
//                   that a failed test leaves nothing running for long
//   /exit=N         the exit code of a normal end (default 0)
//
// Log lines, in the order they happen:
//
//   start pid=<process id>
//   ready                                  the windows exist (or, with
//                                          /nowindow, the program is waiting)
//   WM_CLOSE wParam=<w> lParam=<l>         followed by " ignored" with /ignoreclose
//   WM_QUIT wParam=<w> lParam=<l>          followed by " ignored" with /ignorequit
//   message <n> wParam=<w> lParam=<l>      a posted message 1123, 1124 or 1125
//   lifetime over
//   end exit=<n>                           not written when the process is terminated
#include <windows.h>

#include <string>

#include "env/files.h"
#include "util/switches.h"
#include "util/sysinfo.h"
#include "util/text.h"

namespace {

std::string g_log;
bool g_ignoreClose = false;
bool g_done = false;
HWND g_main = nullptr;

void Log(const std::string& line) {
  if (!g_log.empty()) AppendFile(g_log, line + "\r\n", 0);
}

std::string Params(WPARAM w, LPARAM l) {
  return Format("wParam=%lu lParam=%ld", static_cast<unsigned long>(w), static_cast<long>(l));
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_CLOSE:
      Log("WM_CLOSE " + Params(w, l) + (g_ignoreClose ? " ignored" : ""));
      if (!g_ignoreClose) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (window == g_main) g_done = true;
      return 0;
    case 1123:
    case 1124:
    case 1125:
      Log(Format("message %u ", msg) + Params(w, l));
      return 0;
    default:
      return DefWindowProcA(window, msg, w, l);
  }
}

bool Register(const std::string& name) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name.c_str();
  return RegisterClassA(&wc) != 0;
}

}  // namespace

int main() {
  SetCommandLineSource(GetCommandLineA(), GetExePath(false));
  g_log = GetParamStr("/log=", "");
  const std::string title = GetParamStr("/title=", "Test Product");
  const std::string className = GetParamStr("/class=", "OTestProduct");
  g_ignoreClose = HasParam("/ignoreclose");
  const bool ignoreQuit = HasParam("/ignorequit");
  const bool hidden = HasParam("/hidden");
  const int exitCode = int(GetParamInt("/exit=", 0));
  const UINT lifetime = UINT(GetParamInt("/lifetime=", 120000));

  Log(Format("start pid=%lu", GetCurrentProcessId()));
  if (!HasParam("/nowindow")) {
    if (!Register(className)) {
      Log("cannot register the window class");
      return 3;
    }
    g_main = CreateWindowExA(0, className.c_str(), hidden ? "" : title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 420,
                             300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!g_main) {
      Log("cannot create the main window");
      return 3;
    }
    if (!hidden) ShowWindow(g_main, SW_SHOWNOACTIVATE);
    if (HasParam("/owned")) {
      const std::string ownedClass = className + "Owned";
      const std::string ownedTitle = title + " - Options";
      HWND owned = Register(ownedClass) ? CreateWindowExA(0, ownedClass.c_str(), ownedTitle.c_str(),
                                                          WS_OVERLAPPED | WS_CAPTION, 80, 80, 200, 120, g_main,
                                                          nullptr, GetModuleHandleA(nullptr), nullptr)
                                        : nullptr;
      if (!owned) {
        Log("cannot create the owned window");
        return 3;
      }
      ShowWindow(owned, SW_SHOWNOACTIVATE);
    }
  }
  // A thread timer: it ends the program even when it ignores everything.
  const UINT_PTR timer = SetTimer(nullptr, 0, lifetime, nullptr);
  Log("ready");

  MSG msg;
  while (!g_done) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      Log("WM_QUIT " + Params(msg.wParam, msg.lParam) + (ignoreQuit ? " ignored" : ""));
      if (ignoreQuit) continue;
      break;
    }
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == timer) {
      Log("lifetime over");
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Log(Format("end exit=%d", exitCode));
  return exitCode;
}
