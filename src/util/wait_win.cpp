// The message-serving waits over the thread's queue and the millisecond clock.
#include <windows.h>

#include <exception>

#include "util/sysinfo.h"
#include "util/text.h"
#include "util/trace.h"
#include "util/wait.h"

void YieldX(int ms) {
  try {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(ms > 0 ? DWORD(ms) : 0);
  } catch (const std::exception& e) {
    TraceException(e.what(), "YieldX", Format("%d", ms));
  } catch (...) {
    TraceException("unknown exception", "YieldX", Format("%d", ms));
  }
}

void WaitPumping(int totalMs, int sliceMs) {
  RunWait(totalMs, sliceMs, [] { return TickMs(); }, [](int slice) { YieldX(slice); });
}
