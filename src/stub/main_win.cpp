// The program entry of stub.exe. Everything else happens in StubMain; it
// still catches whatever escapes, reports it and ends with a failure code.
#include <windows.h>

#include <exception>

#include "stub/stub.h"
#include "util/debug.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    return int(stub::StubMain());
  } catch (const std::exception& e) {
    DebugPidLine(std::string(" ==== UNHANDLED FAILURE: ") + e.what());
  } catch (...) {
    DebugPidLine(" ==== UNHANDLED FAILURE");
  }
  return 1603;
}
