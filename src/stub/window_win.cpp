#include "stub/window.h"

#include <windows.h>
#include <commctrl.h>

#include "net/abort.h"
#include "package/reader.h"
#include "stub/entry_points.h"
#include "stub/stub.h"
#include "util/debug.h"
#include "util/handle_win.h"
#include "util/switches.h"
#include "util/sysinfo.h"
#include "util/trace.h"

namespace stub {

namespace {

constexpr int kWidth = 492;
constexpr int kHeight = 110;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMs = 1000;

struct WindowState {
  std::string className;
  HWND window = nullptr;
  HWND status = nullptr;
  HWND mainBar = nullptr;
  HWND activityBar = nullptr;
  UniqueGdi statusFont;
  bool quit = false;
  HWND controller = nullptr;
  UINT controllerMessage = 0;
  int activity = 0;
  bool rightToLeft = false;
};

WindowState g;

bool IsRightToLeft(int charset) { return charset == 177 || charset == 178; }

// Lets the private messages and the shell's AutoPlay query reach an
// elevated window from a process that is not elevated.
void AllowMessagesThroughFilter(HWND hwnd) {
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  auto allow = reinterpret_cast<FilterFn>(LoadProc("user32.dll", "ChangeWindowMessageFilterEx"));
  if (!allow) return;
  const UINT messages[] = {kWmShutDown, kWmLocalMsg, kWmAgentMsg, RegisterWindowMessageA("QueryCancelAutoPlay")};
  for (UINT m : messages) allow(hwnd, m, 1 /* MSGFLT_ALLOW */, nullptr);
}

void CreateChildren(HWND hwnd) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  g.status = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, g.rightToLeft ? 122 : 70, 20, 340, 18, hwnd,
                             nullptr, inst, nullptr);
  g.mainBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 70, 38, 392, 13, hwnd, nullptr, inst,
                              nullptr);
  g.activityBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, g.rightToLeft ? 70 : 416, 20, 46, 13, hwnd,
                                  nullptr, inst, nullptr);
  g.statusFont.reset(CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma"));
  if (g.status && g.statusFont) SendMessageA(g.status, WM_SETFONT, WPARAM(g.statusFont.get()), TRUE);
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT r;
  GetClientRect(hwnd, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MainIcon");
  if (icon) DrawIcon(dc, 18, 20, icon);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK StubWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Nothing may escape a window procedure into the system's code.
  try {
    static const UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    if (msg == autoPlay && autoPlay != 0) return 1;
    switch (msg) {
      case WM_CREATE:
        g.window = hwnd;
        CreateChildren(hwnd);
        SetTimer(hwnd, kTimerId, kTimerMs, nullptr);
        AllowMessagesThroughFilter(hwnd);
        break;
      case WM_PAINT:
        Paint(hwnd);
        return 0;
      case WM_TIMER:
        if (wp != kTimerId) break;
        if (IsAgentRun()) {
          AutoUpdateTimerTick(hwnd);
        } else {
          KillTimer(hwnd, kTimerId);
          StartSetup(hwnd);
        }
        return 0;
      case WM_CLOSE:
        if (!CloseMainWindow()) return 0;
        break;
      case WM_DESTROY:
        DebugPidLine("- wm_Destroy -");
        DestroyMainWindow();
        g.window = nullptr;
        break;
      case WM_QUIT:  // only when sent straight to the window
        DebugPidLine("- wm_Quit -");
        DestroyMainWindow();
        break;
      case kWmShutDown:
        SetQuitCountdown(intptr_t(wp));
        break;
      case kWmLocalMsg:
        g.controller = reinterpret_cast<HWND>(wp);
        g.controllerMessage = UINT(lp);
        NotifyOwner(50, reinterpret_cast<intptr_t>(hwnd));
        NotifyOwner(51, intptr_t(kWmAgentMsg));
        break;
      case kWmAgentMsg:
        return LRESULT(HandleAgentControl(uintptr_t(wp), intptr_t(lp)));
      default:
        break;
    }
  } catch (...) {
    DebugPidLine(" ==== failure in the stub window's message handling");
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

void SetInstanceClassName(const std::string& name) { g.className = name; }
void* StubWindow() { return g.window; }
bool QuitRequested() { return g.quit; }

void SetStatusText(const std::string& text, const std::string& fontName, int charset, int fontSize) {
  if (!g.status) return;
  const bool rtl = IsRightToLeft(charset);
  SetWindowLongA(g.status, GWL_EXSTYLE, rtl ? WS_EX_RTLREADING : 0);
  SetWindowLongA(g.status, GWL_STYLE, WS_CHILD | WS_VISIBLE | (rtl ? SS_RIGHT : 0));
  HDC dc = GetDC(nullptr);
  const int ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  UniqueGdi font(CreateFontA(-MulDiv(fontSize, ppi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DWORD(charset), 0, 0, 0, 0,
                             fontName.c_str()));
  if (font) {
    SendMessageA(g.status, WM_SETFONT, WPARAM(font.get()), TRUE);
    g.statusFont = std::move(font);  // the old font goes once the new one is in use
  }
  SetWindowTextA(g.status, text.c_str());
}

void StubProgress(int kind, int low, int high, const std::string&, int step, int position) {
  if (kind == 0) {
    SendMessageA(g.mainBar, PBM_SETRANGE, WPARAM(low), LPARAM(high) << 16);
    SendMessageA(g.mainBar, PBM_SETPOS, WPARAM(position), 0);
    SendMessageA(g.mainBar, PBM_SETSTEP, WPARAM(step), 0);
    SendMessageA(g.activityBar, PBM_SETRANGE, 0, 0x50000);
    SendMessageA(g.activityBar, PBM_SETPOS, 0, 0);
    SendMessageA(g.activityBar, PBM_SETSTEP, 1, 0);
  } else if (kind == 1) {
    SendMessageA(g.mainBar, PBM_STEPIT, 0, 0);
    if (++g.activity > 5) g.activity = 0;
    SendMessageA(g.activityBar, PBM_SETPOS, WPARAM(g.activity), 0);
  }
}

void NotifyOwner(uintptr_t wParam, intptr_t lParam) {
  if (g.controller && g.controllerMessage) PostMessageA(g.controller, g.controllerMessage, wParam, lParam);
}

bool CloseMainWindow() {
  TraceLog(".. CloseMainWindow() - Start");
  bool mayClose = IsDownloadAborted();
  if (!mayClose) SetDownloadAbort(true);
  TraceLog(".. CloseMainWindow() - End");
  return mayClose;
}

void DestroyMainWindow() {
  TraceLog(".. DestroyMainWindow() - Start");
  SetDownloadAbort(true);
  RemoveSetupFolder();
  PostQuitMessage(0);
  g.quit = true;
  TraceLog(".. DestroyMainWindow() - End");
}

void WinMain() {
  // /SleepX=n: the agent's first update check waits n more ticks.
  const int64_t sleepX = GetParamInt("/SleepX=", -1);
  if (sleepX >= 0) SetAutoUpdateTimerCount(-sleepX);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);

  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = StubWndProc;
  wc.hInstance = inst;
  wc.hIcon = LoadIconA(inst, "MainIcon");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = g.className.c_str();
  RegisterClassA(&wc);

  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int left = work.left + (work.right - work.left - kWidth) / 2;
  const int top = work.top + (work.bottom - work.top - kHeight) / 2;

  const TGFileInfo own(ExePath());
  g.rightToLeft = IsRightToLeft(own.Charset());
  const std::string title = own.Text("s0", "Ondrix Installation Suite");

  HWND hwnd = CreateWindowExA(0, g.className.c_str(), title.c_str(), WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, left,
                              top, kWidth, kHeight, nullptr, nullptr, inst, nullptr);
  if (hwnd) {
    ShowWindow(hwnd, SW_HIDE);
    MSG m;
    while (!g.quit && GetMessageA(&m, nullptr, 0, 0) > 0) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    KillTimer(hwnd, kTimerId);
  } else {
    DebugPidLine(" ==== the stub window could not be created");
  }
  SetDownloadAbort(true);
  NotifyOwner(43, 0);
  g.window = nullptr;
}

}  // namespace stub
